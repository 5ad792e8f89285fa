#pragma once
// A typed binary writer and reader over a stream: numbers written raw and little-endian, strings
// and Booleans with a one-byte tag, lists with a count patched in when the list is closed, and a
// one-byte signature at the head of a record.
//
// Strings: tags 6, 7, 8 hold single-byte text in the ANSI code page (Windows-1251) with a 1-, 2-
// or 4-byte length in bytes; tags 11, 12, 13 hold UTF-16LE with the length in code units. The
// writer takes the smallest length field: up to 255, up to 65534, else 4 bytes. Texts in the API
// are UTF-8; "Ansi" texts (WriteStringA, ReadStringA) are the bytes in the ANSI code page.
//
// Input from outside is never trusted: a length is checked against the bytes left before memory
// is set aside, a negative 4-byte length is a format error, and list counts are only counted.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"
#include "Runtime.SysTypes.h"

KV_DECLARE_EXCEPTION(EOrvelFilerError, Exception);
KV_DECLARE_EXCEPTION(EOrvelFilerInvalidSignature, EOrvelFilerError);

// A list open for writing: where its count field lies and how many items it announced.
struct TGfLstRecord {
  std::int32_t Position = 0;
  std::int32_t Count = 0;
};

class TOrvelFiler {
 public:
  // Uses a stream that the caller keeps.
  explicit TOrvelFiler(TStream& Stream);
  // Uses a stream and frees it with the filer.
  explicit TOrvelFiler(std::unique_ptr<TStream> Stream);
  static TOrvelFiler CreateWithMemoryStream();
  TOrvelFiler(const TOrvelFiler&) = delete;
  TOrvelFiler& operator=(const TOrvelFiler&) = delete;
  virtual ~TOrvelFiler();

  TStream& Stream() const { return *FStream; }
  bool UseUnicodeStrings() const { return FUseUnicodeStrings; }
  void SetUseUnicodeStrings(bool Value) { FUseUnicodeStrings = Value; }
  std::int64_t Position() const { return FStream->Position(); }
  void SetPosition(std::int64_t Value) { FStream->SetPosition(Value); }
  bool IsEndOfStream() const { return FStream->Size() == FStream->Position(); }

  // Exactly Count bytes, or EWriteError / EReadError.
  void Write(const void* Buf, std::int32_t Count);
  void Read(void* Buf, std::int32_t Count);

  void Write_Byte(std::uint8_t Value);
  std::uint8_t Read_Byte();
  void WriteInt08(std::int8_t Value);
  std::int8_t ReadInt08();
  void WriteInt16(std::int16_t Value);
  std::int16_t ReadInt16();
  void WriteInt32(std::int32_t Value);
  std::int32_t ReadInt32();
  void WriteInt64(std::int64_t Value);
  std::int64_t ReadInt64();
  void WriteDbl64(double Value);
  double ReadDbl64();
  void WriteCur64(Currency Value);
  Currency ReadCurr64();
  // 10 bytes of x87 extended precision; see ExtendedToDouble for how a value is rounded on reading.
  void WriteExtended(double Value);
  double ReadExtended();
  // Written 1 or 0; any non-zero byte reads as true.
  void WriteByteBoolean(bool Value);
  bool ReadByteBoolean();
  // Tag 10 (true) or 9 (false); only 10 reads as true.
  void WriteBoolean(bool Value);
  bool ReadBoolean();

  void WriteStringA(std::string_view AnsiValue);
  void WriteStringW(std::string_view Value);
  // The UTF-16 form when UseUnicodeStrings, else the ANSI form of the converted text (characters
  // the code page lacks become "?", and the length is the byte count after conversion).
  void WriteString(std::string_view Value);
  // Either form; EOrvelFilerError for another tag.
  std::string ReadString();
  // Only the ANSI form (tags 6, 7, 8), returned as its bytes; EOrvelFilerError otherwise.
  std::string ReadStringA();
  // Only the UTF-16 form (tags 11, 12, 13); EOrvelFilerError otherwise.
  std::string ReadStringW();

  // Writing: WriteListBegin; for each item NextListItem and the item; WriteListEnd. The stream
  // must be seekable and the list must begin below 2 GiB (EOrvelFilerError otherwise).
  void WriteListBegin();
  void NextListItem();
  void WriteListEnd();
  // Reading: ReadListBegin; while not EOL: the item, ReadNextItem; ReadListEnd.
  void ReadListBegin();
  bool EOL() const { return ListCount() < 1; }
  void ReadNextItem();
  void ReadListEnd();  // items not read are not skipped
  // Items left in the innermost list; 0 when no list is open.
  std::int32_t ListCount() const;

  // EOrvelFilerInvalidSignature when the next byte is not Value.
  void CheckSignature(std::uint8_t Value);
  // EOrvelFilerError with the format message, for callers that meet a malformed record.
  [[noreturn]] void ReadError();

 private:
  void WriteTag(std::uint8_t B);
  std::uint8_t ReadTag();
  void WriteStringHeader(std::int64_t Length, bool Unicode);
  void ReadStringHeader(std::int32_t& Length, bool& Unicode);
  [[noreturn]] void RaiseFormatError();
  template <class T>
  void WriteValue(T Value);
  template <class T>
  T ReadValue();

  TStream* FStream;
  std::unique_ptr<TStream> FOwnedStream;  // set when the filer owns its stream
  bool FUseUnicodeStrings = false;
  std::vector<TGfLstRecord> FListMarks;  // lists open for writing, innermost last
  std::vector<std::int32_t> FListMarksR;  // items left in each list open for reading
};

// The filer of the product's binary records.
class TOxFiler : public TOrvelFiler {
 public:
  using TOrvelFiler::TOrvelFiler;
  static TOxFiler CreateWithMemoryStream();
};
