#pragma once
// The terminal of standard input, for tools that ask their user there.

#include <memory>

namespace platform {
bool StandardInputIsTerminal();

// Hides what is typed on standard input's terminal while the object lives (a password); does nothing
// when standard input is no terminal.
class TTerminalEchoOff {
 public:
  TTerminalEchoOff();
  ~TTerminalEchoOff();
  TTerminalEchoOff(const TTerminalEchoOff&) = delete;
  TTerminalEchoOff& operator=(const TTerminalEchoOff&) = delete;
  // Whether echo was switched off, and is switched on again at the end.
  bool Hidden() const { return FSaved != nullptr; }

 private:
  struct TSavedMode;
  std::unique_ptr<TSavedMode> FSaved;
};
}  // namespace platform
