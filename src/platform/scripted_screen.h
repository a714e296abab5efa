// A screen without a window, driven by a script: for tests and for runs without a display.
// Every read of a keystroke first applies the next step of the script (a key, a change of
// the mouse or of the held keys, a check to run), so each main-loop pass consumes one step.
// When the script is used up, every read returns the close request, which ends the program
// (unless the screen is set endless).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "platform/screen.h"

namespace platform {

struct ScriptStep {
  std::string key;                    // "" for none
  std::optional<MouseReading> mouse;  // new mouse state
  std::optional<std::set<int>> held;  // new set of held scan codes
  std::function<void()> action;       // run when the step is applied
  std::string dropped_file;           // a file dropped onto the window
};

class ScriptedScreen : public Screen {
 public:
  // Script building.
  ScriptedScreen& key(std::string k);
  ScriptedScreen& keys(std::string_view typed);  // one step per character
  ScriptedScreen& extended(int scan_code);
  ScriptedScreen& mouse(int x, int y, int buttons, int wheel = 0);
  ScriptedScreen& hold(std::set<int> scan_codes);
  ScriptedScreen& idle(int steps = 1);
  ScriptedScreen& then(std::function<void()> action);
  ScriptedScreen& drop(std::string path);

  bool script_done() const { return script_.empty(); }
  // With `endless` set, a used-up script reads as no input at all instead of the close
  // request, for runs that their caller stops.
  void set_endless(bool endless) { endless_ = endless; }
  int shows() const { return shows_; }
  int pauses() const { return pauses_; }
  double paused_ms() const { return paused_ms_; }
  int key_reads() const { return key_reads_; }
  // Fake clock: advanced by pause, and by this much at every keystroke read.
  void set_seconds_per_key(double s) { seconds_per_key_ = s; }
  void advance_clock(double s) { clock_ += s; }

  bool is_held(int scan_code) override;
  MouseReading poll_mouse() override { return mouse_; }
  double timer() override { return clock_; }
  void pause(int milliseconds) override;
  void set_title(const std::string& title) override { title_ = title; }
  const std::string& title() const { return title_; }
  std::string take_dropped_file() override;

 protected:
  bool open_window(int, int, int, std::string&) override { return true; }
  void show() override { ++shows_; }
  std::string next_key() override;

 private:
  void apply_next_step();

  std::deque<ScriptStep> script_;
  std::deque<std::string> pending_keys_;
  std::set<int> held_;
  MouseReading mouse_;
  std::string dropped_;
  std::string title_;
  double clock_ = 1000.0;
  double seconds_per_key_ = 0.0;
  bool endless_ = false;
  double paused_ms_ = 0.0;
  int shows_ = 0, pauses_ = 0, key_reads_ = 0;
};

}  // namespace platform
