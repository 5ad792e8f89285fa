// Item streams of the item database reader against the items' bytes: several streams over one
// reader, read and moved in turn (and GetItemData between them), must each give what a stream over
// its item alone gives. Files with an item of about a megabyte are larger than the reader's buffer,
// so the shared file is refilled at many places.
//
// Input: u8 flags (bit 0: version 4), u8 item count, a u16 size code per item, then operations
// (u8 code, u8 stream and the operation's fields, see RunOperation).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "ItemDatabaseFuzz.h"

namespace {
using kv::fuzz::FuzzInput;
using kv::fuzz::FuzzOutput;

enum Operation : std::uint8_t { kRead, kSeek, kReadUpToLastRead, kGetItemData, kPosition, kRecreate, kOperations };

constexpr std::uint32_t kMaxItems = 6;
constexpr int kMaxLargeItems = 2;
constexpr std::uint16_t kLargeFlag = 0x8000;
constexpr std::uint32_t kLargeBase = 1048576 - 8192;
constexpr std::int32_t kMaxRead = 0x8000;
constexpr std::uint8_t kCanary = 0xA5;

std::uint32_t ItemSize(std::uint16_t code, int& largeItems) {
  if ((code & kLargeFlag) != 0 && largeItems < kMaxLargeItems) {
    ++largeItems;
    return kLargeBase + (code & 0x7FFF);
  }
  return code % 1024;
}

// Bytes that differ from their neighbours; item i starts at i * 997, so items differ too.
const std::string& Pattern() {
  static const std::string bytes = [] {
    std::string result(kLargeBase + 0x8000 + kMaxItems * 997, '\0');
    for (std::uint32_t i = 0; i < result.size(); ++i) {
      std::uint32_t x = i * 0x9E3779B1u;
      x ^= x >> 15;
      result[i] = static_cast<char>(x * 0x2C1B3C6Du >> 24);
    }
    return result;
  }();
  return bytes;
}

// A stream that GetItemData writes into, checking what it is given against the item's bytes as
// they come rather than collecting a megabyte first.
class TCheckingSink : public TStream {
 public:
  explicit TCheckingSink(std::string_view expected) : FExpected(expected) {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* Buffer, std::int32_t Count) override {
    if (Count <= 0) return 0;
    const auto size = static_cast<std::int64_t>(FExpected.size());
    if (FPosition < 0 || FPosition > size || Count > size - FPosition ||
        std::memcmp(Buffer, FExpected.data() + FPosition, static_cast<std::size_t>(Count)) != 0)
      FuzzFailure("GetItemData wrote other bytes");
    FPosition += Count;
    FSize = std::max(FSize, FPosition);
    return Count;
  }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    FPosition = Origin == soBeginning ? Offset : Origin == soCurrent ? FPosition + Offset : FSize + Offset;
    return FPosition;
  }
  std::int64_t GetSize() override { return FSize; }

 private:
  std::string_view FExpected;
  std::int64_t FPosition = 0;
  std::int64_t FSize = 0;
};

// An item stream and where a stream over its item alone would stand.
struct TModelledStream {
  std::unique_ptr<TSimpleDBaseItemStream64> Stream;
  std::uint32_t Index = 0;
  std::int64_t Position = 0;
};

class TRun {
 public:
  TRun(TOXSimpleDBaseReader64& reader, std::vector<std::string_view> items)
      : FReader(reader), FItems(std::move(items)) {
    for (std::uint32_t i = 0; i < FItems.size(); ++i) FStreams.push_back({reader.CreateItemStream(i), i, 0});
  }

