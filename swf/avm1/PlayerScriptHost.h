#pragma once
// Plugs the interpreter into the player: the player hands it frame, init and clip
// event code (ActionRunner), and scripts reach the player's timelines through it
// (ClipHost). Clips are named by timeline::Clip::id() and looked up in the World
// on every call, so nothing here outlives a clip.
//
// Order within one tick, as the player drives it: actions left pending by gotos,
// then every timeline advances, then placed clips' enterFrame events, then the new
// frames' init and frame actions (parents first). Handlers set from script
// (onEnterFrame) run once per tick before the first action block of that tick, or
// from afterTick() when the tick ran no code; intervals run from afterTick().
// Clips of symbols whose linkage name has a registered class (AS2 classes) take
// the class before the first block that runs after they were placed: prototype,
// constructor, then onLoad.

#include "swf/avm1/ActionRunner.h"
#include "swf/avm1/ClipHost.h"
#include "swf/avm1/DrawingPen.h"
#include "swf/avm1/Interpreter.h"
#include "swf/format/Text.h"
#include "swf/timeline/World.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace swf::timeline {
class Clip;
struct DisplayObject;
class PictureServices;
struct World;
enum class ObjectKind : std::uint8_t;
struct DisplayObject;
} // namespace swf::timeline

namespace swf::avm1 {

class PlayerScriptHost : public ActionRunner, public ClipHost {
public:
    PlayerScriptHost();
    ~PlayerScriptHost() override;

    // Where trace() output goes (nothing by default).
    void setTraceSink(std::function<void(const std::string&)> sink);
    // Movie time in milliseconds; set before each tick (virtual in orvane-tool trace).
    void setTime(double ms);
    // Calls intervals that are due and script onEnterFrame handlers not yet run.
    void afterTick();
    void setUrl(std::string url) { m_url = std::move(url); }
    // Where fscommand(command, args) goes (getURL of "FSCommand:command"); dropped when empty.
    void setFsCommandSink(std::function<void(const std::string&, const std::string&)> sink) {
        m_fsCommand = std::move(sink);
    }
    void setDateOrigin(double epochMs);
    // The host's window went in or out of full screen: Stage.displayState follows, and
    // Stage's listeners hear onFullScreen(full) when the mode changed. Not inside a block.
    void displayStateChanged(bool fullScreen);
    // Consulted while scripts run (Interpreter::setWatch).
    void setWatch(std::function<bool(double)> watch);
    // Where NetStreams play (null: no video); not owned.
    void setVideoControl(video::VideoControl* control) { m_video = control; }
    // The drawing layer's picture work (BitmapData.draw, loadBitmap); none by default.
    void setPictures(std::shared_ptr<timeline::PictureServices> pictures) { m_pictures = std::move(pictures); }
    // Where SharedObject data is kept between runs; empty: nowhere (flush answers false).
    void setSharedObjectDirectory(const std::string& directory);
    SharedObjectStore* sharedObjects() override { return m_sharedObjects.get(); }
    Interpreter* interpreter() { return m_vm.get(); }

    // ActionRunner
    void runFrameActions(timeline::Clip& clip, std::span<const std::uint8_t> code) override;
    void runInitActions(timeline::Clip& clip, std::uint16_t spriteId,
                        std::span<const std::uint8_t> code) override;
    void runClipEvent(timeline::Clip& clip, std::uint32_t event, std::span<const std::uint8_t> code) override;
    void clipRemoved(timeline::Clip& clip) override;
    void movieLoaded(int swfVersion) override;
    void movieUnloaded() override;
    void callClipHandler(timeline::Clip& clip, std::string_view name) override;
    bool clipHandlesMouse(timeline::Clip& clip) override;
    bool showsHandCursor(timeline::Clip& clip) override;
    bool clipTracksAsMenu(timeline::Clip& clip) override;
    void callButtonHandler(timeline::Clip& parent, std::uint64_t serial, std::string_view name) override;
    void broadcast(Broadcast what, int wheelDelta) override;
    // Focus and typing (HostFocus.cpp).
    void focusChanged(const input::ObjectRef& from, const input::ObjectRef& to) override;
    void fieldScrolled(const input::ObjectRef& field) override;
    void fieldChanged(const input::ObjectRef& field) override;
    TabSettings tabSettings(timeline::Clip& parent, timeline::DisplayObject& object) override;

