#pragma once
// What scripts need from the timelines: the interpreter asks the host about movie
// clips through this interface and never sees the display list itself. Clips are
// named by ids that the host never reuses, so a script holding a removed clip gets
// kNoClip/defaults back instead of touching freed state.

#include "swf/input/InputState.h"
#include "swf/timeline/objects/Pixels.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace swf::text {
class FieldState;
}
namespace swf::audio {
class SoundControl;
}
namespace swf::video {
class VideoControl;
}
namespace swf::timeline {
struct DisplayObject;
}

namespace swf::avm1 {

class Object;
class SharedObjectStore;
using ClipId = std::uint64_t;
inline constexpr ClipId kNoClip = 0;

// GetProperty/SetProperty indices, in the action format's order.
enum class ClipProperty : int {
    X = 0,
    Y,
    XScale,
    YScale,
    CurrentFrame,
    TotalFrames,
    Alpha,
    Visible,
    Width,
    Height,
    Rotation,
    Target,
    FramesLoaded,
    Name,
    DropTarget,
    Url,
    HighQuality, // 0 low, 1 high, 2 best; global to the player like Quality
    FocusRect,
    SoundBufTime,
    Quality, // travels as a level: 0 low, 1 medium, 2 high, 3 best
    XMouse,
    YMouse,
    Count
};

struct ClipRect {
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0; // pixels
};

// A clip's colour transform as the tag stores it: multipliers in 1/256, offsets in
// colour units; the order is red, green, blue, alpha.
struct ClipColor {
    std::int16_t mul[4] = {256, 256, 256, 256};
    std::int16_t add[4] = {0, 0, 0, 0};
};

// One call of the drawing API, in the clip's pixels; colours are 0xAARRGGBB.
struct DrawGradient {
    bool radial = false;
    std::vector<std::pair<std::uint8_t, std::uint32_t>> stops; // ratio 0..255, colour
    // Maps the gradient square (-819.2 .. 819.2 on both axes) to the clip: a b c d tx ty.
    double matrix[6] = {1, 0, 0, 1, 0, 0};
    int spread = 0; // 0 pad, 1 reflect, 2 repeat
    bool linearRgb = false;
    double focalPoint = 0; // radial only, -1 .. 1
};

// beginBitmapFill: the bitmap's pixels (shared with the BitmapData, so later changes show).
struct DrawBitmap {
    std::shared_ptr<const timeline::Pixels> pixels;
    double matrix[6] = {1, 0, 0, 1, 0, 0}; // bitmap pixels to clip pixels: a b c d tx ty
    bool repeat = true;
    bool smoothing = false;
};

struct DrawOp {
    // LineGradient: the current line painted with `gradient` from here on.
    enum class Kind : std::uint8_t { Clear, LineStyle, NoLine, Fill, EndFill, MoveTo, LineTo, CurveTo, LineGradient };
    Kind kind = Kind::Clear;
    double x = 0, y = 0;   // MoveTo, LineTo, CurveTo's anchor
    double cx = 0, cy = 0; // CurveTo's control point
    std::uint32_t color = 0xFF000000;
    std::optional<DrawGradient> gradient; // Fill: a gradient instead of `color`
    std::optional<DrawBitmap> bitmap;     // Fill: a bitmap instead of `color`
    // LineStyle
    double width = 0; // 0: hairline
    bool pixelHinting = false, noHScale = false, noVScale = false;
    int caps = 0, joints = 0; // 0 round, 1 none/bevel, 2 square/miter
    double miterLimit = 3;
};

// A text field on a clip's display list, found again by its parent and object serial.
struct FieldRef {
    ClipId parent = 0;
    std::uint64_t serial = 0; // 0: none
};

class ClipHost {
public:
    virtual ~ClipHost() = default;

    // Text fields by instance name (after clips of that name), and their state; null once
    // the field is gone.
    virtual FieldRef fieldChild(ClipId, std::string_view, bool) { return {}; }
    virtual text::FieldState* field(const FieldRef&) { return nullptr; }
    // createTextField: a dynamic field in a box at (x, y), pixels; none when refused.
    virtual FieldRef createField(ClipId, const std::string&, int, double, double, double, double) { return {}; }
    // A field's placement as scripts see it: X, Y, the scales, Rotation, Alpha, Visible, and
    // Width/Height (setting those sizes the box, not the text); other properties read 0.
    virtual double fieldProperty(const FieldRef&, ClipProperty) { return 0; }
    virtual void setFieldProperty(const FieldRef&, ClipProperty, double) {}
    // Its instance name and its depth as getDepth counts; false once it is gone.
    virtual bool fieldPlacement(const FieldRef&, std::string&, int&) { return false; }
    virtual void renameField(const FieldRef&, const std::string&) {}
    // A field's `variable` changed: bound fields read their variables again now.
    virtual void fieldVariablesChanged() {}
    // removeTextField: only fields at script depths go; false when refused.
    virtual bool removeField(const FieldRef&) { return false; }

