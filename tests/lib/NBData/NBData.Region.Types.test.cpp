#include "NBData.Region.Types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Common.Filer.h"
#include "platform/FormatSettings.h"
#include "support/MessageOf.h"

namespace {
TNBRegionCode MakeCode(std::int32_t code, TNBYear year) {
  TNBRegionCode result;
  result.Code = code;
  result.Year = year;
  return result;
}

std::string Bytes(TMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

// A description as older writers left it, written field by field: the ten fields, then as many
// of the groups A, B and C as asked for.
std::string OldDescription(int groups) {
  TMemoryStream stream;
  TOxFiler filer(stream);
  filer.Write_Byte(241);
  filer.Write_Byte(3);       // SysVersion
  filer.Write_Byte(8);       // area
  filer.WriteInt32(12);      // ID
  filer.Write_Byte(4);       // additional code
  filer.WriteString("Тверская область");
  filer.Write_Byte(kpl2001);
  filer.WriteDbl64(45000.5);
  filer.WriteString("Иванов");
  filer.WriteString("");     // comment
  if (groups >= 1) {
    filer.WriteString("ЦФО");
    filer.WriteString("Ц");
    filer.Write_Byte(nbpTerritorial);
  }
  if (groups >= 2) {
    filer.WriteString("0812?");
    filer.WriteString("Корень");
    filer.WriteInt16(2004);
  }
  if (groups >= 3) filer.WriteInt32(-2);
  return Bytes(stream);
}

TNB_InfoStruct Load(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  stream.SetPosition(0);
  TNB_InfoStruct info;
  info.LoadFromStream(stream);
  return info;
}

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}

TFormatSettings RussianDates() {
  TFormatSettings settings;
  settings.ShortDateFormat = "dd/mm/yyyy";
  settings.DateSeparator = '.';
  return settings;
}
}  // namespace

TEST(NBRegionCode, PartsOfACode) {
  TNBRegionCode code;
  code.SetCodeFromParts(12, 34, 5);
  EXPECT_EQ(code.Code, 12345);
  EXPECT_EQ(code.AreaCode(), 12);
  EXPECT_EQ(code.District(), 345);
  EXPECT_EQ(code.AddCode(), 5);
  EXPECT_EQ(code.DefaultOpenMask(), "1234?");
  EXPECT_EQ(MakeCode(12005, kpl2001).DefaultOpenMask(), "12???");
  EXPECT_EQ(MakeCode(7000, kpl2001).DefaultOpenMask(), "07???");
  // The area keeps seven bits; an ID from a damaged file wraps instead of overflowing.
  EXPECT_EQ(TNBRegionCode::MakeIntCode(0x80 + 12, 34, 5), 12345);
  EXPECT_EQ(TNBRegionCode::MakeIntCode(0, 0x7FFFFFFF, 0), static_cast<std::int32_t>(0x7FFFFFFFu * 10u));
  EXPECT_EQ(TNBRegionCode::ExtractDistrict(12345), 345);
  EXPECT_EQ(TNBRegionCode::ExtractAddCode(12345), 5);
}

TEST(NBRegionCode, SetCodeAcceptsAtMostFiveCharacters) {
  TNBRegionCode code;
  code.SetCode(99999);
  EXPECT_EQ(code.Code, 99999);
  code.SetCode(-1234);
  EXPECT_EQ(code.Code, -1234);
  EXPECT_EQ(MessageOf<ERegionCodeError>([&] { code.SetCode(123456); }), "Некорректный код (123456) базы");
  EXPECT_EQ(MessageOf<ERegionCodeError>([&] { code.SetCode(-12345); }), "Некорректный код (-12345) базы");
  EXPECT_EQ(code.Code, -1234);
}

