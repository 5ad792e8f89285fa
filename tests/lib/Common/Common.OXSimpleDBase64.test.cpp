#include "Common.OXSimpleDBase64.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "ByteStrings.h"
#include "Runtime.Strings.h"
#include "support/ItemDatabaseWriter.h"
#include "support/MessageOf.h"
#include "support/TempDir.h"

namespace {
using Items = std::vector<TItemDatabaseItem>;

// Two items, one of them empty, as the format lays them out by hand.
const char* const kVersion4File =
    "53 44 42 04  02 00 00 00"                            // signature, version, count
    "01 01 41  01 01 77"                                  // "A", work data "w"
    "01 01 C1  00"                                        // "Б", no work data
    "22 00 00 00 03 00 00 00  25 00 00 00 00 00 00 00"    // offsets and sizes
    "78 79 7A";                                           // "xyz"
const char* const kVersion5File =
    "53 44 42 05  14 00 00 00  02 00 00 00  2D 00 00 00  01 00 00 00"  // 20 header bytes, sorted
    "00 00 00 00 00 00 00 00"                                          // reserved
    "01 04 49 6E 66 6F  00"                                            // "Info", no work data
    "01 04 D2 E5 F1 F2  01 02 6F 6B"                                   // "Тест", "ok"
    "45 00 00 00 00 00 00 00 02 00 00 00  47 00 00 00 00 00 00 00 01 00 00 00"
    "01 02 5A";

const Items kVersion4Items = {{"A", "w", "xyz"}, {"Б", "", ""}};
const Items kVersion5Items = {{"Info", "", "\x01\x02"}, {"Тест", "ok", "Z"}};

std::string InitError(const std::string& path, const std::string& inner) {
  return "Ошибка инициализации базы \"" + path + "\"\r\n" + inner;
}
std::string Corrupt(const std::string& path) { return "Файл базы данных \"" + path + "\" поврежден."; }


std::string ItemData(TOXSimpleDBaseReader64& reader, std::uint32_t index) {
  TMemoryStream stream;
  reader.GetItemData(index, stream);
  return Contents(stream);
}

std::string WorkData(const TOXSimpleDBaseReader64& reader, std::uint32_t index) {
  TMemoryStream stream;
  reader.GetItemWorkData(index, stream);
  return Contents(stream);
}

std::optional<std::string> FastGet(const std::string& path, std::string_view name) {
  TMemoryStream stream;
  if (!TOXSimpleDBaseReader64::FastGetItemData(path, name, stream)) return std::nullopt;
  return Contents(stream);
}

std::string ReadAll(TStream& stream, std::int32_t chunk) {
  std::string result;
  std::string buffer(static_cast<std::size_t>(chunk), '\0');
  while (std::int32_t n = stream.Read(buffer.data(), chunk)) result.append(buffer, 0, static_cast<std::size_t>(n));
  return result;
}

void Patch(std::string& bytes, std::int64_t at, const void* value, std::size_t size) {
  std::memcpy(bytes.data() + at, value, size);
}

struct DatabaseFixture {
  TTempDir dir;
  std::string Write(std::string_view bytes) const { return dir.WriteFile("base.oxd5", bytes); }
  std::string Write(const Items& items, const TItemDatabaseLayout& layout = {}) const {
    return Write(ItemDatabaseBytes(items, layout).Bytes);
  }
};
}  // namespace

TEST(ItemDatabase, ReadsFilesLaidOutByHand) {
  struct Case {
    const char* name;
    const char* bytes;
    const Items& items;
    TItemDatabaseLayout layout;
    std::int64_t secondOffset;
  } cases[] = {
      {"version 4", kVersion4File, kVersion4Items, {.Version = 4}, 0x25},
      {"version 5, 8 reserved header bytes", kVersion5File, kVersion5Items,
       {.Version = 5, .AdvancesHeaderSize = 20, .Sorted = true}, 0x47},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The test writer lays files out the same way, so the tests built on it stand on these bytes.
    EXPECT_EQ(ItemDatabaseBytes(c.items, c.layout).Bytes, Hex(c.bytes));
    DatabaseFixture fx;
    const std::string path = fx.Write(Hex(c.bytes));
    TOXSimpleDBaseReader64 reader(path);
    EXPECT_EQ(reader.FilePath(), path);
    ASSERT_EQ(reader.RecordCount(), c.items.size());
    for (std::uint32_t i = 0; i < reader.RecordCount(); ++i) {
      SCOPED_TRACE(i);
      const TItemDatabaseItem& item = c.items[i];
      EXPECT_EQ(reader.GetItemName(i), item.Name);
      EXPECT_EQ(reader.GetIndexFromName(item.Name, true), i);
      EXPECT_EQ(ItemData(reader, i), item.Data);
      EXPECT_EQ(reader.GetItemDataSize(i), item.Data.size());
      EXPECT_EQ(WorkData(reader, i), item.WorkData);
      EXPECT_EQ(reader.GetItemWorkDataSize(i), item.WorkData.size());
      EXPECT_EQ(FastGet(path, item.Name), item.Data);
    }
    EXPECT_EQ(reader.GetItemDataOffset(1), c.secondOffset);
  }
}

