#pragma once
// Text to action bytes, for tests. One statement per line (or separated by ';'):
//
//   constants "a" "b"            ConstantPool
//   push "s", 1, 2.5, nan, true, null, undefined, r:1, c:0, f:1.5
//                                (integers become type 7, other numbers doubles,
//                                 r: a register, c: a constant index, f: a float)
//   loop:                        a label; jump loop / if loop branch to it
//   function name(a, b) { ... }  DefineFunction (name may be left out)
//   function2 name(r1:a, b) regs=3 preload_this suppress_super { ... }
//   with { ... }
//   try e { ... } catch { ... } finally { ... }     (or try r:2 for a register)
//   gotoframe 3 | gotolabel "x" | settarget "x" | store 1 | geturl "u" "t"
//   gotoframe2 play bias 2 | geturl2 2 | waitforframe 5 1 | waitforframe2 1
//   raw 96 02 00                 bytes as they are
//   any other word               the one-byte action of that name (add2, trace, ...)
//
// '#' starts a comment. The result ends with the End action. Errors throw
// std::runtime_error naming the line.

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvane::testing {

std::vector<std::uint8_t> assembleActions(std::string_view source);

} // namespace orvane::testing
