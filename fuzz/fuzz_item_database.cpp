// The item database reader on arbitrary files. A file it accepts gives every item's data exactly
// or a read error, the same through an item stream, and, for version 4 files, whose index has one
// order only, the same through FastGetItemData.

#include <algorithm>
#include <cstdint>

#include "ItemDatabaseFuzz.h"

std::vector<std::string> FuzzSeeds() { return kv::fuzz::DatabaseSeeds(); }

namespace {
// The item's data, or false for a read error.
bool ReadItem(TOXSimpleDBaseReader64& reader, std::uint32_t index, std::string& data) {
  TMemoryStream stream;
  try {
    reader.GetItemData(index, stream);
  } catch (const EReadError&) {
    if (stream.Size() != 0) FuzzFailure("a failed item read left data behind");
    return false;
  }
  if (stream.Size() != reader.GetItemDataSize(index)) FuzzFailure("item data of another size");
  data.assign(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
  return true;
}

void CheckItemStream(TOXSimpleDBaseReader64& reader, std::uint32_t index, bool readable, const std::string& data) {
  auto stream = reader.CreateItemStream(index);
  std::string read;
  char buffer[7];
  try {
    while (std::int32_t n = stream->Read(buffer, sizeof buffer)) read.append(buffer, static_cast<std::size_t>(n));
  } catch (const EReadError&) {
    if (readable) FuzzFailure("an item stream refused a readable item");
    return;
  }
  if (!readable) FuzzFailure("an item stream read an unreadable item");
  if (read != data) FuzzFailure("an item stream read other data");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = kv::fuzz::DatabaseFile(data, size);
  std::unique_ptr<TOXSimpleDBaseReader64> reader;
  try {
    reader = std::make_unique<TOXSimpleDBaseReader64>(path);
  } catch (const EOXSimpleDBase64& e) {
    kv::fuzz::CheckInitializationError(e, path);
    return 0;
  }
  const bool version4 = size > 3 && data[3] == 4;
  const std::uint32_t checked = std::min<std::uint32_t>(reader->RecordCount(), 8);
  for (std::uint32_t i = 0; i < checked; ++i) {
    const std::string name = reader->GetItemName(i);
    const std::uint32_t found = reader->GetIndexFromName(name, false);
    // A binary search over names that are not in order may miss, but never finds another name.
    if (found != TOXSimpleDBaseReader64::kNotFound && reader->GetItemName(found) != name)
      FuzzFailure("found an item of another name");
    std::string itemData;
    const bool readable = ReadItem(*reader, i, itemData);
    CheckItemStream(*reader, i, readable, itemData);
    TMemoryStream work;
    reader->GetItemWorkData(i, work);
    if (work.Size() != reader->GetItemWorkDataSize(i)) FuzzFailure("work data of another size");

    if (version4 && found == i) {
      TMemoryStream fast;
      bool exists = false;
      try {
        exists = TOXSimpleDBaseReader64::FastGetItemData(path, name, fast);
      } catch (const EOXSimpleDBase64& e) {
        kv::fuzz::CheckInitializationError(e, path);
        if (readable) FuzzFailure("the fast path refused a readable item");
        continue;
      }
      if (!exists || !readable) FuzzFailure("the fast path disagrees with the index");
      if (std::string(reinterpret_cast<const char*>(fast.Memory()), static_cast<std::size_t>(fast.Size())) != itemData)
        FuzzFailure("the fast path read other data");
    }
  }
  return 0;
}