    // Buttons by instance name (after clips and text fields of that name).
    virtual FieldRef buttonChild(ClipId, std::string_view, bool) { return {}; }
    // Any object on a clip's display list (field, button, video) named by a FieldRef: whether
    // it is still there, its placement properties as fieldProperty reads them, and its name
    // and depth as getDepth counts.
    virtual bool placedLives(const FieldRef& ref) { return field(ref) != nullptr; }
    virtual double placedProperty(const FieldRef&, ClipProperty) { return 0; }
    virtual void setPlacedProperty(const FieldRef&, ClipProperty, double) {}
    virtual bool placedName(const FieldRef&, std::string&, int&) { return false; }
    virtual void renamePlaced(const FieldRef&, const std::string&) {}
    // What scripts set on a button: `enabled`, `useHandCursor` and `trackAsMenu` (the
    // button's own flag until a script sets it). Nothing once the button is gone.
    enum class ButtonFlag : std::uint8_t { Enabled, HandCursor, TrackAsMenu };
    virtual std::optional<bool> buttonFlag(const FieldRef&, ButtonFlag) { return std::nullopt; }
    virtual void setButtonFlag(const FieldRef&, ButtonFlag, bool) {}

    // The root timeline (_level0).
    virtual ClipId root() = 0;
    // The root of level `n` (kNoClip for an empty level), and the level a clip is in.
    virtual ClipId level(int n) { return n == 0 ? root() : kNoClip; }
    virtual int levelOf(ClipId) { return 0; }
    virtual ClipId parent(ClipId clip) = 0; // kNoClip for the root
    // Child by instance name; `caseSensitive` is false before SWF 7.
    virtual ClipId child(ClipId clip, std::string_view name, bool caseSensitive) = 0;
    virtual std::vector<ClipId> children(ClipId clip) = 0;
    virtual bool exists(ClipId clip) = 0;
    virtual std::string name(ClipId clip) = 0;
    virtual void setName(ClipId clip, const std::string& name) = 0;

    // Numeric display and timeline properties (Visible reads 0/1; frames count from 1).
    virtual double property(ClipId clip, ClipProperty p) = 0;
    // Setting a display property takes the clip off timeline control.
    virtual void setProperty(ClipId clip, ClipProperty p, double value) = 0;
    virtual std::string url() = 0;

    // Frame control; frames count from 1 as scripts see them.
    virtual void play(ClipId clip) = 0;
    virtual void stop(ClipId clip) = 0;
    virtual void gotoFrame(ClipId clip, int frame, bool play) = 0;
    virtual bool gotoLabel(ClipId clip, std::string_view label, bool play) = 0; // false: no such label
    virtual void nextFrame(ClipId clip) = 0;
    virtual void prevFrame(ClipId clip) = 0;

    // Display list edits; kNoClip when refused.
    virtual ClipId duplicate(ClipId clip, const std::string& newName, int depth) = 0;
    virtual bool remove(ClipId clip) = 0;
    virtual ClipId attach(ClipId parent, std::string_view linkageName, const std::string& newName,
                          int depth) = 0;
    virtual ClipId createEmpty(ClipId parent, const std::string& newName, int depth) = 0;
    virtual void swapDepths(ClipId clip, int depth) = 0;
    virtual int depth(ClipId clip) = 0;
    virtual ClipId clipAtDepth(ClipId /*parent*/, int /*depth*/) { return kNoClip; }
    virtual int nextHighestDepth(ClipId clip) = 0;

    // Geometry in pixels.
    virtual ClipRect bounds(ClipId clip, ClipId targetSpace) = 0;
    virtual bool hitTestPoint(ClipId clip, double x, double y, bool shapeFlag) = 0;
    virtual bool hitTestClip(ClipId clip, ClipId other) = 0;
    virtual void localToGlobal(ClipId clip, double& x, double& y) = 0;
    virtual void globalToLocal(ClipId clip, double& x, double& y) = 0;

    // Frame scripts for CallFrame (frame from 1); the spans stay valid while the movie is loaded.
    virtual std::vector<std::span<const std::uint8_t>> frameActions(ClipId, int) { return {}; }
    virtual int frameOfLabel(ClipId, std::string_view) { return 0; } // 0: no such label

    // Colour transform for Color and Transform; false when the clip has none to give.
    virtual bool colorTransform(ClipId, ClipColor&) { return false; }
    virtual void setColorTransform(ClipId, const ClipColor&) {}

    // The clip's entry on its parent's display list, where scripts keep what Flash 8 added
    // (blendMode, filters, cacheAsBitmap, opaqueBackground, scrollRect,
    // scale9Grid) and Transform's matrix; null for the root and clips that are gone. Call
    // displayChanged after writing to it.
    virtual timeline::DisplayObject* displayObject(ClipId) { return nullptr; }
    // `placement`: the matrix or colour changed, which the timeline then leaves alone.
    virtual void displayChanged(ClipId, bool /*placement*/) {}

