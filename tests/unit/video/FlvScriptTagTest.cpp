// The script tags of FLV files: AMF0 values as files write them (onMetaData's mixed
// object, cue points with nested parameters, dates, strict arrays), and damaged or
// hostile bodies, which give what could be read and never crash or nest without end.

#include "FlvScriptTagBuilder.h"
#include "swf/video/FlvScriptTags.h"

#include <gtest/gtest.h>

namespace {

using swf::video::ScriptValue;
using Kind = ScriptValue::Kind;
using namespace flv_test;

const ScriptValue* member(const ScriptValue& v, const std::string& name) {
    for (const auto& [key, value] : v.members)
        if (key == name)
            return &value;
    return nullptr;
}

TEST(FlvScriptTags, ReadsEveryValueKindFilesUse) {
    Amf body;
    body.string("onCuePoint");
    body.objectStart();
    body.key("name").string("half");
    body.key("time").number(0.5);
    body.key("navigation").boolean(true);
    body.key("parameters").ecmaArrayStart(1);
    body.key("lang").longString("en");
    body.objectEnd();
    body.key("list").strictArray(2).number(1).null();
    body.key("when").date(1.5e12);
    body.key("gone").undefined();
    body.objectEnd();
    body.number(7); // a second argument

    const auto call = swf::video::parseScriptTag(body.bytes, 2.25);
    ASSERT_TRUE(call);
    EXPECT_EQ(call->handler, "onCuePoint");
    EXPECT_EQ(call->seconds, 2.25);
    ASSERT_EQ(call->args.size(), 2u);
    const ScriptValue& info = call->args[0];
    ASSERT_EQ(info.kind, Kind::Object);
    ASSERT_EQ(info.members.size(), 7u);
    EXPECT_EQ(member(info, "name")->text, "half");
    EXPECT_EQ(member(info, "time")->number, 0.5);
    EXPECT_EQ(member(info, "navigation")->kind, Kind::Boolean);
    EXPECT_EQ(member(info, "navigation")->number, 1);
    const ScriptValue* params = member(info, "parameters");
    ASSERT_EQ(params->kind, Kind::Object); // an ECMA array reaches scripts as an object
    EXPECT_EQ(member(*params, "lang")->text, "en");
    const ScriptValue* list = member(info, "list");
    ASSERT_EQ(list->kind, Kind::Array);
    ASSERT_EQ(list->members.size(), 2u);
    EXPECT_EQ(list->members[1].second.kind, Kind::Null);
    EXPECT_EQ(member(info, "when")->kind, Kind::Date);
    EXPECT_EQ(member(info, "when")->number, 1.5e12);
    EXPECT_EQ(member(info, "gone")->kind, Kind::Undefined);
    EXPECT_EQ(call->args[1].number, 7);
}

TEST(FlvScriptTags, DamagedAndHostileBodies) {
    Amf body;
    body.string("onMetaData").ecmaArrayStart(2).key("duration").number(4).key("width").number(320).objectEnd();
    // Every cut keeps what was whole before it and never reads past the end.
    for (std::size_t size = 0; size < body.bytes.size(); ++size) {
        const std::vector<std::uint8_t> cut(body.bytes.begin(), body.bytes.begin() + size);
        const auto call = swf::video::parseScriptTag(cut, 0);
        if (call && !call->args.empty()) {
            EXPECT_LE(call->args[0].members.size(), 2u);
        }
    }
    // No name: not a call.
    Amf nameless;
    nameless.number(1);
    EXPECT_FALSE(swf::video::parseScriptTag(nameless.bytes, 0));

    // Objects nested ten thousand deep stop at a bounded depth.
    Amf deep;
    deep.string("onDeep");
    for (int i = 0; i < 10000; ++i)
        deep.objectStart().key("x");
    deep.number(1);
    const auto call = swf::video::parseScriptTag(deep.bytes, 0);
    ASSERT_TRUE(call);
    int depth = 0;
    for (const ScriptValue* v = call->args.empty() ? nullptr : &call->args[0]; v && !v->members.empty();
         v = &v->members[0].second)
        ++depth;
    EXPECT_LE(depth, 20);

    // A strict array claiming four billion elements holds what is there.
    Amf huge;
    huge.string("onHuge").strictArray(0xFFFFFFFFu).number(1).number(2);
    const auto many = swf::video::parseScriptTag(huge.bytes, 0);
    ASSERT_TRUE(many);
    ASSERT_EQ(many->args.size(), 1u);
    EXPECT_EQ(many->args[0].members.size(), 2u);
}

TEST(FlvScriptTags, FindsTheTagsOfAFileInOrderAndRefusesOtherFiles) {
    Amf meta, cue;
    meta.string("onMetaData").ecmaArrayStart(1).key("duration").number(2).objectEnd();
    cue.string("onCuePoint").objectStart().key("name").string("c").objectEnd();
    std::vector<std::uint8_t> file = flvHeader();
    appendTag(file, 18, 0, meta.bytes);
    appendTag(file, 9, 0, {0x22, 0, 0, 0}); // a video tag between them is skipped
    appendTag(file, 18, 1500, cue.bytes);
    const std::string path = writeScratch("tags.flv", file);
    const auto calls = swf::video::readFlvScriptTags(path);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].handler, "onMetaData");
    EXPECT_EQ(calls[1].handler, "onCuePoint");
    EXPECT_EQ(calls[1].seconds, 1.5);

    // A tag whose size runs past the end of the file ends the scan.
    file.resize(file.size() - 6);
    EXPECT_EQ(swf::video::readFlvScriptTags(writeScratch("cut.flv", file)).size(), 1u);
    EXPECT_TRUE(swf::video::readFlvScriptTags(writeScratch("text.flv", {'t', 'e', 'x', 't'})).empty());
}

} // namespace
