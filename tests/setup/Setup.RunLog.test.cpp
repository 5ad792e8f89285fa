#include "Setup.RunLog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

TEST(RunLog, ANewRunKeepsTheLastTwentyLogsAndNothingElseGoes) {
  TTempDir dir;
  for (int day = 1; day <= 21; ++day) dir.WriteFile("logs/2015-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + " 10-00-00.log", "old");
  dir.WriteFile("logs/notes.txt", "mine");
  auto log = TRunLog::CreateIn(dir.File("logs"));
  log->Write("Файл \"a\" добавлен.");
  int logs = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.File("logs"))) logs += e.path().extension() == ".log";
  EXPECT_EQ(logs, 20);
  EXPECT_FALSE(std::filesystem::exists(dir.File("logs/2015-01-01 10-00-00.log")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("logs/2015-01-02 10-00-00.log")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("logs/notes.txt")));
  EXPECT_TRUE(ReadWholeFile(log->Path()).ends_with(" Файл \"a\" добавлен.\n"));
}
