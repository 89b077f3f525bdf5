#include "FakeClipHost.h"

#include <algorithm>

using namespace swf::avm1;

namespace orvane::testing {

namespace {
constexpr int index(ClipProperty p) {
    return static_cast<int>(p);
}
} // namespace

FakeClipHost::FakeClipHost() {
    Clip root;
    root.totalFrames = 10;
    root.props[index(ClipProperty::XScale)] = 100;
    root.props[index(ClipProperty::YScale)] = 100;
    root.props[index(ClipProperty::Alpha)] = 100;
    root.props[index(ClipProperty::Visible)] = 1;
    m_clips[1] = root;
}

ClipId FakeClipHost::add(ClipId parent, const std::string& name, int depth) {
    Clip c = m_clips.at(1);
    c.parent = parent;
    c.name = name;
    c.depth = depth;
    c.frame = 1;
    c.labels.clear();
    c.frameScripts.clear();
    const ClipId id = m_next++;
    m_clips[id] = c;
    return id;
}

ClipId FakeClipHost::parent(ClipId c) {
    return exists(c) ? m_clips[c].parent : kNoClip;
}

ClipId FakeClipHost::child(ClipId c, std::string_view name, bool caseSensitive) {
    auto same = [&](const std::string& a) {
        if (caseSensitive)
            return a == name;
        return a.size() == name.size() && std::equal(a.begin(), a.end(), name.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (auto& [id, clip] : m_clips)
        if (clip.parent == c && same(clip.name))
            return id;
    return kNoClip;
}

std::vector<ClipId> FakeClipHost::children(ClipId c) {
    std::vector<ClipId> out;
    for (auto& [id, clip] : m_clips)
        if (clip.parent == c)
            out.push_back(id);
    return out;
}

std::string FakeClipHost::name(ClipId c) {
    return exists(c) ? m_clips[c].name : std::string();
}

void FakeClipHost::setName(ClipId c, const std::string& name) {
    if (exists(c))
        m_clips[c].name = name;
}

double FakeClipHost::property(ClipId c, ClipProperty p) {
    if (!exists(c))
        return 0;
    const Clip& clip = m_clips[c];
    switch (p) {
    case ClipProperty::CurrentFrame:
        return clip.frame;
    case ClipProperty::TotalFrames:
    case ClipProperty::FramesLoaded:
        return clip.totalFrames;
    default:
        return clip.props[index(p)];
    }
}

void FakeClipHost::setProperty(ClipId c, ClipProperty p, double value) {
    if (exists(c))
        m_clips[c].props[index(p)] = value;
}

void FakeClipHost::play(ClipId c) {
    log.push_back("play " + name(c));
    m_clips[c].playing = true;
}

void FakeClipHost::stop(ClipId c) {
    log.push_back("stop " + name(c));
    m_clips[c].playing = false;
}

void FakeClipHost::gotoFrame(ClipId c, int frame, bool play) {
    log.push_back("goto " + name(c) + " " + std::to_string(frame) + (play ? " play" : " stop"));
    m_clips[c].frame = std::clamp(frame, 1, m_clips[c].totalFrames);
    m_clips[c].playing = play;
}

bool FakeClipHost::gotoLabel(ClipId c, std::string_view label, bool play) {
    log.push_back("label " + name(c) + " " + std::string(label) + (play ? " play" : " stop"));
    auto it = m_clips[c].labels.find(std::string(label));
    if (it == m_clips[c].labels.end())
        return false;
    m_clips[c].frame = it->second;
    m_clips[c].playing = play;
    return true;
}

void FakeClipHost::nextFrame(ClipId c) {
    log.push_back("next " + name(c));
    m_clips[c].frame = std::min(m_clips[c].frame + 1, m_clips[c].totalFrames);
}

void FakeClipHost::prevFrame(ClipId c) {
    log.push_back("prev " + name(c));
    m_clips[c].frame = std::max(m_clips[c].frame - 1, 1);
}

ClipId FakeClipHost::duplicate(ClipId c, const std::string& newName, int depth) {
    if (!exists(c) || m_clips[c].parent == kNoClip)
        return kNoClip;
    log.push_back("duplicate " + name(c) + " " + newName + " " + std::to_string(depth));
    const ClipId id = m_next++;
    Clip copy = m_clips[c];
    copy.name = newName;
    copy.depth = depth;
    m_clips[id] = copy;
    return id;
}

bool FakeClipHost::remove(ClipId c) {
    if (!exists(c) || c == 1)
        return false;
    log.push_back("remove " + name(c));
    for (ClipId child : children(c))
        remove(child);
    m_clips.erase(c);
    return true;
}

ClipId FakeClipHost::attach(ClipId parent, std::string_view linkage, const std::string& newName, int depth) {
    if (linkage != "Symbol")
        return kNoClip;
    log.push_back("attach " + newName);
    return add(parent, newName, depth);
}

ClipId FakeClipHost::createEmpty(ClipId parent, const std::string& newName, int depth) {
    log.push_back("create " + newName + " " + std::to_string(depth));
    return add(parent, newName, depth);
}

void FakeClipHost::swapDepths(ClipId c, int depth) {
    for (auto& [id, clip] : m_clips)
        if (clip.parent == m_clips[c].parent && clip.depth == depth && id != c)
            clip.depth = m_clips[c].depth;
    m_clips[c].depth = depth;
}

ClipId FakeClipHost::clipAtDepth(ClipId parent, int depth) {
    for (auto& [id, clip] : m_clips)
        if (clip.parent == parent && clip.depth == depth)
            return id;
    return kNoClip;
}

int FakeClipHost::nextHighestDepth(ClipId c) {
    int d = -1;
    for (auto& [id, clip] : m_clips)
        if (clip.parent == c)
            d = std::max(d, clip.depth);
    return d + 1;
}

ClipRect FakeClipHost::bounds(ClipId c, ClipId) {
    const double x = property(c, ClipProperty::X);
    const double y = property(c, ClipProperty::Y);
    return {x, y, x + 10, y + 10};
}

bool FakeClipHost::hitTestPoint(ClipId c, double x, double y, bool) {
    const ClipRect r = bounds(c, 1);
    return x >= r.xMin && x <= r.xMax && y >= r.yMin && y <= r.yMax;
}

bool FakeClipHost::hitTestClip(ClipId c, ClipId other) {
    const ClipRect a = bounds(c, 1);
    const ClipRect b = bounds(other, 1);
    return a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax;
}

void FakeClipHost::localToGlobal(ClipId c, double& x, double& y) {
    for (ClipId p = c; p != kNoClip; p = parent(p)) {
        x += property(p, ClipProperty::X);
        y += property(p, ClipProperty::Y);
    }
}

void FakeClipHost::globalToLocal(ClipId c, double& x, double& y) {
    for (ClipId p = c; p != kNoClip; p = parent(p)) {
        x -= property(p, ClipProperty::X);
        y -= property(p, ClipProperty::Y);
    }
}

std::vector<std::span<const std::uint8_t>> FakeClipHost::frameActions(ClipId c, int frame) {
    std::vector<std::span<const std::uint8_t>> out;
    if (!exists(c))
        return out;
    auto it = m_clips[c].frameScripts.find(frame);
    if (it != m_clips[c].frameScripts.end())
        for (const auto& block : it->second)
            out.emplace_back(block);
    return out;
}

int FakeClipHost::frameOfLabel(ClipId c, std::string_view label) {
    if (!exists(c))
        return 0;
    auto it = m_clips[c].labels.find(std::string(label));
    return it == m_clips[c].labels.end() ? 0 : it->second;
}

void FakeClipHost::getUrl(const std::string& url, const std::string& target, int method) {
    log.push_back("url " + url + " " + target + " " + std::to_string(method));
}

} // namespace orvane::testing
