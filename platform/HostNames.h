#pragma once
// Host file names as Windows names, and back, without loss.
//
// A host name is any run of bytes but '/' and NUL; a Windows name here is
// UTF-8 text. A host name that is valid UTF-8 is its own Windows name. In one
// that is not, each byte that is not part of a valid UTF-8 sequence (always
// 0x80..0xFF) is written as the character U+F700 + that byte (U+F780..U+F7FF,
// private-use characters no code page maps), and turned back into that byte on
// the way to the host. So "caf\xE9.txt" (Latin-1) reads "caf\uF7E9.txt" and
// comes back as exactly its own bytes.
//
// The mapping is one-to-one only if no host name holds those characters of its
// own, and no Windows name holds a run of them that would read back as valid
// UTF-8: such names are refused both ways (nullopt), as names holding a
// backslash are (a backslash separates Windows components).

#include <optional>
#include <string>
#include <string_view>

namespace kv::hostnames {

// The Windows name of a host name (one component); nullopt when it holds a
// backslash or a character of U+F780..U+F7FF.
std::optional<std::string> toWindowsName(std::string_view hostName);

// The host name of a Windows name (one component): each U+F780..U+F7FF
// becomes its byte. nullopt when the result would not read back as the same
// Windows name.
std::optional<std::string> toHostName(std::string_view windowsName);

}  // namespace kv::hostnames
