#include "platform/utf8.h"

namespace platform {

char32_t next_character(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned lead = byte(at);
  int more = 0;
  char32_t code = 0, smallest = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    more = 1, code = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    more = 2, code = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    more = 3, code = lead & 0x07, smallest = 0x10000;
  } else {
    ++at;
    return kReplacement;
  }
  if (at + static_cast<std::size_t>(more) >= text.size()) {
    ++at;
    return kReplacement;
  }
  for (int k = 1; k <= more; ++k) {
    const unsigned b = byte(at + k);
    if ((b & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    code = (code << 6) | (b & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++at;
    return kReplacement;
  }
  at += static_cast<std::size_t>(more) + 1;
  return code;
}

std::size_t character_count(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t at = 0; at < text.size(); ++n) next_character(text, at);
  return n;
}

std::string_view first_characters(std::string_view text, std::size_t n) {
  std::size_t at = 0;
  for (std::size_t k = 0; k < n && at < text.size(); ++k) next_character(text, at);
  return text.substr(0, at);
}

bool is_one_character(std::string_view key) {
  if (key.empty()) return false;
  std::size_t at = 0;
  const char32_t c = next_character(key, at);
  return at == key.size() && (c != kReplacement || key == encode_character(kReplacement));
}

std::string encode_character(char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

}  // namespace platform
