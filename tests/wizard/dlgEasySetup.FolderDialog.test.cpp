// The form's folder browse dialog (kept apart from the page tests, which grow with the pages).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FWOpenDirectory.h"
#include "WizardTestSupport.h"
#include "dlgEasySetup.h"
#include "platform/NamedMutex.h"

namespace {
struct TClientFolderCase {
  const char* What;
  std::vector<std::string> Files;  // inside the folder offered; a name ending in "/" is a folder
  bool Enabled;
};

TEST(WizardFolderDialog, AllowsOnlyAFolderHoldingTheClientsExecutable) {
  if (platform::NamedMutexExists("OrvelKvelo_client")) GTEST_FAIL() << "the form would end the test process";
  TClientSandbox client;
  TTempDir package;
  TScriptedMessageBoxes boxes;
  TfrmEasySetup form(package.Path(), boxes);
  TFWOpenDirectory& dialog = *form.FWOpenDirectory1;
  EXPECT_EQ(dialog.StatusText(), "Specify the directory:");
  EXPECT_EQ(dialog.Title(), "Browse For Folder");
  EXPECT_EQ(dialog.StartDir(), "/");
  EXPECT_EQ(dialog.Style(), TFWOpenDirStyles{odsUseNewUI});

  const std::vector<TClientFolderCase> cases = {
      {"the client's own spelling", {"Client/OKvelo.exe"}, true},
      {"any letter case", {"client/okvelo.EXE"}, true},
      {"beside other folders of the same name", {"CLIENT/", "Client/OKvelo.exe"}, true},
      {"a folder of the executable's name", {"Client/okvelo.exe/"}, false},
      {"another executable", {"Client/Other.exe"}, false},
      {"the executable outside Client", {"OKvelo.exe"}, false},
      {"an empty folder", {}, false},
  };
  for (const TClientFolderCase& c : cases) {
    SCOPED_TRACE(c.What);
    TTempDir offered;
    for (const std::string& file : c.Files) {
      if (file.back() == '/')
        offered.MakeDir(file);
      else
        offered.WriteFile(file, "MZ");
    }
    for (const std::string& path : {offered.Path() + "/", offered.Path()}) {
      bool enable = true;
      dialog.ChangeFolder(path, enable);
      EXPECT_EQ(enable, c.Enabled) << path;
    }
  }
  EXPECT_TRUE(boxes.Shown.empty());
}
}  // namespace
