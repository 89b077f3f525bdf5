// System, System.capabilities and System.security, Stage, and the objects of devices
// and services this player does not offer (Camera, Microphone, FileReference,
// PrintJob, XMLSocket, LocalConnection, ExternalInterface, ContextMenu): they exist
// with Flash's methods and answer as Flash did when no device or network is there.

#include "BuiltinSupport.h"

namespace swf::avm1 {

namespace {

Value nothing(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

Value answerFalse(Interpreter&, Object*, std::span<const Value>) {
    return false;
}

Value answerNull(Interpreter&, Object*, std::span<const Value>) {
    return Value::null();
}

Value emptyArray(Interpreter& vm, Object*, std::span<const Value>) {
    return vm.newArray();
}

void defineAll(Interpreter& vm, Object* o, std::initializer_list<const char*> names, NativeFn fn) {
    for (const char* name : names)
        vm.defineMethod(o, name, fn);
}

// --- Accessibility: no screen reader is ever attached, so isActive() is false and the
// others do nothing. Its members are enumerable but permanent and read-only, as in Flash.

void installAccessibility(Interpreter& vm) {
    Object* a = vm.newObject();
    vm.define(a, "constructor", vm.get(vm.global(), "Object"), kDontEnum | kDontDelete);
    vm.defineMethod(a, "isActive", answerFalse, kDontDelete | kReadOnly);
    for (const char* name : {"sendEvent", "updateProperties"})
        vm.defineMethod(a, name, nothing, kDontDelete | kReadOnly);
    sealClass(a);
    vm.define(vm.global(), "Accessibility", a, kDontEnum);
}

// --- System

void installSystem(Interpreter& vm) {
    Object* system = vm.newObject();
    vm.define(vm.global(), "System", system, kDontEnum);
    vm.define(system, "useCodepage", false);
    vm.define(system, "exactSettings", vm.version() >= 7);
    defineAll(vm, system, {"setClipboard", "showSettings"}, nothing);

    Object* security = vm.newObject();
    vm.define(system, "security", security);
    defineAll(vm, security, {"allowDomain", "allowInsecureDomain", "loadPolicyFile"}, nothing);

    // What this player is: a stand-alone Linux player with sound and no camera,
    // microphone, printing or screen broadcast; it reports itself as Flash 8.
    Object* caps = vm.newObject();
    vm.define(system, "capabilities", caps);
    const std::pair<const char*, Value> facts[] = {
        {"avHardwareDisable", true},  {"hasAccessibility", false}, {"hasAudio", true},
        {"hasAudioEncoder", false},   {"hasEmbeddedVideo", true},  {"hasIME", false},
        {"hasMP3", true},             {"hasPrinting", false},      {"hasScreenBroadcast", false},
        {"hasScreenPlayback", false}, {"hasStreamingAudio", true}, {"hasStreamingVideo", false},
        {"hasVideoEncoder", false},   {"isDebugger", false},       {"language", "en"},
        {"localFileReadDisable", false}, {"manufacturer", "Orvane Linux"}, {"os", "Linux"},
        {"pixelAspectRatio", 1},      {"playerType", "StandAlone"}, {"screenColor", "color"},
        {"screenDPI", 72},            {"version", "LNX 8,0,0,0"}};
    for (const auto& [name, value] : facts)
        vm.define(caps, name, value);
    double w = 0, h = 0;
    if (vm.host())
        vm.host()->screenSize(w, h);
    vm.define(caps, "screenResolutionX", w);
    vm.define(caps, "screenResolutionY", h);
    vm.define(caps, "serverString",
              "A=t&SA=t&SV=t&EV=t&MP3=t&AE=f&VE=f&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=LNX%208%2C0%2C0%2C0&M=Orvane%20Linux"
              "&OS=Linux&L=en&AR=1&COL=color&DP=72");
}

// --- Stage: the movie's own size (scaling never changes what scripts read here),
// its display settings as plain state, and onResize listeners.

Value stageWidth(Interpreter& vm, Object*, std::span<const Value>) {
    double w = 0, h = 0;
    return vm.host() && vm.host()->stageSize(w, h) ? Value(w) : Value(0);
}

Value stageHeight(Interpreter& vm, Object*, std::span<const Value>) {
    double w = 0, h = 0;
    return vm.host() && vm.host()->stageSize(w, h) ? Value(h) : Value(0);
}

#define SWF_AVM1_STAGE_SETTING(getName, setName, key)                                                        \
    Value getName(Interpreter& vm, Object* self, std::span<const Value>) {                                   \
        return vm.get(self, key);                                                                            \
    }                                                                                                        \
    Value setName(Interpreter& vm, Object* self, std::span<const Value> args) {                              \
        vm.define(self, key, vm.toString(arg(args, 0)), kDontEnum);                                          \
        return Value();                                                                                      \
    }
SWF_AVM1_STAGE_SETTING(getScaleMode, setScaleMode, "\x01scaleMode")
SWF_AVM1_STAGE_SETTING(getAlign, setAlign, "\x01align")
#undef SWF_AVM1_STAGE_SETTING

Value getShowMenu(Interpreter& vm, Object* self, std::span<const Value>) {
    return vm.get(self, "\x01showMenu");
}

Value setShowMenu(Interpreter& vm, Object* self, std::span<const Value> args) {
    vm.define(self, "\x01showMenu", vm.toBoolean(arg(args, 0)), kDontEnum);
    return Value();
}

// Stage.displayState (Flash 9): "fullScreen" or "normal", any case; other values are
// ignored. Setting it puts the host's window in or out of full screen, as fscommand's
// "fullscreen" does; the host reports the mode it is in through Stage's onFullScreen.
Value getDisplayState(Interpreter& vm, Object* self, std::span<const Value>) {
    return vm.get(self, "\x01displayState");
}

Value setDisplayState(Interpreter& vm, Object* self, std::span<const Value> args) {
    const std::string state = asciiLower(vm.toString(arg(args, 0)));
    if (state != "fullscreen" && state != "normal")
        return Value();
    const bool full = state == "fullscreen";
    vm.define(self, "\x01displayState", full ? "fullScreen" : "normal", kDontEnum);
    if (vm.host())
        vm.host()->getUrl("FSCommand:fullscreen", full ? "true" : "false", 0);
    return Value();
}

void installStage(Interpreter& vm) {
    Object* stage = vm.newObject();
    vm.define(vm.global(), "Stage", stage, kDontEnum);
    defineAccessor(vm, stage, "width", stageWidth, nullptr);
    defineAccessor(vm, stage, "height", stageHeight, nullptr);
    defineAccessor(vm, stage, "scaleMode", getScaleMode, setScaleMode);
    defineAccessor(vm, stage, "align", getAlign, setAlign);
    defineAccessor(vm, stage, "showMenu", getShowMenu, setShowMenu);
    defineAccessor(vm, stage, "displayState", getDisplayState, setDisplayState);
    vm.define(stage, "\x01displayState", "normal", kDontEnum);
    vm.define(stage, "\x01scaleMode", "showAll", kDontEnum);
    vm.define(stage, "\x01align", "", kDontEnum);
    vm.define(stage, "\x01showMenu", true, kDontEnum);
    const Value target[] = {stage};
    vm.callMethod(vm.get(vm.global(), "AsBroadcaster"), "initialize", target);
}

// --- absent devices and services

Value construct(Interpreter&, Object*, std::span<const Value>) {
    return Value();
}

FunctionObject* deviceClass(Interpreter& vm, const char* name, std::initializer_list<const char*> quietMethods) {
    FunctionObject* cls = defineClass(vm, vm.global(), name, construct);
    defineAll(vm, vm.get(cls, "prototype").object(), quietMethods, nothing);
    return cls;
}

// ContextMenu(onSelect): the player keeps its own right-button menu, so these hold data only.
Value contextMenuConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self || !vm.isConstructing(self))
        return Value();
    vm.set(self, "onSelect", arg(args, 0));
    vm.set(self, "customItems", vm.newArray());
    Object* builtIn = vm.newObject();
    for (const char* item : {"forward_back", "loop", "play", "print", "quality", "rewind", "save", "zoom"})
        vm.set(builtIn, item, true);
    vm.set(self, "builtInItems", builtIn);
    return Value();
}

Value contextMenuHideBuiltIns(Interpreter& vm, Object* self, std::span<const Value>) {
    Object* builtIn = vm.get(self, "builtInItems").object();
    if (builtIn)
        for (const Property& p : builtIn->properties())
            if (!(p.flags & kDontEnum))
                vm.set(builtIn, p.name, false);
    return Value();
}

Value contextMenuItemConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (!self || !vm.isConstructing(self))
        return Value();
    vm.set(self, "caption", arg(args, 0));
    vm.set(self, "onSelect", arg(args, 1));
    // The flags keep what was given (123 stays 123); only missing ones take the default.
    const auto flag = [&](std::size_t i, bool fallback) { return arg(args, i).isNullish() ? Value(fallback) : args[i]; };
    vm.set(self, "separatorBefore", flag(2, false));
    vm.set(self, "enabled", flag(3, true));
    vm.set(self, "visible", flag(4, true));
    return Value();
}

