#include "Common.OXSimpleDBase64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "Common.Classes.h"
#include "Runtime.Format.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

static_assert(std::endian::native == std::endian::little, "the file's numbers are read as they lie in memory");

namespace {
const char* const SDBaseFileMissing = "Файл базы данных \"%s\" отсутствует.";
const char* const SDBaseFileCorrupt = "Файл базы данных \"%s\" поврежден.";
const char* const SDBaseNewerVersion =
    "Формат базы данных имеет более новую версию, чем тот,\r\nс которым может работать приложение.\r\n"
    "Текущая версия приложения может работать с версиями баз от %d и ниже,\r\nбаза данных имеет версию %d.";
const char* const SDBaseOutOfBounds = "Out of bounds";
const char* const SDBaseRecordMissing = "Запись с наименованием \"%s\" в базе отсутствует.\r\n\"%s\"";
const char* const SDBaseStreamClosed = "Невозможно выполнить операцию при закрытом соединении с базой.\r\n\"%s\"";
const char* const SDBaseStreamReadOnly = "TSimpleDBaseItemStream64 работает в режме только чтение.";
const char* const SDBaseStreamStandalone = "TSimpleDBaseItemStream64 не предназначен для самостоятельного использования.";

constexpr std::uint8_t kLatestVersion = 5;
constexpr std::uint16_t kOpenMode = fmOpenRead | fmShareDenyWrite;
constexpr std::int32_t kReaderBufferSize = 1048576;
constexpr std::int32_t kFastBufferSize = 10240;
constexpr std::int32_t kMinAdvancesHeaderSize = 12;

std::uint64_t OffsetRecordSize(std::uint8_t version) { return version == 4 ? 8 : 12; }

EOXSimpleDBase64 InitializationError(const std::string& path, const std::exception& e) {
  return EOXSimpleDBase64(Format("Ошибка инициализации базы \"%s\"\r\n", path) + ExceptionClassName(e) + ": " +
                          e.what());
}

[[noreturn, gnu::noinline]] void RaiseReadError() { throw EReadError("Stream read error"); }
[[noreturn, gnu::noinline]] void RaiseCorrupt(const std::string& path) {
  throw EOXSimpleDBase64(Format(SDBaseFileCorrupt, path));
}

// Adds without overflow: far positions wrap instead, and a read there finds nothing.
std::int64_t WrappingAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// Exactly Count bytes. Index entries are a few bytes each: the streams' inline reads.
template <class Stream>
void ReadExact(Stream& stream, void* buffer, std::int32_t count) {
  if (stream.Read(buffer, count) != count) RaiseReadError();
}

template <class T, class Stream>
T ReadValue(Stream& stream) {
  T value;
  ReadExact(stream, &value, sizeof value);
  return value;
}

// The length L of an index string (its width byte, then the width's bytes).
template <class Stream>
std::uint32_t ReadIndexLength(Stream& stream, const std::string& path) {
  const auto width = ReadValue<std::uint8_t>(stream);
  if (width == 0) return 0;
  if (width > 4) RaiseCorrupt(path);
  std::uint32_t length = 0;
  ReadExact(stream, &length, width);
  return length;
}

// The ANSI code page maps every byte to one UTF-16 code unit (a byte it lacks to "?"), so the
// conversion is a table, built once from the platform's.
const std::array<char16_t, 256>& AnsiCodeUnits() {
  static const std::array<char16_t, 256> table = [] {
    std::string bytes(256, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    const std::string units = platform::ConvertCodePage(bytes, platform::kAnsiCodePage, platform::kUtf16LECodePage);
    ASSERT(units.size() == 2 * bytes.size(), "The ANSI code page is not single-byte");
    std::array<char16_t, 256> result{};
    std::memcpy(result.data(), units.data(), units.size());
    return result;
  }();
  return table;
}

std::u16string AnsiToUtf16(std::string_view ansi) {
  const auto& table = AnsiCodeUnits();
  std::u16string text(ansi.size(), u'\0');
  for (std::size_t i = 0; i < ansi.size(); ++i) text[i] = table[static_cast<std::uint8_t>(ansi[i])];
  return text;
}

// FastGetItemData's view of the file: the index is read front to back through a buffer of
// kFastBufferSize bytes, a few bytes at a time, so reads, skips and name comparisons inside the
// buffer are a few inline instructions, and a refill that follows on from the last one reads the
// file without positioning it first. Positions before the start read nothing.
class TIndexScanner {
 public:
  explicit TIndexScanner(const std::string& path)
      : FFile(path, kOpenMode), FBuffer(std::make_unique_for_overwrite<std::uint8_t[]>(kFastBufferSize)) {}

  TFileStream& File() { return FFile; }
  std::int64_t Position() const { return FBufferStart + FNext; }

  std::int32_t Read(void* buffer, std::int32_t count) {
    if (count > 0 && count <= FLength - FNext) {
      kv::detail::CopySmall(static_cast<std::uint8_t*>(buffer), FBuffer.get() + FNext, count);
      FNext += count;
      return count;
    }
    return ReadAcrossBuffers(static_cast<std::uint8_t*>(buffer), count);
  }

  // From the current position or the start; the buffer stays when the position lies in it.
  void Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t target = origin == soCurrent ? WrappingAdd(Position(), offset) : offset;
    if (target >= FBufferStart && target <= FBufferStart + FLength) {
      FNext = static_cast<std::int32_t>(target - FBufferStart);
    } else {
      FBufferStart = target;
      FLength = FNext = 0;
    }
  }

  // The length of an index string, read from the buffer itself where its five bytes lie there.
  std::uint32_t ReadIndexLength(const std::string& path) {
    if (FLength - FNext < 5) return ::ReadIndexLength(*this, path);
    const std::uint8_t* p = FBuffer.get() + FNext;
    const unsigned width = p[0];
    if (width > 4) RaiseCorrupt(path);
    std::uint32_t length;
    std::memcpy(&length, p + 1, sizeof length);
    FNext += 1 + static_cast<std::int32_t>(width);
    return width == 0 ? 0 : length & (0xFFFFFFFFu >> (32 - 8 * width));
  }

  void SkipIndexString(const std::string& path) { Seek(ReadIndexLength(path), soCurrent); }

  // Reads Count bytes and tells whether Equal holds for them; in the buffer itself where they lie
  // there, else through Scratch.
  template <class Equal>
  bool ReadAndCompare(std::int32_t count, std::string& scratch, const Equal& equal) {
    if (count <= FLength - FNext) {
      const auto* p = reinterpret_cast<const char*>(FBuffer.get() + FNext);
      FNext += count;
      return equal(p);
    }
    scratch.resize(static_cast<std::size_t>(count));
    if (ReadAcrossBuffers(reinterpret_cast<std::uint8_t*>(scratch.data()), count) != count) RaiseReadError();
    return equal(scratch.data());
  }

 private:
  std::int32_t ReadAcrossBuffers(std::uint8_t* dest, std::int32_t count) {
    std::int32_t done = 0;
    while (done < count) {
      if (FNext == FLength && !Fill()) break;
      const std::int32_t n = std::min(count - done, FLength - FNext);
      std::memcpy(dest + done, FBuffer.get() + FNext, static_cast<std::size_t>(n));
      FNext += n;
      done += n;
    }
    return done;
  }

  bool Fill() {
    const std::int64_t start = Position();
    if (start < 0) return false;
    // A skip past the buffer's end that the next block covers is read on from where the file
    // stands, without positioning it.
    std::int64_t from = start;
    if (start >= FFilePosition && start - FFilePosition < kFastBufferSize)
      from = FFilePosition;
    else
      FFilePosition = FFile.Seek(start, soBeginning);
    const std::int32_t n = std::max(FFile.Read(FBuffer.get(), kFastBufferSize), 0);
    FFilePosition += n;
    if (from + n <= start) {  // nothing there
      FBufferStart = start;
      FLength = FNext = 0;
      return false;
    }
    FBufferStart = from;
    FLength = n;
    FNext = static_cast<std::int32_t>(start - from);
    return true;
  }

  TFileStream FFile;
  std::unique_ptr<std::uint8_t[]> FBuffer;
  std::int64_t FBufferStart = 0;   // file position of FBuffer[0]
  std::int32_t FLength = 0;        // valid bytes in FBuffer
  std::int32_t FNext = 0;          // the next byte to read
  std::int64_t FFilePosition = 0;  // where FFile stands
};

// The name that FastGetItemData looks for. A stored name equals it when its bytes decode to the
// same code units; as one byte gives one unit, only names of its length in bytes can. Where every
// unit of the name comes from one byte only, that is the same as comparing the bytes.
class TStoredNameMatcher {
 public:
  explicit TStoredNameMatcher(std::string_view name) : FName(Utf8ToUtf16(name)) {
    const auto& table = AnsiCodeUnits();
    FBytes.reserve(FName.size());
    for (char16_t unit : FName) {
      int sources = 0;
      for (int b = 0; b < 256; ++b) {
        if (table[b] == unit && ++sources == 1) FBytes += static_cast<char>(b);
      }
      if (sources != 1) FByBytes = false;  // none (nothing matches) or "?" (two bytes decode to it)
    }
  }

