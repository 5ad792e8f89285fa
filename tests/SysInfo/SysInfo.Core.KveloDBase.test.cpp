#include "SysInfo.Core.KveloDBase.h"

#include <gtest/gtest.h>

#include "Common.Filer.h"
#include "Common.OXSimpleDBase64.h"
#include "NormativeBases.h"
#include "platform/FormatSettings.h"
#include "support/MessageOf.h"
#include "support/TempDir.h"

namespace {
TFormatSettings RussianDates() {
  TFormatSettings settings;
  settings.ShortDateFormat = "dd/mm/yyyy";
  settings.DateSeparator = '.';
  return settings;
}
}  // namespace

TEST(KveloDBase, ReadsTheDescriptionOfABaseFile) {
  TTempDir dir;
  TNB_InfoStruct written = BaseInfo(77001, kpl2001, "Москва", "ЦФО", nbpTerritorial, 42, 45000.25);
  written.SysVersion = 5;
  const std::string path = WriteBaseFile(dir.File("NB177001.oxd5"), written);
  TNB_InfoStruct info;
  info.Creator = "left over";
  ReadBaseInfo(path, info);
  EXPECT_TRUE(info.Code.IsSame(written.Code));
  EXPECT_EQ(info.RegionName, "Москва");
  EXPECT_EQ(info.DistrictName, "ЦФО");
  EXPECT_EQ(info.ReleaseNumber, 42u);
  EXPECT_EQ(info.SysVersion, 5);
  EXPECT_EQ(info.Creator, "");
}

TEST(KveloDBase, FilesThatHoldNoDescription) {
  TTempDir dir;
  const std::string noInfo = dir.File("noinfo.oxd5");
  WriteItemDatabase(noInfo, {{"Data", "", "abc"}});
  const std::string notABase = dir.WriteFile("text.oxd5", "just some text, not a base");
  const std::string wrongSignature = WriteBaseFile(dir.File("sig.oxd5"), std::string("\xF2\x01", 2));
  TNB_InfoStruct info;
  EXPECT_EQ(MessageOf<EReadError>([&] { ReadBaseInfo(noInfo, info); }), "Stream read error");
  EXPECT_THROW(ReadBaseInfo(notABase, info), EOXSimpleDBase64);
  EXPECT_THROW(ReadBaseInfo(dir.File("missing.oxd5"), info), EOXSimpleDBase64);
  EXPECT_EQ(MessageOf<EOrvelFilerInvalidSignature>([&] { ReadBaseInfo(wrongSignature, info); }),
            "Неверный формат данных в потоке");
}

TEST(KveloDBase, DescriptionLines) {
  platform::ScopedFormatSettings dates(RussianDates());
  TTempDir dir;
  const std::string path =
      WriteBaseFile(dir.File("Data/NB108124.oxd5"),
                    BaseInfo(8124, kpl2001, "Тверская область", "ЦФО", nbpFederal, 3, 45000.75));
  EXPECT_EQ(BaseDescription(path),
            "      - Путь: " + path +
                "\r\n        - Наименование: Тверская область"
                "\r\n        - Версия базы: 3"
                "\r\n        - Код базы: 108124"
                "\r\n        - Дата создания: 15.03.2023"
                "\r\n        - Издатель: Федеральный"
                "\r\n        - Тип базы: 2001 года"
                "\r\n        - Округ: ЦФО");

  // Values the tables do not know: no publisher name, an unknown type.
  const std::string odd =
      WriteBaseFile(dir.File("odd.oxd5"), BaseInfo(5, kpl1991, "", "", static_cast<TNBPublisher>(5), 0, 0));
  const std::string text = BaseDescription(odd);
  EXPECT_NE(text.find("\r\n        - Издатель: \r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n        - Тип базы: Неизвестный тип\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n        - Код базы: 900005\r\n"), std::string::npos) << text;
  EXPECT_NE(BaseDescription(WriteBaseFile(odd, BaseInfo(5, kpl1984, "", "", nbpIndividual, 0, 0)))
                .find("- Издатель: Индивидуальный\r\n        - Тип базы: 1984 года"),
            std::string::npos);

  EXPECT_EQ(BaseReadErrorDescription("/b/NB1.oxd5", "Stream read error"),
            "      - Путь: /b/NB1.oxd5\r\n        - Ошибка чтения: Stream read error");
}

TEST(KveloDBase, NamesAreKeptOnAWindows1251System) {
  EXPECT_EQ(RecodeAs1251("Тверская область №1"), "Тверская область №1");
}
