#pragma once
// Read-only access to an item database (the normative-base files "*.oxd5"): named items, each a
// block of bytes and a short work-data text, with an index of names at the head of the file.
//
// Layout (little-endian): "SDB", a version byte (4 or 5), the header, then per item two index
// strings (name, work data), then the offset table, one record per item in index order
// (version 4: 32-bit offset and size; version 5: 64-bit signed offset, 32-bit size). Version 5
// headers carry their own length, the table's position and whether the names are sorted. An index
// string is a byte N (0 to 4), N bytes of length L, then L bytes of text in the ANSI code page.
//
// The files come from outside. Counts and lengths are checked against the file before memory is
// set aside for them, and items are read only where they lie inside the file: bad input raises
// EOXSimpleDBase64 or the standard stream read error, wrapped by the constructor and by
// FastGetItemData in the initialisation error text.
//
// Names are compared by their UTF-16 code units, case-sensitively; texts in the API are UTF-8.
//
// Threads: GetItemData and the Read of item streams hold the reader's lock while they position and
// read the shared file, so one reader serves several threads; the index is read-only after
// construction, and the list of item streams changes under the lock too. The reader itself is
// destroyed by the thread that owns it, when no other uses it.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"

KV_DECLARE_EXCEPTION(EOXSimpleDBase64, Exception);
KV_DECLARE_EXCEPTION(ESimpleDBaseItemStream64, Exception);

class TBufferedStream;
class TSimpleDBaseItemStream64;

// Where an item's data lies in the file.
struct TOffsetAndSizeRec {
  std::int64_t Offset = 0;
  std::uint32_t Size = 0;
};

class TOXSimpleDBaseReader64 {
 public:
  struct THeader {
    char Signature[3] = {};
    std::uint8_t Version = 0;
    std::int32_t AdvancesHeaderSize = 0;  // version 5: header bytes after this field
    std::uint32_t DataCount = 0;
    std::int32_t InfoBlockOffset = 0;  // version 5: position of the offset table
    std::int32_t Sorted = 0;           // version 5: non-zero when the names ascend
  };

  static constexpr std::uint32_t kNotFound = 0xFFFFFFFF;

  // Opens the file read-only and loads its index. EOXSimpleDBase64 "...отсутствует." when there is
  // no file; errors of opening pass through; errors of the header and index are wrapped.
  explicit TOXSimpleDBaseReader64(const std::string& Path);
  // Item streams still alive become closed streams, which may only be freed.
  virtual ~TOXSimpleDBaseReader64();
  TOXSimpleDBaseReader64(const TOXSimpleDBaseReader64&) = delete;
  TOXSimpleDBaseReader64& operator=(const TOXSimpleDBaseReader64&) = delete;

  const std::string& FilePath() const { return FFilePath; }
  std::uint32_t RecordCount() const { return FHeader.DataCount; }

  // The first item named exactly Value (binary search when the file says its names are sorted),
  // else kNotFound, or EOXSimpleDBase64 when RaiseIfNotExists.
  std::uint32_t GetIndexFromName(std::string_view Value, bool RaiseIfNotExists) const;

  // Operations taking an index raise EOXSimpleDBase64 "Out of bounds" for one beyond the items;
  // those taking a name raise when there is no such item.
  std::string GetItemName(std::uint32_t Index) const;
  std::int64_t GetItemDataOffset(std::uint32_t Index) const;
  std::uint32_t GetItemDataSize(std::uint32_t Index) const;
  // In characters, which is also the byte count of the work data in the ANSI code page.
  std::uint32_t GetItemWorkDataSize(std::uint32_t Index) const;

  // Appends the item's data to Stream at its position, then moves Stream to 0. An item that does
  // not lie inside the file raises EReadError.
  void GetItemData(std::uint32_t Index, TStream& Stream);
  void GetItemData(std::string_view AName, TStream& Stream);
  // Writes the work data to Stream as its bytes in the ANSI code page.
  void GetItemWorkData(std::uint32_t Index, TStream& Stream) const;
  void GetItemWorkData(std::string_view AName, TStream& Stream) const;

  // A read-only stream over the item; the caller frees it, before or after the reader.
  std::unique_ptr<TSimpleDBaseItemStream64> CreateItemStream(std::uint32_t Index);
  std::unique_ptr<TSimpleDBaseItemStream64> CreateItemStream(std::string_view AName);

  // Appends the data of the item named AName in the file APath to Stream, leaving Stream after it,
  // without loading the index: true when there is such an item. Every error, opening the file
  // included, is wrapped in EOXSimpleDBase64 with the initialisation error text.
  static bool FastGetItemData(const std::string& APath, std::string_view AName, TStream& Stream);

 private:
  friend class TSimpleDBaseItemStream64;

  void LoadIndex();
  void CheckIndex(std::uint32_t Index) const;
  // EReadError unless the item lies inside the file.
  void CheckItemInFile(std::int64_t Offset, std::uint32_t Size) const;
  // Under the lock: up to Count bytes of the file from Position.
  std::int32_t ReadAt(std::int64_t Position, void* Buffer, std::int32_t Count);
  void UnregisterItemStream(TSimpleDBaseItemStream64* Stream);

  std::string FFilePath;
  THeader FHeader;
  std::vector<std::u16string> FDataNames;  // UTF-16, the form names are compared in
  std::vector<std::string> FWorkData;
  std::vector<TOffsetAndSizeRec> FInfoBlockOffsets;
  std::unique_ptr<TBufferedStream> FDBase;
  std::int64_t FFileSize = 0;
  std::vector<TSimpleDBaseItemStream64*> FItemsStreamList;
  std::mutex FLock;  // the file position of FDBase and the item stream list
};

// A read-only stream over one item of a database, created by the reader's CreateItemStream.
class TSimpleDBaseItemStream64 final : public TStream {
 public:
  // Always raises ESimpleDBaseItemStream64: item streams come from their reader only.
  TSimpleDBaseItemStream64();
  ~TSimpleDBaseItemStream64() override;

  // Up to Count bytes of the item from the position; the position advances by the bytes asked for
  // within the item (a read beyond the end returns 0 and moves the position back to the end; one
  // before the start returns 0). ESimpleDBaseItemStream64 once the reader is gone.
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  // Always raises ESimpleDBaseItemStream64: the stream is read-only.
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  // Moves the position within the item, unclamped.
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t GetSize() override { return FSize; }
  void SetSize(std::int64_t NewSize) override;

 private:
  friend class TOXSimpleDBaseReader64;
  TSimpleDBaseItemStream64(TOXSimpleDBaseReader64& Owner, std::int64_t Offset, std::uint32_t Size);

  TOXSimpleDBaseReader64* FOwner = nullptr;
  std::string FFilePath;  // kept for the closed-connection message, which outlives the reader
  std::int64_t FOffset = 0;
  std::int64_t FSize = 0;
  std::int64_t FPosition = 0;
  bool FDBClosed = false;
};