TEST(NBRegionCode, CodeTexts) {
  struct TCase {
    std::int32_t Code;
    TNBYear Year;
    const char* Prefix;
    const char* Extention;
    const char* Text;
    std::int32_t IntDBCode;
  };
  const TCase cases[] = {
      {1, kpl2001, "NB", "", "NB100001", 100001},
      {1, kpl2001, "NB", "oxd5", "NB100001.oxd5", 100001},
      {1, kpl2001, "NB", ".oxd5", "NB100001.oxd5", 100001},
      {1, kpl2001, "NB", "  ", "NB100001", 100001},
      {12345, kpl1984, "", "", "412345", 412345},
      {12345, kpl1991, "", "", "912345", 912345},
      {5, kplNone, "NB", "", "NB 00005", 5},
      {5, static_cast<TNBYear>(200), "", "", " 00005", 5},  // a stored level outside the table
      {123456, kpl2001, "", "", "1123456", 1123456},
      {-1, kpl2001, "NB", "oxd5", "", 0},
  };
  for (const TCase& c : cases) {
    const TNBRegionCode code = MakeCode(c.Code, c.Year);
    EXPECT_EQ(code.DBCode(c.Prefix, c.Extention), c.Text) << c.Code;
    EXPECT_EQ(code.IntDBCode(), c.IntDBCode) << c.Code;
  }
  EXPECT_EQ(MakeCode(100001, kpl2001).DefaultTitle(), "База (код 1100001)");
}

TEST(NBRegionCode, ParsesCodeTextsAndFileNames) {
  struct TCase {
    const char* Text;
    bool FileName;
    TNBYear Year;
    std::int32_t Code;
  };
  const TCase cases[] = {
      {"nb100001", false, kpl2001, 1},
      {"NB100001", false, kpl2001, 1},
      {"412345.oxd5", false, kpl1984, 12345},
      {"C:\\Bases\\NB412345.oxd5", true, kpl1984, 12345},
      {"/var/lib/Data/nb199999.oxd5", true, kpl2001, 99999},
      {"100001", true, kpl2001, 1},
  };
  for (const TCase& c : cases) {
    TNBRegionCode code;
    if (c.FileName)
      code.FillFromFileName(c.Text);
    else
      code.SetDBCode(c.Text);
    EXPECT_EQ(code.Year, c.Year) << c.Text;
    EXPECT_EQ(code.Code, c.Code) << c.Text;
  }
  EXPECT_TRUE(TNBRegionCode::FromString("NB412345").IsSame(MakeCode(12345, kpl1984)));
  EXPECT_TRUE(TNBRegionCode::MakeFromFullID(100001).IsSame(MakeCode(1, kpl2001)));
}

TEST(NBRegionCode, RefusesMalformedTexts) {
  TNBRegionCode code = MakeCode(7, kpl1984);
  struct TCase {
    const char* Text;
    bool FileName;
    const char* Message;
  };
  const TCase cases[] = {
      {"10000", false, "Некорректный код (10000) базы"},
      {"900001", false, "Некорректный код (900001) базы"},  // the 1991 letter is not parsed
      {"nbx00001", false, "Некорректный код (x00001) базы"},
      {"ПБ1000", false, "Некорректный код (ПБ1000) базы"},  // six characters, twelve bytes
      {"C:\\Bases\\N", true, "Некорректный код (N) базы"},
      {"NB1", true, "Некорректный код (1) базы"},
  };
  for (const TCase& c : cases) {
    const std::string message = MessageOf<ERegionCodeError>([&] {
      if (c.FileName)
        code.FillFromFileName(c.Text);
      else
        code.SetDBCode(c.Text);
    });
    EXPECT_EQ(message, c.Message) << c.Text;
  }
  EXPECT_EQ(MessageOf<EConvertError>([&] { code.SetDBCode("1abcde"); }), "'abcde' is not a valid integer value");
  EXPECT_TRUE(code.IsSame(MakeCode(7, kpl1984)));  // a refused text changes nothing
}

TEST(NBRegionCode, PriceLevelDefaults) {
  struct TCase {
    std::int32_t Code;
    TNBYear Year;
    std::int32_t DefaultYear;
    const char* Comment;
    bool MTSN;
  };
  const TCase cases[] = {
      {8001, kpl2001, 1998, "База 1998г.", true},
      {8001, kpl1984, 1984, "База 1984г.", true},
      {6001, kpl2001, 2001, "База 2001г.", false},
      {3001, kpl2001, 2001, "База 2001г.", true},
      {6001, kpl1991, 0, "База 0г.", false},
      {6001, kplNone, 0, "База 0г.", false},
      {6001, static_cast<TNBYear>(255), 0, "База 0г.", false},
  };
  for (const TCase& c : cases) {
    const TNBRegionCode code = MakeCode(c.Code, c.Year);
    EXPECT_EQ(code.DefaultYearValue(), c.DefaultYear) << c.Code << "/" << int(c.Year);
    EXPECT_EQ(code.DefaultComment(), c.Comment) << c.Code << "/" << int(c.Year);
    EXPECT_EQ(code.DefaultRootName(), c.Comment);
    EXPECT_EQ(code.IsMTSNCode(), c.MTSN) << c.Code;
  }
  EXPECT_EQ(TNBRegionCode::PriceLeveledBaseCaption(kpl1991), "База 1991г.");
  EXPECT_EQ(TNBRegionCode::PriceLeveledBaseCaption(kplNone), "База г.");
}

