#include "Common.Filer.h"

#include <bit>
#include <limits>

#include "Common.BoundedReads.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"

namespace {
constexpr const char* SInvalidStreamFormat = "Неверный формат данных в потоке";

constexpr std::uint8_t kTagFalse = 9;
constexpr std::uint8_t kTagTrue = 10;
// Tags by length class (1-, 2-, 4-byte length) and form (ANSI, UTF-16).
constexpr std::uint8_t kStringTags[3][2] = {{6, 11}, {7, 12}, {8, 13}};
}  // namespace

TOrvelFiler::TOrvelFiler(TStream& Stream) : FStream(&Stream) {}

TOrvelFiler::TOrvelFiler(std::unique_ptr<TStream> Stream) : FStream(Stream.get()), FOwnedStream(std::move(Stream)) {}

TOrvelFiler TOrvelFiler::CreateWithMemoryStream() { return TOrvelFiler(std::make_unique<TMemoryStream>()); }

TOrvelFiler::~TOrvelFiler() = default;

void TOrvelFiler::Write(const void* Buf, std::int32_t Count) { FStream->WriteBuffer(Buf, Count); }

void TOrvelFiler::Read(void* Buf, std::int32_t Count) { FStream->ReadBuffer(Buf, Count); }

// The host is little-endian (checked where the bounded reads are), so values go out as they lie.
template <class T>
void TOrvelFiler::WriteValue(T Value) {
  FStream->WriteBuffer(&Value, sizeof Value);
}

template <class T>
T TOrvelFiler::ReadValue() {
  T value;
  FStream->ReadBuffer(&value, sizeof value);
  return value;
}

void TOrvelFiler::Write_Byte(std::uint8_t Value) { WriteValue(Value); }
std::uint8_t TOrvelFiler::Read_Byte() { return ReadValue<std::uint8_t>(); }
void TOrvelFiler::WriteInt08(std::int8_t Value) { WriteValue(Value); }
std::int8_t TOrvelFiler::ReadInt08() { return ReadValue<std::int8_t>(); }
void TOrvelFiler::WriteInt16(std::int16_t Value) { WriteValue(Value); }
std::int16_t TOrvelFiler::ReadInt16() { return ReadValue<std::int16_t>(); }
void TOrvelFiler::WriteInt32(std::int32_t Value) { WriteValue(Value); }
std::int32_t TOrvelFiler::ReadInt32() { return ReadValue<std::int32_t>(); }
void TOrvelFiler::WriteInt64(std::int64_t Value) { WriteValue(Value); }
std::int64_t TOrvelFiler::ReadInt64() { return ReadValue<std::int64_t>(); }
void TOrvelFiler::WriteDbl64(double Value) { WriteValue(Value); }
double TOrvelFiler::ReadDbl64() { return ReadValue<double>(); }
void TOrvelFiler::WriteCur64(Currency Value) { WriteValue(Value.Scaled); }
Currency TOrvelFiler::ReadCurr64() { return Currency::FromScaled(ReadValue<std::int64_t>()); }

void TOrvelFiler::WriteExtended(double Value) {
  TExtended80 bytes = DoubleToExtended(Value);
  FStream->WriteBuffer(bytes.data(), bytes.size());
}

double TOrvelFiler::ReadExtended() {
  TExtended80 bytes;
  FStream->ReadBuffer(bytes.data(), bytes.size());
  return ExtendedToDouble(bytes);
}

void TOrvelFiler::WriteByteBoolean(bool Value) { Write_Byte(Value ? 1 : 0); }
bool TOrvelFiler::ReadByteBoolean() { return Read_Byte() != 0; }
void TOrvelFiler::WriteBoolean(bool Value) { WriteTag(Value ? kTagTrue : kTagFalse); }
bool TOrvelFiler::ReadBoolean() { return ReadTag() == kTagTrue; }

void TOrvelFiler::WriteTag(std::uint8_t B) { Write_Byte(B); }
std::uint8_t TOrvelFiler::ReadTag() { return Read_Byte(); }

void TOrvelFiler::WriteStringHeader(std::int64_t Length, bool Unicode) {
  ASSERT(Length >= 0 && Length <= std::numeric_limits<std::int32_t>::max());
  int lengthClass = Length <= 255 ? 0 : Length <= 65534 ? 1 : 2;
  WriteTag(kStringTags[lengthClass][Unicode ? 1 : 0]);
  switch (lengthClass) {
    case 0: WriteValue(static_cast<std::uint8_t>(Length)); break;
    case 1: WriteValue(static_cast<std::uint16_t>(Length)); break;
    default: WriteValue(static_cast<std::int32_t>(Length)); break;
  }
}

