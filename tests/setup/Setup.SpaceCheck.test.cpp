#include "Setup.SpaceCheck.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "UpdateFixture.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"

namespace {

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

std::uint64_t FreeBlocks;
int SmallDisk(const char*, struct statvfs* st) {
  *st = {};
  st->f_frsize = 4096;
  st->f_bavail = FreeBlocks;
  return 0;
}

class SpaceCheck : public UpdateFixture {};

// New and replaced files count whole: the new file is written beside its original; the backup
// is a rename and needs nothing.
TEST_F(SpaceCheck, EachFileSystemMustTakeThePackagesNewAndReplacedFiles) {
  Dir.WriteFile("package/c/a.bin", std::string(6000, 'a'));
  Dir.WriteFile("package/d/sub/b.bin", std::string(3000, 'b'));
  Dir.WriteFile("common/a.bin", std::string(50000, 'o'));
  Dir.MakeDir("docs");
  // The copy's verdict counts: a link inside is its file again, a link out of the package nothing.
  ASSERT_EQ(::symlink("sub/b.bin", Dir.File("package/d/alias.bin").c_str()), 0);
  ASSERT_EQ(::symlink(Dir.WriteFile("outside/big.bin", std::string(100000, 'x')).c_str(),
                      Dir.File("package/c/big.bin").c_str()),
            0);
  const TStringList dataList = Scan();
  ScopedSysCall disk(&SysCalls::statvfs, &SmallDisk);
  FreeBlocks = 3;  // 12288 bytes: the three files (12000) fit, one file system here
  EXPECT_FALSE(FindSpaceShortage(dataList, CommonRoots(), DocsRoots()));
  FreeBlocks = 2;  // 8192
  const auto shortage = FindSpaceShortage(dataList, CommonRoots(), DocsRoots());
  ASSERT_TRUE(shortage);
  EXPECT_EQ(shortage->Needed, 12000u);
  EXPECT_EQ(shortage->Free, 8192u);
  EXPECT_NE(SpaceShortageText(*shortage).find("нужно 11,7 КБ, свободно 8 КБ"), std::string::npos) << SpaceShortageText(*shortage);
}

TEST(ReadableSize, UnitsAndOneDecimal) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "0 байт"}, {1023, "1023 байт"}, {1024, "1 КБ"}, {1536, "1,5 КБ"}, {5u << 20, "5 МБ"}, {(3ull << 30) + (1ull << 29), "3,5 ГБ"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(ReadableSize(bytes), text) << bytes;
}

TEST_F(SpaceCheck, AFileSystemThatCannotBeAskedRaises) {
  Dir.WriteFile("package/c/a.bin", "a");
  const TStringList dataList = Scan();
  ScopedSysCall disk(&SysCalls::statvfs, +[](const char*, struct statvfs*) {
    errno = EIO;
    return -1;
  });
  EXPECT_THROW(FindSpaceShortage(dataList, CommonRoots(), DocsRoots()), EOSError);
}

}  // namespace
