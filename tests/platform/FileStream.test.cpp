#include "platform/FileStream.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/posix/SysCalls.h"
#include "support/TempDir.h"
#include "platform/OSError.h"

TEST(FileStream, CreatesWritesAndReadsBack) {
  TTempDir dir;
  std::string path = dir.File("data.bin");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.Size(), 10);
    f.SetSize(4);
    EXPECT_EQ(f.Position(), 4);
  }
  EXPECT_EQ(dir.ReadFile("data.bin"), "0123");
  TFileStream f(path, fmOpenRead | fmShareDenyWrite);
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, 8), 4);
  EXPECT_EQ(f.Seek(1, soBeginning), 1);
  EXPECT_EQ(f.Read(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "12");
  EXPECT_THROW(f.Write("x", 1), EOSError);  // opened for reading only
  EXPECT_EQ(f.Write("x", 0), 0);
}

TEST(FileStream, OpenErrorsNameTheFileAndTheSystemReason) {
  TTempDir dir;
  try {
    TFileStream f(dir.File("missing.xml"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + dir.File("missing.xml") + "\". No such file or directory");
  }
  try {
    TFileStream f(dir.File("no/such/folder/new.xml"), fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find("Cannot create file"), std::string::npos);
  }
  // A folder is not a file, even where the system would open it for reading.
  EXPECT_THROW(TFileStream(dir.Path(), fmOpenRead), EFOpenError);
}

TEST(FileStream, ReadFailureOfTheSystemRaisesTheOSError) {
  TTempDir dir;
  std::string path = dir.WriteFile("a.txt", "abc");
  TFileStream f(path, fmOpenRead);
  using platform::posix::ScopedSysCall;
  using platform::posix::SysCalls;
  ScopedSysCall<decltype(SysCalls::read)> failing(&SysCalls::read, [](int, void*, size_t) -> ssize_t {
    errno = EIO;
    return -1;
  });
  char buf[3];
  try {
    f.Read(buf, 3);
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EIO);
    EXPECT_EQ(e.Message(), path + ": Input/output error");
  }
}

TEST(FileStream, WholeFileHelpers) {
  TTempDir dir;
  TMemoryStream m;
  m.WriteBuffer("xyz", 3);
  SaveStreamToFile(m, dir.File("out.bin"));
  TMemoryStream back;
  LoadStreamFromFile(back, dir.File("out.bin"));
  EXPECT_EQ(back.Size(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.Memory()), 3), "xyz");
}