TEST(ItemDatabase, EveryHeaderAndLengthFormReadsTheSameItems) {
  const Items items = {{"Info", "Работа №5", "\x00\x01\x02"},
                       {"Расценка", std::string(300, 'w'), std::string(70000, 'd')},
                       {"", "", ""},
                       {"info", "x", "y"}};
  struct Case {
    const char* name;
    TItemDatabaseLayout layout;
  } cases[] = {
      {"version 4", {.Version = 4}},
      {"version 5", {.Version = 5}},
      {"version 5, header size below 12 read as 12", {.Version = 5, .AdvancesHeaderSize = 4}},
      {"version 5, 100 reserved header bytes", {.Version = 5, .AdvancesHeaderSize = 112}},
      {"1-byte lengths where they fit", {.Version = 5, .LengthWidth = 1}},
      {"3-byte lengths", {.Version = 5, .LengthWidth = 3}},
      {"4-byte lengths, version 4", {.Version = 4, .LengthWidth = 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DatabaseFixture fx;
    Items written = items;
    if (c.layout.LengthWidth == 1) written[1].WorkData.resize(255);
    const std::string path = fx.Write(written, c.layout);
    TOXSimpleDBaseReader64 reader(path);
    ASSERT_EQ(reader.RecordCount(), written.size());
    for (std::uint32_t i = 0; i < written.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(reader.GetItemName(i), written[i].Name);
      EXPECT_EQ(reader.GetIndexFromName(written[i].Name, false), i);
      EXPECT_EQ(ItemData(reader, i), written[i].Data);
      EXPECT_EQ(WorkData(reader, i), platform::Utf8ToAnsi(written[i].WorkData));
      EXPECT_EQ(reader.GetItemWorkDataSize(i), Utf16Length(written[i].WorkData));
      EXPECT_EQ(FastGet(path, written[i].Name), written[i].Data);
    }
    EXPECT_EQ(reader.GetIndexFromName("INFO", false), TOXSimpleDBaseReader64::kNotFound);
    EXPECT_EQ(FastGet(path, "INFO"), std::nullopt);
  }
}

TEST(ItemDatabase, SortedNamesAreFoundByBinarySearchInUtf16Order) {
  // In code units "€" (U+20AC) lies between "Я" and "№"; in the code page's bytes it comes first.
  const std::vector<std::string> names = {"A", "Info", "Б", "Я", "Яя", "€", "№"};
  Items items;
  for (const std::string& name : names) items.push_back({name, "", name + "!"});
  for (std::uint8_t version : {4, 5}) {
    SCOPED_TRACE(int{version});
    DatabaseFixture fx;
    const std::string path = fx.Write(items, {.Version = version, .Sorted = true});
    TOXSimpleDBaseReader64 reader(path);
    for (std::uint32_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(reader.GetIndexFromName(names[i], false), i) << names[i];
      EXPECT_EQ(FastGet(path, names[i]), names[i] + "!") << names[i];
    }
    // Before the first, after the last, between two neighbours, and another letter case.
    for (const char* missing : {"0", "№№", "Я0", "B", "info", "я"}) {
      EXPECT_EQ(reader.GetIndexFromName(missing, false), TOXSimpleDBaseReader64::kNotFound) << missing;
      EXPECT_EQ(FastGet(path, missing), std::nullopt) << missing;
    }
    EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { reader.GetIndexFromName("Нет", true); }),
              "Запись с наименованием \"Нет\" в базе отсутствует.\r\n\"" + path + "\"");
  }
}

