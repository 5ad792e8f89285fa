#include "platform/FileBlocks.h"

#include <gtest/gtest.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <acl/libacl.h>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <optional>

#include "Runtime.Strings.h"

#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/TempDir.h"

using namespace platform;
using posix::ScopedSysCall;
using posix::SysCalls;

namespace {

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 65536) & 0xFF);
  return s;
}

// Copies the whole source into target in blocks, as the update does.
TBlockResult CopyWhole(const std::string& from, const std::string& to) {
  TBlockSource source(from);
  TBlockTarget target(to);
  for (std::uint64_t offset = 0; offset < source.Size(); offset += FileBlockSize) {
    auto length = static_cast<std::size_t>(std::min<std::uint64_t>(FileBlockSize, source.Size() - offset));
    if (TBlockResult r = target.CopyBlock(source, offset, length); !r) return r;
  }
  target.GrantEveryoneAccess(source.IsExecutable());
  target.Commit();
  return {};
}

ssize_t NoCopyRange(int, off_t*, int, off_t*, size_t, unsigned) {
  errno = ENOSYS;
  return -1;
}
// The kernel may copy less than asked; the rest must follow.
ssize_t ShortCopyRange(int in, off_t* offIn, int out, off_t* offOut, size_t length, unsigned flags) {
  return ::copy_file_range(in, offIn, out, offOut, std::min<size_t>(length, 1000), flags);
}

std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().starts_with(".quenta-")) names.push_back(e.path().string());
  return names;
}

}  // namespace

// The kernel's copy is the fast path: it must give exactly what the plain reads and writes give.
TEST(FileBlocks, FastAndPlainCopiesGiveTheSameBytes) {
  TTempDir dir;
  enum { Fast, Plain, Short };
  for (std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 200u * 1024u + 3u}) {
    const std::string contents = Pattern(size);
    std::string source = dir.WriteFile("source", contents);
    for (int path : {Fast, Plain, Short}) {
      SCOPED_TRACE(testing::Message() << "size " << size << ", path " << path);
      std::optional<ScopedSysCall<decltype(SysCalls::copy_file_range)>> swap;
      if (path == Plain) swap.emplace(&SysCalls::copy_file_range, NoCopyRange);
      if (path == Short) swap.emplace(&SysCalls::copy_file_range, ShortCopyRange);
      dir.WriteFile("target", "old and longer than some of the sources");
      ASSERT_TRUE(CopyWhole(source, dir.File("target")));
      EXPECT_TRUE(dir.ReadFile("target") == contents);
    }
  }
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(FileBlocks, FailuresSayWhichSideFailedAndLeaveNothingBehind) {
  TTempDir dir;
  std::string source = dir.WriteFile("source", Pattern(3 * 65536));
  dir.WriteFile("target", "original");
  ScopedSysCall<decltype(SysCalls::copy_file_range)> plain(&SysCalls::copy_file_range, NoCopyRange);
  {
    ScopedSysCall<decltype(SysCalls::write)> full(&SysCalls::write, [](int, const void*, size_t) -> ssize_t {
      errno = ENOSPC;
      return -1;
    });
    TBlockResult r = CopyWhole(source, dir.File("target"));
    EXPECT_EQ(r.Failure, bfWrite);
    EXPECT_EQ(r.ErrorCode, ENOSPC);
  }
  {
    ScopedSysCall<decltype(SysCalls::pread)> broken(&SysCalls::pread, [](int, void*, size_t, off_t) -> ssize_t {
      errno = EIO;
      return -1;
    });
    TBlockResult r = CopyWhole(source, dir.File("target"));
    EXPECT_EQ(r.Failure, bfRead);
    EXPECT_EQ(r.ErrorCode, EIO);
  }
  // A source that shrinks under the copy ends early: a read failure, never a signal.
  for (bool fast : {true, false}) {
    std::optional<ScopedSysCall<decltype(SysCalls::copy_file_range)>> real;
    if (fast) real.emplace(&SysCalls::copy_file_range, ::copy_file_range);
    TBlockSource opened(source);
    TBlockTarget target(dir.File("target"));
    ASSERT_TRUE(target.CopyBlock(opened, 0, FileBlockSize));
    ASSERT_EQ(::truncate(source.c_str(), 65536 + 10), 0);
    TBlockResult r = target.CopyBlock(opened, FileBlockSize, FileBlockSize);
    EXPECT_EQ(r.Failure, bfRead);
    EXPECT_EQ(r.ErrorCode, ENODATA);
    dir.WriteFile("source", Pattern(3 * 65536));
  }
  EXPECT_EQ(dir.ReadFile("target"), "original");
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
  // A folder that cannot take a new file.
  EXPECT_THROW(TBlockTarget(dir.File("missing/target")), EOSError);
  EXPECT_THROW(TBlockSource(dir.File("missing")), EOSError);
  EXPECT_THROW(TBlockSource(dir.Path()), EOSError);
}

