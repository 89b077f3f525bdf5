// System, Stage, the absent devices and services, and flash.filters, driven by
// assembled scripts.

#include "ScriptRun.h"

#include <gtest/gtest.h>

using namespace orvane::testing;

TEST(System, CapabilitiesAndSecurityAnswerLikeAStandAlonePlayer) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push "System"; getvariable; push "capabilities"; getmember; push "playerType"; getmember; trace
        push "System"; getvariable; push "capabilities"; getmember; push "version"; getmember; trace
        push "System"; getvariable; push "capabilities"; getmember; push "hasPrinting"; getmember; trace
        push "x.com", 1, "System"; getvariable; push "security"; getmember; push "allowDomain"; callmethod; trace
    )"),
              "StandAlone|LNX 8,0,0,0|false|undefined");
}

TEST(System, StageKeepsSettingsAndBroadcasts) {
    ScriptRun s(7);
    EXPECT_EQ(s.run(R"(
        push "Stage"; getvariable; push "scaleMode"; getmember; trace
        push "Stage"; getvariable; push "scaleMode", "noScale"; setmember
        push "Stage"; getvariable; push "scaleMode"; getmember; trace
        push "Stage"; getvariable; push "showMenu", 0; setmember
        push "Stage"; getvariable; push "showMenu"; getmember; trace
        push "l"; push 0, "Object"; newobject; setvariable
        push "l"; getvariable; push "onResize"
        function () { push "resized"; trace }
        setmember
        push "l"; getvariable; push 1, "Stage"; getvariable; push "addListener"; callmethod; pop
        push "onResize", 1, "Stage"; getvariable; push "broadcastMessage"; callmethod; pop
    )"),
              "showAll|noScale|false|resized");
}

TEST(System, AbsentDevicesAndServicesFailAsFlashDid) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push 0, "Camera"; getvariable; push "get"; callmethod; trace
        push 0, "Microphone"; getvariable; push "get"; callmethod; trace
        push "Camera"; getvariable; push "names"; getmember; push "length"; getmember; trace
        push "s"; push 0, "XMLSocket"; newobject; setvariable
        push 80, "localhost", 2, "s"; getvariable; push "connect"; callmethod; trace
        push "f"; push 0, "FileReference"; newobject; setvariable
        push 0, "f"; getvariable; push "browse"; callmethod; trace
        push "flash"; getvariable; push "external"; getmember; push "ExternalInterface"; getmember; push "available"; getmember; trace
        push "m"; push 0, "ContextMenu"; newobject; setvariable
        push "i"; push "About", 1, "ContextMenuItem"; newobject; setvariable
        push "i"; getvariable; push 1, "m"; getvariable; push "customItems"; getmember; push "push"; callmethod; pop
        push 0, "m"; getvariable; push "hideBuiltInItems"; callmethod; pop
        push "c"; push 0, "m"; getvariable; push "copy"; callmethod; setvariable
        push "c"; getvariable; push "builtInItems"; getmember; push "zoom"; getmember; trace
        push "c"; getvariable; push "customItems"; getmember; push 0; getmember; push "caption"; getmember; trace
        push "c"; getvariable; push "customItems"; getmember; push 0; getmember; push "i"; getvariable; strictequals; trace
    )"),
              "null|null|0|false|false|false|false|About|false");
}

// Accessibility answers that no reader is there; its members are listed but can be neither
// replaced nor deleted. PrintJob's page sizes stay undefined and read-only.
TEST(System, AccessibilityAndPrintJobSizes) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push 0, "Accessibility"; getvariable; push "isActive"; callmethod; trace
        push "Accessibility"; getvariable; push "isActive", 1; setmember
        push "Accessibility"; getvariable; push "isActive"; getmember; typeof; trace
        push "Accessibility"; getvariable; push "sendEvent"; delete; trace
        push "updateProperties", 1, "Accessibility"; getvariable; push "isPropertyEnumerable"; callmethod; trace
        push "Accessibility"; getvariable; push "constructor"; getmember; push "Object"; getvariable; strictequals; trace
        push "j"; push 0, "PrintJob"; newobject; setvariable
        push "j"; getvariable; push "pageWidth", 100; setmember
        push "j"; getvariable; push "pageWidth"; getmember; trace
        push "paperHeight", 1, "PrintJob"; getvariable; push "prototype"; getmember; push "isPropertyEnumerable"; callmethod; trace
    )"),
              "false|function|false|true|true|undefined|true");
}

// The broadcasters' listener arrays carry their own hidden `constructor`, as script
// literals did; Key's own `constructor` is Object.
TEST(System, BroadcasterListsAreLiterals) {
    ScriptRun s(8);
    EXPECT_EQ(s.run(R"(
        push "o"; push 0, "Object"; newobject; setvariable
        push "o"; getvariable; push 1, "AsBroadcaster"; getvariable; push "initialize"; callmethod; pop
        push "o"; getvariable; push "_listeners"; getmember; push "constructor"; getmember; push "Array"; getvariable; strictequals; trace
        push "constructor", 1, "Key"; getvariable; push "_listeners"; getmember; push "hasOwnProperty"; callmethod; trace
        push "Key"; getvariable; push "constructor"; getmember; push "Object"; getvariable; strictequals; trace
    )"),
              "true|true|true");
}

