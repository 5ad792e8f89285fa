#pragma once
// A stream over a file of the file system.

#include <cstdint>
#include <string>

#include "Runtime.Streams.h"

// Open modes: one access mode, optionally or-ed with one sharing mode. POSIX has no mandatory
// sharing, so the sharing bits are accepted and not enforced.
inline constexpr std::uint16_t fmCreate = 0xFF00;  // create or truncate, read and write
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmShareCompat = 0x0000;
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyRead = 0x0030;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;

class TFileStream : public TStream {
 public:
  // EFCreateError "Cannot create file \"%s\". <system text>" or
  // EFOpenError "Cannot open file \"%s\". <system text>" when the file cannot be opened.
  TFileStream(std::string FileName, std::uint16_t Mode);
  ~TFileStream() override;

  // A read or write that the system refuses raises EOSError.
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(std::int64_t NewSize) override;

  const std::string& FileName() const { return FFileName; }

 private:
  // The system primitives, one implementation per operating system.
  static int OpenSys(const std::string& fileName, std::uint16_t mode, int& errorCode);
  static void CloseSys(int handle);
  std::int32_t ReadSys(void* buffer, std::int32_t count);
  std::int32_t WriteSys(const void* buffer, std::int32_t count);
  std::int64_t SeekSys(std::int64_t offset, TSeekOrigin origin);
  void SetSizeSys(std::int64_t size);

  std::string FFileName;
  int FHandle = -1;
};

// Whole-file conveniences over TFileStream.
void LoadStreamFromFile(TMemoryStream& stream, const std::string& fileName);
void SaveStreamToFile(TMemoryStream& stream, const std::string& fileName);