  std::uint32_t Length() const { return static_cast<std::uint32_t>(FName.size()); }

  // Whether Length() stored bytes are the name.
  bool Matches(const char* stored) const {
    const std::size_t n = FName.size();
    if (n == 0) return true;
    // Names of one length often share their start: the last byte tells most of them apart.
    if (FByBytes) return stored[n - 1] == FBytes[n - 1] && std::memcmp(stored, FBytes.data(), n) == 0;
    const auto& table = AnsiCodeUnits();
    for (std::size_t i = 0; i < n; ++i)
      if (table[static_cast<std::uint8_t>(stored[i])] != FName[i]) return false;
    return true;
  }

 private:
  std::u16string FName;
  std::string FBytes;
  bool FByBytes = true;
};

// Reads an index string and tells whether it is the name, reading its text only when its length fits.
bool ReadIndexStringMatches(TIndexScanner& stream, const std::string& path, const TStoredNameMatcher& name,
                            std::string& scratch) {
  const std::uint32_t length = stream.ReadIndexLength(path);
  if (length != name.Length()) {
    stream.Seek(length, soCurrent);
    return false;
  }
  if (length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) RaiseReadError();
  return stream.ReadAndCompare(static_cast<std::int32_t>(length), scratch,
                               [&](const char* stored) { return name.Matches(stored); });
}

// The header, shared by the reader and FastGetItemData.
template <class S>
TOXSimpleDBaseReader64::THeader ReadDBaseHeader(S& Stream, const std::string& Path) {
  TOXSimpleDBaseReader64::THeader header;
  ReadExact(Stream, header.Signature, sizeof header.Signature);
  header.Version = ReadValue<std::uint8_t>(Stream);
  if (std::memcmp(header.Signature, "SDB", 3) != 0) RaiseCorrupt(Path);
  if (header.Version > kLatestVersion)
    throw EOXSimpleDBase64(Format(SDBaseNewerVersion, int{kLatestVersion}, int{header.Version}));
  if (header.Version == 4) {
    header.DataCount = ReadValue<std::uint32_t>(Stream);
    return header;
  }
  if (header.Version == 5) {
    header.AdvancesHeaderSize = ReadValue<std::int32_t>(Stream);
    header.DataCount = ReadValue<std::uint32_t>(Stream);
    header.InfoBlockOffset = ReadValue<std::int32_t>(Stream);
    header.Sorted = ReadValue<std::int32_t>(Stream);
    if (header.AdvancesHeaderSize > kMinAdvancesHeaderSize)
      Stream.Seek(header.AdvancesHeaderSize - kMinAdvancesHeaderSize, soCurrent);
    return header;
  }
  throw EOXSimpleDBase64(Format("Не поддерживаемая версия базы данных (%d)", int{header.Version}));
}

}  // namespace