TEST(NBRegionCode, StreamCodeKind) {
  EXPECT_EQ(MakeCode(5, kpl1984).GetOXDCodeKind(), sckCompressOnly);
  EXPECT_EQ(MakeCode(0, kpl2001).GetOXDCodeKind(), sckGESN);
  EXPECT_EQ(MakeCode(5, kpl2001).GetOXDCodeKind(), sckTER);
  try {
    MakeCode(77, kpl1991).GetOXDCodeKind();
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Неожиданный уровень цен (3) у кода региона 77");
    EXPECT_EQ(e.UnitPath(), "lib/NBData/NBData.Region.Types");
  }
}

TEST(NBRegionCode, CodesWithTheSameTextAreEqual) {
  EXPECT_TRUE(MakeCode(100001, kplNone) == MakeCode(1, kpl2001));  // " 100001" and "100001"
  EXPECT_FALSE(MakeCode(100001, kplNone).IsSame(MakeCode(1, kpl2001)));
  EXPECT_FALSE(MakeCode(1, kpl1984) == MakeCode(1, kpl2001));
  EXPECT_TRUE(MakeCode(-1, kpl1984) == MakeCode(-7, kpl2001));  // no code at all
}

TEST(NBInfoStruct, SavedDescriptionReadsBackEqual) {
  TNB_InfoStruct info;
  info.FComment = "Сметные нормы";
  info.SysVersion = 9;
  info.Code = MakeCode(77123, kpl1984);
  info.RegionName = "Москва";
  info.CreationDate = 45123.75;
  info.Creator = "Петров";
  info.Publidher = nbpTrade;
  info.DistrictName = "ЦФО";
  info.DistrictSign = "Ц";
  info.OpenMask = "7712?";
  info.RootName = "Корень";
  info.Year = 1984;
  info.ReleaseNumber = 0xFFFFFFF0u;

  TMemoryStream stream;
  info.SaveToStream(stream);
  const std::string bytes = Bytes(stream);
  // Signature, then SysVersion, area 77, ID 12, additional code 3; names in the single-byte form.
  EXPECT_EQ(bytes.substr(0, 8), std::string("\xF1\x09\x4D\x0C\x00\x00\x00\x03", 8));
  EXPECT_EQ(bytes.substr(8, 8), std::string("\x06\x06\xCC\xEE\xF1\xEA\xE2\xE0", 8));

  const TNB_InfoStruct back = Load(bytes);
  EXPECT_EQ(back.FComment, info.FComment);
  EXPECT_EQ(back.SysVersion, 9);
  EXPECT_TRUE(back.Code.IsSame(info.Code));
  EXPECT_EQ(back.RegionName, info.RegionName);
  EXPECT_EQ(back.CreationDate, info.CreationDate);
  EXPECT_EQ(back.Creator, info.Creator);
  EXPECT_EQ(back.Publidher, nbpTrade);
  EXPECT_EQ(back.DistrictName, info.DistrictName);
  EXPECT_EQ(back.DistrictSign, info.DistrictSign);
  EXPECT_EQ(back.OpenMask, info.OpenMask);
  EXPECT_EQ(back.RootName, info.RootName);
  EXPECT_EQ(back.Year, 1984);
  EXPECT_EQ(back.ReleaseNumber, 0xFFFFFFF0u);
  EXPECT_EQ(back.FullRegionID(), 77123);
}

TEST(NBInfoStruct, BlankCommentIsSavedAsTheDefault) {
  TNB_InfoStruct info;
  info.Code = MakeCode(6001, kpl2001);
  info.FComment = " \t";
  EXPECT_EQ(info.Comment(), "База 2001г.");
  TMemoryStream stream;
  info.SaveToStream(stream);
  stream.SetPosition(0);
  TNB_InfoStruct back;
  back.LoadFromStream(stream);
  EXPECT_EQ(back.FComment, "База 2001г.");
}

