#pragma once
// Typed encodings on any stream, string-list formatting and the byte array of a bytes stream.
//
// The stream operations belong to a helper over a stream the caller keeps:
//   TStreamHelper(stream).WriteInt32(5);
//   auto text = TStreamHelper(stream).ReadString();
// All encodings are little-endian and unaligned. Every typed operation reads or writes exactly:
// a short read raises EReadError "Stream read error", a short write EWriteError "Stream write
// error". Single-byte text is in the ANSI code page (Windows-1251); texts in the API are UTF-8,
// except the "Ansi" parameters and results, which are the single-byte bytes themselves.
//
// Lengths and counts read from a stream are checked against the bytes left before memory is set
// aside for them (see Common.BoundedReads); a negative length of a string raises EReadError.

#include <any>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Common.Classes.h"
#include "Common.Variants.h"
#include "Runtime.DateTime.h"
#include "Runtime.Format.h"
#include "Runtime.StringList.h"
#include "Runtime.Streams.h"
#include "Runtime.SysTypes.h"

// Variant arrays inside variant arrays are read and written to this depth.
inline constexpr int kMaxVariantNesting = 32;

class TStreamHelper {
 public:
  explicit TStreamHelper(TStream& Stream) : FStream(Stream) {}
  TStream& Stream() const { return FStream; }

  // --- fixed-size values
  void WriteByte(std::uint8_t b);
  std::uint8_t ReadByte();
  void WriteCharA(char Value);
  char ReadCharA();
  void WriteBoolean(bool b);  // 1 or 0
  bool ReadBoolean();         // non-zero is true
  void WriteWord(std::uint16_t W);
  std::uint16_t ReadWord();
  void WriteInt32(std::int32_t I);
  std::int32_t ReadInt32();
  void WriteInt64(std::int64_t I);
  std::int64_t ReadInt64();
  void WriteDbl(double D);
  double ReadDbl();
  void WriteDateTime(TDateTime Value);
  TDateTime ReadDateTime();
  // 10 bytes of x87 extended precision; see ExtendedToDouble for the rounding on reading.
  void WriteExtended(double E);
  double ReadExtended();
  void WriteFileTime(const TFileTime& Value);
  TFileTime ReadFileTime();
  void WriteGUID(const TGUID& Value);
  TGUID ReadGUID();

  // --- strings
  // 32-bit byte count, then the bytes as they are.
  void WriteStringA(std::string_view AnsiValue);
  std::string ReadStringA();
  // 32-bit count, then the text in the ANSI code page. The count is the byte count after
  // conversion: the character count, as every character takes one byte there (a character the
  // code page lacks becomes one "?").
  void WriteString(std::string_view S);
  std::string ReadString();
  // The same with a 16-bit count. A text of more than 32767 characters raises EStreamError instead
  // of being cut or lost; a count of 0 or below reads as an empty text with nothing following.
  void WriteString16(std::string_view S);
  std::string ReadString16();
  // The filer's single-byte form: tag 6, 7 or 8 with a 1-, 2- or 4-byte byte count. Reading any
  // other tag is an assertion failure "Неожиданный тип строки (%d)".
  void WriteFilerString(std::string_view S);
  std::string ReadFilerString();
  // The signature's bytes without a length. CheckSignature reads as many bytes and raises
  // EStreamError "Expected signature \"%s\", but found \"%s\"" when they differ; an empty
  // signature reads nothing.
  void WriteSignature(std::string_view Signature);
  void CheckSignature(std::string_view Signature);
  // Moves past a WriteString or WriteStringA string (EReadError when it is not all there).
  void SkipString();

