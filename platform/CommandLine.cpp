#include "platform/CommandLine.h"
#include "platform/CommandLineSys.h"

#include "platform/NameFolding.h"

namespace platform {

namespace {
// Written once by main() before other code runs, read afterwards; tests replace it in between.
std::vector<std::string>& Arguments() {
  static std::vector<std::string> arguments;
  return arguments;
}
}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv && argv[i]; ++i) arguments.emplace_back(argv[i]);
  Arguments() = std::move(arguments);
}

int ParamCount() { return Arguments().empty() ? 0 : static_cast<int>(Arguments().size()) - 1; }

std::string ParamStr(int index) {
  if (index == 0) return ExecutableFileName();
  if (index < 0 || index > ParamCount()) return std::string();
  return Arguments()[static_cast<std::size_t>(index)];
}

std::string ExecutableFileName() { return ExecutableFileNameSys(); }

bool FindCmdLineSwitch(std::string_view name, bool ignoreCase) {
  for (int i = 1; i <= ParamCount(); ++i) {
    std::string_view argument = Arguments()[static_cast<std::size_t>(i)];
    if (argument.empty() || (argument.front() != '-' && argument.front() != '/')) continue;
    argument.remove_prefix(1);
    if (ignoreCase ? SameName(argument, name) : argument == name) return true;
  }
  return false;
}

ScopedCommandLine::ScopedCommandLine(std::vector<std::string> argv) : FSaved(Arguments()) {
  Arguments() = std::move(argv);
}

ScopedCommandLine::~ScopedCommandLine() { Arguments() = std::move(FSaved); }

}  // namespace platform
