#include "platform/FileKind.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "platform/FileBlocks.h"
#include "platform/OSError.h"
#include "support/TempDir.h"

using platform::TFileKind;
using enum platform::TFileKind;

namespace {
// Runs Work on a thread of its own and waits up to 10 s: a call that blocks (a pipe opened for
// reading waits for a writer) fails the test instead of hanging it.
template <class Work>
std::optional<std::invoke_result_t<Work>> Promptly(Work work) {
  using T = std::invoke_result_t<Work>;
  auto promise = std::make_shared<std::promise<T>>();
  std::future<T> future = promise->get_future();
  std::thread([promise, work]() mutable { promise->set_value(work()); }).detach();
  if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return std::nullopt;
  return future.get();
}

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  return resolved ? resolved.get() : "";
}

void Link(const std::string& target, const std::string& path) { ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path; }

void MakeSocket(const std::string& path, int& fd) {
  fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
}

// A package with every kind of entry an unpacked archive can hold, and files outside it.
class FileKindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = Dir.MakeDir("package") + "/";
    Secret = Dir.WriteFile("outside/shadow", "root-only secret");
    ASSERT_EQ(::chmod(Secret.c_str(), 0600), 0);
    Dir.WriteFile("package/file.txt", "in the package");
    Dir.WriteFile("other/x.txt", "the other package");
    Dir.MakeDir("package/sub");
    Link("file.txt", Root + "inside.txt");
    Link("../file.txt", Root + "sub/up.txt");
    Link("sub", Root + "folder link");
    Link(Root, Root + "sub/root");
    Link(Secret, Root + "shadow");
    Link("../outside/shadow", Root + "escape.txt");
    Link(Dir.File("outside"), Root + "outside folder");
    Link("../other/x.txt", Root + "other package.txt");
    Link("nowhere", Root + "dangling");
    Link("file.txt/x", Root + "through a file");
    Link("loop2", Root + "loop1");
    Link("loop1", Root + "loop2");
    ASSERT_EQ(::mkfifo((Root + "pipe").c_str(), 0644), 0);
    Link("pipe", Root + "link to pipe");
    MakeSocket(Root + "socket", Socket);
    Link("/dev/zero", Root + "zero");
  }
  void TearDown() override { ::close(Socket); }

  TTempDir Dir;
  std::string Root, Secret;
  int Socket = -1;
};
}  // namespace

TEST_F(FileKindTest, EveryEntryGetsItsVerdictPromptly) {
  struct TCase {
    std::string Name;
    TFileKind Kind;
    bool IsLink;
    std::string OpenPath;  // relative to the package's real path; "-" none
    int ErrorCode = 0;
  };
  const TCase cases[] = {
      {"file.txt", fkRegular, false, "file.txt"},
      {"sub", fkFolder, false, "sub"},
      {"inside.txt", fkRegular, true, "file.txt"},
      {"sub/up.txt", fkRegular, true, "file.txt"},
      {"folder link", fkFolder, true, "sub"},
      {"sub/root", fkFolder, true, ""},
      {"shadow", fkLinkOutside, true, "-"},
      {"escape.txt", fkLinkOutside, true, "-"},
      {"outside folder", fkLinkOutside, true, "-"},
      {"other package.txt", fkLinkOutside, true, "-"},
      {"dangling", fkLinkBroken, true, "-", ENOENT},
      {"through a file", fkLinkBroken, true, "-", ENOTDIR},
      {"loop1", fkLinkBroken, true, "-", ELOOP},
      {"pipe", fkPipe, false, "-"},
      {"link to pipe", fkPipe, true, "-"},
      {"socket", fkSocket, false, "-"},
      {"zero", fkLinkOutside, true, "-"},
      {"missing", fkMissing, false, "-", ENOENT},
  };
  const std::string real = RealPath(Root);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = Root + c.Name;
    const auto verdict = Promptly([root = Root, path] { return platform::JudgeFileWithin(root, path); });
    ASSERT_TRUE(verdict.has_value()) << "blocked";
    EXPECT_EQ(verdict->Kind, c.Kind);
    EXPECT_EQ(verdict->IsLink, c.IsLink);
    EXPECT_EQ(verdict->IsCopyable(), c.Kind == fkRegular);
    EXPECT_EQ(verdict->ErrorCode, c.ErrorCode);
    if (c.OpenPath == "-")
      EXPECT_EQ(verdict->OpenPath, "");
    else if (c.IsLink)
      EXPECT_EQ(verdict->OpenPath, c.OpenPath.empty() ? real : real + "/" + c.OpenPath);
    else
      EXPECT_EQ(verdict->OpenPath, path);
  }
}

// The root may itself be reached through a link: inside is judged by where things really are.
TEST_F(FileKindTest, ARootReachedThroughALinkJudgesAlike) {
  Link(Root, Dir.File("root link"));
  const std::string root = Dir.File("root link") + "/";
  EXPECT_EQ(platform::JudgeFileWithin(root, root + "inside.txt").Kind, fkRegular);
  EXPECT_EQ(platform::JudgeFileWithin(root, root + "shadow").Kind, fkLinkOutside);
}

// The copy's source opens only regular files, never through a link and never blocking; the size
// is the opened file's.
TEST_F(FileKindTest, TheCopySourceOpensOnlyRegularFilesPromptly) {
  const std::pair<std::string, int> refused[] = {
      {Root + "shadow", ELOOP},      {Root + "inside.txt", ELOOP}, {Root + "zero", ELOOP},
      {Root + "pipe", EINVAL},       {Root + "socket", ENXIO},     {"/dev/zero", EINVAL},
      {Root + "sub", EISDIR},        {Root + "missing", ENOENT},
  };
  for (const auto& [path, error] : refused) {
    SCOPED_TRACE(path);
    const auto code = Promptly([path] {
      try {
        platform::TBlockSource source(path);
        return 0;
      } catch (const EOSError& e) {
        return e.ErrorCode();
      }
    });
    ASSERT_TRUE(code.has_value()) << "blocked";
    EXPECT_EQ(*code, error);
  }
  const platform::TFileVerdict inside = platform::JudgeFileWithin(Root, Root + "inside.txt");
  platform::TBlockSource source(inside.OpenPath);
  EXPECT_EQ(source.Size(), std::string("in the package").size());
}