// --- TOXSimpleDBaseReader64 ----------------------------------------------------------------------

TOXSimpleDBaseReader64::TOXSimpleDBaseReader64(const std::string& Path) : FFilePath(Path) {
  if (!platform::FileExists(Path)) throw EOXSimpleDBase64(Format(SDBaseFileMissing, Path));
  FDBase = std::make_unique<TBufferedStream>(Path, kOpenMode, kReaderBufferSize);
  try {
    FFileSize = FDBase->Size();
    // A smaller file needs no more than its own size (the buffer is set aside whole).
    if (FFileSize < kReaderBufferSize)
      FDBase->SetBufferSize(static_cast<std::int32_t>(std::max<std::int64_t>(FFileSize, 1)));
    FHeader = ReadDBaseHeader(*FDBase, Path);
    LoadIndex();
  } catch (const std::exception& e) {
    throw InitializationError(Path, e);
  }
}

TOXSimpleDBaseReader64::~TOXSimpleDBaseReader64() {
  std::lock_guard lock(FLock);
  for (TSimpleDBaseItemStream64* stream : FItemsStreamList) stream->FDBClosed = true;
  FItemsStreamList.clear();
}

void TOXSimpleDBaseReader64::LoadIndex() {
  const std::uint32_t count = FHeader.DataCount;
  // Every item takes two index strings of at least one byte and its offset record, so a count
  // that the rest of the file cannot hold is corrupt before any memory is set aside for it.
  const std::int64_t left = std::max<std::int64_t>(0, FFileSize - FDBase->Position());
  if (std::uint64_t{count} * (2 + OffsetRecordSize(FHeader.Version)) > static_cast<std::uint64_t>(left))
    RaiseCorrupt(FFilePath);

  std::string scratch;
  auto readIndexString = [&] {
    const std::uint32_t length = ReadIndexLength(*FDBase, FFilePath);
    if (length > FFileSize - FDBase->Position()) RaiseReadError();
    scratch.resize(length);
    FDBase->ReadBuffer(scratch.data(), length);
    return AnsiToUtf16(scratch);
  };
  FDataNames.resize(count);
  FWorkData.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    FDataNames[i] = readIndexString();
    FWorkData[i] = Utf16ToUtf8(readIndexString());
  }

  FInfoBlockOffsets.resize(count);
  for (TOffsetAndSizeRec& record : FInfoBlockOffsets) {
    record.Offset = FHeader.Version == 4 ? std::int64_t{ReadValue<std::uint32_t>(*FDBase)}
                                         : ReadValue<std::int64_t>(*FDBase);
    record.Size = ReadValue<std::uint32_t>(*FDBase);
  }
}

