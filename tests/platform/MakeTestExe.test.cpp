// The command-line PE writer, run as the demo runs it.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "platform/VersionResource.h"
#include "support/TempDir.h"

namespace {
int RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), KV_MAKE_TEST_EXE);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST(MakeTestExe, WritesTheClientExecutable) {
  TTempDir dir;
  const std::string exe = dir.File("OKvelo.exe");
  ASSERT_EQ(RunTool({"--out", exe, "--version", "7.2.0.15", "--string-table", "041904E3", "--string",
                 "FileDescription=Орвел Квело Клиент", "--string", "CompanyName=Orvel=Kvelo", "--64"}),
            0);
  auto info = platform::ReadVersionResource(exe);
  ASSERT_TRUE(info && info->Fixed);
  EXPECT_EQ(info->Fixed->FileVersion, (platform::TVersionNumbers{7, 2, 0, 15}));
  EXPECT_EQ(info->Fixed->ProductVersion, (platform::TVersionNumbers{7, 2, 0, 15}));
  ASSERT_EQ(info->Translations.size(), 1u);
  EXPECT_EQ(info->Translations[0].Key(), "041904E3");
  EXPECT_EQ(info->QueryString("041904E3", "FileDescription"), "Орвел Квело Клиент");
  EXPECT_EQ(info->QueryString("041904E3", "CompanyName"), "Orvel=Kvelo");

  ASSERT_EQ(RunTool({"--out", exe, "--version", "6.9.0.1", "--string-table", "040904E4", "--string", "A=b",
                 "--no-translation"}),
            0);
  info = platform::ReadVersionResource(exe);
  ASSERT_TRUE(info);
  EXPECT_TRUE(info->Translations.empty());
  EXPECT_EQ(info->QueryString("040904E4", "A"), "b");

  ASSERT_EQ(RunTool({"--out", exe, "--no-resources"}), 0);
  EXPECT_FALSE(platform::ReadVersionResource(exe));
}

TEST(MakeTestExe, RefusesBadArguments) {
  TTempDir dir;
  const std::string exe = dir.File("x.exe");
  EXPECT_EQ(RunTool({"--version", "7.2.0.15"}), 2);                          // no --out
  EXPECT_EQ(RunTool({"--out", exe, "--version", "7.2"}), 2);                  // three numbers missing
  EXPECT_EQ(RunTool({"--out", exe, "--version", "7.2.0.70000"}), 2);          // above 16 bits
  EXPECT_EQ(RunTool({"--out", exe, "--string", "A=b"}), 2);                   // no table yet
  EXPECT_EQ(RunTool({"--out", exe, "--bogus"}), 2);
  EXPECT_EQ(RunTool({"--out", exe, "--string-table", "0419", "--string", "A=b"}), 1);  // not a translation key
  EXPECT_EQ(RunTool({"--out", dir.File("no/such/folder/x.exe")}), 1);
}
