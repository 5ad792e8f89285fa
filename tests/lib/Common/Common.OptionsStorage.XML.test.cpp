#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Common.OptionsStorage.XML.h"
#include "platform/CodePages.h"
#include "platform/FileSystem.h"
#include "platform/FormatSettings.h"
#include "platform/OSError.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {
std::shared_ptr<IOptionsReader> Reader(const std::string& file) { return std::make_shared<TXmlOptionsReader>(file); }
std::shared_ptr<IOptionsWriter> Writer(const std::string& file) { return std::make_shared<TXmlOptionsWriter>(file); }

constexpr const char* kSample = R"(<?xml version="1.0" encoding="utf-8"?>
<Options Version="3">
  <Connections>
    <Connection_1 ClassID="OX.Files" Address="/data/" Caption="" Count="12" Bad="12x" Flag="true" Off="0" Odd="maybe"/>
    <Other Name="other"/>
    <Connection_1 ClassID="second"/>
  </Connections>
</Options>
)";

class XmlOptionsTest : public ::testing::Test {
 protected:
  TTempDir FDir;
  std::string FFile = FDir.File("Options.xml");
};
}  // namespace

TEST_F(XmlOptionsTest, MissingFileReadsDefaultsDownToFakeReaders) {
  auto root = Reader(FFile);
  EXPECT_FALSE(root->IsMissing());  // the root stands in memory
  EXPECT_EQ(root->ReadInteger("A", 7), 7);
  EXPECT_EQ(root->ReadString("A", "def"), "def");
  EXPECT_TRUE(root->ReadBool("A", true));
  EXPECT_EQ(root->ReadFloat("A", 1.5), 1.5);
  EXPECT_FALSE(root->ValueExists("A"));
  EXPECT_THAT(root->GetSubkeyNames(), IsEmpty());

  auto missing = root->OpenSubkey("Connections");
  EXPECT_TRUE(missing->IsMissing());
  EXPECT_EQ(dynamic_cast<TXmlOptionsReader*>(missing.get())->Subkey(), "\\Connections");
  EXPECT_EQ(missing->ReadString("A", "def"), "def");
  EXPECT_THAT(missing->GetSubkeyNames(), IsEmpty());

  auto below = missing->OpenSubkey("Connection_1");
  EXPECT_NE(dynamic_cast<TFakeOptionsReader*>(below.get()), nullptr);
  EXPECT_TRUE(below->IsMissing());
  EXPECT_EQ(below->ReadInteger("A", -3), -3);
  EXPECT_FALSE(below->ValueExists("A"));
  EXPECT_TRUE(below->OpenSubkey("X")->IsMissing());

  EXPECT_FALSE(platform::FileExists(FFile));  // readers never write
}

TEST_F(XmlOptionsTest, ReadsAttributesOfTheAddressedSection) {
  FDir.WriteFile("Options.xml", kSample);
  auto root = Reader(FFile);
  EXPECT_EQ(root->ReadInteger("Version", 0), 3);
  EXPECT_THAT(root->GetSubkeyNames(), ElementsAre("Connections"));

  auto entry = root->OpenSubkey("Connections\\Connection_1");  // deeper sections in one step
  EXPECT_FALSE(entry->IsMissing());
  EXPECT_EQ(entry->ReadString("ClassID", ""), "OX.Files");
  EXPECT_EQ(entry->ReadString("Caption", "default"), "");  // empty is a value, not a missing one
  EXPECT_TRUE(entry->ValueExists("Caption"));
  EXPECT_EQ(entry->ReadString("classid", "none"), "none");  // names are case-sensitive
  EXPECT_EQ(entry->ReadInteger("Count", 0), 12);
  EXPECT_EQ(entry->ReadInteger("Bad", -1), -1);  // no number gives the default
  EXPECT_TRUE(entry->ReadBool("Flag", false));
  EXPECT_FALSE(entry->ReadBool("Off", true));
  EXPECT_THROW(entry->ReadBool("Odd", false), EConvertError);

  // Empty path parts are skipped: a leading backslash and doubled ones address the same element.
  for (const char* path : {"\\Connections\\Connection_1", "Connections\\\\Connection_1\\"})
    EXPECT_EQ(root->OpenSubkey(path)->ReadString("ClassID", ""), "OX.Files") << path;
}

