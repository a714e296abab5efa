// Undo and redo of the operations that change the working image, through the keys and the
// history's own bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/crop_tool.h"
#include "core/history.h"
#include "core/operations.h"
#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using support::Harness;

struct Picture {
  std::int32_t width = 0, height = 0;
  std::vector<img::Pixel> pixels;
  bool operator==(const Picture&) const = default;
};

Picture picture_of(const img::ImageStore& store) {
  Picture p{store.width, store.height, {}};
  for (std::int32_t y = 0; y < store.height; ++y) {
    for (std::int32_t x = 0; x < store.width; ++x) p.pixels.push_back(store.working().at(x, y));
  }
  return p;
}

img::Pixel place(int x, int y) {
  return img::make_pixel(x * 9, y * 13, (x + y) & 0xFF);
}

void resize_to(core::App& app, int w, int h) {
  app.menus.integer(core::slot::kNewX) = w;
  app.menus.integer(core::slot::kNewY) = h;
  core::resize_picture(app);
}

void rotate_by(core::App& app, float degrees) {
  app.menus.real(core::slot::kAngle) = degrees;
  core::rotate_picture(app);
}

TEST(Undo, EachOperationIsUndoneAndRedoneExactlyByTheKeys) {
  using Op = std::function<void(core::App&)>;
  const struct {
    const char* name;
    std::vector<Op> ops;
  } cases[] = {
      {"flip X", {core::flip_x}},
      {"flip Y", {core::flip_y}},
      {"resize", {[](core::App& a) { resize_to(a, 7, 5); }}},
      {"flips and a resize",
       {core::flip_x, [](core::App& a) { resize_to(a, 30, 4); }, core::flip_y}},
      {"rotations and a crop",
       {[](core::App& a) { rotate_by(a, 90); }, [](core::App& a) { rotate_by(a, -30); },
        [](core::App& a) {
          a.crop = {true, false, 2, 3, 9, 7};
          core::crop_key(a, "\r");
        }}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(support::settings_text(18, 32, 64, 64));
    h.dir.write("pic.bmp", support::bmp24(12, 9, place));
    ASSERT_TRUE(h.start("pic.bmp"));
    std::vector<Picture> states{picture_of(h.app.store)};
    for (const Op& op : c.ops) {
      op(h.app);
      states.push_back(picture_of(h.app.store));
    }
    const int n = static_cast<int>(c.ops.size());
    // Ctrl+Z all the way back (one more press does nothing), then Ctrl+Y and Ctrl+Shift+Z
    // all the way forward.
    for (int k = n - 1; k >= -1; --k) {
      h.screen.key(std::string(1, platform::kUndoKey)).then([&, k] {
        EXPECT_EQ(picture_of(h.app.store), states[static_cast<std::size_t>(std::max(k, 0))]) << k;
      });
    }
    for (int k = 1; k <= n; ++k) {
      if (k % 2 == 0) h.screen.hold({platform::scan::kLeftShift});
      h.screen.key(std::string(1, k % 2 ? platform::kRedoKey : platform::kUndoKey)).then([&, k] {
        EXPECT_EQ(picture_of(h.app.store), states[static_cast<std::size_t>(k)]) << k;
      });
      h.screen.hold({});
    }
    h.run();
  }
}

TEST(Undo, ARefusedOperationAndALoadLeaveNothingToUndo) {
  Harness h(support::settings_text(18, 32, 64, 64));
  h.dir.write("a.bmp", support::bmp24(12, 9, place));
  h.dir.write("b.bmp", support::bmp24(5, 6, place));
  ASSERT_TRUE(h.start("a.bmp"));
  const Picture a = picture_of(h.app.store);
  resize_to(h.app, 65, 5);  // beyond the store: refused
  EXPECT_EQ(h.app.status(), platform::Status::kSizeTooLarge);
  EXPECT_FALSE(core::undo(h.app));
  core::flip_x(h.app);
  h.app.requested_name = "b.bmp";
  core::load_requested_picture(h.app);
  EXPECT_FALSE(core::undo(h.app));
  h.app.requested_name = "a.bmp";
  core::load_requested_picture(h.app);
  EXPECT_EQ(picture_of(h.app.store), a);
}

// A history with room for three 4 x 4 pictures keeps the newest states; a new operation
// after an undo forgets what redo could reach.
TEST(Undo, TheOldestStatesGiveWayAndANewOperationEndsRedo) {
  img::ImageStore store;
  std::string error;
  ASSERT_TRUE(store.allocate(8, 8, error));
  store.width = store.height = 4;
  core::History history;
  ASSERT_TRUE(history.allocate(3 * 16 * sizeof(img::Pixel)));
  img::ViewState view;
  auto mark = [&](img::Pixel v) { store.working().at(0, 0) = v; };
  for (img::Pixel v = 1; v <= 5; ++v) {  // states 0..4 kept before each change
    history.before_change(store, view);
    mark(v);
  }
  EXPECT_EQ(history.undo_levels(), 3);
  ASSERT_TRUE(history.undo(store, view));  // keeps 5, drops the oldest kept
  EXPECT_EQ(store.working().at(0, 0), 4u);
  ASSERT_TRUE(history.undo(store, view));
  EXPECT_EQ(store.working().at(0, 0), 3u);
  EXPECT_FALSE(history.undo(store, view));
  ASSERT_TRUE(history.redo(store, view));
  EXPECT_EQ(store.working().at(0, 0), 4u);
  history.before_change(store, view);
  mark(9);
  EXPECT_EQ(history.redo_levels(), 0);
  ASSERT_TRUE(history.undo(store, view));
  EXPECT_EQ(store.working().at(0, 0), 4u);
  ASSERT_TRUE(history.redo(store, view));
  EXPECT_EQ(store.working().at(0, 0), 9u);
}

// Two planes that fit in the machine's memory are refused when undo's two more do not.
TEST(Undo, TheStartUpMemoryCheckCountsTheUndoMemory) {
  const std::uint64_t memory = img::physical_memory_bytes();
  if (memory == 0) GTEST_SKIP() << "the machine's memory size is unknown";
  // A square store whose planes take a third of the memory: four planes take more than all.
  const auto side = static_cast<int>(std::sqrt(static_cast<double>(memory) / 24));
  Harness h(support::settings_text(18, 32, side * 2, side));
  EXPECT_FALSE(h.start());
  EXPECT_NE(h.error.find("undo"), std::string::npos) << h.error;
}

}  // namespace
