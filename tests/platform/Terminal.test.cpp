#include "platform/Terminal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "platform/posix/SysCalls.h"

using platform::TTerminalEchoOff;
using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

namespace {
// The modes set on the fake terminal, and whether it is one.
std::vector<tcflag_t> SetModes;
bool IsTerminal;

int FakeGet(int, termios* mode) {
  if (!IsTerminal) {
    errno = ENOTTY;
    return -1;
  }
  *mode = termios{};
  mode->c_lflag = ECHO | ICANON;
  return 0;
}

int FakeSet(int, int, const termios* mode) {
  SetModes.push_back(mode->c_lflag);
  return 0;
}
}  // namespace

TEST(Terminal, EchoIsOffWhileTheObjectLivesAndOnlyOnATerminal) {
  ScopedSysCall<decltype(SysCalls::tcgetattr)> get(&SysCalls::tcgetattr, FakeGet);
  ScopedSysCall<decltype(SysCalls::tcsetattr)> set(&SysCalls::tcsetattr, FakeSet);
  SetModes.clear();
  IsTerminal = true;
  {
    TTerminalEchoOff quiet;
    EXPECT_TRUE(quiet.Hidden());
    EXPECT_EQ(SetModes, std::vector<tcflag_t>{ICANON});  // only echo goes
  }
  EXPECT_EQ(SetModes, (std::vector<tcflag_t>{ICANON, ECHO | ICANON}));  // the saved mode comes back

  SetModes.clear();
  IsTerminal = false;
  {
    TTerminalEchoOff quiet;
    EXPECT_FALSE(quiet.Hidden());
  }
  EXPECT_TRUE(SetModes.empty());
}
