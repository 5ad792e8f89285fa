#include "Runtime.Streams.h"

#include <gtest/gtest.h>

#include <cstring>

#include "Runtime.Exceptions.h"

TEST(MemoryStream, ReadsWritesAndSeeks) {
  TMemoryStream s;
  EXPECT_EQ(s.Write("hello", 5), 5);
  EXPECT_EQ(s.Size(), 5);
  EXPECT_EQ(s.Position(), 5);
  EXPECT_EQ(s.Seek(-2, soEnd), 3);
  char buf[10] = {};
  EXPECT_EQ(s.Read(buf, 10), 2);  // a short read returns what is there
  EXPECT_STREQ(buf, "lo");
  EXPECT_EQ(s.Read(buf, 10), 0);
  EXPECT_EQ(s.Seek(10, soBeginning), 10);  // beyond the end is allowed
  EXPECT_EQ(s.Read(buf, 1), 0);
  s.Write("!", 1);  // writing there fills the gap with zeros
  EXPECT_EQ(s.Size(), 11);
  EXPECT_EQ(s.Memory()[7], 0);
  EXPECT_EQ(s.Memory()[10], '!');
}

TEST(MemoryStream, SetSizeShrinksAndGrowsWithZeros) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
  s.SetSize(4);
  EXPECT_EQ(std::memcmp(s.Memory(), "ab\0\0", 4), 0);  // the old bytes do not come back
  EXPECT_THROW(s.SetSize(-1), EStreamError);
}

TEST(Stream, ReadBufferAndWriteBufferRaiseOnShortTransfers) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(0);
  char buf[4];
  try {
    s.ReadBuffer(buf, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_NO_THROW(s.ReadBuffer(buf, 0));

  struct TFullStream : TMemoryStream {
    std::int32_t Write(const void*, std::int32_t Count) override { return Count / 2; }
  } full;
  try {
    full.WriteBuffer("abcd", 4);
    FAIL();
  } catch (const EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
}

TEST(Stream, CopyFromCopiesAPartOrTheWhole) {
  TBytesStream source({'0', '1', '2', '3', '4', '5'});
  source.SetPosition(2);
  TBytesStream dest;
  EXPECT_EQ(dest.CopyFrom(source, 3), 3);
  EXPECT_EQ(dest.Bytes(), (std::vector<std::uint8_t>{'2', '3', '4'}));
  TBytesStream whole;
  EXPECT_EQ(whole.CopyFrom(source, 0), 6);  // 0 means all of it, from the beginning
  EXPECT_EQ(whole.Bytes(), source.Bytes());
  source.SetPosition(5);
  EXPECT_THROW(dest.CopyFrom(source, 2), EReadError);
}

TEST(BytesStream, BytesAreExactlyTheContents) {
  TBytesStream s;
  for (int i = 0; i < 100; ++i) s.WriteBuffer("x", 1);
  EXPECT_EQ(s.Bytes().size(), 100u);
  TBytesStream t({1, 2, 3});
  EXPECT_EQ(t.Size(), 3);
  EXPECT_EQ(t.Position(), 0);
}

TEST(Stream, BaseClassCannotResize) {
  struct TFixed : TStream {
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t o, TSeekOrigin) override { return o; }
  } fixed;
  EXPECT_THROW(fixed.SetSize(1), EStreamError);
}