void TOrvelFiler::ReadStringHeader(std::int32_t& Length, bool& Unicode) {
  Length = 0;
  std::uint8_t tag = ReadTag();
  switch (tag) {
    case 6:
    case 11: Length = ReadValue<std::uint8_t>(); break;
    case 7:
    case 12: Length = ReadValue<std::uint16_t>(); break;
    case 8:
    case 13: Length = ReadValue<std::int32_t>(); break;
    default: RaiseFormatError();
  }
  if (Length < 0) RaiseFormatError();
  Unicode = tag >= 11;
}

void TOrvelFiler::WriteStringA(std::string_view AnsiValue) {
  WriteStringHeader(static_cast<std::int64_t>(AnsiValue.size()), false);
  FStream->WriteBuffer(AnsiValue.data(), static_cast<std::int64_t>(AnsiValue.size()));
}

void TOrvelFiler::WriteStringW(std::string_view Value) {
  std::u16string units = Utf8ToUtf16(Value);
  WriteStringHeader(static_cast<std::int64_t>(units.size()), true);
  FStream->WriteBuffer(units.data(), static_cast<std::int64_t>(units.size() * sizeof(char16_t)));
}

void TOrvelFiler::WriteString(std::string_view Value) {
  if (FUseUnicodeStrings)
    WriteStringW(Value);
  else
    WriteStringA(platform::Utf8ToAnsi(Value));
}

std::string TOrvelFiler::ReadString() {
  std::int32_t length;
  bool unicode;
  ReadStringHeader(length, unicode);
  if (unicode) return Utf16ToUtf8(ReadBoundedUtf16(*FStream, length));
  return platform::AnsiToUtf8(ReadBoundedBytes(*FStream, length));
}

std::string TOrvelFiler::ReadStringA() {
  std::int32_t length;
  bool unicode;
  ReadStringHeader(length, unicode);
  if (unicode) RaiseFormatError();
  return ReadBoundedBytes(*FStream, length);
}

std::string TOrvelFiler::ReadStringW() {
  std::int32_t length;
  bool unicode;
  ReadStringHeader(length, unicode);
  if (!unicode) RaiseFormatError();
  return Utf16ToUtf8(ReadBoundedUtf16(*FStream, length));
}

void TOrvelFiler::WriteListBegin() {
  std::int64_t position = FStream->Position();
  // The count's position is kept in 32 bits; beyond that the patch would land elsewhere.
  if (position > std::numeric_limits<std::int32_t>::max())
    throw EOrvelFilerError("A list cannot begin beyond 2 GiB in the stream");
  FListMarks.push_back({static_cast<std::int32_t>(position), 0});
  WriteInt32(0);
}

void TOrvelFiler::NextListItem() {
  ASSERT(!FListMarks.empty(), "No list is open for writing");
  ++FListMarks.back().Count;
}

void TOrvelFiler::WriteListEnd() {
  ASSERT(!FListMarks.empty(), "No list is open for writing");
  std::int64_t end = FStream->Position();
  FStream->SetPosition(FListMarks.back().Position);
  WriteInt32(FListMarks.back().Count);
  FStream->SetPosition(end);
  FListMarks.pop_back();
}

void TOrvelFiler::ReadListBegin() { FListMarksR.push_back(ReadInt32()); }

void TOrvelFiler::ReadNextItem() {
  ASSERT(!FListMarksR.empty(), "No list is open for reading");
  if (FListMarksR.back() > std::numeric_limits<std::int32_t>::min()) --FListMarksR.back();
}

void TOrvelFiler::ReadListEnd() {
  ASSERT(!FListMarksR.empty(), "No list is open for reading");
  FListMarksR.pop_back();
}

std::int32_t TOrvelFiler::ListCount() const { return FListMarksR.empty() ? 0 : FListMarksR.back(); }

void TOrvelFiler::CheckSignature(std::uint8_t Value) {
  if (Read_Byte() != Value) throw EOrvelFilerInvalidSignature(SInvalidStreamFormat);
}

void TOrvelFiler::ReadError() { RaiseFormatError(); }

void TOrvelFiler::RaiseFormatError() { throw EOrvelFilerError(SInvalidStreamFormat); }

TOxFiler TOxFiler::CreateWithMemoryStream() { return TOxFiler(std::make_unique<TMemoryStream>()); }