TEST_F(XmlOptionsTest, DuplicateSectionNamesAreListedTwiceAndReachTheFirst) {
  FDir.WriteFile("Options.xml", kSample);
  auto connections = Reader(FFile)->OpenSubkey("Connections");
  EXPECT_THAT(connections->GetSubkeyNames(), ElementsAre("Connection_1", "Other", "Connection_1"));
  EXPECT_EQ(connections->OpenSubkey("Connection_1")->ReadString("ClassID", ""), "OX.Files");
}

TEST_F(XmlOptionsTest, OpenSubkeyWithAnEmptyNameIsAProgrammingError) {
  EXPECT_THROW(Reader(FFile)->OpenSubkey(""), EAssertionFailed);
}

TEST_F(XmlOptionsTest, WritesOnlyValuesThatDifferFromTheirDefaults) {
  {
    auto w = Writer(FFile)->OpenSubkey("S");
    w->WriteInteger("Zero", 0, 5);  // 0 is never stored, whatever the default
    w->WriteInteger("Same", 4, 4);
    w->WriteInteger("Minus", -1, 0);
    w->WriteString("Empty", "", "default");
    w->WriteString("SameText", "abc", "abc");
    w->WriteString("OtherCase", "ABC", "abc");
    w->WriteString("Control", "a\x01\tb\x1F\r\nc", "");
    w->WriteBool("Yes", true);
    w->WriteBool("No", false);
    w->WriteFloat("Float", 0, 0);  // floats are always stored
    w->Save();
  }
  auto r = Reader(FFile)->OpenSubkey("S");
  EXPECT_EQ(r->ReadInteger("Zero", 5), 5);
  for (const char* name : {"Zero", "Same", "Empty", "SameText"}) EXPECT_FALSE(r->ValueExists(name)) << name;
  EXPECT_EQ(r->ReadString("Empty", "default"), "default");
  EXPECT_EQ(r->ReadInteger("Minus", 0), -1);
  EXPECT_EQ(r->ReadString("OtherCase", ""), "ABC");
  EXPECT_EQ(r->ReadString("Control", ""), "a\tb\r\nc");
  EXPECT_THAT(FDir.ReadFile("Options.xml"), HasSubstr(R"(Yes="true" No="false" Float="0")"));
}

TEST_F(XmlOptionsTest, AValueEqualToItsDefaultLeavesTheStoredOneInPlace) {
  FDir.WriteFile("Options.xml", R"(<Options><S Count="9" Name="old"/></Options>)");
  auto w = Writer(FFile)->OpenSubkey("S");
  w->WriteInteger("Count", 0, 0);
  w->WriteString("Name", "", "");
  w->Save();
  auto r = Reader(FFile)->OpenSubkey("S");
  EXPECT_EQ(r->ReadInteger("Count", 0), 9);
  EXPECT_EQ(r->ReadString("Name", ""), "old");
}

TEST_F(XmlOptionsTest, NewFileIsWindows1251WithSectionsAsElementsAndValuesAsAttributes) {
  std::string file = FDir.File("Settings/Deep/Connections.xml");  // the folders do not exist yet
  auto root = Writer(file);
  auto entry = root->OpenSubkey("Connections")->OpenSubkey("Connection_1");
  entry->WriteString("Address", "/data/Папка/", "");
  entry->WriteString("ClassID", "OX.Files", "");
  entry->Save();  // any writer of the document saves all of it

  std::string bytes = ReadWholeFile(file);
  EXPECT_THAT(bytes, StartsWith("<?xml version=\"1.0\" encoding=\"windows-1251\"?>"));
  EXPECT_THAT(bytes,
              HasSubstr(platform::Utf8ToAnsi("<Options>\n  <Connections>\n"
                                             "    <Connection_1 Address=\"/data/Папка/\" ClassID=\"OX.Files\"/>\n"
                                             "  </Connections>\n</Options>")));
  EXPECT_EQ(Reader(file)->OpenSubkey("Connections\\Connection_1")->ReadString("Address", ""), "/data/Папка/");
}

TEST_F(XmlOptionsTest, EncodingOfALoadedFile) {
  struct Case {
    const char* Declaration;
    const char* SavedDeclaration;
  };
  for (Case c : {Case{R"(<?xml version="1.0" encoding="UTF-8"?>)", R"(<?xml version="1.0" encoding="UTF-8"?>)"},
                 Case{"", R"(<?xml version="1.0" encoding="windows-1251"?>)"}}) {
    FDir.WriteFile("Options.xml", std::string(c.Declaration) + "<Options Name=\"Смета\"/>");
    auto w = Writer(FFile);
    w->WriteString("Other", "Проект", "");
    w->Save();
    std::string bytes = FDir.ReadFile("Options.xml");
    EXPECT_THAT(bytes, StartsWith(c.SavedDeclaration));
    std::string text = std::string(c.Declaration).empty() ? platform::AnsiToUtf8(bytes) : bytes;
    EXPECT_THAT(text, HasSubstr(R"(Name="Смета" Other="Проект")")) << c.SavedDeclaration;
    EXPECT_EQ(Reader(FFile)->ReadString("Name", ""), "Смета");
  }
}

