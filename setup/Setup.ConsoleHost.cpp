#include "Setup.ConsoleHost.h"

#include <cstdio>

namespace {
// Flushed at once: a script that reads the output, or the next line after a crash, sees it.
void WriteLine(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}
}  // namespace

void TConsoleHost::Log(const std::string& Line) {
  WriteLine(stdout, Line);
  if (OnLog) OnLog(Line);
}

void TConsoleHost::ShowMessage(const std::string& Text) {
  WriteLine(stderr, Text);
  if (OnLog) OnLog(Text);
}

void TConsoleHost::ShowError(const std::string& Text) {
  ++FErrors;
  WriteLine(stderr, Text);
  if (OnLog) OnLog(Text);
}
