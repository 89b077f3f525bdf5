#pragma once
// An in-memory stand-in for the timelines: a tree of named clips with numeric
// properties, a playhead per clip and a log of what scripts asked for.

#include "swf/avm1/ClipHost.h"

#include <map>
#include <string>
#include <vector>

namespace orvane::testing {

class FakeClipHost : public swf::avm1::ClipHost {
public:
    struct Clip {
        swf::avm1::ClipId parent = swf::avm1::kNoClip;
        std::string name;
        int depth = 0;
        int frame = 1;
        int totalFrames = 1;
        bool playing = true;
        double props[static_cast<int>(swf::avm1::ClipProperty::Count)] = {};
        std::map<std::string, int> labels;
        std::map<int, std::vector<std::vector<std::uint8_t>>> frameScripts;
    };

    FakeClipHost();
    swf::avm1::ClipId add(swf::avm1::ClipId parent, const std::string& name, int depth = 0);
    Clip& clip(swf::avm1::ClipId id) { return m_clips.at(id); }
    std::vector<std::string> log; // frame control and display list requests, in order

    swf::avm1::ClipId root() override { return 1; }
    swf::avm1::ClipId parent(swf::avm1::ClipId c) override;
    swf::avm1::ClipId child(swf::avm1::ClipId c, std::string_view name, bool caseSensitive) override;
    std::vector<swf::avm1::ClipId> children(swf::avm1::ClipId c) override;
    bool exists(swf::avm1::ClipId c) override { return m_clips.count(c) != 0; }
    std::string name(swf::avm1::ClipId c) override;
    void setName(swf::avm1::ClipId c, const std::string& name) override;
    double property(swf::avm1::ClipId c, swf::avm1::ClipProperty p) override;
    void setProperty(swf::avm1::ClipId c, swf::avm1::ClipProperty p, double value) override;
    std::string url() override { return "file:///movie.swf"; }
    void play(swf::avm1::ClipId c) override;
    void stop(swf::avm1::ClipId c) override;
    void gotoFrame(swf::avm1::ClipId c, int frame, bool play) override;
    bool gotoLabel(swf::avm1::ClipId c, std::string_view label, bool play) override;
    void nextFrame(swf::avm1::ClipId c) override;
    void prevFrame(swf::avm1::ClipId c) override;
    swf::avm1::ClipId duplicate(swf::avm1::ClipId c, const std::string& newName, int depth) override;
    bool remove(swf::avm1::ClipId c) override;
    swf::avm1::ClipId attach(swf::avm1::ClipId parent, std::string_view linkage, const std::string& newName,
                             int depth) override;
    swf::avm1::ClipId createEmpty(swf::avm1::ClipId parent, const std::string& newName, int depth) override;
    void swapDepths(swf::avm1::ClipId c, int depth) override;
    int depth(swf::avm1::ClipId c) override { return exists(c) ? m_clips[c].depth : 0; }
    swf::avm1::ClipId clipAtDepth(swf::avm1::ClipId parent, int depth) override;
    int nextHighestDepth(swf::avm1::ClipId c) override;
    swf::avm1::ClipRect bounds(swf::avm1::ClipId c, swf::avm1::ClipId space) override;
    bool hitTestPoint(swf::avm1::ClipId c, double x, double y, bool shapeFlag) override;
    bool hitTestClip(swf::avm1::ClipId c, swf::avm1::ClipId other) override;
    void localToGlobal(swf::avm1::ClipId c, double& x, double& y) override;
    void globalToLocal(swf::avm1::ClipId c, double& x, double& y) override;
    std::vector<std::span<const std::uint8_t>> frameActions(swf::avm1::ClipId c, int frame) override;
    int frameOfLabel(swf::avm1::ClipId c, std::string_view label) override;
    void getUrl(const std::string& url, const std::string& target, int method) override;
    void draw(swf::avm1::ClipId clip, const swf::avm1::DrawOp& op) override { draws.emplace_back(clip, op); }
    std::vector<std::pair<swf::avm1::ClipId, swf::avm1::DrawOp>> draws; // drawing-API calls, in order

private:
    std::map<swf::avm1::ClipId, Clip> m_clips;
    swf::avm1::ClipId m_next = 2;
};

} // namespace orvane::testing
