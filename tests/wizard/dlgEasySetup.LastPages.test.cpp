// The shortcut and connection pages on a real package: the links of the ticked items, the tree
// re-prepared for the connection page, and the registration into "Connections.xml".

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>

#include "OXCheckedTreeView.h"
#include "Ox.Types.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.ConnectionPool.h"
#include "Runtime.Strings.h"
#include "Setup.DesktopLinks.h"
#include "WizardTestSupport.h"
#include "dlgEasySetup.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"

namespace {

class WizardLastPages : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeConnectionClasses();
    Client.InstallClient();
    // "Нормативы" is named by a Windows-1251 "linkname.txt"; "Примеры/2015" has a "linkname.txt"
    // in UTF-16; "Пустая папка" is never created at the destination.
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/linkname.txt",
                      "\xD1\xE1\xEE\xF0\xED\xE8\xEA\xE8\r\n");  // "Сборники"
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "2015");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Примеры/2015/linkname.txt",
                      std::string("\xFF\xFE\x1F\x04\x40\x04\x38\x04\x3C\x04\x35\x04\x40\x04", 14));  // "Пример"
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Примеры/2015/Пример 1.txt", "пример");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Руководство.pdf", "pdf");
    Package.MakeDir("QuentaSetupData/Орвел-Квело/Пустая папка");
    Package.WriteFile("QuentaSetupData/Client/Templates/Итог.xlt", "итог");
    Client.Root().MakeDir("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings");
  }

  void Settings(const std::string& links, const std::string& connections) {
    Package.WriteFile("settings.ini", "\xEF\xBB\xBF[links]\n" + links + "[connections]\n" + connections);
  }

  TfrmEasySetup& Open() {
    Form = ShowForm(Package.Path(), Boxes);
    return *Form;
  }
  void Next() { QTest::mouseClick(Form->Image3, Qt::LeftButton); }
  void NextTo(TPageState page) {
    while (Form->PageState() != page) {
      TPageState before = Form->PageState();
      Next();
      ASSERT_NE(Form->PageState(), before) << "stuck";
    }
  }

  std::string Docs(const std::string& rel) const { return Client.Root().File("home/Documents/Орвел-Квело/" + rel); }
  std::string Desktop(const std::string& name) const { return Client.Root().File("home/Desktop/" + name); }
  std::vector<std::string> DesktopFiles() const {
    std::vector<std::string> names;
    if (platform::DirectoryExists(Client.Root().File("home/Desktop")))
      for (const auto& e : platform::ListDirectory(Client.Root().File("home/Desktop"))) names.push_back(e.Name);
    std::sort(names.begin(), names.end());
    return names;
  }
  // "text" of every node in tree order, "+" before a ticked one, "v" after an expanded one.
  std::vector<std::string> TreeNodes() const {
    std::vector<std::string> nodes;
    for (QTreeWidgetItemIterator it(Form->tvShortCuts); *it; ++it)
      nodes.push_back(std::string(Form->tvShortCuts->GetChecked(*it) ? "+" : "") + (*it)->text(0).toStdString() +
                      ((*it)->isExpanded() ? "v" : ""));
    return nodes;
  }
  // "Caption|Address|ClassID" of every stored connection.
  static std::vector<std::string> Stored() {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    std::vector<std::string> entries;
    for (const TConnection& c : pool.Connections())
      entries.push_back(c.Caption() + "|" + c.Address() + "|" + c.ClassType().ClassID());
    return entries;
  }

  TClientSandbox Client;
  TTempDir Package;
  TScriptedMessageBoxes Boxes;
  std::unique_ptr<TfrmEasySetup> Form;
  const std::string Host{WebServiceHost};
};

TEST_F(WizardLastPages, TickedItemsBecomeLinksAndTickedFoldersSources) {
  Settings("a=Руководство.pdf\nb=Нормативы\nc=Примеры\\2015\nd=Пустая папка\n",
           "n=Нормативы\nw=" + Host + "\n");
  Open();
  NextTo(psShortCuts);
  // Ticked on the shortcut page but not listed in "connections": unticked on the next one.
  Next();
  ASSERT_EQ(Form->PageState(), psConnections);
  EXPECT_EQ(DesktopFiles(), (std::vector<std::string>{"Пример.desktop", "Пустая папка.desktop",
                                                      "Руководство.pdf.desktop", "Сборники.desktop"}));
  EXPECT_EQ(Form->GetShortCutList().Count(), 4u);
  EXPECT_NE(ReadWholeFile(Desktop("Сборники.desktop")).find("\nURL=" + FileUrlOf(ExcludeTrailingPathDelimiter(Docs(""))) + "/"),
            std::string::npos);
  // Installed files are gone, folders stay (the empty one too), still expanded from the shortcut
  // page but for the first top-level node; the web-service node comes last. Folders come in the
  // reverse of the file system's order, the same on every machine.
  EXPECT_EQ(TreeNodes(), (std::vector<std::string>{"Пустая папка", "Примерыv", "2015v", "+Нормативыv", "+" + Host}));

  Next();
  ASSERT_EQ(Form->PageState(), psDone);
  EXPECT_TRUE(Boxes.Shown.empty()) << Boxes.Shown.front();
  const std::vector<std::string> expected{"Нормативы|" + Docs("Нормативы") + "|OX.Files",
                                          Host + "||OX.OrvelKvelo.Ru.KveloDocs"};
  EXPECT_EQ(Stored(), expected);

  // The same package a second time adds no second entry.
  Form.reset();
  Open();
  NextTo(psDone);
  EXPECT_EQ(Stored(), expected);
}

TEST_F(WizardLastPages, NothingTickedCreatesNothingAndRewritesTheFileUnchanged) {
  Settings("", "");
  Open();
  NextTo(psConnections);
  EXPECT_TRUE(DesktopFiles().empty());
  EXPECT_EQ(Form->GetShortCutList().Count(), 0u);
  {
    TConnectionsPool pool;
    pool.SaveToOptionsStorage();
  }
  const std::string before = ReadWholeFile(TConnectionsPool::OptionsFileName());
  Next();
  EXPECT_EQ(Form->PageState(), psDone);
  EXPECT_EQ(ReadWholeFile(TConnectionsPool::OptionsFileName()), before);
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(WizardLastPages, AnUnreadableConnectionsFileShowsAnErrorAndSavesNothing) {
  Settings("", "n=Нормативы\nw=" + Host + "\n");
  Open();
  NextTo(psConnections);
  const std::string file = TConnectionsPool::OptionsFileName();
  WriteWholeFile(file, "<Options><Connections>");
  Next();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, mbkError);
  EXPECT_EQ(ReadWholeFile(file), "<Options><Connections>");
}

// A cancel on the shortcut page rolls back and goes on: the ticked links are still made, and
// recorded.
TEST_F(WizardLastPages, ACancelOnTheShortcutPageStillMakesTheTickedLinks) {
  Settings("a=Руководство.pdf\n", "");
  Open();
  NextTo(psShortCuts);
  Boxes.Answers = {true};
  QTest::mouseClick(Form->Image2, Qt::LeftButton);
  EXPECT_EQ(Form->PageState(), psConnections);
  EXPECT_EQ(DesktopFiles(), std::vector<std::string>{"Руководство.pdf.desktop"});
  EXPECT_EQ(Form->GetShortCutList()[0], Desktop("Руководство.pdf.desktop"));
}

}  // namespace
