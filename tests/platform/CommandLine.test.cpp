#include "platform/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "Runtime.Strings.h"
#include "platform/FileSystem.h"
#include "platform/posix/SysCalls.h"

using namespace platform;

TEST(CommandLine, SwitchesTakeEitherCharacterAndIgnoreCase) {
  ScopedCommandLine line({"quenta-setup", "/tmp/portable", "-PORTABLE", "--verbose", "/Ключ"});
  EXPECT_TRUE(FindCmdLineSwitch("portable"));
  EXPECT_FALSE(FindCmdLineSwitch("portable", false));
  EXPECT_TRUE(FindCmdLineSwitch("PORTABLE", false));
  EXPECT_TRUE(FindCmdLineSwitch("ключ"));
  EXPECT_TRUE(FindCmdLineSwitch("-verbose"));  // the first character only is the switch character
  EXPECT_FALSE(FindCmdLineSwitch("verbose"));
  EXPECT_FALSE(FindCmdLineSwitch("tmp"));  // the whole rest must match
  {
    ScopedCommandLine slash({"quenta-setup", "/portable"});
    EXPECT_TRUE(FindCmdLineSwitch("Portable"));
  }
  ScopedCommandLine programNameOnly({"/portable"});  // the program name is not an argument
  EXPECT_FALSE(FindCmdLineSwitch("portable"));
}

TEST(CommandLine, ArgumentsAndTheExecutable) {
  const char* argv[] = {"./quenta-setup", "one", "two"};
  ScopedCommandLine saved({});
  SetCommandLine(3, argv);
  EXPECT_EQ(ParamCount(), 2);
  EXPECT_EQ(ParamStr(1), "one");
  EXPECT_EQ(ParamStr(2), "two");
  EXPECT_EQ(ParamStr(3), "");
  EXPECT_EQ(ParamStr(-1), "");
  // ParamStr(0) is the running program's full path, whatever argv[0] said.
  EXPECT_EQ(ParamStr(0), ExecutableFileName());
  EXPECT_EQ(ExtractFileName(ExecutableFileName()), "test_platform");
  EXPECT_TRUE(FileExists(ExecutableFileName()));

  using posix::ScopedSysCall;
  using posix::SysCalls;
  {
    // readlink cuts a long name silently, to the buffer's size.
    ScopedSysCall<decltype(SysCalls::readlink)> longName(&SysCalls::readlink, [](const char*, char* buffer, size_t size) {
      const std::string name = "/" + std::string(299, 'x');
      std::size_t n = std::min(size, name.size());
      name.copy(buffer, n);
      return static_cast<ssize_t>(n);
    });
    EXPECT_EQ(ExecutableFileName().size(), 300u);
  }
  ScopedSysCall<decltype(SysCalls::readlink)> failing(&SysCalls::readlink, [](const char*, char*, size_t) -> ssize_t {
    errno = ENOENT;
    return -1;
  });
  EXPECT_EQ(ExecutableFileName(), "");
  SetCommandLine(0, nullptr);
  EXPECT_EQ(ParamCount(), 0);
}
