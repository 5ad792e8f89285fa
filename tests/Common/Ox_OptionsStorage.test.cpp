#include "Ox_OptionsStorage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Common.XMLUtils.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {
constexpr const char* kStored = R"(<?xml version="1.0" encoding="UTF-8"?>
<Settings Version="3">
  <Connections><Connection_1 ClassID="OX.Files"/></Connections>
  <Other Name="x"/>
</Settings>
)";
}  // namespace

TEST(OptionsStorageFactory, RewriteModeKeepsOnlyTheRootAndWhatIsWrittenAfterwards) {
  TTempDir dir;
  std::string file = dir.WriteFile("Options.xml", kStored);
  auto writer = TOptionsStorageFactory::CreateWriter(file, true);
  writer->OpenSubkey("Connections")->WriteString("Caption", "Новое", "");
  writer->Save();

  std::string bytes = dir.ReadFile("Options.xml");
  EXPECT_THAT(bytes, StartsWith(R"(<?xml version="1.0" encoding="UTF-8"?>)"));
  EXPECT_THAT(bytes, HasSubstr("<Settings>\n  <Connections Caption=\"Новое\"/>\n</Settings>"));
  auto reader = TOptionsStorageFactory::CreateReader(file);
  EXPECT_THAT(reader->GetSubkeyNames(), ElementsAre("Connections"));
  EXPECT_FALSE(reader->ValueExists("Version"));
}

TEST(OptionsStorageFactory, WithoutRewriteModeTheStoredSectionsStay) {
  TTempDir dir;
  std::string file = dir.WriteFile("Options.xml", kStored);
  auto writer = TOptionsStorageFactory::CreateWriter(file);
  writer->OpenSubkey("New")->WriteInteger("V", 1, 0);
  writer->Save();
  auto reader = TOptionsStorageFactory::CreateReader(file);
  EXPECT_THAT(reader->GetSubkeyNames(), ElementsAre("Connections", "Other", "New"));
  EXPECT_EQ(reader->ReadInteger("Version", 0), 3);
}

TEST(OptionsStorageFactory, ABrokenFileFailsTheReaderOnlyAndARewriteReplacesIt) {
  TTempDir dir;
  std::string file = dir.WriteFile("Options.xml", "not xml at all");
  EXPECT_THROW(TOptionsStorageFactory::CreateReader(file), EInvalidXMLFile);
  auto writer = TOptionsStorageFactory::CreateWriter(file, true);
  writer->WriteBool("Fresh", true);
  writer->Save();
  EXPECT_TRUE(TOptionsStorageFactory::CreateReader(file)->ReadBool("Fresh", false));
}
