#pragma once
// The program's command line. main() hands it over once, before anything asks for it:
//   platform::SetCommandLine(argc, argv);
// Until then the program has no arguments.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Keeps copies of the arguments; argv[0] is the program name as started.
void SetCommandLine(int argc, const char* const* argv);

// The number of arguments after the program name.
int ParamCount();
// ParamStr(0) is ExecutableFileName(); 1 to ParamCount() are the arguments; "" for any other index.
std::string ParamStr(int index);

// The full path of the running executable, as the system names the module (not argv[0]); "" when
// the system cannot tell.
std::string ExecutableFileName();

// True when an argument is the switch: "-" or "/" followed by exactly `name`, the letters compared
// without regard to case unless ignoreCase is false. So "-PORTABLE" and "/portable" both are the
// switch "portable"; "--portable" and "-portable=1" are not.
bool FindCmdLineSwitch(std::string_view name, bool ignoreCase = true);

// Replaces the command line for a test and restores it afterwards.
class ScopedCommandLine {
 public:
  explicit ScopedCommandLine(std::vector<std::string> argv);
  ~ScopedCommandLine();
  ScopedCommandLine(const ScopedCommandLine&) = delete;
  ScopedCommandLine& operator=(const ScopedCommandLine&) = delete;

 private:
  std::vector<std::string> FSaved;
};

}  // namespace platform
