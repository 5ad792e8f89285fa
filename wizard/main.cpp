// quenta-setup: the update wizard. It is shipped as one executable beside its package and finds
// "settings.ini" and "QuentaSetupData" in its own folder.

#include <QApplication>

#include <cstdio>
#include <memory>

#include "MessageBoxes.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "Setup.ConsoleHost.h"
#include "Setup.Journal.h"
#include "Setup.RunLog.h"
#include "Setup.Unattended.h"
#include "SysInfo.Core.Kvelo7.h"
#include "dlgEasySetup.h"
#include "platform/CommandLine.h"
#include "platform/Environment.h"

namespace {

const char HelpText[] =
    "quenta-setup: the update of the installed client from the package beside this program.\n"
    "\n"
    "  quenta-setup                 the wizard's window\n"
    "  quenta-setup -silent         the whole update without a window; log lines on standard output,\n"
    "                               what a box would say on standard error\n"
    "  quenta-setup -restore-only   puts back the files of an interrupted update, without a window\n"
    "  quenta-setup -help           this text\n"
    "  -log FILE                    the run's log goes to FILE instead of\n"
    "                               $XDG_STATE_HOME/orvel/quenta-setup/ (default ~/.local/state/...)\n"
    "Switches start with \"-\" or \"/\", in any letter case.\n"
    "\n"
    "When this machine trusts a vendor key (one built in, or a minisign public key *.pub in\n"
    "$ORVEL_TRUSTED_KEYS_DIR, default /etc/orvel/quenta-setup/trusted-keys), the package is used only\n"
    "when QuentaSetupData.manifest is signed by such a key and the package holds exactly what it lists.\n"
    "\n"
    "Exit codes of -silent:\n"
    "  0  all done\n"
    "  1  done, but some files could not be updated (their error lines say which)\n"
    "  2  the client is running: nothing touched\n"
    "  3  no installed client: nothing touched\n"
    "  4  an error ended the work and the update was rolled back\n"
    "  5  not enough disk space: nothing touched\n"
    "  6  the package is damaged or not signed by a trusted key: nothing touched (a file changed\n"
    "     after the check is found by the copy, and the update is rolled back)\n"
    "Exit codes of -restore-only: 0 restored (or nothing to restore), 1 some files stayed in the backup.\n";

// "-log FILE" names the log; otherwise a new one in the state folder. None when it cannot be
// written: the update does not depend on its log.
std::unique_ptr<TRunLog> OpenRunLog() {
  try {
    for (int i = 1; i < platform::ParamCount(); ++i) {
      const std::string arg = platform::ParamStr(i);
      if ((arg.starts_with('-') || arg.starts_with('/')) && SameText(arg.substr(1), "log"))
        return std::make_unique<TRunLog>(platform::ParamStr(i + 1));
    }
    return TRunLog::CreateIn(SetupStateFolder());
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.Message().c_str());
    return nullptr;
  }
}

// The work without a window; nothing when the command line asks for the window.
std::optional<int> RunWithoutWindow() {
  if (platform::FindCmdLineSwitch("help")) {
    std::fputs(HelpText, stdout);
    return 0;
  }
  const bool silent = platform::FindCmdLineSwitch("silent");
  const bool restoreOnly = platform::FindCmdLineSwitch("restore-only");
  if (!silent && !restoreOnly) return std::nullopt;
  TConsoleHost host;
  std::unique_ptr<TRunLog> log = OpenRunLog();
  if (log) host.OnLog = [&log](const std::string& line) { log->Write(line); };
  try {
    if (restoreOnly) {
      RestoreInterruptedUpdates(host, SetupStateFolder());
      return host.ErrorCount() == 0 ? 0 : 1;
    }
    return static_cast<int>(
        RunUnattendedUpdate(host, ExtractFilePath(platform::ExecutableFileName()), SetupStateFolder()));
  } catch (const std::exception& e) {  // before anything was touched: the state folder is unusable
    host.ShowError(ExceptionText(e));
    return static_cast<int>(TUnattendedResult::urRolledBack);
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetCommandLine(argc, argv);
  InitializeKveloFolderOverrides();
  InitializeConnectionClasses();
  if (std::optional<int> code = RunWithoutWindow()) return *code;

  QApplication app(argc, argv);
  std::unique_ptr<IMessageBoxes> boxes;
  std::optional<std::string> autoAnswer = platform::GetEnvironmentVariable(AutoAnswerVariable);
  if (autoAnswer)
    boxes = std::make_unique<TLoggedMessageBoxes>(*autoAnswer == "yes");
  else
    boxes = std::make_unique<TQtMessageBoxes>();

  std::unique_ptr<TRunLog> log = OpenRunLog();
  std::unique_ptr<TfrmEasySetup> form;
  try {
    form = std::make_unique<TfrmEasySetup>(ExtractFilePath(platform::ExecutableFileName()), *boxes, nullptr, log.get());
  } catch (const std::exception& e) {
    boxes->Error(nullptr, ExceptionText(e), "Quenta Setup");
    return 1;
  }
  form->show();
  if (autoAnswer) TLoggedMessageBoxes::Log("window shown: " + form->windowTitle().toStdString());
  return app.exec();
}