    // ClipHost
    ClipId root() override { return m_root; }
    ClipId parent(ClipId clip) override;
    ClipId child(ClipId clip, std::string_view name, bool caseSensitive) override;
    FieldRef fieldChild(ClipId clip, std::string_view name, bool caseSensitive) override;
    text::FieldState* field(const FieldRef& ref) override;
    // Text fields as display objects (HostFields.cpp).
    double fieldProperty(const FieldRef& ref, ClipProperty p) override;
    void setFieldProperty(const FieldRef& ref, ClipProperty p, double value) override;
    bool fieldPlacement(const FieldRef& ref, std::string& name, int& depth) override;
    void renameField(const FieldRef& ref, const std::string& name) override;
    FieldRef buttonChild(ClipId clip, std::string_view name, bool caseSensitive) override;
    bool placedLives(const FieldRef& ref) override;
    double placedProperty(const FieldRef& ref, ClipProperty p) override;
    void setPlacedProperty(const FieldRef& ref, ClipProperty p, double value) override;
    bool placedName(const FieldRef& ref, std::string& name, int& depth) override;
    void renamePlaced(const FieldRef& ref, const std::string& name) override;
    std::optional<bool> buttonFlag(const FieldRef& ref, ButtonFlag flag) override;
    void setButtonFlag(const FieldRef& ref, ButtonFlag flag, bool value) override;
    bool removeField(const FieldRef& ref) override;
    void fieldVariablesChanged() override { syncFields(); }
    FieldRef createField(ClipId parent, const std::string& name, int depth, double x, double y, double width,
                         double height) override;
    std::vector<ClipId> children(ClipId clip) override;
    bool exists(ClipId clip) override;
    std::string name(ClipId clip) override;
    void setName(ClipId clip, const std::string& name) override;
    double property(ClipId clip, ClipProperty p) override;
    void setProperty(ClipId clip, ClipProperty p, double value) override;
    std::string url() override { return m_url; }
    void play(ClipId clip) override;
    void stop(ClipId clip) override;
    void gotoFrame(ClipId clip, int frame, bool play) override;
    bool gotoLabel(ClipId clip, std::string_view label, bool play) override;
    void nextFrame(ClipId clip) override;
    void prevFrame(ClipId clip) override;
    ClipId duplicate(ClipId clip, const std::string& newName, int depth) override;
    bool remove(ClipId clip) override;
    ClipId attach(ClipId parent, std::string_view linkageName, const std::string& newName,
                  int depth) override;
    ClipId createEmpty(ClipId parent, const std::string& newName, int depth) override;
    void swapDepths(ClipId clip, int depth) override;
    int depth(ClipId clip) override;
    ClipId clipAtDepth(ClipId parent, int depth) override;
    int nextHighestDepth(ClipId clip) override;
    ClipRect bounds(ClipId clip, ClipId targetSpace) override;
    bool hitTestPoint(ClipId clip, double x, double y, bool shapeFlag) override;
    bool hitTestClip(ClipId clip, ClipId other) override;
    void localToGlobal(ClipId clip, double& x, double& y) override;
    void globalToLocal(ClipId clip, double& x, double& y) override;
    std::vector<std::span<const std::uint8_t>> frameActions(ClipId clip, int frame) override;
    int frameOfLabel(ClipId clip, std::string_view label) override;
    bool colorTransform(ClipId clip, ClipColor& out) override;
    bool readLocalFile(const std::string& url, std::string& out) override;
    bool localFilePath(const std::string& url, std::string& path) override;
    video::VideoControl* videoControl() override { return m_video; }
    FieldRef videoChild(ClipId clip, std::string_view name, bool caseSensitive) override;
    bool stageSize(double& width, double& height) override;
    void getUrl(const std::string& url, const std::string& target, int method) override;
    void draw(ClipId clip, const DrawOp& op) override;
    bool attachBitmap(ClipId clip, std::shared_ptr<const timeline::Pixels> pixels, int depth, bool smoothing) override;
    void pixelsChanged() override;
    std::shared_ptr<timeline::Pixels> exportedBitmap(std::string_view linkage, bool& transparent) override;
    ClipId loadIntoClip(ClipId clip, const std::string& url, long long& bytes) override;
    ClipId loadIntoLevel(int n, const std::string& url, long long& bytes) override;
    ClipId level(int n) override;
    int swfVersion(ClipId clip) override;
    void runClipEvent(ClipId clip, std::uint32_t event) override;
    int levelOf(ClipId clip) override;
    bool clipBytes(ClipId clip, double& loaded, double& total) override;
    timeline::DisplayObject* displayObject(ClipId clip) override;
    void displayChanged(ClipId clip, bool placement) override;
    bool drawClip(timeline::Pixels& target, ClipId clip, const double (&matrix)[6], const ClipColor* tint,
                  const ClipRect* clipRect, bool smoothing) override;
    void setMask(ClipId clip, ClipId mask) override;
    void setFieldMask(ClipId clip, const FieldRef& mask) override;
    void setColorTransform(ClipId clip, const ClipColor& in) override;
    audio::SoundControl* soundControl() override;
    int exportedSound(std::string_view name) override;
    void startDrag(ClipId clip, bool lockCenter, const ClipRect* constraint) override;
    void stopDrag() override;
    std::string dropTarget(ClipId clip) override;
    input::InputState* inputState() override;
    bool focusRectShown() const override { return m_focusRect; }
    Object* focusObject() override;
    bool setFocusObject(Object* to) override;

private:
    timeline::Clip* find(ClipId clip) const;
    // Export names of `movie` by character id, gathered on first use.
    const std::unordered_map<std::uint16_t, std::string>& linkageOf(const movie::Movie& movie);
    int exportedId(const movie::Movie& movie, std::string_view linkageName) const; // -1: nothing exported by that name
    void runAsMovie(const timeline::Clip& clip, const std::function<void()>& body);
    // A movie file a script loads, parsed once and kept by the world; null when refused.
    const timeline::World::LoadedMovie* adoptMovieFile(const std::string& url, const std::string& bytes);
    std::shared_ptr<timeline::Pixels> decodePicture(const std::string& file) const;
    timeline::DisplayObject* placeBitmap(timeline::Clip& clip, int timelineDepth,
                                         std::shared_ptr<const timeline::Pixels> pixels, bool smoothing);
    void attachWorld(timeline::Clip& clip);
    void enterFramePass();
    void callOnEveryClip(std::string_view handler);
    void constructNewClips();
    void syncFields(); // text fields bound to variables
    void run(timeline::Clip& clip, std::span<const std::uint8_t> code);
    void prepare(timeline::Clip& clip);
    bool clipFlag(timeline::Clip& clip, std::string_view name, bool unset); // a clip object's flag
    void prepareRoot();
    static double objectProperty(const timeline::DisplayObject* o, ClipProperty p);
    static bool setObjectProperty(timeline::DisplayObject& o, ClipProperty p, double value);
    timeline::DisplayObject* placedObject(const FieldRef& ref, timeline::Clip** parent = nullptr);
    timeline::DisplayObject* fieldObject(const FieldRef& ref, timeline::Clip** parent = nullptr);
    FieldRef childOfKind(ClipId clip, std::string_view name, bool caseSensitive, timeline::ObjectKind kind);
    void maskBy(ClipId clip, const timeline::DisplayObject* mask); // null: no mask
    // The script object of a clip or text field on stage; null for anything else.
    Object* scriptObject(const input::ObjectRef& ref);

