// TBufferedStream over a memory stream against the plain memory stream: the same reads, seeks
// (every origin, before the start and past the end) and buffer sizes must give the same counts,
// bytes and positions, and a read must not write past the bytes it returns.
//
// Input: u16 content size, a buffer size (u8 kind, u16 value), then operations (u8 code and its
// fields, see RunOperation).

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Common.Classes.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

namespace {
using kv::fuzz::FuzzInput;
using kv::fuzz::FuzzOutput;

enum Operation : std::uint8_t {
  kRead,
  kSeek,
  kReadUpToLastRead,
  kSetBufferSize,
  kSize,
  kPosition,
  kInvalidate,
  kOperations
};
enum BufferKind : std::uint8_t { kSmall, kAnyPositive, kNotPositive, kDefault, kBufferKinds };

constexpr std::int32_t kMaxRead = 0x8000;
constexpr std::uint8_t kCanary = 0xA5;

// Bytes that differ from their neighbours, so a read from the wrong place shows.
const std::vector<std::uint8_t>& Pattern() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::vector<std::uint8_t> result(0x10000);
    for (std::uint32_t i = 0; i < result.size(); ++i) {
      std::uint32_t x = i * 0x9E3779B1u;
      x ^= x >> 15;
      result[i] = static_cast<std::uint8_t>(x * 0x2C1B3C6Du >> 24);
    }
    return result;
  }();
  return bytes;
}

TBytesStream* NewContent(std::size_t size) {
  return new TBytesStream(
      std::vector<std::uint8_t>(Pattern().begin(), Pattern().begin() + static_cast<std::ptrdiff_t>(size)));
}

void SetBufferSize(TBufferedStream& stream, FuzzInput& in) {
  const auto kind = static_cast<BufferKind>(in.Take<std::uint8_t>() % kBufferKinds);
  const auto value = in.Take<std::uint16_t>();
  switch (kind) {
    case kSmall: stream.SetBufferSize(1 + value % 64); break;
    case kAnyPositive: stream.SetBufferSize(value + 1); break;
    case kNotPositive: stream.SetBufferSize(-static_cast<std::int32_t>(value)); break;
    default: stream.SetBufferSize(TBufferedStream::kDefaultBufferSize); break;
  }
}

struct TStreamPair {
  TBufferedStream& Buffered;
  TStream& Plain;
  std::int64_t LastReadStart = 0;
};

void CompareRead(TStreamPair& streams, std::int32_t count) {
  static std::array<std::uint8_t, kMaxRead + 16> buffered, plain;
  streams.LastReadStart = streams.Plain.Position();
  const std::size_t span = count > 0 ? static_cast<std::size_t>(count) : 0;
  buffered.fill(kCanary);
  const std::int32_t n = streams.Buffered.Read(buffered.data(), count);
  const std::int32_t expected = streams.Plain.Read(plain.data(), count);
  if (n != expected) FuzzFailure("read returned another count");
  if (std::memcmp(buffered.data(), plain.data(), static_cast<std::size_t>(expected > 0 ? expected : 0)) != 0)
    FuzzFailure("read returned other bytes");
  for (std::size_t i = static_cast<std::size_t>(n > 0 ? n : 0); i < span + 16; ++i)
    if (buffered[i] != kCanary) FuzzFailure("read wrote past the bytes it returned");
}

void CompareSeek(TStreamPair& streams, std::int64_t offset, TSeekOrigin origin) {
  if (streams.Buffered.Seek(offset, origin) != streams.Plain.Seek(offset, origin))
    FuzzFailure("seek gave another position");
}

void RunOperation(TStreamPair& streams, FuzzInput& in) {
  switch (static_cast<Operation>(in.Take<std::uint8_t>() % kOperations)) {
    case kRead:  // i16 count
      CompareRead(streams, in.Take<std::int16_t>());
      break;
    case kSeek: {  // u8 origin, i32 offset
      const auto origin = static_cast<TSeekOrigin>(in.Take<std::uint8_t>() % 3);
      CompareSeek(streams, in.Take<std::int32_t>(), origin);
      break;
    }
    case kReadUpToLastRead: {  // u8 distance back, i8 bytes beyond it: ends at, short of or past the start of the last
                               // read
      const std::int32_t back = in.Take<std::uint8_t>() + 1;
      CompareSeek(streams, streams.LastReadStart - back, soBeginning);
      CompareRead(streams, back + in.Take<std::int8_t>());
      break;
    }
    case kSetBufferSize: SetBufferSize(streams.Buffered, in); break;
    case kSize: {
      const std::int64_t position = streams.Plain.Position();
      if (streams.Buffered.Size() != streams.Plain.Size()) FuzzFailure("another size");
      if (streams.Buffered.Position() != position) FuzzFailure("asking the size moved the position");
      break;
    }
    case kPosition:
      if (streams.Buffered.Position() != streams.Plain.Position()) FuzzFailure("another position");
      break;
    default: streams.Buffered.InvalidateBuffer(); break;
  }
}

FuzzOutput Start(std::uint16_t contentSize, BufferKind kind, std::uint16_t value) {
  FuzzOutput out;
  out.Put(contentSize).Put(static_cast<std::uint8_t>(kind)).Put(value);
  return out;
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
  using I8 = std::int8_t;
  using U8 = std::uint8_t;
  using I16 = std::int16_t;
  using I32 = std::int32_t;
  // A fill at 500, then 10 bytes from 490: the read ends exactly where the buffer starts.
  FuzzOutput backIntoBuffer = Start(1000, kDefault, 0);
  backIntoBuffer.Put(U8{kSeek}).Put(U8{0}).Put(I32{500}).Put(U8{kRead}).Put(I16{1});
  backIntoBuffer.Put(U8{kReadUpToLastRead}).Put(U8{9}).Put(I8{0}).Put(U8{kPosition});
  // An empty fill past the end, then a read that ends where it was.
  FuzzOutput pastTheEnd = Start(1000, kAnyPositive, 4092);
  pastTheEnd.Put(U8{kSeek}).Put(U8{2}).Put(I32{10}).Put(U8{kRead}).Put(I16{4});
  pastTheEnd.Put(U8{kReadUpToLastRead}).Put(U8{14}).Put(I8{0}).Put(U8{kSize});
  // Small reads and every seek origin over a small buffer.
  FuzzOutput walk = Start(5000, kSmall, 16);
  for (I32 i = 0; i < 6; ++i) {
    walk.Put(U8{kRead}).Put(I16{static_cast<I16>(3 + 7 * i)});
    walk.Put(U8{kSeek}).Put(U8{static_cast<U8>(i % 3)}).Put(I32{-40 + 25 * i});
  }
  walk.Put(U8{kSetBufferSize}).Put(U8{kNotPositive}).Put(std::uint16_t{0}).Put(U8{kRead}).Put(I16{30000});
  walk.Put(U8{kSeek}).Put(U8{1}).Put(I32{-100000}).Put(U8{kRead}).Put(I16{5}).Put(U8{kInvalidate});
  return {backIntoBuffer.Bytes(), pastTheEnd.Bytes(), walk.Bytes()};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  const std::size_t contentSize = in.Take<std::uint16_t>();
  std::unique_ptr<TBytesStream> plain(NewContent(contentSize));
  TBufferedStream buffered(NewContent(contentSize), soOwned);
  SetBufferSize(buffered, in);
  TStreamPair streams{buffered, *plain};
  while (!in.Empty()) RunOperation(streams, in);
  if (buffered.Position() != plain->Position()) FuzzFailure("another position at the end");
  return 0;
}
