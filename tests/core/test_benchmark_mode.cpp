#include <gtest/gtest.h>

#include <string>

#include "platform/keys.h"
#include "support/harness.h"

namespace {

using support::Harness;

// A 24-bit BMP of 2 x 1 pixels: left pixel red, right pixel blue.
std::string two_pixel_bmp() {
  std::string b(62, '\0');
  auto put32 = [&](int at, int v) {
    for (int i = 0; i < 4; ++i)
      b[static_cast<std::size_t>(at + i)] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, 62);
  put32(10, 54);
  put32(14, 40);
  put32(18, 2);
  put32(22, 1);
  b[26] = 1;
  b[28] = 24;
  b[54 + 2] = static_cast<char>(255);  // pixel 0: blue 0, green 0, red 255
  b[54 + 3] = static_cast<char>(255);  // pixel 1: blue 255
  return b;
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