TEST(ItemDatabase, UnsortedNamesAreScannedAndTheFirstOfEqualNamesWins) {
  DatabaseFixture fx;
  const std::string path = fx.Write({{"b", "", "1"}, {"a", "", "2"}, {"b", "", "3"}, {"c", "", "4"}});
  TOXSimpleDBaseReader64 reader(path);
  EXPECT_EQ(reader.GetIndexFromName("b", true), 0u);
  EXPECT_EQ(reader.GetIndexFromName("a", true), 1u);
  EXPECT_EQ(reader.GetIndexFromName("c", true), 3u);
  EXPECT_EQ(FastGet(path, "b"), "1");
  EXPECT_EQ(FastGet(path, "c"), "4");
}

TEST(ItemDatabase, EmptyDatabasesAndEmptyItems) {
  DatabaseFixture fx;
  for (std::uint8_t version : {4, 5}) {
    SCOPED_TRACE(int{version});
    const std::string empty = fx.Write({}, {.Version = version, .Sorted = true});
    TOXSimpleDBaseReader64 emptyReader(empty);
    EXPECT_EQ(emptyReader.RecordCount(), 0u);
    EXPECT_EQ(emptyReader.GetIndexFromName("", false), TOXSimpleDBaseReader64::kNotFound);
    EXPECT_EQ(FastGet(empty, ""), std::nullopt);

    const std::string path = fx.Write({{"a", "", "data"}, {"Info", "", ""}}, {.Version = version});
    TOXSimpleDBaseReader64 reader(path);
    TMemoryStream stream;
    stream.WriteBuffer("xy", 2);
    reader.GetItemData("Info", stream);
    EXPECT_EQ(Contents(stream), "xy");
    EXPECT_EQ(stream.Position(), 0);
    auto item = reader.CreateItemStream("Info");
    EXPECT_EQ(item->Size(), 0);
    char byte;
    EXPECT_EQ(item->Read(&byte, 1), 0);
    stream.SetPosition(2);
    EXPECT_TRUE(TOXSimpleDBaseReader64::FastGetItemData(path, "Info", stream));
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(stream.Size(), 2);
  }
}

TEST(ItemDatabase, DataIsAppendedAtTheTargetsPosition) {
  DatabaseFixture fx;
  const std::string path = fx.Write({{"a", "", "123"}});
  TOXSimpleDBaseReader64 reader(path);
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetPosition(2);
  reader.GetItemData(0, stream);  // leaves the target at its start
  EXPECT_EQ(Contents(stream), "ab123f");
  EXPECT_EQ(stream.Position(), 0);
  stream.SetPosition(5);
  EXPECT_TRUE(TOXSimpleDBaseReader64::FastGetItemData(path, "a", stream));  // leaves it after the data
  EXPECT_EQ(Contents(stream), "ab123123");
  EXPECT_EQ(stream.Position(), 8);
}

TEST(ItemDatabase, IndicesBeyondTheItemsAreOutOfBounds) {
  DatabaseFixture fx;
  TOXSimpleDBaseReader64 reader(fx.Write(kVersion5Items));
  TMemoryStream stream;
  const std::function<void()> calls[] = {
      [&] { reader.GetItemName(2); },
      [&] { reader.GetItemDataOffset(2); },
      [&] { reader.GetItemDataSize(0xFFFFFFFF); },
      [&] { reader.GetItemWorkDataSize(2); },
      [&] { reader.GetItemData(2, stream); },
      [&] { reader.GetItemWorkData(2, stream); },
      [&] { reader.CreateItemStream(2); },
  };
  for (const auto& call : calls) EXPECT_EQ(MessageOf<EOXSimpleDBase64>(call), "Out of bounds");
  const std::string missing = "Запись с наименованием \"Нет\" в базе отсутствует.\r\n\"" + reader.FilePath() + "\"";
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { reader.GetItemData("Нет", stream); }), missing);
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { reader.GetItemWorkData("Нет", stream); }), missing);
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { reader.CreateItemStream("Нет"); }), missing);
  EXPECT_EQ(stream.Size(), 0);
}

