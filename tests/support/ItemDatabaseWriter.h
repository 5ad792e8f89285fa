#pragma once
// Item database files for the reader's tests, fuzz seeds and benchmarks (the product only reads
// them). Header only, as the fuzzers and benchmarks do not link the test support library.
//
// The layout written: header, then per item its name and work data as index strings, then the
// offset table, then the items' data in item order.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/CodePages.h"
#include "platform/FileStream.h"

struct TItemDatabaseItem {
  std::string Name;      // UTF-8, stored in the ANSI code page
  std::string WorkData;  // UTF-8, likewise
  std::string Data;      // the bytes
};

struct TItemDatabaseLayout {
  std::uint8_t Version = 5;
  // Version 5: written as it is; the header has max(0, value - 12) reserved bytes after it.
  std::int32_t AdvancesHeaderSize = 12;
  // Version 5: the flag written, whatever the order of the names.
  bool Sorted = false;
  // 0: the smallest width for each index string (0 for an empty one); else this width for all.
  std::uint8_t LengthWidth = 0;
};

struct TItemDatabaseFile {
  std::string Bytes;
  std::int64_t TableOffset = 0;  // where the offset table starts
  std::int64_t RecordSize = 0;   // bytes per offset record
};

namespace kv::test {
template <class T>
void AppendValue(std::string& bytes, T value, std::size_t size = sizeof(T)) {
  char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));  // little-endian, as the reader
  bytes.append(raw, size);
}

inline void AppendIndexString(std::string& bytes, const std::string& utf8, std::uint8_t fixedWidth) {
  const std::string ansi = platform::Utf8ToAnsi(utf8);
  const auto length = static_cast<std::uint32_t>(ansi.size());
  std::uint8_t width = fixedWidth;
  if (width == 0) width = length == 0 ? 0 : length <= 0xFF ? 1 : length <= 0xFFFF ? 2 : length <= 0xFFFFFF ? 3 : 4;
  bytes += static_cast<char>(width);
  AppendValue(bytes, length, width);
  bytes += ansi;
}
}  // namespace kv::test

inline TItemDatabaseFile ItemDatabaseBytes(const std::vector<TItemDatabaseItem>& items,
                                           const TItemDatabaseLayout& layout = {}) {
  using kv::test::AppendValue;
  TItemDatabaseFile file;
  std::string& bytes = file.Bytes;
  bytes = "SDB";
  bytes += static_cast<char>(layout.Version);
  const auto count = static_cast<std::uint32_t>(items.size());
  std::size_t tableOffsetField = 0;
  if (layout.Version == 5) {
    AppendValue(bytes, layout.AdvancesHeaderSize);
    AppendValue(bytes, count);
    tableOffsetField = bytes.size();
    AppendValue(bytes, std::int32_t{0});
    AppendValue(bytes, std::int32_t{layout.Sorted ? 1 : 0});
    if (layout.AdvancesHeaderSize > 12) bytes.append(static_cast<std::size_t>(layout.AdvancesHeaderSize - 12), '\0');
  } else {
    AppendValue(bytes, count);
  }
  for (const TItemDatabaseItem& item : items) {
    kv::test::AppendIndexString(bytes, item.Name, layout.LengthWidth);
    kv::test::AppendIndexString(bytes, item.WorkData, layout.LengthWidth);
  }
  file.TableOffset = static_cast<std::int64_t>(bytes.size());
  file.RecordSize = layout.Version == 5 ? 12 : 8;
  if (layout.Version == 5) {
    const auto tableOffset = static_cast<std::int32_t>(file.TableOffset);
    std::memcpy(bytes.data() + tableOffsetField, &tableOffset, sizeof tableOffset);
  }
  std::int64_t dataOffset = file.TableOffset + file.RecordSize * static_cast<std::int64_t>(items.size());
  for (const TItemDatabaseItem& item : items) {
    if (layout.Version == 5)
      AppendValue(bytes, dataOffset);
    else
      AppendValue(bytes, static_cast<std::uint32_t>(dataOffset));
    AppendValue(bytes, static_cast<std::uint32_t>(item.Data.size()));
    dataOffset += static_cast<std::int64_t>(item.Data.size());
  }
  for (const TItemDatabaseItem& item : items) bytes += item.Data;
  return file;
}

inline void WriteItemDatabase(const std::string& path, const std::vector<TItemDatabaseItem>& items,
                              const TItemDatabaseLayout& layout = {}) {
  const std::string bytes = ItemDatabaseBytes(items, layout).Bytes;
  TFileStream file(path, fmCreate);
  file.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}
