// The screen in a real window (SDL2): the screen is shown scaled by the largest whole factor
// that fits the window, letterboxed, with sharp pixels. SDL's offscreen and dummy video
// drivers show nothing, so they are refused (as no display) unless the environment variable
// VELDRAN_ALLOW_HEADLESS is 1, as the tests set it.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/screen.h"

namespace platform {

inline constexpr const char* kAllowHeadlessVariable = "VELDRAN_ALLOW_HEADLESS";

class SdlScreen : public Screen {
 public:
  explicit SdlScreen(std::string program_name);
  ~SdlScreen() override;

  bool is_held(int scan_code) override;
  MouseReading poll_mouse() override;
  double timer() override;
  void pause(int milliseconds) override;
  void set_title(const std::string& name) override;
  std::string take_dropped_file() override;

 protected:
  bool open_window(int width, int height, int depth, std::string& error) override;
  void show() override;
  std::string next_key() override;

 private:
  struct Window;
  // A key press that may still bring its character as text input; without one it is the
  // `keystroke` given here.
  struct PendingKey {
    bool waiting = false;
    std::int32_t key = 0;
    std::uint16_t mod = 0;
    std::string keystroke;
  };
  // Takes every waiting event; returns true when any input arrived.
  bool pump();
  bool handle(const void* raw);
  void key_down(std::int32_t key, std::uint16_t mod, bool repeat);
  void text_input(const char* text);
  void settle_pending_key();
  bool alt_in(std::uint16_t mod) const;
  void present_texture();

  std::unique_ptr<Window> window_;
  std::string program_name_;
  std::deque<std::string> keys_;
  std::deque<std::string> dropped_;
  std::vector<std::uint32_t> rgb_;
  PendingKey pending_;
  bool alt_tap_ = false;       // an Alt press not yet seen by is_held
  bool alt_consumed_ = false;  // Alt used as a modifier (Alt+F4): not a menu press
  // Right Alt has typed a character of its own (AltGr+Q gave "@"): on this keyboard it is
  // AltGr, which types characters and is no Alt key.
  bool right_alt_is_altgr_ = false;
};

}  // namespace platform
