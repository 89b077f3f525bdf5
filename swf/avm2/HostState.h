#pragma once
// What the display, event and input classes of the ActionScript 3 host share: the native
// side of every EventDispatcher (DisplayHandle), how a display object finds its timeline
// object again, and the script objects made for the objects timelines place.
//
// A display object names its timeline object by the clip whose list holds it and the
// object's serial (for a sprite the serial is also its clip's id), so it survives moves
// and notices removal. Objects made with `new` and objects taken off a list live on the
// world's off-list clip until they are added somewhere.

#include "swf/avm2/Machine.h"
#include "swf/format/Text.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace swf {
class Player;
}
namespace swf::movie {
class Movie;
}
namespace swf::timeline {
class Clip;
class PictureServices;
struct DisplayObject;
struct World;
} // namespace swf::timeline

namespace swf::avm2 {

struct Listener {
    std::string type;
    Value fn;
    int priority = 0;
    bool capture = false;
};

class DisplayHandle : public Object {
public:
    std::vector<Listener> listeners;
    std::uint64_t parentId = 0; // the clip whose list holds the object; 0: none
    std::uint64_t serial = 0;   // the object's serial (the clip id for the root); 0: unbound
    bool isRoot = false;
    bool isStage = false;
    std::map<int, Value> frameScripts; // by frame from 0
    int lastScriptFrame = -1;
    Object* graphics = nullptr; // made on first use
    bool mouseEnabled = true;
    bool mouseChildren = true;
    bool inBroadcastList = false;
    // An AS1/2 movie a Loader loaded (flash.display.AVM1Movie): its insides have no
    // ActionScript 3 objects.
    bool avm1Content = false;
    // A SimpleButton a script made: it shows `buttonShown`, the state of its look
    // (0 up, 1 over, 2 down), as its only child (HostButton.cpp).
    bool scriptButton = false;
    int buttonLook = 0;
    Value buttonShown = Value::null();
    // Root and stage keep here what unbound objects cannot store on a timeline object.
    double rootX = 0, rootY = 0;
    std::map<std::string, Value> extras;
    bool hasListener(const std::string& type) const;
};

// The native side of every Event: what dispatching reads and writes. Subclasses' own
// fields (a mouse event's position, a key event's codes) are kept by name.
class EventObject : public Object {
public:
    std::string type;
    bool bubbles = false;
    bool cancelable = false;
    Value target = Value::null();
    Value currentTarget = Value::null();
    int phase = 2; // 1 capturing, 2 at target, 3 bubbling
    bool stopped = false;    // stopPropagation: the next objects on the path are skipped
    bool stoppedNow = false; // stopImmediatePropagation: the next listeners are skipped too
    bool prevented = false;
    std::map<std::string, Value> fields;
};

// A display object's timeline side; every pointer may be null.
struct Located {
    timeline::Clip* parent = nullptr;
    timeline::DisplayObject* object = nullptr;
    timeline::Clip* clip = nullptr; // its own timeline (sprites and the root)
};

class HostState {
public:
    HostState(Player& player, Machine& machine) : player(player), machine(machine) {}
    Player& player;
    Machine& machine;

    timeline::World* world();
    timeline::Clip* root();
    // Where objects off every list live; null before a movie is shown.
    timeline::Clip* offList();
    Located locate(const DisplayHandle& h);
    // The handle of an EventDispatcher value; TypeError #1034 when it is none.
    DisplayHandle* handleOf(Value v);
    // The script object of a timeline object: made, its children made, and its class's
    // constructor run when it has none yet.
    DisplayHandle* wrap(timeline::Clip& parent, timeline::DisplayObject& object);
    // The script object of a clip (the root's is the document); null off every list.
    DisplayHandle* wrapClip(timeline::Clip& clip);
    // The document object: the root bound before `docClass`'s constructor runs.
    DisplayHandle* wrapRoot(ClassObject* docClass);
    // Makes script objects for what timelines placed since the last call, parents first.
    void sync();
    // The same for one container's children (after a goto).
    void syncChildren(DisplayHandle& h);
    // A display object made by `new`: an empty clip on the off-list clip.
    void createOffList(DisplayHandle& h);
    // `new TextField()`: a text field on the off-list clip (HostText.cpp).
    void createField(DisplayHandle& h);
    std::vector<std::unique_ptr<format::EditTextCharacter>> scriptFields; // their definitions
    // Moves a bound object to `to`'s list at `depth` (an existing object there moves up).
    bool moveTo(DisplayHandle& h, timeline::Clip& to, int depth);

