#include "Setup.BackupFolder.h"

#include <gtest/gtest.h>

#include "Runtime.FormatSettings.h"

TEST(BackupFolder, StampFollowsTheRegionalFormatWithoutFolderSeparators) {
  const TDateTime afternoon = EncodeDate(2015, 12, 9) + EncodeTime(14, 5, 9, 0);
  struct {
    std::string Date;
    char DateSeparator;
    std::string Time;
    TDateTime When;
    std::string Stamp;
  } cases[] = {
      {"dd/mm/yyyy", '.', "h:nn:ss", afternoon, "09.12.2015 14-05-09"},
      {"m/d/yyyy", '/', "h:nn:ss", afternoon, "12-9-2015 14-05-09"},
      {"yyyy\\mm\\dd", '-', "hh:nn:ss", afternoon, "2015-12-09 14-05-09"},
      {"dd/mm/yyyy", '.', "h:nn:ss", EncodeDate(2015, 12, 9), "09.12.2015"},  // midnight: the date alone
  };
  for (const auto& c : cases) {
    TFormatSettings settings;
    settings.ShortDateFormat = c.Date;
    settings.DateSeparator = c.DateSeparator;
    settings.LongTimeFormat = c.Time;
    EXPECT_EQ(BackupStamp(c.When, settings), c.Stamp) << c.Date;
  }
  TFormatSettings russian;
  russian.ShortDateFormat = "dd/mm/yyyy";
  russian.DateSeparator = '.';
  russian.LongTimeFormat = "h:nn:ss";
  EXPECT_EQ(BackupFolderOf("/data/Client", afternoon, russian), "/data/Client/QuentaBackup/09.12.2015 14-05-09/");
}
