#include "Common.BoundedReads.h"

#include <algorithm>
#include <bit>

#include "Runtime.Exceptions.h"

static_assert(std::endian::native == std::endian::little, "the binary formats are read as they lie in memory");

namespace {
// Up to this many bytes are set aside without asking the stream for its size.
constexpr std::int64_t kUncheckedBytes = 64 * 1024;
constexpr std::int64_t kBlockBytes = 1024 * 1024;

template <class Text>
Text ReadBounded(TStream& stream, std::int64_t count) {
  using Unit = typename Text::value_type;
  if (count < 0 || count > kBlockBytes * kBlockBytes) throw EReadError("Stream read error");
  std::int64_t bytes = count * static_cast<std::int64_t>(sizeof(Unit));
  bool sizeKnown = true;
  if (bytes > kUncheckedBytes) {
    std::int64_t left = StreamBytesLeft(stream);
    if (left >= 0 && bytes > left) throw EReadError("Stream read error");
    sizeKnown = left >= 0;
  }
  Text text;
  std::int64_t block = sizeKnown ? bytes : kBlockBytes;
  while (bytes > 0) {
    block = std::min(bytes, block);
    std::size_t done = text.size();
    text.resize(done + static_cast<std::size_t>(block) / sizeof(Unit));
    stream.ReadBuffer(text.data() + done, block);
    bytes -= block;
  }
  return text;
}
}  // namespace

std::int64_t StreamBytesLeft(TStream& stream) {
  std::int64_t size, position;
  try {
    size = stream.Size();
    position = stream.Position();
  } catch (const Exception&) {
    return -1;  // a stream without seeking, such as a download
  }
  if (size < 0) return -1;
  return std::max<std::int64_t>(0, size - position);
}

void CheckBytesLeft(TStream& stream, std::int64_t count) {
  if (count <= kUncheckedBytes) return;
  std::int64_t left = StreamBytesLeft(stream);
  if (left >= 0 && count > left) throw EReadError("Stream read error");
}

std::string ReadBoundedBytes(TStream& stream, std::int64_t count) { return ReadBounded<std::string>(stream, count); }

std::u16string ReadBoundedUtf16(TStream& stream, std::int64_t count) {
  return ReadBounded<std::u16string>(stream, count);
}
