#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/keys.h"
#include "support/harness.h"

namespace {

using platform::scan::kClose;
using platform::scan::kF1;
using support::Harness;

bool all_black(const Harness& h, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    for (int x = 0; x < h.app.screen_record.width; ++x) {
      if (h.pixel(x, y) != 0) return false;
    }
  }
  return true;
}

TEST(MainLoop, FirstPassPresentsABlackScreenWithoutAPicture) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.screen.then([&] {
    EXPECT_EQ(h.app.frame.reprocess_request, 0);
    EXPECT_EQ(h.app.frame.present_request, 0);
    EXPECT_EQ(h.screen.shows(), 1);  // one unlock
    // Below the menu bar and the status line nothing but black.
    EXPECT_TRUE(all_black(h, 16 * 24, 480));
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(MainLoop, AnIdlePassCostsOnePauseOfFortyMilliseconds) {
  Harness h;
  ASSERT_TRUE(h.start());
  int shows_before = 0;
  h.screen.then([&] { shows_before = h.screen.shows(); }).idle(5);
  h.screen.then([&] {
    EXPECT_EQ(h.screen.pauses(), 5);
    EXPECT_DOUBLE_EQ(h.screen.paused_ms(), 200.0);
    EXPECT_EQ(h.screen.shows(), shows_before);  // nothing presented while idle
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(MainLoop, ReminderStaysUntilAKeyAndThatKeyIsNotActedOn) {
  Harness h;
  ASSERT_TRUE(h.start());
  bool panel_seen = false, still_running = false;
  h.screen.extended(kF1).then([&] {
    panel_seen = h.text(6, 7, 32) == " F1 (this reminder)       " &&
                 h.text(17, 7, 32) == "  pixel aspect/zoom       ";
    const support::Cell frame = h.cell(5, 6);
    EXPECT_EQ(frame.background, 0x404040u);
    EXPECT_EQ(h.cell(6, 8).foreground, 0x000000u);
    EXPECT_EQ(h.cell(6, 8).background, 0x808080u);
  });
  // The close request is taken by the panel, so the program goes on.
  h.screen.extended(kClose).then([&] { still_running = true; });
  h.screen.then([&] { EXPECT_EQ(h.text(6, 7, 32).find("F1 (this"), std::string::npos); });
  EXPECT_EQ(h.run(), 0);
  EXPECT_TRUE(panel_seen);
  EXPECT_TRUE(still_running);
}

TEST(MainLoop, CloseRequestEndsTheProgramButOnlyTheBenchmarkInBenchmarkMode) {
  Harness h;
  ASSERT_TRUE(h.start());
  bool after_first_close = false;
  h.screen.then([&] { h.app.frame.interaction_mode = core::kBenchmarkMode; });
  h.screen.extended(kClose).then([&] {
    after_first_close = true;
    EXPECT_EQ(h.app.frame.interaction_mode, 0);
  });
  h.screen.extended(kClose).then([&] { ADD_FAILURE() << "the second close request must end it"; });
  EXPECT_EQ(h.run(), 0);
  EXPECT_TRUE(after_first_close);
}

TEST(MainLoop, MouseMovesEndTheIdleWaitAndPressesAreSeenOnce) {
  Harness h;
  ASSERT_TRUE(h.start());
  // A step applied by one key read is seen by the poll that follows the idle pause.
  h.screen.mouse(10, 20, 1).then([&] {
    EXPECT_EQ(h.app.mouse.x, 10);
    EXPECT_EQ(h.app.mouse.left_press, 1);
  });
  h.screen.mouse(11, 20, 1).then([&] {
    EXPECT_EQ(h.app.mouse.left_press, 0);  // still held: no new press
    EXPECT_EQ(h.app.mouse.drag_origin_x, 10);
  });
  // Outside the window: raw -1, clamped to 0, buttons 0.
  h.screen.mouse(-1, -1, -1, -1).then([&] {
    EXPECT_EQ(h.app.mouse.raw_x, -1);
    EXPECT_EQ(h.app.mouse.x, 0);
    EXPECT_EQ(h.app.mouse.buttons, 0);
  });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
