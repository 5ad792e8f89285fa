#include "Common.BoundedReads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Runtime.Exceptions.h"

namespace {
// A stream that reads forward only and cannot tell its size, as a download.
class TForwardOnlyStream : public TStream {
 public:
  explicit TForwardOnlyStream(std::string data) : FData(std::move(data)) {}
  std::int32_t Read(void* Buffer, std::int32_t Count) override {
    auto n = static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(Count), FData.size() - FPos));
    std::memcpy(Buffer, FData.data() + FPos, static_cast<std::size_t>(n));
    FPos += static_cast<std::size_t>(n);
    return n;
  }
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    if (Origin == soCurrent && Offset == 0) return static_cast<std::int64_t>(FPos);
    throw EStreamError("Seek not supported");
  }

 private:
  std::string FData;
  std::size_t FPos = 0;
};
}  // namespace

TEST(BoundedReads, LengthsBeyondTheDataFailBeforeMemoryIsSetAside) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(1);
  EXPECT_EQ(StreamBytesLeft(stream), 2);
  EXPECT_EQ(ReadBoundedBytes(stream, 2), "bc");
  stream.SetPosition(0);
  EXPECT_THROW(ReadBoundedBytes(stream, 0x7FFFFFFF), EReadError);
  EXPECT_THROW(ReadBoundedUtf16(stream, 0x7FFFFFFF), EReadError);
  EXPECT_THROW(ReadBoundedBytes(stream, -1), EReadError);
  stream.SetPosition(10);  // beyond the end
  EXPECT_EQ(StreamBytesLeft(stream), 0);
}

TEST(BoundedReads, StreamsWithoutASizeAreReadInBlocks) {
  std::string data(3 * 1024 * 1024 + 5, 'x');
  data[data.size() - 1] = 'y';
  TForwardOnlyStream stream(data);
  EXPECT_EQ(StreamBytesLeft(stream), -1);
  EXPECT_EQ(ReadBoundedBytes(stream, static_cast<std::int64_t>(data.size())), data);

  TForwardOnlyStream small(std::string(100, 'z'));
  EXPECT_THROW(ReadBoundedBytes(small, 0x7FFFFFFF), EReadError);  // fails at the end of the data

  TForwardOnlyStream wide(std::string("a\0b\0", 4));
  EXPECT_EQ(ReadBoundedUtf16(wide, 2), u"ab");
}
