// The program itself, copied alone into a folder as it is shipped, with its message boxes answered
// and logged by the test switch.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MessageBoxes.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

// The lines the program wrote through its test switch, without its "quenta-setup: " prefix; other
// output (sanitizers, Qt's warnings) is left out.
std::vector<std::string> SwitchLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("quenta-setup: ", 0) == 0) lines.push_back(line.substr(14));
  return lines;
}

class QuentaSetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    Program = Folder.File("quenta-setup");
    platform::CopyFile(KV_QUENTA_SETUP, Program, false);
  }

  pid_t Start() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string program = Program;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(error, 0);
    return pid;
  }

  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Output() const { return platform::FileExists(Log) ? Folder.ReadFile("stderr.txt") : ""; }

  TTempDir Folder;
  std::string Program;
  std::string Log = Folder.File("stderr.txt");
  TScopedEnv Answers{AutoAnswerVariable, "no"};
  TScopedEnv Platform{"QT_QPA_PLATFORM", "offscreen"};
  TScopedEnv State{"XDG_STATE_HOME", Folder.MakeDir("state")};  // the run's log stays out of the real home
};

TEST_F(QuentaSetupProgram, RefusesToRunBesideTheRunningClient) {
  platform::TNamedMutexHolder client("OrvelKvelo_client");
  EXPECT_EQ(Wait(Start()), 0);
  const std::string output = Output();
  EXPECT_EQ(SwitchLines(output), std::vector<std::string>{
                                     "message box: warning | Внимание !!! | Для установки обновления , необходимо "
                                     "завершить работу клиента Орвел Квело."})
      << output;
}

// The other side of the refusal: without the client the window comes up (and is logged).
TEST_F(QuentaSetupProgram, ShowsItsWindowWhenTheClientIsNotRunning) {
  ASSERT_FALSE(platform::NamedMutexExists("OrvelKvelo_client"));
  pid_t pid = Start();
  ASSERT_GT(pid, 0);
  std::vector<std::string> lines;
  for (int i = 0; i < 600 && lines.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lines = SwitchLines(Output());
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ADD_FAILURE() << "the program ended early: " << Output();
      return;
    }
  }
  kill(pid, SIGTERM);
  Wait(pid);
  EXPECT_EQ(lines, std::vector<std::string>{"window shown: Quenta Setup"}) << Output();
}

}  // namespace
