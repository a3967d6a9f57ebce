#pragma once
// The single-byte Windows code pages RTF text comes in: a document's
// \ansicpg, or a font's \fcharset. Windows-1252 (Western), 1250 (Central
// European), 1251 (Cyrillic), 1253 (Greek) and 1254 (Turkish) are known;
// any other code page is read as Windows-1252.

namespace kv::rtf {

// The code page of a font's \fcharset value, or 0 when the charset is not
// one of the known code pages (the document's own code page then applies).
int codePageOfCharset(int charset);

bool isKnownCodePage(int codePage);

// The character a byte stands for in a code page (an unknown one counts as
// Windows-1252). Bytes below 0x80 are ASCII; undefined bytes give U+FFFD.
char32_t decodeByte(int codePage, unsigned char byte);

// The Windows-1252 byte of a character, or -1 when the code page has none.
int encodeCp1252(char32_t codePoint);

}  // namespace kv::rtf
