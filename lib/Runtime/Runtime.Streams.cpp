#include "Runtime.Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Runtime.Exceptions.h"

std::int64_t TStream::GetSize() {
  std::int64_t pos = Seek(0, soCurrent);
  std::int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(std::int64_t) { throw EStreamError("Stream size cannot be changed"); }

namespace {
constexpr std::int64_t kChunk = std::numeric_limits<std::int32_t>::max();
}

void TStream::ReadBuffer(void* Buffer, std::int64_t Count) {
  auto* p = static_cast<std::uint8_t*>(Buffer);
  while (Count > 0) {
    auto n = static_cast<std::int32_t>(std::min(Count, kChunk));
    if (Read(p, n) != n) throw EReadError("Stream read error");
    p += n;
    Count -= n;
  }
}

void TStream::WriteBuffer(const void* Buffer, std::int64_t Count) {
  const auto* p = static_cast<const std::uint8_t*>(Buffer);
  while (Count > 0) {
    auto n = static_cast<std::int32_t>(std::min(Count, kChunk));
    if (Write(p, n) != n) throw EWriteError("Stream write error");
    p += n;
    Count -= n;
  }
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
  if (Count <= 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  constexpr std::int64_t kBufferSize = 0xF000;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min(Count, kBufferSize)));
  std::int64_t left = Count;
  while (left > 0) {
    auto n = std::min(left, kBufferSize);
    Source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return Count;
}

// --- TMemoryStream ---------------------------------------------------------------------------

std::int32_t TMemoryStream::Read(void* Buffer, std::int32_t Count) {
  if (FPosition < 0 || Count <= 0 || FPosition >= FSize) return 0;
  auto n = static_cast<std::int32_t>(std::min<std::int64_t>(Count, FSize - FPosition));
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

std::int32_t TMemoryStream::Write(const void* Buffer, std::int32_t Count) {
  if (FPosition < 0 || Count <= 0) return 0;
  std::int64_t end = FPosition + Count;
  if (end > FSize) SetSize(end);
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = end;
  return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning: FPosition = Offset; break;
    case soCurrent: FPosition += Offset; break;
    case soEnd: FPosition = FSize + Offset; break;
  }
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Invalid stream size");
  if (static_cast<std::uint64_t>(NewSize) > FData.size()) {
    // Grow geometrically so that many small writes stay linear; bytes beyond the old size read as zero.
    std::size_t capacity = std::max<std::size_t>(static_cast<std::size_t>(NewSize), FData.size() + FData.size() / 2);
    FData.resize(capacity);
  }
  if (NewSize > FSize) std::fill(FData.begin() + FSize, FData.begin() + NewSize, 0);
  FSize = NewSize;
  if (FPosition > FSize) FPosition = FSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
  Source.SetPosition(0);
  std::int64_t size = Source.Size();
  SetSize(size);
  if (size > 0) Source.ReadBuffer(FData.data(), size);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& Dest) {
  if (FSize > 0) Dest.WriteBuffer(FData.data(), FSize);
}

// --- TBytesStream ----------------------------------------------------------------------------

TBytesStream::TBytesStream(std::vector<std::uint8_t> Bytes) {
  FSize = static_cast<std::int64_t>(Bytes.size());
  FData = std::move(Bytes);
}

std::vector<std::uint8_t> TBytesStream::Bytes() const {
  return std::vector<std::uint8_t>(FData.begin(), FData.begin() + FSize);
}
