// The screen in a real window (SDL2): the screen is shown scaled by the largest whole factor
// that fits the window, letterboxed, with sharp pixels.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/screen.h"

namespace platform {

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
  // Takes every waiting event; returns true when any input arrived.
  bool pump();
  bool handle(const void* raw);
  void present_texture();

  std::unique_ptr<Window> window_;
  std::string program_name_;
  std::deque<std::string> keys_;
  std::deque<std::string> dropped_;
  std::vector<std::uint32_t> rgb_;
  bool alt_tap_ = false;       // an Alt press not yet seen by is_held
  bool alt_consumed_ = false;  // Alt used as a modifier (Alt+F4): not a menu press
};

}  // namespace platform
