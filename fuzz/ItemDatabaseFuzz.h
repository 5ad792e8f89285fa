#pragma once
// What the item database fuzzers share: the input written as a database file, the seeds, and the
// errors that bad input may raise.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Common.OXSimpleDBase64.h"
#include "Common.SysUtils.h"
#include "FuzzSupport.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "support/ItemDatabaseWriter.h"

namespace kv::fuzz {
// The reader opens files only: each input becomes this process's one database file.
inline const std::string& DatabaseFile(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    static std::string name = platform::TempFolder() + "/kv-fuzz-item-database-" + NewGUIDString(false) + ".oxd5";
    std::atexit([] { platform::DeleteFile(name); });
    return name;
  }();
  TFileStream file(path, fmCreate);
  file.WriteBuffer(data, static_cast<std::int64_t>(size));
  return path;
}

inline std::vector<std::string> DatabaseSeeds() {
  const std::vector<TItemDatabaseItem> items = {
      {"Info", "Описание", std::string("\x01\x02\x03\x04", 4)}, {"Расценка", "", "data"}, {"", "", ""}};
  return {
      ItemDatabaseBytes(items, {.Version = 4}).Bytes,
      ItemDatabaseBytes(items, {.Version = 5}).Bytes,
      ItemDatabaseBytes({{"A", "", "1"}, {"B", "w", "22"}, {"C", "", ""}}, {.Version = 5, .Sorted = true}).Bytes,
      ItemDatabaseBytes(items, {.Version = 5, .AdvancesHeaderSize = 20, .LengthWidth = 3}).Bytes,
  };
}

// The errors that bad input may raise from the reader's constructor and FastGetItemData: its own,
// with the initialisation error text around its own or the standard read error.
inline void CheckInitializationError(const EOXSimpleDBase64& e, const std::string& path) {
  const std::string prefix = "Ошибка инициализации базы \"" + path + "\"\r\n";
  const std::string& message = e.Message();
  if (message.compare(0, prefix.size(), prefix) != 0) FuzzFailure("not the initialisation error text");
  const std::string_view inner = std::string_view(message).substr(prefix.size());
  if (inner != "EReadError: Stream read error" && inner.rfind("EOXSimpleDBase64: ", 0) != 0)
    FuzzFailure("bad input raised an error of another kind");
}
}  // namespace kv::fuzz
