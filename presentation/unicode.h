#pragma once
// Code points between UTF-8 (the program's text), UTF-16 (metafile and RTF text) and the
// Windows-1252 bytes of legacy files.

#include <cstddef>
#include <string>
#include <string_view>

namespace zelk {

inline constexpr char32_t kReplacement = 0xFFFD;

inline bool IsSurrogate(char32_t cp) { return cp >= 0xD800 && cp < 0xE000; }

// A byte of a single-byte code page; only Windows-1252 differs from Latin-1.
char32_t DecodeAnsiByte(unsigned char byte, int codePage);

// Surrogates and values beyond U+10FFFF become the replacement character.
void AppendUtf8(std::string& out, char32_t cp);
void AppendUtf16(std::u16string& out, char32_t cp);

// The code point at `pos` (which must be inside `s`), moving `pos` past it. A byte that does
// not start a valid UTF-8 sequence (overlong, surrogate, cut short) is one Windows-1252
// character: text read from an old plain file keeps its accents.
char32_t NextCodePoint(std::string_view s, std::size_t& pos);

}  // namespace zelk