  void RunOperation(FuzzInput& in) {
    const auto operation = static_cast<Operation>(in.Take<std::uint8_t>() % kOperations);
    TModelledStream& stream = FStreams[in.Take<std::uint8_t>() % FStreams.size()];
    switch (operation) {
      case kRead:  // i16 count
        CompareRead(stream, in.Take<std::int16_t>());
        break;
      case kSeek: {  // u8 origin, i32 offset
        const auto origin = static_cast<TSeekOrigin>(in.Take<std::uint8_t>() % 3);
        CompareSeek(stream, in.Take<std::int32_t>(), origin);
        break;
      }
      case kReadUpToLastRead: {  // u8 distance back in the file, i8 bytes beyond it
        const std::int32_t back = in.Take<std::uint8_t>() + 1;
        const std::int64_t target = FLastFileRead - back - FReader.GetItemDataOffset(stream.Index);
        CompareSeek(stream, target, soBeginning);
        CompareRead(stream, back + in.Take<std::int8_t>());
        break;
      }
      case kGetItemData: {
        TCheckingSink sink(FItems[stream.Index]);
        FReader.GetItemData(stream.Index, sink);
        if (sink.Size() != static_cast<std::int64_t>(FItems[stream.Index].size()) || sink.Position() != 0)
          FuzzFailure("GetItemData gave another size or position");
        break;
      }
      case kPosition: CheckPosition(stream); break;
      default:
        stream.Stream = FReader.CreateItemStream(stream.Index);
        stream.Position = 0;
        break;
    }
  }

  void CheckPositions() {
    for (const TModelledStream& stream : FStreams) CheckPosition(stream);
  }

 private:
  // Nothing lies before the item; a read past its end moves back to the end.
  std::int32_t ModelRead(TModelledStream& stream, std::int32_t count, std::uint8_t* buffer) const {
    if (count <= 0 || stream.Position < 0) return 0;
    const std::string_view data = FItems[stream.Index];
    const std::int64_t n = std::min<std::int64_t>(count, static_cast<std::int64_t>(data.size()) - stream.Position);
    if (n > 0) std::memcpy(buffer, data.data() + stream.Position, static_cast<std::size_t>(n));
    stream.Position += n;
    return n > 0 ? static_cast<std::int32_t>(n) : 0;
  }

  void CompareRead(TModelledStream& stream, std::int32_t count) {
    static std::array<std::uint8_t, kMaxRead + 16> read, expected;
    FLastFileRead = FReader.GetItemDataOffset(stream.Index) + stream.Position;
    const std::size_t span = count > 0 ? static_cast<std::size_t>(count) : 0;
    read.fill(kCanary);
    const std::int32_t n = stream.Stream->Read(read.data(), count);
    const std::int32_t m = ModelRead(stream, count, expected.data());
    if (n != m) FuzzFailure("read returned another count");
    if (std::memcmp(read.data(), expected.data(), static_cast<std::size_t>(m)) != 0)
      FuzzFailure("read returned other bytes");
    for (std::size_t i = static_cast<std::size_t>(n > 0 ? n : 0); i < span + 16; ++i)
      if (read[i] != kCanary) FuzzFailure("read wrote past the bytes it returned");
  }

  void CompareSeek(TModelledStream& stream, std::int64_t offset, TSeekOrigin origin) {
    switch (origin) {
      case soBeginning: stream.Position = offset; break;
      case soCurrent: stream.Position += offset; break;
      case soEnd: stream.Position = static_cast<std::int64_t>(FItems[stream.Index].size()) + offset; break;
    }
    if (stream.Stream->Seek(offset, origin) != stream.Position) FuzzFailure("seek gave another position");
  }

  static void CheckPosition(const TModelledStream& stream) {
    if (stream.Stream->Position() != stream.Position) FuzzFailure("another position");
  }

  TOXSimpleDBaseReader64& FReader;
  std::vector<std::string_view> FItems;  // each item's bytes
  std::vector<TModelledStream> FStreams;
  std::int64_t FLastFileRead = 0;
};

