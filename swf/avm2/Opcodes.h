#pragma once
// The AVM2 instruction set: one table drives decoding, checking and dispatch.
// Each row is X(name, byte, operand format). Operand formats say what the
// instruction's immediates index, so the decoder can check each against its pool.

#include <cstdint>

namespace swf::avm2 {

enum class Operands : std::uint8_t {
    None,
    U8,          // pushbyte (signed byte), getscopeobject
    Int,         // pushshort: a signed 30-bit value
    String,      // string pool index
    IntPool,     // int pool index
    UIntPool,    // uint pool index
    DoublePool,  // double pool index
    Namespace,   // namespace pool index
    Multiname,   // multiname pool index
    MultinameArgc, // multiname, argument count
    Argc,        // argument count
    Register,    // local register
    TwoRegisters, // hasnext2
    Method,      // method index
    MethodArgc,  // callstatic: method index, argument count
    DispArgc,    // callmethod: dispatch id, argument count
    Class,       // class index
    Exception,   // exception index of this body
    Slot,        // slot index (checked when used)
    Branch,      // s24 offset
    Switch,      // lookupswitch
    Debug,       // debug: u8, string, u8, u30
    Skip,        // one u30 that is not used (debugline, bkptline, ...)
};

#define ORVANE_AVM2_OPCODES(X)                                                                               \
    X(Bkpt, 0x01, None)                                                                                      \
    X(Nop, 0x02, None)                                                                                       \
    X(Throw, 0x03, None)                                                                                     \
    X(GetSuper, 0x04, Multiname)                                                                             \
    X(SetSuper, 0x05, Multiname)                                                                             \
    X(Dxns, 0x06, String)                                                                                    \
    X(DxnsLate, 0x07, None)                                                                                  \
    X(Kill, 0x08, Register)                                                                                  \
    X(Label, 0x09, None)                                                                                     \
    X(IfNlt, 0x0C, Branch)                                                                                   \
    X(IfNle, 0x0D, Branch)                                                                                   \
    X(IfNgt, 0x0E, Branch)                                                                                   \
    X(IfNge, 0x0F, Branch)                                                                                   \
    X(Jump, 0x10, Branch)                                                                                    \
    X(IfTrue, 0x11, Branch)                                                                                  \
    X(IfFalse, 0x12, Branch)                                                                                 \
    X(IfEq, 0x13, Branch)                                                                                    \
    X(IfNe, 0x14, Branch)                                                                                    \
    X(IfLt, 0x15, Branch)                                                                                    \
    X(IfLe, 0x16, Branch)                                                                                    \
    X(IfGt, 0x17, Branch)                                                                                    \
    X(IfGe, 0x18, Branch)                                                                                    \
    X(IfStrictEq, 0x19, Branch)                                                                              \
    X(IfStrictNe, 0x1A, Branch)                                                                              \
    X(LookupSwitch, 0x1B, Switch)                                                                            \
    X(PushWith, 0x1C, None)                                                                                  \
    X(PopScope, 0x1D, None)                                                                                  \
    X(NextName, 0x1E, None)                                                                                  \
    X(HasNext, 0x1F, None)                                                                                   \
    X(PushNull, 0x20, None)                                                                                  \
    X(PushUndefined, 0x21, None)                                                                             \
    X(NextValue, 0x23, None)                                                                                 \
    X(PushByte, 0x24, U8)                                                                                    \
    X(PushShort, 0x25, Int)                                                                                  \
    X(PushTrue, 0x26, None)                                                                                  \
    X(PushFalse, 0x27, None)                                                                                 \
    X(PushNaN, 0x28, None)                                                                                   \
    X(Pop, 0x29, None)                                                                                       \
    X(Dup, 0x2A, None)                                                                                       \
    X(Swap, 0x2B, None)                                                                                      \
    X(PushString, 0x2C, String)                                                                              \
    X(PushInt, 0x2D, IntPool)                                                                                \
    X(PushUInt, 0x2E, UIntPool)                                                                              \
    X(PushDouble, 0x2F, DoublePool)                                                                          \
    X(PushScope, 0x30, None)                                                                                 \
    X(PushNamespace, 0x31, Namespace)                                                                        \
    X(HasNext2, 0x32, TwoRegisters)                                                                          \
    X(NewFunction, 0x40, Method)                                                                             \
    X(Call, 0x41, Argc)                                                                                      \
    X(Construct, 0x42, Argc)                                                                                 \
    X(CallMethod, 0x43, DispArgc)                                                                            \
    X(CallStatic, 0x44, MethodArgc)                                                                          \
    X(CallSuper, 0x45, MultinameArgc)                                                                        \
    X(CallProperty, 0x46, MultinameArgc)                                                                     \
    X(ReturnVoid, 0x47, None)                                                                                \
    X(ReturnValue, 0x48, None)                                                                               \
    X(ConstructSuper, 0x49, Argc)                                                                            \
    X(ConstructProp, 0x4A, MultinameArgc)                                                                    \
    X(CallPropLex, 0x4C, MultinameArgc)                                                                      \
    X(CallSuperVoid, 0x4E, MultinameArgc)                                                                    \
    X(CallPropVoid, 0x4F, MultinameArgc)                                                                     \
    X(Sxi1, 0x50, None)                                                                                      \
    X(Sxi8, 0x51, None)                                                                                      \
    X(Sxi16, 0x52, None)                                                                                     \
    X(ApplyType, 0x53, Argc)                                                                                 \
    X(NewObject, 0x55, Argc)                                                                                 \
    X(NewArray, 0x56, Argc)                                                                                  \
    X(NewActivation, 0x57, None)                                                                             \
    X(NewClass, 0x58, Class)                                                                                 \
    X(GetDescendants, 0x59, Multiname)                                                                       \
    X(NewCatch, 0x5A, Exception)                                                                             \
    X(FindPropStrict, 0x5D, Multiname)                                                                       \
    X(FindProperty, 0x5E, Multiname)                                                                         \
    X(FindDef, 0x5F, Multiname)                                                                              \
    X(GetLex, 0x60, Multiname)                                                                               \
    X(SetProperty, 0x61, Multiname)                                                                          \
    X(GetLocal, 0x62, Register)                                                                              \
    X(SetLocal, 0x63, Register)                                                                              \
    X(GetGlobalScope, 0x64, None)                                                                            \
    X(GetScopeObject, 0x65, U8)                                                                              \
    X(GetProperty, 0x66, Multiname)                                                                          \
    X(GetOuterScope, 0x67, Slot)                                                                             \
    X(InitProperty, 0x68, Multiname)                                                                         \
    X(DeleteProperty, 0x6A, Multiname)                                                                       \
    X(GetSlot, 0x6C, Slot)                                                                                   \
    X(SetSlot, 0x6D, Slot)                                                                                   \
    X(GetGlobalSlot, 0x6E, Slot)                                                                             \
    X(SetGlobalSlot, 0x6F, Slot)                                                                             \
    X(ConvertS, 0x70, None)                                                                                  \
    X(EscXElem, 0x71, None)                                                                                  \
    X(EscXAttr, 0x72, None)                                                                                  \
    X(ConvertI, 0x73, None)                                                                                  \
    X(ConvertU, 0x74, None)                                                                                  \
    X(ConvertD, 0x75, None)                                                                                  \
    X(ConvertB, 0x76, None)                                                                                  \
    X(ConvertO, 0x77, None)                                                                                  \
    X(CheckFilter, 0x78, None)                                                                               \
    X(Coerce, 0x80, Multiname)                                                                               \
    X(CoerceB, 0x81, None)                                                                                   \
    X(CoerceA, 0x82, None)                                                                                   \
    X(CoerceI, 0x83, None)                                                                                   \
    X(CoerceD, 0x84, None)                                                                                   \
    X(CoerceS, 0x85, None)                                                                                   \
    X(AsType, 0x86, Multiname)                                                                               \
    X(AsTypeLate, 0x87, None)                                                                                \
    X(CoerceU, 0x88, None)                                                                                   \
    X(CoerceO, 0x89, None)                                                                                   \
    X(Negate, 0x90, None)                                                                                    \
    X(Increment, 0x91, None)                                                                                 \
    X(IncLocal, 0x92, Register)                                                                              \
    X(Decrement, 0x93, None)                                                                                 \
    X(DecLocal, 0x94, Register)                                                                              \
    X(TypeOf, 0x95, None)                                                                                    \
    X(Not, 0x96, None)                                                                                       \
    X(BitNot, 0x97, None)                                                                                    \
    X(Add, 0xA0, None)                                                                                       \
    X(Subtract, 0xA1, None)                                                                                  \
    X(Multiply, 0xA2, None)                                                                                  \
    X(Divide, 0xA3, None)                                                                                    \
    X(Modulo, 0xA4, None)                                                                                    \
    X(LShift, 0xA5, None)                                                                                    \
    X(RShift, 0xA6, None)                                                                                    \
    X(URShift, 0xA7, None)                                                                                   \
    X(BitAnd, 0xA8, None)                                                                                    \
    X(BitOr, 0xA9, None)                                                                                     \
    X(BitXor, 0xAA, None)                                                                                    \
    X(Equals, 0xAB, None)                                                                                    \
    X(StrictEquals, 0xAC, None)                                                                              \
    X(LessThan, 0xAD, None)                                                                                  \
    X(LessEquals, 0xAE, None)                                                                                \
    X(GreaterThan, 0xAF, None)                                                                               \
    X(GreaterEquals, 0xB0, None)                                                                             \
    X(InstanceOf, 0xB1, None)                                                                                \
    X(IsType, 0xB2, Multiname)                                                                               \
    X(IsTypeLate, 0xB3, None)                                                                                \
    X(In, 0xB4, None)                                                                                        \
    X(IncrementI, 0xC0, None)                                                                                \
    X(DecrementI, 0xC1, None)                                                                                \
    X(IncLocalI, 0xC2, Register)                                                                             \
    X(DecLocalI, 0xC3, Register)                                                                             \
    X(NegateI, 0xC4, None)                                                                                   \
    X(AddI, 0xC5, None)                                                                                      \
    X(SubtractI, 0xC6, None)                                                                                 \
    X(MultiplyI, 0xC7, None)                                                                                 \
    X(GetLocal0, 0xD0, None)                                                                                 \
    X(GetLocal1, 0xD1, None)                                                                                 \
    X(GetLocal2, 0xD2, None)                                                                                 \
    X(GetLocal3, 0xD3, None)                                                                                 \
    X(SetLocal0, 0xD4, None)                                                                                 \
    X(SetLocal1, 0xD5, None)                                                                                 \
    X(SetLocal2, 0xD6, None)                                                                                 \
    X(SetLocal3, 0xD7, None)                                                                                 \
    X(Debug, 0xEF, Debug)                                                                                    \
    X(DebugLine, 0xF0, Skip)                                                                                 \
    X(DebugFile, 0xF1, String)                                                                               \
    X(BkptLine, 0xF2, Skip)                                                                                  \
    X(Timestamp, 0xF3, None)

enum class Op : std::uint8_t {
#define ORVANE_AVM2_ENUM(name, code, format) name = code,
    ORVANE_AVM2_OPCODES(ORVANE_AVM2_ENUM)
#undef ORVANE_AVM2_ENUM
};

struct OpInfo {
    const char* name = nullptr; // null: not an instruction
    Operands operands = Operands::None;
};

// Indexed by opcode byte.
const OpInfo& opInfo(std::uint8_t code);

} // namespace swf::avm2