std::uint32_t TOXSimpleDBaseReader64::GetIndexFromName(std::string_view Value, bool RaiseIfNotExists) const {
  const std::u16string name = Utf8ToUtf16(Value);
  const std::uint32_t count = FHeader.DataCount;
  std::uint32_t found = kNotFound;
  if (FHeader.Sorted == 0) {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (FDataNames[i] == name) {
        found = i;
        break;
      }
    }
  } else if (count > 0) {
    if (FDataNames[0] == name) return 0;
    std::uint32_t lo = 0, hi = count - 1;
    if (FDataNames[hi] == name) return hi;
    // names[lo] < name < names[hi] holds throughout, so the range shrinks to two neighbours even
    // when the file's names are not in order after all.
    std::uint32_t mid = hi / 2;
    do {
      if (FDataNames[mid] == name) return mid;
      if (name < FDataNames[mid])
        hi = mid;
      else
        lo = mid;
      mid = static_cast<std::uint32_t>((std::uint64_t{lo} + hi) / 2);
    } while (mid != lo);
    if (FDataNames[mid] == name) found = mid;
  }
  if (found == kNotFound && RaiseIfNotExists)
    throw EOXSimpleDBase64(Format(SDBaseRecordMissing, Value, FFilePath));
  return found;
}

void TOXSimpleDBaseReader64::CheckIndex(std::uint32_t Index) const {
  if (Index >= FHeader.DataCount) throw EOXSimpleDBase64(SDBaseOutOfBounds);
}