TEST_F(XmlOptionsTest, ARootOfAnotherNameIsKept) {
  FDir.WriteFile("Options.xml", R"(<Settings><A V="1"/></Settings>)");
  EXPECT_EQ(Reader(FFile)->OpenSubkey("A")->ReadInteger("V", 0), 1);
  auto w = Writer(FFile);
  w->OpenSubkey("B")->WriteInteger("V", 2, 0);
  w->Save();
  EXPECT_THAT(FDir.ReadFile("Options.xml"), HasSubstr("<Settings>\n  <A V=\"1\"/>\n  <B V=\"2\"/>\n</Settings>"));
}

TEST_F(XmlOptionsTest, BrokenFileFailsReadersAndIsReplacedByWriters) {
  FDir.WriteFile("Options.xml", "<Options><Unclosed></Options>");
  try {
    Reader(FFile);
    FAIL() << "no exception";
  } catch (const EInvalidXMLFile& e) {
    EXPECT_THAT(e.Message(), StartsWith("Ошибка при загрузке файла \"" + FFile + "\"\r\n"));
    EXPECT_NE(dynamic_cast<const EXMLParseError*>(e.InnerException()), nullptr);
  }

  auto w = Writer(FFile);
  w->WriteInteger("V", 1, 0);
  w->Save();
  EXPECT_THAT(FDir.ReadFile("Options.xml"), HasSubstr("<Options V=\"1\"/>"));
  EXPECT_THAT(FDir.ReadFile("Options.xml"), Not(HasSubstr("Unclosed")));
}

TEST_F(XmlOptionsTest, NothingReachesTheDiskBeforeSave) {
  FDir.WriteFile("Options.xml", R"(<Options V="1"/>)");
  {
    auto w = Writer(FFile);
    w->WriteInteger("V", 2, 0);
    w->OpenSubkey("New")->WriteBool("B", true);
  }
  EXPECT_EQ(FDir.ReadFile("Options.xml"), R"(<Options V="1"/>)");
}

TEST_F(XmlOptionsTest, EraseSectionEmptiesOnlyItsOwnElement) {
  FDir.WriteFile("Options.xml", R"(<Options V="1"><A X="1"><Child/></A><B Y="2"/></Options>)");
  auto w = Writer(FFile);
  w->OpenSubkey("A")->EraseSection();
  w->Save();
  auto r = Reader(FFile);
  EXPECT_THAT(r->GetSubkeyNames(), ElementsAre("A", "B"));
  EXPECT_FALSE(r->OpenSubkey("A")->ValueExists("X"));
  EXPECT_THAT(r->OpenSubkey("A")->GetSubkeyNames(), IsEmpty());
  EXPECT_EQ(r->OpenSubkey("B")->ReadInteger("Y", 0), 2);
  EXPECT_EQ(r->ReadInteger("V", 0), 1);
}

TEST_F(XmlOptionsTest, FloatsFollowTheUserNumberFormatBothWays) {
  TFormatSettings comma = TFormatSettings::Invariant();
  comma.DecimalSeparator = ',';
  comma.ThousandSeparator = ' ';
  platform::ScopedFormatSettings scoped(comma);

  auto w = Writer(FFile);
  w->WriteFloat("Rate", 3.25, 0);
  w->WriteFloat("Small", -0.001, 0);
  w->WriteString("Dotted", "3.25", "");
  w->Save();
  EXPECT_THAT(FDir.ReadFile("Options.xml"), HasSubstr(R"(Rate="3,25" Small="-0,001")"));
  auto r = Reader(FFile);
  EXPECT_EQ(r->ReadFloat("Rate", 0), 3.25);
  EXPECT_EQ(r->ReadFloat("Small", 0), -0.001);
  EXPECT_EQ(r->ReadFloat("Dotted", 9), 9);  // not a number in this format
}

TEST_F(XmlOptionsTest, SaveIntoAFolderThatCannotBeCreatedRaisesTheFileError) {
  FDir.WriteFile("plain", "a file, not a folder");
  auto w = Writer(FDir.File("plain/Options.xml"));
  EXPECT_THROW(w->Save(), EOSError);
}