TEST(ItemDatabase, BadFilesAreRefusedWithTheirReason) {
  const std::string v5 = ItemDatabaseBytes(kVersion5Items).Bytes;
  const std::string longName = ItemDatabaseBytes({{std::string(1000, 'n'), "", ""}}).Bytes;
  std::string wideLength = v5;
  wideLength[20] = 5;  // the first name's length width
  std::string tooMany = v5;
  const std::uint32_t count = 1000;
  Patch(tooMany, 8, &count, sizeof count);
  const std::string newer = "Формат базы данных имеет более новую версию, чем тот,\r\nс которым может работать "
                            "приложение.\r\nТекущая версия приложения может работать с версиями баз от 5 и "
                            "ниже,\r\nбаза данных имеет версию 6.";
  struct Case {
    const char* name;
    std::string bytes;
    std::function<std::string(const std::string&)> inner;  // of the path
    bool fastReads = true;  // whether FastGetItemData meets the fault looking for "Info"
  } cases[] = {
      {"empty file", "", [](auto&) { return "EReadError: Stream read error"; }},
      {"wrong signature", "SDA" + v5.substr(3), [](auto& p) { return "EOXSimpleDBase64: " + Corrupt(p); }},
      {"version 6", "SDB\x06" + v5.substr(4), [&](auto&) { return "EOXSimpleDBase64: " + newer; }},
      {"version 3", "SDB\x03" + v5.substr(4),
       [](auto&) { return "EOXSimpleDBase64: Не поддерживаемая версия базы данных (3)"; }},
      {"cut header", v5.substr(0, 10), [](auto&) { return "EReadError: Stream read error"; }},
      {"cut index", longName.substr(0, 300), [](auto&) { return "EReadError: Stream read error"; }},
      {"length width 5", wideLength, [](auto& p) { return "EOXSimpleDBase64: " + Corrupt(p); }},
      {"more items than the file holds", tooMany, [](auto& p) { return "EOXSimpleDBase64: " + Corrupt(p); },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DatabaseFixture fx;
    const std::string path = fx.Write(c.bytes);
    EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { TOXSimpleDBaseReader64 reader(path); }),
              InitError(path, c.inner(path)));
    if (c.fastReads) {
      EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { FastGet(path, "Info"); }), InitError(path, c.inner(path)));
    }
  }
}

TEST(ItemDatabase, ItemCountIsBoundedByTheBytesEveryItemNeedsAtLeast) {
  // Empty names, work data and items: two bytes per entry and a record each, and nothing more.
  for (std::uint8_t version : {4, 5}) {
    SCOPED_TRACE(int{version});
    DatabaseFixture fx;
    TItemDatabaseFile file = ItemDatabaseBytes(Items(50), {.Version = version});
    TOXSimpleDBaseReader64 reader(fx.Write(file.Bytes));
    EXPECT_EQ(reader.RecordCount(), 50u);
    const std::uint32_t oneMore = 51;
    Patch(file.Bytes, version == 4 ? 4 : 8, &oneMore, sizeof oneMore);
    const std::string path = fx.Write(file.Bytes);
    EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { TOXSimpleDBaseReader64 tooMany(path); }),
              InitError(path, "EOXSimpleDBase64: " + Corrupt(path)));
  }
}

TEST(ItemDatabase, MissingFiles) {
  TTempDir dir;
  const std::string path = dir.File("none.oxd5");
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { TOXSimpleDBaseReader64 reader(path); }),
            "Файл базы данных \"" + path + "\" отсутствует.");
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { TOXSimpleDBaseReader64 reader(dir.Path()); }),
            "Файл базы данных \"" + dir.Path() + "\" отсутствует.");
  const std::string fast = MessageOf<EOXSimpleDBase64>([&] { FastGet(path, "Info"); });
  EXPECT_EQ(fast.rfind(InitError(path, "EFOpenError: Cannot open file"), 0), 0u) << fast;
}

