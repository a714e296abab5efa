#include "core/browse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

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

TEST(Browse, ListingHasBmpThenJpgNamesInAnyLetterCase) {
  support::TempDir dir;
  for (const char* name :
       {"b.bmp", "a.BMP", "z.jpg", "c.JPG", "x.jpeg", "y.png", "bmp", "p10.bmp", "p9.bmp"}) {
    dir.write(name, "x");
  }
  std::filesystem::create_directory(dir.path() / "folder.jpg");
  const std::vector<std::string> expected = {"a.BMP", "b.bmp",      "p9.bmp", "p10.bmp",
                                             "c.JPG", "folder.jpg", "z.jpg"};
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
