#pragma once
// Every AVM1 action listed once: name, code and the first SWF version that has it.
// The list generates the code enum, the names used by the disassembler and traces,
// and can drive an interpreter's dispatch: X(name, code, version).

#include <cstdint>

namespace swf::avm1 {

#define SWF_AVM1_ACTIONS(X)                                                                                  \
    X(End, 0x00, 1)                                                                                          \
    X(NextFrame, 0x04, 3)                                                                                    \
    X(PreviousFrame, 0x05, 3)                                                                                \
    X(Play, 0x06, 3)                                                                                         \
    X(Stop, 0x07, 3)                                                                                         \
    X(ToggleQuality, 0x08, 3)                                                                                \
    X(StopSounds, 0x09, 3)                                                                                   \
    X(Add, 0x0A, 4)                                                                                          \
    X(Subtract, 0x0B, 4)                                                                                     \
    X(Multiply, 0x0C, 4)                                                                                     \
    X(Divide, 0x0D, 4)                                                                                       \
    X(Equals, 0x0E, 4)                                                                                       \
    X(Less, 0x0F, 4)                                                                                         \
    X(And, 0x10, 4)                                                                                          \
    X(Or, 0x11, 4)                                                                                           \
    X(Not, 0x12, 4)                                                                                          \
    X(StringEquals, 0x13, 4)                                                                                 \
    X(StringLength, 0x14, 4)                                                                                 \
    X(StringExtract, 0x15, 4)                                                                                \
    X(Pop, 0x17, 4)                                                                                          \
    X(ToInteger, 0x18, 4)                                                                                    \
    X(GetVariable, 0x1C, 4)                                                                                  \
    X(SetVariable, 0x1D, 4)                                                                                  \
    X(SetTarget2, 0x20, 4)                                                                                   \
    X(StringAdd, 0x21, 4)                                                                                    \
    X(GetProperty, 0x22, 4)                                                                                  \
    X(SetProperty, 0x23, 4)                                                                                  \
    X(CloneSprite, 0x24, 4)                                                                                  \
    X(RemoveSprite, 0x25, 4)                                                                                 \
    X(Trace, 0x26, 4)                                                                                        \
    X(StartDrag, 0x27, 4)                                                                                    \
    X(EndDrag, 0x28, 4)                                                                                      \
    X(StringLess, 0x29, 4)                                                                                   \
    X(Throw, 0x2A, 7)                                                                                        \
    X(CastOp, 0x2B, 7)                                                                                       \
    X(ImplementsOp, 0x2C, 7)                                                                                 \
    X(FSCommand2, 0x2D, 6)                                                                                   \
    X(RandomNumber, 0x30, 4)                                                                                 \
    X(MBStringLength, 0x31, 4)                                                                               \
    X(CharToAscii, 0x32, 4)                                                                                  \
    X(AsciiToChar, 0x33, 4)                                                                                  \
    X(GetTime, 0x34, 4)                                                                                      \
    X(MBStringExtract, 0x35, 4)                                                                              \
    X(MBCharToAscii, 0x36, 4)                                                                                \
    X(MBAsciiToChar, 0x37, 4)                                                                                \
    X(Delete, 0x3A, 5)                                                                                       \
    X(Delete2, 0x3B, 5)                                                                                      \
    X(DefineLocal, 0x3C, 5)                                                                                  \
    X(CallFunction, 0x3D, 5)                                                                                 \
    X(Return, 0x3E, 5)                                                                                       \
    X(Modulo, 0x3F, 5)                                                                                       \
    X(NewObject, 0x40, 5)                                                                                    \
    X(DefineLocal2, 0x41, 5)                                                                                 \
    X(InitArray, 0x42, 5)                                                                                    \
    X(InitObject, 0x43, 5)                                                                                   \
    X(TypeOf, 0x44, 5)                                                                                       \
    X(TargetPath, 0x45, 5)                                                                                   \
    X(Enumerate, 0x46, 5)                                                                                    \
    X(Add2, 0x47, 5)                                                                                         \
    X(Less2, 0x48, 5)                                                                                        \
    X(Equals2, 0x49, 5)                                                                                      \
    X(ToNumber, 0x4A, 5)                                                                                     \
    X(ToString, 0x4B, 5)                                                                                     \
    X(PushDuplicate, 0x4C, 5)                                                                                \
    X(StackSwap, 0x4D, 5)                                                                                    \
    X(GetMember, 0x4E, 5)                                                                                    \
    X(SetMember, 0x4F, 5)                                                                                    \
    X(Increment, 0x50, 5)                                                                                    \
    X(Decrement, 0x51, 5)                                                                                    \
    X(CallMethod, 0x52, 5)                                                                                   \
    X(NewMethod, 0x53, 5)                                                                                    \
    X(InstanceOf, 0x54, 6)                                                                                   \
    X(Enumerate2, 0x55, 6)                                                                                   \
    X(BitAnd, 0x60, 5)                                                                                       \
    X(BitOr, 0x61, 5)                                                                                        \
    X(BitXor, 0x62, 5)                                                                                       \
    X(BitLShift, 0x63, 5)                                                                                    \
    X(BitRShift, 0x64, 5)                                                                                    \
    X(BitURShift, 0x65, 5)                                                                                   \
    X(StrictEquals, 0x66, 6)                                                                                 \
    X(Greater, 0x67, 6)                                                                                      \
    X(StringGreater, 0x68, 6)                                                                                \
    X(Extends, 0x69, 7)                                                                                      \
    X(GotoFrame, 0x81, 3)                                                                                    \
    X(GetURL, 0x83, 3)                                                                                       \
    X(StoreRegister, 0x87, 5)                                                                                \
    X(ConstantPool, 0x88, 5)                                                                                 \
    X(StrictMode, 0x89, 5)                                                                                   \
    X(WaitForFrame, 0x8A, 3)                                                                                 \
    X(SetTarget, 0x8B, 3)                                                                                    \
    X(GoToLabel, 0x8C, 3)                                                                                    \
    X(WaitForFrame2, 0x8D, 4)                                                                                \
    X(DefineFunction2, 0x8E, 7)                                                                              \
    X(Try, 0x8F, 7)                                                                                          \
    X(With, 0x94, 5)                                                                                         \
    X(Push, 0x96, 4)                                                                                         \
    X(Jump, 0x99, 4)                                                                                         \
    X(GetURL2, 0x9A, 4)                                                                                      \
    X(DefineFunction, 0x9B, 5)                                                                               \
    X(If, 0x9D, 4)                                                                                           \
    X(Call, 0x9E, 4)                                                                                         \
    X(GotoFrame2, 0x9F, 4)

enum class ActionCode : std::uint8_t {
#define SWF_AVM1_ENUM(name, code, version) name = code,
    SWF_AVM1_ACTIONS(SWF_AVM1_ENUM)
#undef SWF_AVM1_ENUM
};

struct ActionInfo {
    const char* name = nullptr; // nullptr: not a valid action code
    std::uint8_t minVersion = 0;
};

// Name and version of an action code, by table lookup.
constexpr ActionInfo actionInfo(std::uint8_t code) {
    switch (code) {
#define SWF_AVM1_INFO(name, value, version)                                                                  \
    case value:                                                                                              \
        return ActionInfo{#name, version};
        SWF_AVM1_ACTIONS(SWF_AVM1_INFO)
#undef SWF_AVM1_INFO
    }
    return {};
}

constexpr const char* actionName(std::uint8_t code) {
    return actionInfo(code).name;
}

} // namespace swf::avm1
