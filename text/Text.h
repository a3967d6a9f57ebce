#pragma once
// Text encoding and case folding shared by every layer: the lowest library,
// kvtext, so that the platform layer uses it too.
//
// Internal strings are UTF-8. Archive text fields hold Windows-1252 when every
// character fits that code page (one byte per character), and UTF-8 otherwise.
// Case-insensitive comparison folds ASCII and the Latin letters of
// Windows-1252 (à/À … þ/Þ, œ/Œ, š/Š, ž/Ž, ÿ/Ÿ) with one table of our own, the
// same on every machine whatever its locale.

#include <cstddef>
#include <string>
#include <string_view>

namespace kv::text {

// True when the bytes are valid UTF-8 holding at least one multi-byte sequence.
bool isMultiByteUtf8(std::string_view bytes);

// UTF-8 -> stored field bytes: Windows-1252 when every character fits, else the
// UTF-8 unchanged. Invalid UTF-8 input is kept as it is.
std::string toStored(std::string_view utf8);

// Stored field bytes -> UTF-8: taken as UTF-8 when isMultiByteUtf8, else as
// Windows-1252.
std::string fromStored(std::string_view stored);

// A text file's bytes as UTF-8 (scripts, journal, settings, the viewer's
// plain text). A byte-order mark says the encoding: UTF-8, or UTF-16 little
// or big endian (an odd last byte is dropped, an unpaired surrogate becomes
// U+FFFD); the mark itself is left out. Without one, the rule of fromStored.
std::string decodeTextFile(std::string_view bytes);

// A text for the screen: valid UTF-8 sequences as they are, and each byte
// that is not part of one (a host file name written in a legacy 8-bit
// encoding) as the Windows-1252 character of that byte, so "caf\xE9" shows as
// "café" rather than as a replacement mark. The stored text is not changed.
std::string forDisplay(std::string_view utf8);

// The stored form cut to at most maxBytes bytes, never splitting a character.
std::string storedCut(std::string_view utf8, std::size_t maxBytes);

// The UTF-8 text cut to at most maxBytes bytes without splitting a character.
std::string utf8Cut(std::string_view utf8, std::size_t maxBytes);

// Number of characters (code points) of a UTF-8 text.
std::size_t utf8Length(std::string_view utf8);

// The first count characters (code points, not bytes) of a UTF-8 text, the
// whole text when it has fewer; and the text after them ("" then). A stray
// continuation byte goes with the character before it.
std::string firstChars(std::string_view utf8, std::size_t count);
std::string dropChars(std::string_view utf8, std::size_t count);

// Upper-casing and lower-casing by the folding table (UTF-8 in, UTF-8 out).
std::string upper(std::string_view utf8);
std::string lower(std::string_view utf8);

// Case-insensitive comparison by the folding table: <0, 0, >0. Equal-when-folded
// texts compare 0; order is by folded code points.
int compareNoCase(std::string_view a, std::string_view b);
inline bool equalNoCase(std::string_view a, std::string_view b) {
    return compareNoCase(a, b) == 0;
}

// A folded key for hashing: equalNoCase(a, b) <=> foldKey(a) == foldKey(b).
std::string foldKey(std::string_view utf8);

}  // namespace kv::text