    std::unique_ptr<Interpreter> m_vm;
    std::function<void(const std::string&)> m_trace;
    std::function<bool(double)> m_watch;
    bool m_fullScreen = false; // as the host last reported it
    timeline::World* m_world = nullptr;
    ClipId m_root = kNoClip;
    std::uint64_t m_enterFrameTick = 0;
    std::uint64_t m_lastSerial = 0;                           // World::nextSerial at the last class scan
    // The definitions behind createTextField's fields, kept while the movie is.
    std::vector<std::unique_ptr<format::EditTextCharacter>> m_scriptFields;
    std::uint64_t m_fieldSerial = 0; // World::nextSerial when bound fields were last brought up to date
    std::unordered_set<ClipId> m_seen;                        // clips the class scan has looked at
    std::unordered_map<const movie::Movie*, std::unordered_map<std::uint16_t, std::string>> m_linkage;
    double m_time = 0;
    double m_dateOrigin = 0;
    std::string m_url;
    video::VideoControl* m_video = nullptr;
    std::function<void(const std::string&, const std::string&)> m_fsCommand;
    std::unordered_map<ClipId, DrawingPen> m_pens; // clips a script has drawn on
    std::shared_ptr<timeline::PictureServices> m_pictures;
    std::unique_ptr<SharedObjectStore> m_sharedObjects;
    std::unordered_map<ClipId, double> m_loadedBytes; // clips showing a loaded file, by size
    std::unordered_map<ClipId, std::string> m_dropTargets; // by dragged clip
    std::unordered_map<ClipId, int> m_levelDepths; // levels given a depth by swapDepths
    bool m_focusRect = true; // _focusrect, one setting for the player whichever clip sets it
};

} // namespace swf::avm1