// ContextMenuItem keeps the flags it was given as they were; Flash 5 and 6 movies make
// menus but cannot see the Flash 7 methods.
TEST(System, ContextMenuItemsKeepRawFlagsAndOlderMoviesLackTheMethods) {
    const char* script = R"(
        push "i"; push 123, 123, 123, 123, 123, 5, "ContextMenuItem"; newobject; setvariable
        push "i"; getvariable; push "enabled"; getmember; trace
        push "j"; push "c", 1, "ContextMenuItem"; newobject; setvariable
        push "j"; getvariable; push "visible"; getmember; trace
        push "m"; push 0, "ContextMenu"; newobject; setvariable
        push 0, "m"; getvariable; push "copy"; callmethod; typeof; trace
        push "m"; getvariable; push "builtInItems"; getmember; push "zoom"; getmember; trace
    )";
    ScriptRun s5(5);
    EXPECT_EQ(s5.run(script), "123|true|undefined|true");
    ScriptRun s7(7);
    EXPECT_EQ(s7.run(script), "123|true|object|true");
}

// Sound's prototype members are read-only; each shows from the version that added it.
TEST(System, SoundMembersByVersion) {
    const char* script = R"(
        push "Sound"; getvariable; push "prototype"; getmember; push "start", 1; setmember
        push "Sound"; getvariable; push "prototype"; getmember; push "start"; getmember; typeof; trace
        push "Sound"; getvariable; push "prototype"; getmember; push "getBytesLoaded"; getmember; typeof; trace
        push "Sound"; getvariable; push "prototype"; getmember; push "areSoundsInaccessible"; getmember; typeof; trace
    )";
    ScriptRun s5(5);
    EXPECT_EQ(s5.run(script), "function|undefined|undefined");
    ScriptRun s8(8);
    EXPECT_EQ(s8.run(script), "function|function|undefined");
    ScriptRun s9(9);
    EXPECT_EQ(s9.run(script), "function|function|function");
}

TEST(Filters, ConstructorsConvertAndCloneCopies) {
    ScriptRun s(8);
    const std::string filters = "push \"flash\"; getvariable; push \"filters\"; getmember; ";
    EXPECT_EQ(s.run("push \"b\"; push 0; " + filters + R"(push "BlurFilter"; newmethod; setvariable
        push "b"; getvariable; push "blurX"; getmember; trace
        push "b"; getvariable; push "quality"; getmember; trace
        push "g"; push 3.7, 500, 2, 0.5, 0x1FF00FF, 5; )" + filters + R"(push "GlowFilter"; newmethod; setvariable
        push "g"; getvariable; push "color"; getmember; trace
        push "g"; getvariable; push "blurX"; getmember; trace
        push "g"; getvariable; push "blurY"; getmember; trace
        push "g"; getvariable; push "strength"; getmember; trace
        push "c"; push 0, "g"; getvariable; push "clone"; callmethod; setvariable
        push "c"; getvariable; push "alpha"; getmember; trace
        push "c"; getvariable; push "g"; getvariable; equals2; trace
        push "c"; getvariable; )" + filters + R"(push "GlowFilter"; getmember; instanceof; trace
        push "c"; getvariable; )" + filters + R"(push "BitmapFilter"; getmember; instanceof; trace
        push "m"; push 0; )" + filters + R"(push "ColorMatrixFilter"; newmethod; setvariable
        push "m"; getvariable; push "matrix"; getmember; trace
    )"),
              "4|1|16711935|2|255|3.7|0.5|false|true|true|1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0");
}

// A filter keeps its fields inside: the prototype lists their accessors (which answer
// undefined on anything but a filter of the class), setting converts as the constructor
// does, and an array field reads as a copy.
TEST(Filters, FieldsAreAccessorsOfThePrototype) {
    ScriptRun s(8);
    const std::string filters = "push \"flash\"; getvariable; push \"filters\"; getmember; ";
    EXPECT_EQ(s.run("push \"b\"; push 0; " + filters + R"(push "BlurFilter"; newmethod; setvariable
        push "blurX", 1, "b"; getvariable; push "hasOwnProperty"; callmethod; trace
        push "blurX", 1; )" + filters + R"(push "BlurFilter"; getmember; push "prototype"; getmember; push "isPropertyEnumerable"; callmethod; trace
        )" + filters + R"(push "BlurFilter"; getmember; push "prototype"; getmember; push "blurX"; getmember; trace
        push "b"; getvariable; push "blurX", 1000; setmember
        push "b"; getvariable; push "blurX"; getmember; trace
        push "b"; getvariable; push "quality", 2.9; setmember
        push "b"; getvariable; push "quality"; getmember; trace
        push "m"; push 0; )" + filters + R"(push "ColorMatrixFilter"; newmethod; setvariable
        push "m"; getvariable; push "matrix"; getmember; push 0, 5; setmember
        push "m"; getvariable; push "matrix"; getmember; push 0; getmember; trace
        push "c"; push 0, "b"; getvariable; push "clone"; callmethod; setvariable
        push "c"; getvariable; push "blurX"; getmember; trace
    )"),
              "false|true|undefined|255|2|1|255");
}
