#pragma once
// Test support for the wizard: a sandbox that the client's folders and registry point into, and
// message boxes that record what they show and answer from a script.

#include <gtest/gtest.h>

#include <QTest>

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MessageBoxes.h"
#include "dlgEasySetup.h"
#include "platform/NamedMutex.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "tools/PeWriter.h"

// The machine's registry, the user's home with its XDG folders and the machine's common data
// folder, all in one temporary folder for the sandbox's lifetime. The client is not installed
// until InstallClient.
class TClientSandbox {
 public:
  static constexpr char UninstallKey[] =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{00C00000-0001-4A2E-8D31-700000000001}_is1";

  TClientSandbox()
      : FRegistry("ORVEL_REGISTRY_DIR", FRoot.MakeDir("registry")),
        FHome("HOME", FRoot.MakeDir("home")),
        FConfig("XDG_CONFIG_HOME", FRoot.MakeDir("home/.config")),
        FData("XDG_DATA_HOME", FRoot.MakeDir("home/.local/share")),
        FCommon("ORVEL_COMMON_APPDATA", FRoot.MakeDir("common")),
        FTrustedKeys("ORVEL_TRUSTED_KEYS_DIR", FRoot.File("trusted-keys")) {
    platform::ReloadRegistry();
  }

  const TTempDir& Root() const { return FRoot; }
  std::string InstallLocation() const { return FRoot.File("client"); }
  // The machine's trusted keys folder; missing (no key trusted) until a test makes it.
  std::string TrustedKeysFolder() const { return FRoot.File("trusted-keys"); }

  // The uninstall entry names InstallLocation, whose "Client" folder holds OKvelo.exe with the
  // given major version.
  void InstallClient(std::uint16_t major = 7) {
    WriteMachineRegistry("\"InstallLocation\"=\"" + InstallLocation() + "\"\n");
    TPeImageOptions options;
    options.FileVersion = {major, 2, 0, 15};
    options.ProductVersion = options.FileVersion;
    FRoot.WriteFile("client/Client/OKvelo.exe", BuildPeImage(options).Bytes);
  }

  // The values of the client's uninstall key, as lines of a registry export.
  void WriteMachineRegistry(const std::string& values) {
    FRoot.WriteFile("registry/HKLM.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\" +
                                             std::string(UninstallKey) + "]\n" + values);
    platform::ReloadRegistry();
  }

 private:
  // Destroyed last, after the variables are restored: the next reader sees the real registry.
  struct TReloadOnExit {
    ~TReloadOnExit() { platform::ReloadRegistry(); }
  } FReload;
  TTempDir FRoot;
  TScopedEnv FRegistry;
  TScopedEnv FHome;
  TScopedEnv FConfig;
  TScopedEnv FData;
  TScopedEnv FCommon;
  TScopedEnv FTrustedKeys;
};

struct TShownBox {
  TMessageBoxKind Kind;
  std::string Text;
  std::string Caption;

  bool operator==(const TShownBox&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TShownBox& box) {
  return out << MessageBoxKindName(box.Kind) << " \"" << box.Caption << "\": " << box.Text;
}

// Records every box; questions take the next scripted answer (a question without one fails the
// test and reads No). WhileShown runs as if the box were on screen, where a real box would let
// other events through.
class TScriptedMessageBoxes : public IMessageBoxes {
 public:
  std::vector<TShownBox> Shown;
  std::deque<bool> Answers;
  std::function<void(const TShownBox&)> WhileShown;

  void Warning(QWidget*, const std::string& Text, const std::string& Caption) override {
    Show({mbkWarning, Text, Caption});
  }
  void Error(QWidget*, const std::string& Text, const std::string& Caption) override {
    Show({mbkError, Text, Caption});
  }
  void Message(QWidget*, const std::string& Text, const std::string& Caption) override {
    Show({mbkMessage, Text, Caption});
  }
  bool Question(QWidget*, const std::string& Text, const std::string& Caption) override {
    Show({mbkQuestion, Text, Caption});
    if (Answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << Text;
      return false;
    }
    bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

 private:
  void Show(TShownBox box) {
    Shown.push_back(box);
    if (auto whileShown = WhileShown) whileShown(box);  // a copy: the callback may replace itself
  }
};

// The form on the package in PackageFolder, shown and exposed. A form beside a holder of the
// client's mutex would end this process quietly with code 0: CTest keeps such tests apart
// (RESOURCE_LOCK), and a run by hand must not overlap them either.
inline std::unique_ptr<TfrmEasySetup> ShowForm(const std::string& PackageFolder, IMessageBoxes& Boxes) {
  if (platform::NamedMutexExists("OrvelKvelo_client")) {
    ADD_FAILURE() << "the client's mutex is held: the form would end the test process";
    std::abort();
  }
  auto form = std::make_unique<TfrmEasySetup>(PackageFolder, Boxes);
  form->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  return form;
}
