#include "swf/timeline/Describe.h"

#include "swf/timeline/Clip.h"

#include <cstdio>

namespace swf::timeline {
namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v == 0.0 ? 0.0 : v);
    return buf;
}

std::string playhead(const Clip& clip) {
    return "frame " + std::to_string(clip.currentFrame() + 1) + "/" + std::to_string(clip.totalFrames()) +
           (clip.isPlaying() ? " playing" : " stopped");
}

void describeList(const Clip& clip, int indent, std::string& out) {
    std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
    for (const auto& [depth, obj] : clip.displayList()) {
        const auto& m = obj.matrix;
        const auto& cx = obj.colorTransform;
        out += pad + "depth " + std::to_string(depth) + ": " +
               format::characterKindName(obj.character->kind) + " " + std::to_string(obj.characterId) +
               " matrix(" + number(m.a) + "," + number(m.b) + "," + number(m.c) + "," + number(m.d) + "," +
               number(m.tx) + "," + number(m.ty) + ")";
        if (cx.isIdentity())
            out += " cx()";
        else
            out += " cx(" + std::to_string(cx.rMul) + "," + std::to_string(cx.gMul) + "," +
                   std::to_string(cx.bMul) + "," + std::to_string(cx.aMul) + ";" + std::to_string(cx.rAdd) +
                   "," + std::to_string(cx.gAdd) + "," + std::to_string(cx.bAdd) + "," +
                   std::to_string(cx.aAdd) + ")";
        out += " ratio " + std::to_string(obj.ratio) + " clip " + std::to_string(obj.clipDepth) + " name \"" +
               obj.name + "\"";
        if (!obj.visible)
            out += " hidden";
        if (obj.clip)
            out += " " + playhead(*obj.clip);
        out += "\n";
        if (obj.clip)
            describeList(*obj.clip, indent + 1, out);
    }
}

} // namespace

std::string describe(const Clip& clip) {
    std::string out = playhead(clip) + "\n";
    describeList(clip, 1, out);
    return out;
}

} // namespace swf::timeline