void TOXSimpleDBaseReader64::CheckItemInFile(std::int64_t Offset, std::uint32_t Size) const {
  if (Offset < 0 || Offset > FFileSize || Size > FFileSize - Offset) RaiseReadError();
}

std::string TOXSimpleDBaseReader64::GetItemName(std::uint32_t Index) const {
  CheckIndex(Index);
  return Utf16ToUtf8(FDataNames[Index]);
}

std::int64_t TOXSimpleDBaseReader64::GetItemDataOffset(std::uint32_t Index) const {
  CheckIndex(Index);
  return FInfoBlockOffsets[Index].Offset;
}

std::uint32_t TOXSimpleDBaseReader64::GetItemDataSize(std::uint32_t Index) const {
  CheckIndex(Index);
  return FInfoBlockOffsets[Index].Size;
}

std::uint32_t TOXSimpleDBaseReader64::GetItemWorkDataSize(std::uint32_t Index) const {
  CheckIndex(Index);
  return static_cast<std::uint32_t>(Utf16Length(FWorkData[Index]));
}

void TOXSimpleDBaseReader64::GetItemData(std::uint32_t Index, TStream& Stream) {
  std::lock_guard lock(FLock);
  CheckIndex(Index);
  const TOffsetAndSizeRec& record = FInfoBlockOffsets[Index];
  if (record.Size != 0) {
    CheckItemInFile(record.Offset, record.Size);
    FDBase->SetPosition(record.Offset);
    Stream.CopyFrom(*FDBase, record.Size);
  }
  Stream.SetPosition(0);
}

void TOXSimpleDBaseReader64::GetItemData(std::string_view AName, TStream& Stream) {
  GetItemData(GetIndexFromName(AName, true), Stream);
}

void TOXSimpleDBaseReader64::GetItemWorkData(std::uint32_t Index, TStream& Stream) const {
  CheckIndex(Index);
  const std::string ansi = platform::Utf8ToAnsi(FWorkData[Index]);
  Stream.WriteBuffer(ansi.data(), static_cast<std::int64_t>(ansi.size()));
}

void TOXSimpleDBaseReader64::GetItemWorkData(std::string_view AName, TStream& Stream) const {
  GetItemWorkData(GetIndexFromName(AName, true), Stream);
}

std::unique_ptr<TSimpleDBaseItemStream64> TOXSimpleDBaseReader64::CreateItemStream(std::uint32_t Index) {
  CheckIndex(Index);
  const TOffsetAndSizeRec& record = FInfoBlockOffsets[Index];
  std::unique_ptr<TSimpleDBaseItemStream64> stream(new TSimpleDBaseItemStream64(*this, record.Offset, record.Size));
  {
    std::lock_guard lock(FLock);
    FItemsStreamList.push_back(stream.get());
  }
  return stream;
}

std::unique_ptr<TSimpleDBaseItemStream64> TOXSimpleDBaseReader64::CreateItemStream(std::string_view AName) {
  return CreateItemStream(GetIndexFromName(AName, true));
}

std::int32_t TOXSimpleDBaseReader64::ReadAt(std::int64_t Position, void* Buffer, std::int32_t Count) {
  std::lock_guard lock(FLock);
  FDBase->SetPosition(Position);
  return FDBase->Read(Buffer, Count);
}

void TOXSimpleDBaseReader64::UnregisterItemStream(TSimpleDBaseItemStream64* Stream) {
  std::lock_guard lock(FLock);
  // Streams are mostly freed in the reverse order of their creation.
  auto it = std::find(FItemsStreamList.rbegin(), FItemsStreamList.rend(), Stream);
  if (it != FItemsStreamList.rend()) FItemsStreamList.erase(std::next(it).base());
}

