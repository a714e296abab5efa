#include "core/mouse.h"

#include <algorithm>

namespace core {

void poll_mouse(App& app) {
  MouseState& m = app.mouse;
  m.previous_buttons = m.buttons;
  m.previous_wheel = m.wheel;
  m.previous_x = m.x;
  m.previous_y = m.y;
  const platform::MouseReading r = app.screen.poll_mouse();
  m.raw_x = r.x;
  m.raw_y = r.y;
  m.wheel = r.wheel;
  m.buttons = r.buttons;
  m.x = m.raw_x;
  m.y = m.raw_y;
  m.left_press = 0;
  m.right_press = 0;
  if (m.buttons == -1) m.buttons = 0;
  if ((m.previous_buttons & 1) == 0) m.left_press = static_cast<std::uint8_t>(m.buttons & 1);
  if ((m.previous_buttons & 2) == 0) m.right_press = static_cast<std::uint8_t>(m.buttons & 2);
  m.x = std::clamp(m.x, 0, app.screen_record.last_x);
  m.y = std::clamp(m.y, 0, app.screen_record.last_y);
}

}  // namespace core
