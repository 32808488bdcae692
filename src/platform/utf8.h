// UTF-8, the core's string encoding: the one decoder every conversion out of it uses
// (UTF-16, Windows-1251, value texts), and the encoder of one character.
#pragma once

#include <string>
#include <string_view>

namespace eqd::platform {

// What DecodeUtf8 returns for a malformed sequence.
inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// Decodes the character at Text[Pos] and advances Pos past it. Only well-formed UTF-8
// is a character: an overlong form, an encoded surrogate, a value above U+10FFFF, a
// stray continuation byte or a truncated sequence gives kInvalidUtf8 and advances by
// its longest valid beginning (at least one byte), so no following character is lost.
char32_t DecodeUtf8(std::string_view Text, std::size_t& Pos);

// Appends the UTF-8 form of a code point (U+0000..U+10FFFF).
void AppendUtf8(std::string& Out, char32_t CodePoint);

// Whether the whole text is well-formed UTF-8 (DecodeUtf8 finds no malformed sequence).
bool IsWellFormedUtf8(std::string_view Text);

}  // namespace eqd::platform