FuzzOutput Start(bool version4, const std::vector<std::uint16_t>& sizeCodes) {
  FuzzOutput out;
  out.Put(static_cast<std::uint8_t>(version4 ? 1 : 0)).Put(static_cast<std::uint8_t>(sizeCodes.size() - 1));
  for (std::uint16_t code : sizeCodes) out.Put(code);
  return out;
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
  using U8 = std::uint8_t;
  using I8 = std::int8_t;
  using I16 = std::int16_t;
  using I32 = std::int32_t;
  // Back to front with a large last item: the small items end where the file's buffer starts.
  FuzzOutput backToFront = Start(false, {10, 10, kLargeFlag | 0x7FFF});
  for (U8 i = 3; i-- > 0;) backToFront.Put(U8{kGetItemData}).Put(i);
  backToFront.Put(U8{kSeek}).Put(U8{2}).Put(U8{2}).Put(I32{-1}).Put(U8{kRead}).Put(U8{2}).Put(I16{1});
  for (U8 i = 3; i-- > 0;) backToFront.Put(U8{kRead}).Put(i).Put(I16{10});
  // A read in a large item, then reads that end at its start or run into it from the items before.
  FuzzOutput upToLastRead = Start(true, {kLargeFlag | 0x7FFF, 300, 20, kLargeFlag | 4000});
  upToLastRead.Put(U8{kSeek}).Put(U8{3}).Put(U8{0}).Put(I32{0}).Put(U8{kRead}).Put(U8{3}).Put(I16{1});
  upToLastRead.Put(U8{kReadUpToLastRead}).Put(U8{2}).Put(U8{19}).Put(I8{0});
  upToLastRead.Put(U8{kReadUpToLastRead}).Put(U8{1}).Put(U8{200}).Put(I8{50}).Put(U8{kPosition}).Put(U8{1});
  upToLastRead.Put(U8{kSeek}).Put(U8{0}).Put(U8{1}).Put(I32{5}).Put(U8{kRead}).Put(U8{0}).Put(I16{32000});
  upToLastRead.Put(U8{kRecreate}).Put(U8{2}).Put(U8{kRead}).Put(U8{2}).Put(I16{-3});
  // Small items only: the buffer holds the whole file.
  FuzzOutput small = Start(false, {5, 0, 900});
  small.Put(U8{kRead}).Put(U8{2}).Put(I16{100}).Put(U8{kSeek}).Put(U8{0}).Put(U8{1}).Put(I32{-3});
  small.Put(U8{kRead}).Put(U8{0}).Put(I16{10}).Put(U8{kSeek}).Put(U8{2}).Put(U8{2}).Put(I32{7});
  small.Put(U8{kRead}).Put(U8{2}).Put(I16{4}).Put(U8{kPosition}).Put(U8{2});
  return {backToFront.Bytes(), upToLastRead.Bytes(), small.Bytes()};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const std::uint8_t version = (in.Take<std::uint8_t>() & 1) != 0 ? 4 : 5;
  const std::uint32_t count = 1 + in.Take<std::uint8_t>() % kMaxItems;
  std::vector<std::string_view> items;
  int largeItems = 0;
  for (std::uint32_t i = 0; i < count; ++i)
    items.push_back(std::string_view(Pattern()).substr(i * 997, ItemSize(in.Take<std::uint16_t>(), largeItems)));

  // Most inputs change the operations only: the file of the last layout is kept.
  static std::string path;
  static std::string writtenLayout;
  std::string layout(1, static_cast<char>(version));
  for (std::string_view item : items) layout += std::to_string(item.size()) + ",";
  if (layout != writtenLayout) {
    std::vector<TItemDatabaseItem> files;
    for (std::uint32_t i = 0; i < count; ++i) files.push_back({"i" + std::to_string(i), "", std::string(items[i])});
    const std::string bytes = ItemDatabaseBytes(files, {.Version = version}).Bytes;
    path = kv::fuzz::DatabaseFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    writtenLayout = layout;
  }
  TOXSimpleDBaseReader64 reader(path);
  TRun run(reader, std::move(items));
  while (!in.Empty()) run.RunOperation(in);
  run.CheckPositions();
  return 0;
}
