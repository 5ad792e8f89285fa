#include "platform/FileStream.h"

#include "Runtime.Exceptions.h"
#include "platform/OSError.h"

TFileStream::TFileStream(std::string FileName, std::uint16_t Mode) : FFileName(std::move(FileName)) {
  int errorCode = 0;
  FHandle = OpenSys(FFileName, Mode, errorCode);
  if (FHandle < 0) {
    if ((Mode & fmCreate) == fmCreate)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", FFileName, platform::SystemErrorText(errorCode)));
    throw EFOpenError(Format("Cannot open file \"%s\". %s", FFileName, platform::SystemErrorText(errorCode)));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) CloseSys(FHandle);
}

std::int32_t TFileStream::Read(void* Buffer, std::int32_t Count) { return Count <= 0 ? 0 : ReadSys(Buffer, Count); }

std::int32_t TFileStream::Write(const void* Buffer, std::int32_t Count) {
  return Count <= 0 ? 0 : WriteSys(Buffer, Count);
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) { return SeekSys(Offset, Origin); }

void TFileStream::SetSize(std::int64_t NewSize) {
  std::int64_t position = Position();
  SetSizeSys(NewSize);
  if (position > NewSize) Seek(NewSize, soBeginning);
}

void LoadStreamFromFile(TMemoryStream& stream, const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  stream.LoadFromStream(file);
}

void SaveStreamToFile(TMemoryStream& stream, const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  stream.SaveToStream(file);
}
