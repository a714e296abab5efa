#include "core/browse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/keys.h"
#include "support/harness.h"
#include "support/pictures.h"

namespace {

using support::Harness;

// A picture w pixels wide, so that each file can be told by its width.
std::string bmp(int w) {
  return support::bmp24(w, 1, 0x00000A);
}

TEST(Browse, NaturalOrderComparesDigitRunsAsNumbers) {
  std::vector<std::string> names = {"img10", "img2", "img1", "img02", "b", "a10b", "a9b", "A"};
  std::sort(names.begin(), names.end(), core::natural_less);
  const std::vector<std::string> expected = {"A",    "a9b",   "a10b", "b",
                                             "img1", "img02", "img2", "img10"};
  EXPECT_EQ(names, expected);
}

TEST(Browse, ListingGroupsBmpJpegPngGifWebpNamesInAnyLetterCase) {
  support::TempDir dir;
  for (const char* name :
       {"b.bmp", "a.BMP", "z.jpg", "c.JPG", "x.jpeg", "W.JPEG", "y.png", "Q.PNG", "h.gif", "g.Gif",
        "m.webp", "k.WebP", "bmp", "p10.bmp", "p9.bmp", "n.tif", "o.webpx", "png"}) {
    dir.write(name, "x");
  }
  std::filesystem::create_directory(dir.path() / "folder.jpg");
  const std::vector<std::string> expected = {"a.BMP", "b.bmp",      "p9.bmp", "p10.bmp", "W.JPEG",
                                             "c.JPG", "folder.jpg", "x.jpeg", "z.jpg",   "Q.PNG",
                                             "y.png", "g.Gif",      "h.gif",  "k.WebP",  "m.webp"};
  EXPECT_EQ(core::folder_listing(), expected);
}

struct Step {
  int key;                   // 3 for F3, 4 for F4
  bool loaded;               // what the step returns
  const char* current;       // the current name afterwards
  platform::Status message;  // the status afterwards
};

void walk(Harness& h, const std::string& start, const std::vector<Step>& steps) {
  h.app.current_name = start;
  for (const Step& s : steps) {
    h.app.set_status(platform::Status::kNone);
    const bool loaded = s.key == 3 ? core::previous_file(h.app) : core::next_file(h.app);
    EXPECT_EQ(loaded, s.loaded) << "F" << s.key << " to " << s.current;
    EXPECT_EQ(h.app.current_name, s.current);
    EXPECT_EQ(h.app.status(), s.message) << "F" << s.key << " to " << s.current;
  }
}

TEST(Browse, StepsThroughTheFolderWithoutWrapping) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.dir.write("a.bmp", bmp(1));
  h.dir.write("b.bmp", bmp(2));
  h.dir.write("c.jpg", bmp(3));  // a BMP named .jpg is listed there and loads by content
  using M = platform::Status;
  walk(h, "b.bmp",
       {{3, true, "a.bmp", M::kFileLoaded},
        {3, false, "a.bmp", M::kNone},
        {4, true, "b.bmp", M::kFileLoaded},
        {4, true, "c.jpg", M::kFileLoaded},
        {4, false, "c.jpg", M::kNone},
        {3, true, "b.bmp", M::kFileLoaded}});
  EXPECT_EQ(h.app.store.width, 2);
}

TEST(Browse, UnrecognisedFilesAreSteppedOver) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.dir.write("a.bmp", bmp(1));
  h.dir.write("x.bmp", "not a picture");
  h.dir.write("c.bmp", bmp(3));
  h.dir.write("y.jpg", "");
  using M = platform::Status;
  walk(h, "a.bmp",
       {{4, true, "c.bmp", M::kFileLoaded},
        // Only unrecognised names remain: the last one's message stays, nothing is loaded.
        {4, false, "c.bmp", M::kUnrecognizedFile},
        {3, true, "a.bmp", M::kFileLoaded}});
}

TEST(Browse, NameNotInTheListing) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.dir.write("a.bmp", bmp(1));
  h.dir.write("b.bmp", bmp(2));
  using M = platform::Status;
  // "default.bmp" does not exist: F4 does nothing, F3 loads the last name.
  walk(h, "default.bmp", {{4, false, "default.bmp", M::kNone}, {3, true, "b.bmp", M::kFileLoaded}});
  // A single picture that is the current one.
  Harness one;
  ASSERT_TRUE(one.start());
  one.dir.write("only.bmp", bmp(1));
  walk(one, "only.bmp", {{3, false, "only.bmp", M::kNone}, {4, false, "only.bmp", M::kNone}});
}

TEST(Browse, OtherLoadFailuresEndTheStepping) {
  Harness h(support::settings_text(18, 32, 4, 4));
  ASSERT_TRUE(h.start());
  h.dir.write("a.bmp", bmp(1));
  h.dir.write("b.bmp", bmp(5));  // wider than the store
  h.dir.write("c.bmp", bmp(2));
  walk(h, "a.bmp", {{4, true, "a.bmp", platform::Status::kSizeTooLarge}});
}

TEST(Browse, DamagedPictureEndsTheSteppingAndLeavesThePictureShown) {
  Harness h;
  h.dir.write("a.bmp", support::bmp24(8, 6, 0x00C08040));
  h.dir.write("b.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\4", 20));
  h.dir.write("c.png", support::bmp24(2, 2, 0x000000));  // not reached
  ASSERT_TRUE(h.start("a.bmp"));
  std::uint32_t shown = 0;
  h.screen.idle().then([&] { shown = h.pixel(320, 240); });
  h.screen.extended(platform::scan::kF4).idle().then([&] {
    EXPECT_EQ(h.text(23, 1, 25), "Error: picture damaged   ");
    EXPECT_EQ(h.app.current_name, "a.bmp");
    EXPECT_EQ(h.app.store.width, 8);
    EXPECT_EQ(h.pixel(320, 240), shown);
    EXPECT_NE(shown, 0u);  // the picture, not the background
  });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace

namespace {

TEST(DroppedFile, OpensAsAnOpenAnswerWould) {
  Harness h;
  ASSERT_TRUE(h.start());
  h.dir.write("dropped.bmp", support::bmp24(3, 2, 0x00FF00));
  h.screen.drop("dropped.bmp").idle().then([&] {
    EXPECT_EQ(h.app.current_name, "dropped.bmp");
    EXPECT_EQ(h.app.store.width, 3);
    EXPECT_EQ(h.text(23, 1, 12), "File loaded.");
  });
  h.screen.drop("missing.bmp").idle().then([&] {
    EXPECT_EQ(h.app.current_name, "dropped.bmp");
    EXPECT_EQ(h.text(23, 1, 24), "Error: unrecognized file");
  });
  EXPECT_EQ(h.run(), 0);
}

}  // namespace
