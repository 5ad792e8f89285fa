#pragma once
// Whether the client's file systems can take the update before anything is touched. Each package
// file needs its size on the file system of its target (the new file is written whole beside the
// original before it replaces it); a replaced original needs nothing more where its backup is a
// rename, and its size on the backup's file system where it must be copied there.

#include <cstdint>
#include <optional>
#include <string>

#include "Setup.FileUpdate.h"

class TStringList;

struct TSpaceShortage {
  std::string Folder;  // an existing folder on the file system that is short
  std::uint64_t Needed = 0;
  std::uint64_t Free = 0;
};

// The first file system that cannot take its part of the DataList's files; nothing when all can.
// EOSError when a file system cannot be asked.
std::optional<TSpaceShortage> FindSpaceShortage(const TStringList& DataList, const TPackageRoots& Common,
                                                const TPackageRoots& Documents);

// "1,5 МБ": bytes in the largest unit that keeps the number at least 1, one decimal.
std::string ReadableSize(std::uint64_t Bytes);
// The box's text for a shortage.
std::string SpaceShortageText(const TSpaceShortage& Shortage);
