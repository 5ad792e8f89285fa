// The support tool kvelo-info, run as a program against a sandbox machine.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ClientSandbox.h"
#include "Runtime.Strings.h"

namespace {
struct TRun {
  int ExitCode = -1;
  std::string Output;
  std::vector<std::string> Names;  // of the Name=Value lines, in order
  std::map<std::string, std::string> Values;
};

// Runs the tool with the test's environment; its output goes through a file of the sandbox.
TRun RunKveloInfo(const TClientSandbox& sandbox, std::vector<std::string> args) {
  args.insert(args.begin(), KV_KVELO_INFO);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string outFile = sandbox.Dir().File("kvelo-info.out");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  TRun run;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  waitpid(pid, &status, 0);
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Output = ReadWholeFile(outFile);
  for (const std::string& line : SplitString(run.Output, '\n')) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    run.Names.push_back(line.substr(0, eq));
    run.Values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return run;
}

std::size_t IndexOf(const TRun& run, const std::string& name) {
  return std::find(run.Names.begin(), run.Names.end(), name) - run.Names.begin();
}
}  // namespace

TEST(KveloInfo, TellsWhereTheInstalledClientIs) {
  TClientSandbox sandbox;
  sandbox.InstallClient(kKvelo7Key, "opt/kvelo", {{7, 2, 0, 15}});
  const TRun run = RunKveloInfo(sandbox, {});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string client = sandbox.Path() + "/opt/kvelo/Client/";
  const std::string data = sandbox.Data() + "/Orvel/OrvelKvelo 7/Client/";
  const std::map<std::string, std::string> expected = {
      {"PortableMode", "pmNone"},
      {"RegistryFile", sandbox.Registry() + "/HKLM.reg"},
      {"RegistryKey", kKvelo7Key},
      {"InstallFolder", client},
      {"ApplicationPath", client + "OKvelo.exe"},
      {"IsApplicationInstalled", "true"},
      {"IsApplicationRuning", "false"},
      {"MajorVersionDigit", "7"},
      {"ApplicationVersion", "7.2.0.15"},
      {"ApplicationVersionInt", std::to_string(0x07020000)},
      {"CommonDataFolder", sandbox.Common() + "/Orvel/OrvelKvelo 7/Client/"},
      {"MyFolderRoot", sandbox.Documents() + "/Орвел-Квело/"},
      {"AutoSaveFoder", data + "Autosave/"},
      {"ConnectionOptionsFilename", data + "Settings/Connections.xml"},
      {"CustomLocalSetting", ""},
      {"IsAppDataFolderHasWritePrivilege", "false"},
  };
  for (const auto& [name, value] : expected) {
    ASSERT_TRUE(run.Values.count(name)) << name << "\n" << run.Output;
    // Another program may run the client's mutex check at the same time; its value is not ours.
    if (name != "IsApplicationRuning") {
      EXPECT_EQ(run.Values.at(name), value) << name;
    }
  }
  // The application's operations, then the roots, then the paths derived from them.
  EXPECT_EQ(IndexOf(run, "RegistryKey"), 2u);
  EXPECT_LT(IndexOf(run, "IsApplicationPresent"), IndexOf(run, "AppDataFolder"));
  EXPECT_LT(IndexOf(run, "MyFolderRoot"), IndexOf(run, "AutoSaveFoder"));
  EXPECT_EQ(run.Names.back(), "IsNBCacheFolderHasWritePrivilege");
  EXPECT_EQ(std::set<std::string>(run.Names.begin(), run.Names.end()).size(), run.Names.size());

  const TRun six = RunKveloInfo(sandbox, {"--client", "6"});
  ASSERT_EQ(six.ExitCode, 0);
  EXPECT_EQ(six.Values.at("RegistryKey"), kKvelo6Key);
  EXPECT_EQ(six.Values.at("IsApplicationInstalled"), "false");
  EXPECT_EQ(six.Values.at("InstallFolder"), "/Client/");
  EXPECT_EQ(six.Names, run.Names);
}

TEST(KveloInfo, FollowsTheOverridesAndThePortableSwitch) {
  TClientSandbox sandbox;
  const std::string shared = sandbox.Dir().MakeDir("Shared");
  sandbox.Dir().WriteFile("data/Orvel/OrvelKvelo 7/Client/Settings/UserData.xml",
                          "<UserData LocalSetting=\"" + shared + "\"/>");
  TRun run = RunKveloInfo(sandbox, {});
  EXPECT_EQ(run.Values.at("CustomLocalSetting"), shared + "/");
  EXPECT_EQ(run.Values.at("SignRootXMLFileName"), shared + "/Signs.xml");

  run = RunKveloInfo(sandbox, {"/PORTABLE"});
  const std::string own = ExtractFilePath(KV_KVELO_INFO);
  EXPECT_EQ(run.Values.at("PortableMode"), "pmSwitch");
  EXPECT_EQ(run.Values.at("InstallFolder"), own);
  EXPECT_EQ(run.Values.at("CommonDataFolder"), own);
}

TEST(KveloInfo, AFailingOperationIsReportedAndTheRestFollows) {
  TClientSandbox sandbox;
  sandbox.WriteRegistry({}, "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                std::string(kKvelo7Key) + "]\r\n\"InstallLocation\"=dword:00000001\r\n");
  const TRun run = RunKveloInfo(sandbox, {});
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Values.at("InstallFolder"), "!Invalid data type for 'InstallLocation'");
  EXPECT_EQ(run.Values.at("ApplicationPath"), "!Invalid data type for 'InstallLocation'");
  EXPECT_EQ(run.Values.at("IsApplicationInstalled"), "!Invalid data type for 'InstallLocation'");
  EXPECT_EQ(run.Values.at("ConnectionOptionsFilename"),
            sandbox.Data() + "/Orvel/OrvelKvelo 7/Client/Settings/Connections.xml");
}

TEST(KveloInfo, HelpAndBadArguments) {
  TClientSandbox sandbox;
  const TRun help = RunKveloInfo(sandbox, {"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  for (const char* variable : {"ORVEL_REGISTRY_DIR", "ORVEL_COMMON_APPDATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME",
                               "user-dirs.dirs", "Client/OKvelo.exe"})
    EXPECT_NE(help.Output.find(variable), std::string::npos) << variable;
  EXPECT_EQ(RunKveloInfo(sandbox, {"--client", "8"}).ExitCode, 2);
  EXPECT_EQ(RunKveloInfo(sandbox, {"--verbose"}).ExitCode, 2);
  EXPECT_EQ(RunKveloInfo(sandbox, {"--client"}).ExitCode, 2);
}