    // Dispatches an event object through the target's ancestors; false when a listener
    // prevented its default.
    bool dispatch(DisplayHandle* target, Value event);
    // Sends an event with no propagation to every object listening for its type.
    void broadcast(const std::string& type);
    void listenFor(DisplayHandle* h, const std::string& type);

    DisplayHandle* stage = nullptr;
    // Stage.displayState set by a script: the host's full screen on (true) or off.
    std::function<void(bool fullScreen)> requestFullScreen;
    DisplayHandle* document = nullptr;
    // Decodes bitmap characters and draws display objects into pixels; may be null.
    std::shared_ptr<timeline::PictureServices> pictures;
    // Reads a file next to the movie by its relative URL; false when refused or missing.
    std::function<bool(const std::string& url, std::string& out)> readFile;
    // Loads asked for by URLLoader (picture false) and Loader, served by serveLoads() on the
    // next frame (HostLoad.cpp).
    struct PendingLoad {
        DisplayHandle* target = nullptr;
        std::string url;
        bool loader = false; // a Loader's (a movie or a picture), else a URLLoader's
        // Loader.loadBytes: the bytes to load instead of a file.
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    };
    std::vector<PendingLoad> loads;
    void queueLoad(PendingLoad load);
    void dropLoads(DisplayHandle* target); // Loader.close
    std::size_t loadedContents = 0; // movies Loaders made content of
    // The LoaderInfo a loaded movie's document gets when it is made, by its object's serial
    // (its constructor may already read loaderInfo).
    std::unordered_map<std::uint64_t, Value> loaderInfoFor;
    void serveLoads();
    // Work the host runs once a frame, before enterFrame (sound channels that ended).
    std::vector<std::function<void()>> frameTasks;
    // The character id SymbolClass links to `cls` or a class it extends in the player's
    // movie; -1 for none.
    int linkedId(ClassObject* cls);
    // The character SymbolClass links to `cls` or a class it extends, in the player's movie
    // or an ActionScript 3 movie a Loader loaded; null for none.
    const format::Character* linkedCharacter(ClassObject* cls);
    // ActionScript 3 movies a Loader loaded, whose code is in the machine.
    std::vector<const movie::Movie*> scriptMovies;
    void addScriptMovie(const movie::Movie& movie);
    // The top of the part of the display tree one movie made: a loaded movie's document for
    // what is inside it, else the player's document when the object is on the stage; null
    // when there is none (an object off every list).
    DisplayHandle* rootOf(DisplayHandle& h);
    ClassObject* eventClass = nullptr;
    ClassObject* mouseEventClass = nullptr;
    ClassObject* keyboardEventClass = nullptr;
    std::unordered_map<std::uint64_t, DisplayHandle*> wrappers; // by serial
    std::vector<DisplayHandle*> broadcastTargets;                // enterFrame and friends
    std::map<std::string, DisplayHandle*> sharedObjects;         // SharedObject.getLocal, by name and path
    // The movie's LoaderInfo (made on first use; HostAppearance.cpp) and its address.
    DisplayHandle* rootLoaderInfo();
    std::string movieUrl;
    // Sends init and complete to the root's LoaderInfo once, on the first frame after the
    // document was made.
    void announceLoaded();

private:
    struct Link {
        const movie::Movie* movie = nullptr;
        int id = -1;
    };
    std::unordered_map<ClassObject*, Link> m_links;
    Link linkOf(ClassObject* cls);
    DisplayHandle* m_rootLoaderInfo = nullptr;
    bool m_announced = false;
    ClassObject* classFor(const timeline::DisplayObject& object);
    void wrapChildren(timeline::Clip& clip, DisplayHandle& owner, int nesting);
    void tellAddedToStage(DisplayHandle& h);
};

// Builds a new event of `cls` with (type, bubbles) for the host to dispatch.
Object* makeEvent(HostState& host, ClassObject* cls, const std::string& type, bool bubbles);

void installEventClasses(HostState& host);     // HostEvents.cpp
void installDisplayClasses(HostState& host);   // HostDisplay.cpp
void installGraphicsClass(HostState& host);    // HostGraphics.cpp
void installTimerClass(HostState& host);       // HostTimer.cpp
void installSoundClasses(HostState& host);     // HostSound.cpp
void installSharedObjectClass(HostState& host); // HostShared.cpp
void installMouseClass(HostState& host);        // HostShared.cpp

} // namespace swf::avm2