TEST(NBInfoStruct, ReadsDescriptionsOfOlderWriters) {
  // After field 10: every later field empty, then the defaults from the code 8124 at 2001.
  TNB_InfoStruct info = Load(OldDescription(0));
  EXPECT_EQ(info.SysVersion, 3);
  EXPECT_TRUE(info.Code.IsSame(MakeCode(8124, kpl2001)));
  EXPECT_EQ(info.RegionName, "Тверская область");
  EXPECT_EQ(info.CreationDate, 45000.5);
  EXPECT_EQ(info.Creator, "Иванов");
  EXPECT_EQ(info.FComment, "");
  EXPECT_EQ(info.Comment(), "База 1998г.");
  EXPECT_EQ(info.DistrictName, "");
  EXPECT_EQ(info.DistrictSign, "");
  EXPECT_EQ(info.Publidher, nbpUnknown);
  EXPECT_EQ(info.OpenMask, "0812?");
  EXPECT_EQ(info.RootName, "База 1998г.");
  EXPECT_EQ(info.Year, 1998);
  EXPECT_EQ(info.ReleaseNumber, 0u);

  info = Load(OldDescription(1));
  EXPECT_EQ(info.DistrictName, "ЦФО");
  EXPECT_EQ(info.DistrictSign, "Ц");
  EXPECT_EQ(info.Publidher, nbpTerritorial);
  EXPECT_EQ(info.RootName, "База 1998г.");
  EXPECT_EQ(info.Year, 1998);

  info = Load(OldDescription(2));
  EXPECT_EQ(info.RootName, "Корень");
  EXPECT_EQ(info.Year, 2004);
  EXPECT_EQ(info.ReleaseNumber, 0u);

  info = Load(OldDescription(3));
  EXPECT_EQ(info.ReleaseNumber, 0xFFFFFFFEu);
}

TEST(NBInfoStruct, RefusesDamagedDescriptions) {
  EXPECT_EQ(MessageOf<EOrvelFilerInvalidSignature>([] { Load("\xF0" + OldDescription(3).substr(1)); }),
            "Неверный формат данных в потоке");
  EXPECT_THROW(Load(""), EReadError);
  const std::string full = OldDescription(3);
  // Cut inside the date, inside group A's publisher... and inside group C.
  for (std::size_t length : {std::size_t{30}, OldDescription(1).size() - 1, OldDescription(2).size() + 2}) {
    EXPECT_THROW(Load(full.substr(0, length)), EReadError) << length;
  }
  // A record read again keeps nothing of what it held.
  TMemoryStream stream;
  TNB_InfoStruct info = Load(OldDescription(3));
  stream.WriteBuffer(OldDescription(0).data(), static_cast<std::int64_t>(OldDescription(0).size()));
  stream.SetPosition(0);
  info.LoadFromStream(stream);
  EXPECT_EQ(info.DistrictName, "");
  EXPECT_EQ(info.ReleaseNumber, 0u);
}

TEST(NBInfoStruct, PropertyLines) {
  platform::ScopedFormatSettings dates(RussianDates());
  TNB_InfoStruct info = Load(OldDescription(3));
  const std::vector<std::string> expected = {"Версия базы=4294967294", "Регион=Тверская область",
                                             "Код базы=NB108124",       "Издатель=Территориальный",
                                             "Дата создания=15.03.2023", "Тип базы=2001 года",
                                             "Округ=ЦФО"};
  EXPECT_EQ(Lines(*info.GetPropsStrings()), expected);

  // A damaged record: no publisher, level or date that the tables or the calendar know.
  info.Publidher = static_cast<TNBPublisher>(9);
  info.Code.Year = static_cast<TNBYear>(40);
  info.CreationDate = std::numeric_limits<double>::quiet_NaN();
  const TSharedPtr<TStringList> lines = info.GetPropsStrings();
  EXPECT_EQ(lines->Values("Издатель"), "Неизвестен");
  EXPECT_EQ(lines->Values("Тип базы"), " года");
  EXPECT_EQ(lines->Values("Дата создания"), "");
  EXPECT_EQ(lines->Values("Код базы"), "NB 08124");
  info.CreationDate = 1e300;
  EXPECT_EQ(info.GetPropsStrings()->Values("Дата создания"), "");
}