TEST(ItemDatabase, ItemsOutsideTheFileAreReadErrors) {
  struct Case {
    const char* name;
    std::uint8_t version;
    std::int64_t offset;  // of the first item, whose size is 2
  } cases[] = {
      {"one byte beyond the end", 5, -1},  // -1: the file size - 1
      {"negative", 5, -2},
      {"beyond 4 GiB", 5, std::int64_t{1} << 32},
      {"version 4, beyond the end", 4, 0xFFFFFFF0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TItemDatabaseFile file = ItemDatabaseBytes(kVersion5Items, {.Version = c.version});
    const std::int64_t offset = c.offset == -1 ? static_cast<std::int64_t>(file.Bytes.size()) - 1 : c.offset;
    Patch(file.Bytes, file.TableOffset, &offset, c.version == 5 ? 8 : 4);
    DatabaseFixture fx;
    const std::string path = fx.Write(file.Bytes);
    TOXSimpleDBaseReader64 reader(path);
    TMemoryStream stream;
    EXPECT_EQ(MessageOf<EReadError>([&] { reader.GetItemData(0, stream); }), "Stream read error");
    EXPECT_EQ(stream.Size(), 0);
    auto item = reader.CreateItemStream(0u);
    char buffer[2];
    EXPECT_EQ(MessageOf<EReadError>([&] { item->Read(buffer, 2); }), "Stream read error");
    EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { FastGet(path, "Info"); }),
              InitError(path, "EReadError: Stream read error"));
    EXPECT_EQ(ItemData(reader, 1), "Z");  // the other item is still there
  }

  // The offset table itself may lie anywhere for the fast path.
  TItemDatabaseFile file = ItemDatabaseBytes(kVersion5Items);
  const std::int32_t before = -20;
  Patch(file.Bytes, 12, &before, sizeof before);
  DatabaseFixture fx;
  const std::string path = fx.Write(file.Bytes);
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { FastGet(path, "Тест"); }),
            InitError(path, "EReadError: Stream read error"));
}

TEST(ItemDatabase, FastPathOfVersion5JumpsToTheOffsetTable) {
  // The entries after the found one are never read: here they are not even there.
  TItemDatabaseFile file = ItemDatabaseBytes({{"a", "", "1"}, {"Info", "", "22"}, {"c", "", "333"}});
  const std::size_t cInIndex = file.Bytes.find("\x01\x01" "c");
  ASSERT_NE(cInIndex, std::string::npos);
  file.Bytes[cInIndex] = 9;  // no index string has such a length width
  DatabaseFixture fx;
  const std::string path = fx.Write(file.Bytes);
  EXPECT_EQ(FastGet(path, "Info"), "22");
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { FastGet(path, "c"); }),
            InitError(path, "EOXSimpleDBase64: " + Corrupt(path)));

  // Version 4 has to pass them to reach its table.
  TItemDatabaseFile v4 = ItemDatabaseBytes({{"a", "", "1"}, {"Info", "", "22"}, {"c", "", "333"}}, {.Version = 4});
  v4.Bytes[v4.Bytes.find("\x01\x01" "c")] = 9;
  const std::string v4Path = fx.Write(v4.Bytes);
  EXPECT_EQ(MessageOf<EOXSimpleDBase64>([&] { FastGet(v4Path, "Info"); }),
            InitError(v4Path, "EOXSimpleDBase64: " + Corrupt(v4Path)));
}

TEST(ItemDatabase, FastPathReadsIndicesLargerThanItsBuffer) {
  // Entries of every length fall across the fast path's buffer ends; one work text is longer than
  // the buffer, one name needs a 2-byte length.
  auto repeated = [](std::string_view text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
  };
  Items items;
  for (int i = 0; i < 3000; ++i)
    items.push_back({"n" + repeated("я", i % 13) + std::to_string(i),
                     std::string(static_cast<std::size_t>(i % 37), 'w'), std::to_string(i * 7)});
  items[1500].WorkData = std::string(25000, 'W');
  items[2100].Name = repeated("Ж", 300);
  for (std::uint8_t version : {4, 5}) {
    SCOPED_TRACE(int{version});
    DatabaseFixture fx;
    const std::string path = fx.Write(items, {.Version = version});
    for (std::size_t i : {0, 1, 97, 1499, 1500, 1501, 2100, 2101, 2999}) {
      EXPECT_EQ(FastGet(path, items[i].Name), items[i].Data) << i;
      EXPECT_EQ(FastGet(path, items[i].Name + "!"), std::nullopt) << i;
    }
    TOXSimpleDBaseReader64 reader(path);
    EXPECT_EQ(reader.GetItemName(2100), items[2100].Name);
    EXPECT_EQ(ItemData(reader, 2999), items[2999].Data);
  }
}