TEST(FileBlocks, CommitReplacesALinkAndNeverWritesThroughIt) {
  TTempDir dir;
  std::string outside = dir.WriteFile("outside/secret", "keep me");
  ASSERT_EQ(::chmod(outside.c_str(), 0600), 0);
  dir.MakeDir("dest");
  ASSERT_EQ(::symlink(outside.c_str(), dir.File("dest/file").c_str()), 0);
  std::string source = dir.WriteFile("source", "new");
  ASSERT_TRUE(CopyWhole(source, dir.File("dest/file")));
  EXPECT_FALSE(GetLinkEntry(dir.File("dest/file"))->IsSymbolicLink);
  EXPECT_EQ(dir.ReadFile("dest/file"), "new");
  EXPECT_EQ(dir.ReadFile("outside/secret"), "keep me");
  struct stat st {};
  ASSERT_EQ(::stat(outside.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(FileBlocks, AccessIsForEveryoneOrKeptFromTheSource) {
  TTempDir dir;
  // A default access list on the folder gives every new file an extended entry.
  std::string folder = dir.MakeDir("shared");
  acl_t inherited = acl_from_text("u::rwx,g::r-x,o::---,u:65534:r--,m::r-x");
  ASSERT_NE(inherited, nullptr);
  const bool aclSupported = acl_set_file(folder.c_str(), ACL_TYPE_DEFAULT, inherited) == 0;
  acl_free(inherited);

  std::string plain = dir.WriteFile("plain", "x");
  std::string tool = dir.WriteFile("tool", "y");
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
  ASSERT_EQ(::chmod(tool.c_str(), 0750), 0);
  struct {
    std::string Source;
    mode_t Mode;
  } cases[] = {{plain, 0666}, {tool, 0777}};
  for (const auto& c : cases) {
    std::string target = folder + "/" + ExtractFileName(c.Source);
    ASSERT_TRUE(CopyWhole(c.Source, target));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.Mode);
    if (aclSupported) {
      EXPECT_EQ(acl_extended_file(target.c_str()), 0) << target;
    }
  }

  // A backup keeps the original's mode and times.
  struct timespec old[2] = {{1000000000, 0}, {1200000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, tool.c_str(), old, 0), 0);
  {
    TBlockSource source(tool);
    TBlockTarget target(dir.File("kept"));
    ASSERT_TRUE(target.CopyBlock(source, 0, 1));
    target.KeepModeAndTimesOf(source);
    target.Commit();
  }
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("kept").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 500);

  ScopedSysCall<decltype(SysCalls::fchmod)> refused(&SysCalls::fchmod, [](int, mode_t) {
    errno = EPERM;
    return -1;
  });
  TBlockSource source(tool);
  TBlockTarget target(dir.File("refused"));
  EXPECT_THROW(target.GrantEveryoneAccess(false), EOSError);
}
