#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "support/harness.h"

namespace {

// Cuts the mapped file short, then reads it all.
void cut_and_read(const platform::MappedFile& file, const char* name, std::size_t page) {
  ASSERT_TRUE(file.ok());
  ASSERT_EQ(file.bytes().size(), 3 * page);
  ASSERT_EQ(truncate(name, 10), 0);
  unsigned sum = 0;
  for (std::size_t i = page; i < 3 * page; ++i) sum += file.bytes()[i];
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(file.bytes()[0], 'x');
  EXPECT_FALSE(file.intact());
}

// Another program cuts files short while they are mapped, here one in each of two threads
// at once: what they lost reads as zeros and the program goes on, told that the file changed.
TEST(MappedFile, FilesCutShortWhileMappedReadAsZeros) {
  support::TempDir dir;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  dir.write("a.bmp", std::string(3 * page, 'x'));
  dir.write("b.bmp", std::string(3 * page, 'x'));
  const platform::MappedFile a("a.bmp");
  std::thread other([page] { cut_and_read(platform::MappedFile("b.bmp"), "b.bmp", page); });
  other.join();
  cut_and_read(a, "a.bmp", page);
}

}  // namespace
