// The diagnostic reports of the client classes: the auto-save folder and the normative bases.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ClientSandbox.h"
#include "Common.XMLUtils.h"
#include "NormativeBases.h"
#include "SysInfo.Core.KveloDBase.h"
#include "platform/FormatSettings.h"

namespace {
TFormatSettings RussianDates() {
  TFormatSettings settings;
  settings.ShortDateFormat = "dd/mm/yyyy";
  settings.DateSeparator = '.';
  settings.LongTimeFormat = "hh:nn:ss";
  return settings;
}

// The bases of the report tests in DBaseFolder: two readable ones at the top, one in a
// subfolder, one whose description is cut short, and a file that is no base.
struct TBases {
  std::string Moscow, Tver, Sub, Damaged;
};

TBases WriteBases() {
  const std::string data = TKvelo7Information::DBaseFolder();
  TBases bases;
  bases.Moscow = WriteBaseFile(data + "NB177001.oxd5",
                               BaseInfo(77001, kpl2001, "Москва", "ЦФО", nbpTerritorial, 12, 45000.25));
  bases.Tver = WriteBaseFile(data + "nb169001.OXD5",
                             BaseInfo(69001, kpl1991, "Тверь", "", static_cast<TNBPublisher>(7), 1, 45001));
  bases.Sub = WriteBaseFile(data + "Регионы/NB412345.oxd5",
                            BaseInfo(12345, kpl1984, "Область", "", nbpFederal, 2, 30000));
  const std::string full = DescriptionBytes(BaseInfo(2, kpl2001, "Обрезанная", "", nbpFederal, 1, 45000));
  bases.Damaged = WriteBaseFile(data + "NB100002.oxd5", full.substr(0, 20));
  WriteWholeFile(data + "readme.txt", "not a base");
  return bases;
}

std::map<std::string, std::string> Attributes(const TXMLNode& node) {
  std::map<std::string, std::string> values;
  for (const std::string& name : node.AttributeNames()) values[name] = *node.Attribute(name);
  return values;
}
}  // namespace

TEST(KveloReports, AutoSaveFolder) {
  TClientSandbox sandbox;
  const std::string folder = TKvelo7Information::AutoSaveFoder();
  std::string text = "Отчёт\r\n";
  TKvelo7Information::GetAutoSaveFolderInfo(text);
  EXPECT_EQ(text, "Отчёт\r\n    Каталог автосохранения:\r\n      - путь: " + folder +
                      "\r\n      - файлов: 0\r\n      - размер: 0 байт\r\n");

  platform::ForceDirectories(folder + "Пусто.tmp");  // a folder, not a file
  platform::ForceDirectories(folder + "sub");
  WriteWholeFile(folder + "a.tmp", std::string(1500, 'a'));
  WriteWholeFile(folder + ".B.TMP", std::string(1000, 'b'));
  WriteWholeFile(folder + "c.txt", std::string(5000, 'c'));
  WriteWholeFile(folder + "sub/d.tmp", std::string(4000, 'd'));
  text.clear();
  TKvelo7Information::GetAutoSaveFolderInfo(text);
  EXPECT_EQ(text, "    Каталог автосохранения:\r\n      - путь: " + folder +
                      "\r\n      - файлов: 2\r\n      - размер: 2 Кбайт\r\n");
}

TEST(KveloReports, NoBases) {
  TClientSandbox sandbox;
  std::string text = "x";
  TKvelo7Information::GetModulesState(text);
  EXPECT_EQ(text, "x    Список доступных баз:\r\n      - Отсутствуют");

  TXMLDocument document;
  TXMLNode root = document.AddChild("report");
  TKvelo7Information::GetModulesState(root);
  EXPECT_EQ(root.ChildNodes().Count(), 1);
  EXPECT_EQ(root.FindNode("dbase").ChildNodes().Count(), 0);
}

TEST(KveloReports, BasesAsText) {
  TClientSandbox sandbox;
  platform::ScopedFormatSettings dates(RussianDates());
  const TBases bases = WriteBases();
  std::string text;
  TKvelo7Information::GetModulesState(text);

  const std::string head = "    Список доступных баз:";
  ASSERT_EQ(text.substr(0, head.size()), head);
  // One block per base, in the order the folder lists them; the damaged one does not end the list.
  std::vector<std::string> blocks;
  for (const std::string& path : {bases.Moscow, bases.Tver, bases.Sub})
    blocks.push_back("\r\n" + BaseDescription(path));
  blocks.push_back("\r\n" + BaseReadErrorDescription(bases.Damaged, "Stream read error"));
  std::size_t length = head.size();
  for (const std::string& block : blocks) {
    EXPECT_NE(text.find(block), std::string::npos) << block << "\nin\n" << text;
    length += block.size();
  }
  EXPECT_EQ(text.size(), length) << text;
  EXPECT_NE(text.find("\r\n      - Путь: " + bases.Sub + "\r\n        - Наименование: Область\r\n"),
            std::string::npos);
}

TEST(KveloReports, BasesAsXml) {
  TClientSandbox sandbox;
  platform::ScopedFormatSettings dates(RussianDates());
  const TBases bases = WriteBases();
  TXMLDocument document;
  TXMLNode root = document.AddChild("report");
  TKvelo7Information::GetModulesState(root);

  const TXMLNodeList items = root.FindNode("dbase").ChildNodes();
  std::map<std::string, TXMLNode> byPath;
  for (int i = 0; i < items.Count(); ++i) {
    EXPECT_EQ(items[i].NodeName(), "item");
    byPath[*items[i].Attribute("path")] = items[i];
  }
  // Only the folder itself: the base in the subfolder is in the text form alone.
  ASSERT_EQ(byPath.size(), 3u);
  ASSERT_TRUE(byPath.count(bases.Moscow) && byPath.count(bases.Tver) && byPath.count(bases.Damaged));

  const TXMLNode moscow = byPath[bases.Moscow];
  EXPECT_EQ(moscow.AttributeNames(),
            (std::vector<std::string>{"path", "region", "version", "code", "date", "publisher", "year", "district"}));
  EXPECT_EQ(Attributes(moscow), (std::map<std::string, std::string>{{"path", bases.Moscow},
                                                                    {"region", "Москва"},
                                                                    {"version", "12"},
                                                                    {"code", "177001"},
                                                                    {"date", "15.03.2023 06:00:00"},
                                                                    {"publisher", "Территориальный"},
                                                                    {"year", "2001"},
                                                                    {"district", "ЦФО"}}));
  const auto tver = Attributes(byPath[bases.Tver]);
  EXPECT_EQ(tver.at("publisher"), "Неизвестен");
  EXPECT_EQ(tver.at("year"), "unknown");
  EXPECT_EQ(tver.at("code"), "969001");
  EXPECT_EQ(tver.at("date"), "16.03.2023");
  EXPECT_EQ(Attributes(byPath[bases.Damaged]),
            (std::map<std::string, std::string>{{"path", bases.Damaged}, {"error", "Stream read error"}}));
}
