// FastGetItemData on arbitrary files. The first byte gives the length of the name looked for, the
// bytes after it are the name in the ANSI code page, the rest is the file. The lookup finds the
// item, finds none, or raises the initialisation error; it never appends more than the file holds.

#include <algorithm>
#include <cstdint>

#include "ItemDatabaseFuzz.h"

std::vector<std::string> FuzzSeeds() {
  std::vector<std::string> seeds;
  for (const std::string& file : kv::fuzz::DatabaseSeeds()) {
    for (const std::string_view name : {"Info", "B", "Нет"}) {
      const std::string ansi = platform::Utf8ToAnsi(name);
      seeds.push_back(static_cast<char>(ansi.size()) + ansi + file);
    }
  }
  return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t nameLength = std::min<std::size_t>(data[0], size - 1);
  const std::string name =
      platform::AnsiToUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), nameLength));
  const std::size_t fileSize = size - 1 - nameLength;
  const std::string& path = kv::fuzz::DatabaseFile(data + 1 + nameLength, fileSize);
  TMemoryStream stream;
  stream.WriteBuffer("x", 1);
  try {
    const bool found = TOXSimpleDBaseReader64::FastGetItemData(path, name, stream);
    if (!found && stream.Size() != 1) FuzzFailure("a missing item appended data");
  } catch (const EOXSimpleDBase64& e) {
    kv::fuzz::CheckInitializationError(e, path);
    if (stream.Size() != 1) FuzzFailure("a failed lookup appended data");
  }
  if (stream.Size() > 1 + static_cast<std::int64_t>(fileSize)) FuzzFailure("appended more than the file holds");
  return 0;
}