    // setMask: `mask` (kNoClip for none) masks `clip` by its filled area.
    virtual void setMask(ClipId /*clip*/, ClipId /*mask*/) {}
    // setMask with a text field: `clip` shows through the field's embedded letters only.
    virtual void setFieldMask(ClipId /*clip*/, const FieldRef& /*mask*/) {}
    // The drawing API: appends to the clip's run-time drawing, shown under its children.
    virtual void draw(ClipId, const DrawOp&) {}

    // BitmapData: shows `pixels` at `depth` of the clip (false when refused); tells the host
    // that pixels it may show changed; decodes the bitmap exported under `linkage` (null
    // when there is none); draws a clip's content into `target` through `matrix` (clip
    // pixels to target pixels, a b c d tx ty), optionally tinted and cut to `clipRect`.
    virtual bool attachBitmap(ClipId, std::shared_ptr<const timeline::Pixels>, int /*depth*/, bool /*smoothing*/) {
        return false;
    }
    virtual void pixelsChanged() {}
    virtual std::shared_ptr<timeline::Pixels> exportedBitmap(std::string_view /*linkage*/, bool& /*transparent*/) {
        return nullptr;
    }
    virtual bool drawClip(timeline::Pixels& /*target*/, ClipId, const double (&/*matrix*/)[6],
                          const ClipColor* /*tint*/, const ClipRect* /*clipRect*/, bool /*smoothing*/) {
        return false;
    }

    // loadMovie/loadClip: puts a fresh clip in `clip`'s place (same name, depth, placement
    // and clip events) showing the movie or picture file `url` (relative to the movie), or
    // nothing when `url` is empty (unloadMovie). The new clip, with the bytes read; kNoClip (and
    // nothing changes) when refused.
    virtual ClipId loadIntoClip(ClipId, const std::string& /*url*/, long long& /*bytes*/) { return kNoClip; }
    // loadMovieNum: level `n` shows the movie (or picture) file `url`, or nothing when `url`
    // is empty (unloadMovieNum). A movie loaded into level 0 takes the whole player's place
    // before the next frame. The level's root, or kNoClip when refused.
    virtual ClipId loadIntoLevel(int /*n*/, const std::string& /*url*/, long long& /*bytes*/) { return kNoClip; }
    // The SWF version of the movie whose timeline `clip` plays (a loaded movie's inside it);
    // -1 when the clip is gone.
    virtual int swfVersion(ClipId) { return -1; }
    // Runs `clip`'s placement actions for `event` (format::kClip*), e.g. data after loadVariables.
    virtual void runClipEvent(ClipId, std::uint32_t /*event*/) {}
    // getBytesLoaded/getBytesTotal: false when the clip is gone.
    virtual bool clipBytes(ClipId, double& /*loaded*/, double& /*total*/) { return false; }

    // Reads a file named relative to the movie's folder for XML/LoadVars loads; false for
    // URLs, paths that leave the folder, and files that cannot be read.
    virtual bool readLocalFile(const std::string& /*url*/, std::string& /*out*/) { return false; }
    // The file a URL names relative to the movie's folder, by the same rules, without
    // reading it (NetStream plays files too large to read whole).
    virtual bool localFilePath(const std::string& /*url*/, std::string& /*path*/) { return false; }

    // Where SharedObject.getLocal keeps data between runs; null: this run only.
    virtual SharedObjectStore* sharedObjects() { return nullptr; }

    // The movie's stage size and the screen's, in pixels; false when unknown.
    virtual bool stageSize(double& /*width*/, double& /*height*/) { return false; }
    virtual bool screenSize(double& /*width*/, double& /*height*/) { return false; }

    virtual void startDrag(ClipId, bool /*lockCenter*/, const ClipRect* /*constraint*/) {}
    virtual void stopDrag() {}
    // Where Sound objects and stopAllSounds act; null when the host plays no sound.
    virtual audio::SoundControl* soundControl() { return nullptr; }
    // Where NetStreams play and Video objects get their pictures; null when the host has no video.
    virtual video::VideoControl* videoControl() { return nullptr; }
    // Video objects by instance name (after clips and text fields of that name).
    virtual FieldRef videoChild(ClipId, std::string_view, bool) { return {}; }
    // Character id of the sound exported under `name` (attachSound), -1 if none.
    virtual int exportedSound(std::string_view /*name*/) { return -1; }
    // The slash path of the clip under the mouse when the clip's last drag ended.
    virtual std::string dropTarget(ClipId) { return {}; }
    // Mouse, keys and focus as the player last saw them; Mouse.hide() writes it. Null
    // when the host takes no input.
    virtual input::InputState* inputState() { return nullptr; }
    // The keyboard focus as the script object of what has it (null: nothing, or something
    // without one), and moving it (null: nowhere); false when `to` cannot take it.
    virtual Object* focusObject() { return nullptr; }
    virtual bool setFocusObject(Object* /*to*/) { return false; }
    // getURL / loadMovie / fscommand requests; the host decides what to honour.
    virtual void getUrl(const std::string& /*url*/, const std::string& /*target*/, int /*method*/) {}
};

} // namespace swf::avm1
