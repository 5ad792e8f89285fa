#include "platform/NamedMutex.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"

using namespace platform;

namespace {
// Test programs run in parallel: every test takes names of its own.
std::string UniqueName() {
  static std::random_device random;
  return "OrvelKvelo_client_test_" + std::to_string(random()) + std::to_string(random());
}

int ErrorCodeOf(void (*action)(const std::string&), const std::string& name) {
  try {
    action(name);
  } catch (const EOSError& e) {
    return e.ErrorCode();
  }
  return 0;
}
}  // namespace

TEST(NamedMutex, ExistsExactlyWhileHeld) {
  const std::string name = UniqueName();
  EXPECT_FALSE(NamedMutexExists(name));
  EXPECT_FALSE(NamedMutexExists(name));  // the check itself leaves nothing behind
  {
    TNamedMutexHolder holder(name);
    EXPECT_TRUE(NamedMutexExists(name));
    EXPECT_FALSE(NamedMutexExists(name + "_other"));
    EXPECT_EQ(ErrorCodeOf([](const std::string& n) { TNamedMutexHolder second(n); }, name), EADDRINUSE);
  }
  EXPECT_FALSE(NamedMutexExists(name));
}

TEST(NamedMutex, SeenFromAnotherProcessAndFreedWhenItEnds) {
  const std::string name = UniqueName();
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(release[1]);
    TNamedMutexHolder holder(name);
    char c = 1;
    if (write(ready[1], &c, 1) != 1) _exit(1);
    (void)!read(release[0], &c, 1);  // until the parent closes its end
    _exit(0);                        // without destructors: as a process that simply ends
  }
  close(ready[1]);
  close(release[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_TRUE(NamedMutexExists(name));
  close(release[1]);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  EXPECT_FALSE(NamedMutexExists(name));
}

TEST(NamedMutex, ProgramsStartedByTheHolderDoNotKeepTheName) {
  const std::string name = UniqueName();
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  pid_t child = 0;
  {
    TNamedMutexHolder holder(name);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    char sh[] = "/bin/sh", dashC[] = "-c", script[] = "read line";
    char* argv[] = {sh, dashC, script, nullptr};
    ASSERT_EQ(posix_spawn(&child, "/bin/sh", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  EXPECT_FALSE(NamedMutexExists(name));  // the child still runs, waiting for a line
  close(input[0]);
  close(input[1]);
  int status = 0;
  waitpid(child, &status, 0);
}

TEST(NamedMutex, FailuresOtherThanExistingAreErrors) {
  using posix::ScopedSysCall;
  using posix::SysCalls;
  auto check = [](const std::string& n) { NamedMutexExists(n); };
  EXPECT_EQ(ErrorCodeOf(check, ""), EINVAL);
  EXPECT_EQ(ErrorCodeOf(check, std::string(108, 'x')), ENAMETOOLONG);
  EXPECT_EQ(ErrorCodeOf(check, std::string(107, 'x')), 0);
  {
    ScopedSysCall<decltype(SysCalls::socket)> noSocket(&SysCalls::socket, [](int, int, int) {
      errno = EMFILE;
      return -1;
    });
    EXPECT_EQ(ErrorCodeOf(check, UniqueName()), EMFILE);
  }
  ScopedSysCall<decltype(SysCalls::bind)> noBind(&SysCalls::bind, [](int, const sockaddr*, socklen_t) {
    errno = EACCES;
    return -1;
  });
  EXPECT_EQ(ErrorCodeOf(check, UniqueName()), EACCES);
  try {
    TNamedMutexHolder holder("OrvelKvelo_client");
    ADD_FAILURE();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.Message(), "Named mutex \"OrvelKvelo_client\": Permission denied");
  }
}
