#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/harness.h"

namespace {

// Another program cuts the file short while it is mapped: what it lost reads as zeros and
// the program goes on, told that the file changed.
TEST(MappedFile, FileCutShortWhileMappedReadsAsZeros) {
  support::TempDir dir;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  dir.write("pic.bmp", std::string(3 * page, 'x'));
  const platform::MappedFile file("pic.bmp");
  ASSERT_TRUE(file.ok());
  ASSERT_EQ(file.bytes().size(), 3 * page);
  ASSERT_EQ(truncate("pic.bmp", 10), 0);
  unsigned sum = 0;
  for (std::size_t i = page; i < 3 * page; ++i) sum += file.bytes()[i];
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(file.bytes()[0], 'x');
  EXPECT_FALSE(file.intact());
}

}  // namespace
