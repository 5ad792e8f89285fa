// quenta-setup: the update wizard. It is shipped as one executable beside its package and finds
// "settings.ini" and "QuentaSetupData" in its own folder.

#include <QApplication>

#include <memory>

#include "MessageBoxes.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "SysInfo.Core.Kvelo7.h"
#include "dlgEasySetup.h"
#include "platform/CommandLine.h"
#include "platform/Environment.h"

int main(int argc, char** argv) {
  platform::SetCommandLine(argc, argv);
  InitializeKveloFolderOverrides();
  InitializeConnectionClasses();

  QApplication app(argc, argv);
  std::unique_ptr<IMessageBoxes> boxes;
  std::optional<std::string> autoAnswer = platform::GetEnvironmentVariable(AutoAnswerVariable);
  if (autoAnswer)
    boxes = std::make_unique<TLoggedMessageBoxes>(*autoAnswer == "yes");
  else
    boxes = std::make_unique<TQtMessageBoxes>();

  std::unique_ptr<TfrmEasySetup> form;
  try {
    form = std::make_unique<TfrmEasySetup>(ExtractFilePath(platform::ExecutableFileName()), *boxes);
  } catch (const Exception& e) {
    boxes->Error(nullptr, e.Message(), "Quenta Setup");
    return 1;
  } catch (const std::exception& e) {
    boxes->Error(nullptr, e.what(), "Quenta Setup");
    return 1;
  }
  form->show();
  if (autoAnswer) TLoggedMessageBoxes::Log("window shown: " + form->windowTitle().toStdString());
  return app.exec();
}