  // --- compound forms
  // Count, then per line the text as WriteString and the object as a 32-bit integer. An object is
  // stored when it is empty (0) or holds a std::int32_t; any other object raises EStreamError.
  // Reading attaches non-zero integers as std::int32_t objects and leaves 0 as no object.
  void WriteTStrings(const TStringList& Value);
  void ReadTStrings(TStringList& Value, bool NeedClear);
  void WriteListInteger(const std::vector<std::int32_t>& List);
  void ReadListInteger(std::vector<std::int32_t>& List);
  // 64-bit byte count, then the whole of Value from its start. Reading copies into Value at its
  // position; a count of 0 or below copies nothing.
  void WriteStream(TStream& Value);
  void ReadStream(TStream& Value);
  // The same with a 32-bit count, the helper's stream being the content and the other stream
  // carrying the encoding.
  void SaveToStreamBySize(TStream& Dest);
  void LoadFromStreamBySize(TStream& Source);
  // A block: 32-bit length of the bytes after the length field, then the bytes. WriteHeader
  // reserves the length, FixupHeader fills it in; ReadHeader gives the position after the block.
  // Positions are held in 32 bits: EStreamError beyond 2 GiB, and for a negative length.
  void WriteHeader(std::int32_t& FixupInfo);
  void FixupHeader(std::int32_t FixupInfo);
  void ReadHeader(std::int32_t& LastPosition);
  // 32-bit version, 32-bit length counted from the length field itself, then the object's data.
  // Loading skips what the object did not read; an object that read past its block raises
  // Exception with an empty message.
  void SaveVersionedObject(IVersionedStreamPersist& Obj);
  void LoadVersionedObject(IVersionedStreamPersist& Obj);
  // 32-bit type code, then the value by type; arrays with their dimensions, bounds and elements.
  // Unsupported types raise Exception "Unsupported variant type: %s" (four hexadecimal digits)
  // before anything is written. A corrupt array raises EStreamError "Invalid variant array: ..."
  // before memory is set aside for it; a single-byte string variant reads back as varUString.
  void WriteVariant(const Variant& Value);
  Variant ReadVariant();
  void WriteEmptyBuffer(std::int32_t BufSize);
  void SkipBuffer(std::int32_t BufSize);

  // --- whole stream
  // Replaces the content by the file's (opened for reading, shared); errors of opening pass.
  void LoadFromFile(const std::string& FileName);
  // Replaces the content by the whole of ASource; ends positioned at the end.
  void LoadFromStream(TStream& ASource);
  // The whole content; the position is kept.
  std::vector<std::uint8_t> GetAsBytes();
  // Replaces the content; ends positioned after it.
  void SetAsBytes(std::span<const std::uint8_t> Value);
  bool EOS();

 private:
  template <class T>
  void WriteValue(const T& Value);
  template <class T>
  T ReadValue();
  void WriteVariantChecked(const Variant& Value);
  Variant ReadVariantAt(int Depth);
  Variant ReadVariantArray(std::uint32_t Code, int Depth);

  TStream& FStream;
};

// One argument of a format text, for the formatting operations below.
class TFormatArg {
 public:
  template <class T>
    requires(!std::is_same_v<T, TFormatArg>)
  TFormatArg(const T& Value) : FArg(kv::detail::ToFormatArg(Value)) {}
  const kv::detail::FormatArg& Arg() const { return FArg; }

 private:
  kv::detail::FormatArg FArg;
};

// Formatting additions on a string list the caller keeps:
//   TStringsHelper(list).AddFmt("%s: %d", {name, count}, object);
class TStringsHelper {
 public:
  explicit TStringsHelper(TStringList& List) : FList(List) {}
  // Adds the formatted text (Format rules) with Obj attached; returns its index.
  int AddFmt(std::string_view Fmt, std::initializer_list<TFormatArg> Args, std::any Obj);
  int AddFmt(std::string_view Fmt, std::initializer_list<TFormatArg> Args);
  // Adds Name, the list's name-value separator and Value as one line.
  void AddNameValue(std::string_view Name, std::string_view Value);

 private:
  TStringList& FList;
};

// The bytes of a bytes stream, exactly its size; the stream is freed.
std::vector<std::uint8_t> BytesOfStream(std::unique_ptr<TBytesStream> Stream);