bool TOXSimpleDBaseReader64::FastGetItemData(const std::string& APath, std::string_view AName, TStream& Stream) {
  try {
    TIndexScanner file(APath);
    const THeader header = ReadDBaseHeader(file, APath);
    const TStoredNameMatcher name(AName);
    std::string scratch;
    std::int64_t found = -1;
    for (std::uint32_t i = 0; i < header.DataCount; ++i) {
      if (found < 0) {
        if (ReadIndexStringMatches(file, APath, name, scratch)) {
          found = i;
          // Version 5 knows where the table is; version 4 reaches it past the remaining entries.
          if (header.Version == 5) {
            file.Seek(header.InfoBlockOffset, soBeginning);
            break;
          }
        }
      } else {
        file.SkipIndexString(APath);
      }
      file.SkipIndexString(APath);
    }
    if (found < 0) return false;

    file.Seek(found * static_cast<std::int64_t>(OffsetRecordSize(header.Version)), soCurrent);
    TOffsetAndSizeRec record;
    record.Offset = header.Version == 4 ? std::int64_t{ReadValue<std::uint32_t>(file)} : ReadValue<std::int64_t>(file);
    record.Size = ReadValue<std::uint32_t>(file);
    if (record.Size != 0) {
      TFileStream& data = file.File();
      const std::int64_t fileSize = data.Size();
      if (record.Offset < 0 || record.Offset > fileSize || record.Size > fileSize - record.Offset) RaiseReadError();
      data.SetPosition(record.Offset);
      Stream.CopyFrom(data, record.Size);
    }
    return true;
  } catch (const std::exception& e) {
    throw InitializationError(APath, e);
  }
}

// --- TSimpleDBaseItemStream64 --------------------------------------------------------------------

TSimpleDBaseItemStream64::TSimpleDBaseItemStream64() { throw ESimpleDBaseItemStream64(SDBaseStreamStandalone); }

TSimpleDBaseItemStream64::TSimpleDBaseItemStream64(TOXSimpleDBaseReader64& Owner, std::int64_t Offset,
                                                   std::uint32_t Size)
    : FOwner(&Owner), FFilePath(Owner.FilePath()), FOffset(Offset), FSize(Size) {}

TSimpleDBaseItemStream64::~TSimpleDBaseItemStream64() {
  if (!FDBClosed && FOwner) FOwner->UnregisterItemStream(this);
}

std::int32_t TSimpleDBaseItemStream64::Read(void* Buffer, std::int32_t Count) {
  if (FDBClosed) throw ESimpleDBaseItemStream64(Format(SDBaseStreamClosed, FFilePath));
  // Nothing lies before the item, and a count below 1 asks for nothing.
  if (Count <= 0 || FPosition < 0) return 0;
  const std::int64_t count = std::min<std::int64_t>(Count, FSize - FPosition);
  std::int32_t result = 0;
  if (count > 0) {
    FOwner->CheckItemInFile(FOffset, static_cast<std::uint32_t>(FSize));
    result = FOwner->ReadAt(FOffset + FPosition, Buffer, static_cast<std::int32_t>(count));
  }
  FPosition += count;
  return result;
}

std::int32_t TSimpleDBaseItemStream64::Write(const void*, std::int32_t) {
  throw ESimpleDBaseItemStream64(SDBaseStreamReadOnly);
}

void TSimpleDBaseItemStream64::SetSize(std::int64_t) { throw ESimpleDBaseItemStream64(SDBaseStreamReadOnly); }

std::int64_t TSimpleDBaseItemStream64::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning: FPosition = Offset; break;
    case soCurrent: FPosition = WrappingAdd(FPosition, Offset); break;
    case soEnd: FPosition = WrappingAdd(FSize, Offset); break;
    default: ASSERT(false, "Unknown seek origin");
  }
  return FPosition;
}
