// Fuzz target: the prompt's answer. Any line through the first-item rule, and any keystrokes
// through the line reader on a screen (typing, Backspace, Esc, keys it ignores, lines longer
// than the field or than the reader keeps, the close request), with the answer checked
// against a plain model of the editing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/keys.h"
#include "platform/screen.h"
#include "platform/scripted_screen.h"

namespace fuzz {

// The first item as the rule reads: blanks and tabs skipped; a double quote runs to the next
// one (or the end); otherwise up to the first comma (or the end).
inline std::string first_item_model(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::string item;
  const bool quoted = i < line.size() && line[i] == '"';
  for (std::size_t k = quoted ? i + 1 : i; k < line.size(); ++k) {
    if (line[k] == (quoted ? '"' : ',')) break;
    item += line[k];
  }
  return item;
}

bool prompt_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  if (platform::first_input_item(line) != first_item_model(line)) return false;

  // Bytes as keystrokes: 0xFF and the next byte an extended key; the typing is repeated
  // when the first byte is odd, to get past the reader's 4096 characters.
  constexpr std::size_t kMaxLine = 4096;
  platform::ScriptedScreen screen;
  std::string error;
  if (!screen.open(320, 200, (size > 0 && (data[0] & 2)) ? 8 : 32, error)) return false;
  screen.locate(8, 8);
  const int rounds = size > 0 && (data[0] & 1) ? 1 + static_cast<int>(kMaxLine / (size + 1)) : 1;
  std::string typed;
  bool entered = false, closed = false;
  for (int round = 0; round < rounds && !entered && !closed; ++round) {
    for (std::size_t i = 1; i < size && !entered && !closed; ++i) {
      const auto b = static_cast<unsigned char>(data[i]);
      if (b == 0xFF && i + 1 < size) {
        const int code = data[++i];
        screen.extended(code);
        closed = code == platform::scan::kClose;
        continue;
      }
      screen.key(std::string(1, static_cast<char>(b)));
      if (b == platform::kEnter) {
        entered = true;
      } else if (b == platform::kBackspace) {
        if (!typed.empty()) typed.pop_back();
      } else if (b == platform::kEscape) {
        typed.clear();
      } else if (b >= 32 && b < 0x80 && typed.size() < kMaxLine) {
        // (A byte from 0x80 up on its own is no UTF-8 character: it types nothing.)
        typed += static_cast<char>(b);
      }
    }
  }
  const std::string answer = screen.read_line();
  // Without Enter the script ends in the close request: no answer, and the request stays.
  if (!entered)
    return answer.empty() && platform::is_extended(screen.read_key(), platform::scan::kClose);
  return answer == first_item_model(typed);
}

}  // namespace fuzz
