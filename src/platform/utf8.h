// Text is UTF-8 bytes from the keyboard to the file system: these helpers step through it by
// character, so that the screen draws one cell per character and fields count characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kReplacement = 0xFFFD;

// The character starting at text[at]; `at` moves past it. A byte that does not start a
// well-formed character (a stray continuation, an overlong form, a surrogate, beyond
// U+10FFFF, or cut short) gives U+FFFD and moves `at` by one.
char32_t next_character(std::string_view text, std::size_t& at);

std::size_t character_count(std::string_view text);

// The first `n` characters of `text` (all of it when it is shorter).
std::string_view first_characters(std::string_view text, std::size_t n);

// True when `key` is exactly one well-formed character.
bool is_one_character(std::string_view key);

// The UTF-8 bytes of one code point (U+FFFD for what is not one).
std::string encode_character(char32_t code);

}  // namespace platform
