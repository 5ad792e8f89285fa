#include "platform/Terminal.h"

#include <termios.h>
#include <unistd.h>

#include "SysCalls.h"

namespace platform {
using posix::Sys;

struct TTerminalEchoOff::TSavedMode {
  termios Mode{};
};

bool StandardInputIsTerminal() { return Sys().isatty(STDIN_FILENO) == 1; }

TTerminalEchoOff::TTerminalEchoOff() {
  auto saved = std::make_unique<TSavedMode>();
  if (Sys().tcgetattr(STDIN_FILENO, &saved->Mode) != 0) return;
  termios quiet = saved->Mode;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  Sys().tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  FSaved = std::move(saved);
}

TTerminalEchoOff::~TTerminalEchoOff() {
  if (FSaved) Sys().tcsetattr(STDIN_FILENO, TCSAFLUSH, &FSaved->Mode);
}
}  // namespace platform