// copy(): a new object of the same class with the same enumerable fields.
Value copyFields(Interpreter& vm, Object* self, std::span<const Value>) {
    if (!self)
        return Value();
    Object* copy = vm.newObject(self->proto());
    for (const Property& p : self->properties())
        if (!(p.flags & kDontEnum) && !p.virtualProperty)
            vm.set(copy, p.name, p.value);
    if (Object* items = vm.get(self, "customItems").object(); items && items->kind() == Object::Kind::Array) {
        std::vector<Value> copied;
        for (const Value& item : static_cast<ArrayObject*>(items)->elements)
            copied.push_back(item.isObject() ? vm.callMethod(item, "copy", {}) : item);
        vm.set(copy, "customItems", vm.newArray(std::move(copied)));
    }
    return copy;
}

void installDevices(Interpreter& vm) {
    FunctionObject* camera = deviceClass(
        vm, "Camera", {"setCursor", "setKeyFrameInterval", "setLoopback", "setMode", "setMotionLevel", "setQuality"});
    // Camera.get is a plain property, a function with a prototype (written in ActionScript).
    vm.define(camera, "get", vm.newNative(answerNull, vm.newObject()));
    defineAccessor(vm, camera, "names", emptyArray, nullptr);
    FunctionObject* microphone =
        deviceClass(vm, "Microphone", {"setGain", "setRate", "setSilenceLevel", "setUseEchoSuppression"});
    vm.defineMethod(microphone, "get", answerNull);
    defineAccessor(vm, microphone, "names", emptyArray, nullptr);

    Object* fr = vm.get(deviceClass(vm, "FileReference", {"cancel"}), "prototype").object();
    defineAll(vm, fr, {"browse", "download", "upload", "addListener", "removeListener"}, answerFalse);
    Object* pj = vm.get(deviceClass(vm, "PrintJob", {"send"}), "prototype").object();
    defineAll(vm, pj, {"start", "addPage"}, answerFalse);
    // The page and paper sizes are known only once start() succeeded, which it never does
    // here; Flash listed them as enumerable read-only accessors of the prototype.
    for (const char* name : {"orientation", "pageHeight", "pageWidth", "paperHeight", "paperWidth"})
        defineAccessor(vm, pj, name, nothing, nullptr, 0);
    flagAllMembers(pj, kSwf7Up); // a Flash 7 class
    Object* socket = vm.get(deviceClass(vm, "XMLSocket", {"close"}), "prototype").object();
    defineAll(vm, socket, {"connect", "send"}, answerFalse);
    Object* lc = vm.get(deviceClass(vm, "LocalConnection", {"close"}), "prototype").object();
    defineAll(vm, lc, {"connect", "send"}, answerFalse);
    vm.defineMethod(lc, "domain", [](Interpreter&, Object*, std::span<const Value>) { return Value("localhost"); });

    Object* external = package(vm, package(vm, vm.global(), "flash"), "external");
    FunctionObject* ei = defineClass(vm, external, "ExternalInterface", construct);
    vm.define(ei, "available", false);
    vm.defineMethod(ei, "addCallback", answerFalse);
    vm.defineMethod(ei, "call", answerNull);

}

// ContextMenu and ContextMenuItem are made by movies of every version, but their methods
// carry the Flash 7 flag: older movies call a copy or hideBuiltInItems they cannot see.
void installContextMenu(Interpreter& vm) {
    constexpr PropFlags kMethod = kDontEnum | kDontDelete | kSwf7Up;
    FunctionObject* menu = defineClass(vm, vm.global(), "ContextMenu", contextMenuConstruct);
    Object* mp = vm.get(menu, "prototype").object();
    vm.defineMethod(mp, "hideBuiltInItems", contextMenuHideBuiltIns, kMethod);
    vm.defineMethod(mp, "copy", copyFields, kMethod);
    FunctionObject* item = defineClass(vm, vm.global(), "ContextMenuItem", contextMenuItemConstruct);
    vm.defineMethod(vm.get(item, "prototype").object(), "copy", copyFields, kMethod);
}

} // namespace

void installSystemBuiltins(Interpreter& vm) {
    installSystem(vm);
    installAccessibility(vm);
    installContextMenu(vm);
    if (vm.version() >= 6) {
        installStage(vm);
        installDevices(vm);
    }
}

} // namespace swf::avm1
