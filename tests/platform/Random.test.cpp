#include "platform/Random.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

TEST(Random, FillsTheWholeBuffer) {
  unsigned char a[64] = {}, b[64] = {};
  ASSERT_TRUE(platform::FillRandomBytes(a, sizeof a));
  ASSERT_TRUE(platform::FillRandomBytes(b, sizeof b));
  EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
}

TEST(Random, KeepsAskingAfterInterruptionsAndPartialAnswersAndReportsFailures) {
  static int calls;
  calls = 0;
  // Interrupted first, then three bytes per answer.
  ScopedSysCall partial(&SysCalls::getrandom, +[](void* buf, size_t count, unsigned int) -> ssize_t {
    if (calls++ == 0) {
      errno = EINTR;
      return -1;
    }
    size_t n = count < 3 ? count : 3;
    std::memset(buf, 0xAB, n);
    return static_cast<ssize_t>(n);
  });
  unsigned char bytes[8] = {};
  ASSERT_TRUE(platform::FillRandomBytes(bytes, sizeof bytes));
  EXPECT_EQ(calls, 4);
  for (unsigned char byte : bytes) EXPECT_EQ(byte, 0xAB);

  ScopedSysCall failing(&SysCalls::getrandom, +[](void*, size_t, unsigned int) -> ssize_t {
    errno = EIO;
    return -1;
  });
  EXPECT_FALSE(platform::FillRandomBytes(bytes, sizeof bytes));
  EXPECT_EQ(platform::LastErrorCode(), EIO);
}