TEST(ItemDatabase, ItemStreamsReadTheirItemOnly) {
  DatabaseFixture fx;
  TOXSimpleDBaseReader64 reader(fx.Write({{"a", "", "0123456789"}, {"b", "", "after"}}));
  auto item = reader.CreateItemStream("a");
  EXPECT_EQ(item->Size(), 10);
  EXPECT_EQ(ReadAll(*item, 3), "0123456789");
  char buffer[10];
  item->Seek(0, soEnd);
  EXPECT_EQ(item->Read(buffer, 10), 0);
  EXPECT_EQ(item->Seek(5, soEnd), 15);  // seeks are not clamped
  EXPECT_EQ(item->Read(buffer, 10), 0);
  EXPECT_EQ(item->Position(), 10);  // a read beyond the end moves back to the end
  EXPECT_EQ(item->Seek(-4, soCurrent), 6);
  EXPECT_EQ(item->Read(buffer, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  item->Seek(-3, soBeginning);  // nothing lies before the item
  EXPECT_EQ(item->Read(buffer, 10), 0);
  EXPECT_EQ(item->Position(), -3);
  item->Seek(2, soBeginning);
  EXPECT_EQ(item->Read(buffer, 0), 0);
  EXPECT_EQ(item->Read(buffer, -1), 0);
  EXPECT_EQ(item->Position(), 2);

  const char* const readOnly = "TSimpleDBaseItemStream64 работает в режме только чтение.";
  EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([&] { item->Write("x", 1); }), readOnly);
  EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([&] { item->SetSize(3); }), readOnly);
  EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([] { TSimpleDBaseItemStream64 standalone; }),
            "TSimpleDBaseItemStream64 не предназначен для самостоятельного использования.");
}

// Each item ends where the next begins, so reading them back to front reads exactly up to the
// start of what the file's buffer holds once the last item has moved the buffer past the index.
TEST(ItemDatabase, ItemsReadBackToFront) {
  DatabaseFixture fx;
  std::string large(1048576 + 100, '\0');
  for (std::size_t k = 0; k < large.size(); ++k) large[k] = static_cast<char>(k * 13 + 5);
  const Items items = {{"a", "", "0123456789"}, {"b", "", "abcdefghij"}, {"c", "", large}};
  TOXSimpleDBaseReader64 reader(fx.Write(items));
  for (std::uint32_t i = 3; i-- > 0;) EXPECT_EQ(ItemData(reader, i), items[i].Data) << i;
  std::vector<std::unique_ptr<TSimpleDBaseItemStream64>> streams;
  for (std::uint32_t i = 0; i < 3; ++i) streams.push_back(reader.CreateItemStream(i));
  for (std::uint32_t i = 3; i-- > 0;) EXPECT_EQ(ReadAll(*streams[i], 10), items[i].Data) << i;
}

TEST(ItemDatabase, ItemStreamsOutliveTheirReaderAsClosedStreams) {
  DatabaseFixture fx;
  const std::string path = fx.Write(kVersion5Items);
  auto reader = std::make_unique<TOXSimpleDBaseReader64>(path);
  auto early = reader->CreateItemStream(0u);
  auto kept = reader->CreateItemStream(1u);
  auto freed = reader->CreateItemStream(0u);
  freed.reset();  // unregisters itself: the reader's destruction must not touch it
  char byte;
  EXPECT_EQ(kept->Read(&byte, 1), 1);
  early.reset();
  reader.reset();
  EXPECT_EQ(MessageOf<ESimpleDBaseItemStream64>([&] { kept->Read(&byte, 1); }),
            "Невозможно выполнить операцию при закрытом соединении с базой.\r\n\"" + path + "\"");
  EXPECT_EQ(kept->Size(), 1);
  kept.reset();
}

TEST(ItemDatabase, TwoThreadsReadItemsAtOnce) {
  // Items larger together than the reader's buffer, so that every read moves the shared file.
  Items items;
  for (int i = 0; i < 6; ++i) {
    std::string data(300000 + i, '\0');
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<char>(k * 31 + i * 7);
    items.push_back({"item" + std::to_string(i), "", data});
  }
  DatabaseFixture fx;
  TOXSimpleDBaseReader64 reader(fx.Write(items));
  auto streamA = reader.CreateItemStream(1u);
  auto streamB = reader.CreateItemStream(4u);
  std::atomic<int> mismatches{0};
  auto work = [&](std::uint32_t first, TSimpleDBaseItemStream64& stream, std::uint32_t streamItem) {
    for (int round = 0; round < 8; ++round) {
      const std::uint32_t index = (first + static_cast<std::uint32_t>(round)) % items.size();
      if (ItemData(reader, index) != items[index].Data) ++mismatches;
      stream.SetPosition(0);
      if (ReadAll(stream, 4093) != items[streamItem].Data) ++mismatches;
    }
  };
  std::thread one(work, 0u, std::ref(*streamA), 1u);
  std::thread two(work, 3u, std::ref(*streamB), 4u);
  one.join();
  two.join();
  EXPECT_EQ(mismatches.load(), 0);
}
