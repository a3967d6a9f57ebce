#pragma once
// The program's version, as the about box, `kvr --version` and the installed
// metadata give it.

namespace kv {

inline constexpr const char* ProgramVersion = "3.00";

}  // namespace kv
