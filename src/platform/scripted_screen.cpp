#include "platform/scripted_screen.h"

#include <utility>

#include "platform/keys.h"

namespace platform {

ScriptedScreen& ScriptedScreen::key(std::string k) {
  ScriptStep step;
  step.key = std::move(k);
  script_.push_back(std::move(step));
  return *this;
}

ScriptedScreen& ScriptedScreen::keys(std::string_view typed) {
  for (const char c : typed) key(std::string(1, c));
  return *this;
}

ScriptedScreen& ScriptedScreen::extended(int scan_code) {
  return key(extended_key(scan_code));
}

ScriptedScreen& ScriptedScreen::mouse(int x, int y, int buttons, int wheel) {
  ScriptStep step;
  step.mouse = MouseReading{x, y, wheel, buttons};
  script_.push_back(std::move(step));
  return *this;
}

ScriptedScreen& ScriptedScreen::hold(std::set<int> scan_codes) {
  ScriptStep step;
  step.held = std::move(scan_codes);
  script_.push_back(std::move(step));
  return *this;
}

ScriptedScreen& ScriptedScreen::idle(int steps) {
  for (int i = 0; i < steps; ++i) script_.push_back(ScriptStep{});
  return *this;
}

ScriptedScreen& ScriptedScreen::then(std::function<void()> action) {
  ScriptStep step;
  step.action = std::move(action);
  script_.push_back(std::move(step));
  return *this;
}

ScriptedScreen& ScriptedScreen::drop(std::string path) {
  ScriptStep step;
  step.dropped_file = std::move(path);
  script_.push_back(std::move(step));
  return *this;
}

void ScriptedScreen::apply_next_step() {
  if (script_.empty()) return;
  ScriptStep step = std::move(script_.front());
  script_.pop_front();
  if (step.mouse) mouse_ = *step.mouse;
  if (step.held) held_ = *step.held;
  if (!step.dropped_file.empty()) dropped_ = step.dropped_file;
  if (!step.key.empty()) pending_keys_.push_back(step.key);
  if (step.action) step.action();
}

std::string ScriptedScreen::next_key() {
  ++key_reads_;
  clock_ += seconds_per_key_;
  if (pending_keys_.empty()) {
    if (script_.empty()) return endless_ ? std::string{} : extended_key(scan::kClose);
    apply_next_step();
  }
  if (pending_keys_.empty()) return {};
  std::string k = std::move(pending_keys_.front());
  pending_keys_.pop_front();
  return k;
}

bool ScriptedScreen::is_held(int scan_code) {
  return held_.contains(scan_code);
}

void ScriptedScreen::pause(int milliseconds) {
  ++pauses_;
  if (milliseconds >= 0) {
    clock_ += milliseconds / 1000.0;
    paused_ms_ += milliseconds;
    return;
  }
  while (pending_keys_.empty()) {
    if (script_.empty()) {
      if (endless_) break;
      pending_keys_.push_back(extended_key(scan::kClose));
      break;
    }
    apply_next_step();
  }
}

std::string ScriptedScreen::take_dropped_file() {
  return std::exchange(dropped_, std::string{});
}

}  // namespace platform
