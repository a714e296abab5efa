#include <gtest/gtest.h>

#include <string>

#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using support::Harness;

// 2 x 1 pixels: left red, right blue.
std::string two_pixel_bmp() {
  return support::bmp24(2, 1, [](int x, int) { return x == 0 ? 0xFF0000u : 0x0000FFu; });
}

// Starts the benchmark through the Edit menu (Alt, "e", "b") with a picture loaded.
void start_benchmark(Harness& h) {
  h.dir.write("pic.bmp", two_pixel_bmp());
  ASSERT_TRUE(h.start("pic.bmp"));
  h.screen.set_seconds_per_key(0.01);
  h.screen.hold({platform::scan::kAlt}).hold({}).keys("eb");
}

TEST(BenchmarkMode, EveryPassReloadsAndTheRateIsShown) {
  Harness h;
  start_benchmark(h);
  h.screen.then([&] {
    EXPECT_EQ(h.app.frame.interaction_mode, 5);
    h.app.store.working().at(0, 0) = 0x123456;  // the next reload puts the file back
  });
  h.screen.idle(20).then([&] {
    EXPECT_EQ(h.app.store.working().at(0, 0), 0xFF0000u);
    EXPECT_EQ(h.text(3, 3, 23), "FPS (R-click to end) ");
    EXPECT_GT(h.app.frame.frame_counter, 10.0);
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(BenchmarkMode, AKeyEndsItAndIsNotActedOn) {
  Harness h;
  start_benchmark(h);
  h.screen.idle(3).key("x");  // flip X, were it acted on
  h.screen.idle(2).then([&] {
    EXPECT_EQ(h.app.frame.interaction_mode, 0);
    const img::Plane w = h.app.store.working();
    EXPECT_EQ(w.at(0, 0), 0xFF0000u);  // not mirrored
    EXPECT_EQ(w.at(1, 0), 0x0000FFu);
  });
  EXPECT_EQ(h.run(), 0);
}

TEST(BenchmarkMode, ARightPressEndsIt) {
  Harness h;
  start_benchmark(h);
  h.screen.idle(3).mouse(100, 300, 2);
  h.screen.idle(1).then([&] { EXPECT_EQ(h.app.frame.interaction_mode, 0); });
  EXPECT_EQ(h.run(), 0);
}

TEST(BenchmarkMode, TheFirstCloseRequestEndsOnlyTheBenchmark) {
  Harness h;
  start_benchmark(h);
  bool survived = false;
  h.screen.idle(3).extended(platform::scan::kClose);
  h.screen.then([&] {
    survived = true;
    EXPECT_EQ(h.app.frame.interaction_mode, 0);
  });
  h.screen.extended(platform::scan::kClose);
  h.screen.then([&] { ADD_FAILURE() << "the second close request must end the program"; });
  EXPECT_EQ(h.run(), 0);
  EXPECT_TRUE(survived);
}

}  // namespace
