#include "Setup.ExternalFileExts.h"

#include <gtest/gtest.h>

#include "Common.XMLUtils.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {
std::string Stored(const std::string& file) {
  TXMLDocument document;
  document.LoadFromFile(file);
  return document.DocumentElement().Attribute("ExternalFileExts").value_or("(none)");
}
}  // namespace

TEST(ExternalFileExts, MergesIntoTheStoredList) {
  struct {
    const char* Stored;  // nullptr: no attribute
    const char* New;
    const char* Result;
  } cases[] = {
      {".doc;.xls", ".pdf; .XLS;;", ".doc;.pdf;.xls"},
      {";.doc;", ".DOC", ".doc"},
      {".a;.b", ".b;.a", ".a;.b"},
      {nullptr, "\"x;y\";.z", ".z;\"x;y\""},  // one item, quoted again; ".z" first by the locale's order
      {".DOC", ".doc;.Doc", ".DOC"},  // the stored spelling wins
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.New);
    TTempDir dir;
    std::string attribute = c.Stored ? std::string(" ExternalFileExts=\"") + c.Stored + "\"" : "";
    dir.WriteFile("CommonSetting.xml", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Options" + attribute +
                                           " Other=\"Value\"><Keep/></Options>\n");
    MergeExternalFileExts(dir.Path(), c.New);
    EXPECT_EQ(Stored(dir.File("CommonSetting.xml")), c.Result);
    const std::string saved = dir.ReadFile("CommonSetting.xml");
    EXPECT_NE(saved.find("encoding=\"windows-1251\""), std::string::npos);
    EXPECT_NE(saved.find("<Keep/>"), std::string::npos);
    TXMLDocument document;
    document.LoadFromFile(dir.File("CommonSetting.xml"));
    EXPECT_EQ(document.DocumentElement().Attribute("Other"), "Value");
  }
}

TEST(ExternalFileExts, NewFileNothingToWriteAndTheClientsOwnFileName) {
  TTempDir dir;
  MergeExternalFileExts(dir.Path(), ".pdf");
  EXPECT_EQ(Stored(dir.File("CommonSetting.xml")), ".pdf");

  TTempDir blanks;
  MergeExternalFileExts(blanks.Path(), "   ");
  MergeExternalFileExts(blanks.Path(), "");
  EXPECT_TRUE(platform::ListDirectory(blanks.Path()).empty());

  // A file of another letter case is the client's file, merged in place.
  TTempDir cased;
  cased.WriteFile("COMMONSETTING.XML", "<Options ExternalFileExts=\".doc\"/>");
  EXPECT_EQ(FindCommonSettingFile(cased.Path()), cased.File("COMMONSETTING.XML"));
  MergeExternalFileExts(cased.Path(), ".pdf");
  EXPECT_EQ(Stored(cased.File("COMMONSETTING.XML")), ".doc;.pdf");
  EXPECT_EQ(platform::ListDirectory(cased.Path()).size(), 1u);
}

TEST(ExternalFileExts, UnreadableOrUnwritableFilesRaiseAndStayAsTheyWere) {
  struct {
    const char* Contents;
  } cases[] = {{"<Options ExternalFileExts=\".doc\""}, {"<Settings ExternalFileExts=\".doc\"/>"}};
  for (const auto& c : cases) {
    TTempDir dir;
    dir.WriteFile("CommonSetting.xml", c.Contents);
    EXPECT_ANY_THROW(MergeExternalFileExts(dir.Path(), ".pdf")) << c.Contents;
    EXPECT_EQ(dir.ReadFile("CommonSetting.xml"), c.Contents);
    EXPECT_EQ(platform::ListDirectory(dir.Path()).size(), 1u);
  }
  TTempDir dir;
  EXPECT_ANY_THROW(MergeExternalFileExts(dir.File("missing"), ".pdf"));
}
