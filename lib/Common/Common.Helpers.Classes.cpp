#include "Common.Helpers.Classes.h"

#include <algorithm>
#include <limits>

#include "Common.BoundedReads.h"
#include "Common.Filer.h"
#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FileStream.h"

namespace {
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

[[noreturn]] void RaiseReadError() { throw EReadError("Stream read error"); }

[[noreturn]] void RaiseUnsupportedVariant(std::uint32_t code) {
  throw Exception(Format("Unsupported variant type: %s", IntToHex(code, 4)));
}

[[noreturn]] void RaiseInvalidArray(const std::string& why) { throw EStreamError("Invalid variant array: " + why); }

std::int32_t PositionAs32(TStream& stream) {
  std::int64_t position = stream.Position();
  if (position > kInt32Max) throw EStreamError("A block cannot begin beyond 2 GiB in the stream");
  return static_cast<std::int32_t>(position);
}

std::vector<std::uint8_t> ToBytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

// Whether the encoding can carry the variant; raises before anything of it is written.
void CheckWritable(const Variant& value, int depth) {
  TVarType type = value.VarType();
  if (value.IsArray()) {
    if (depth >= kMaxVariantNesting)
      RaiseInvalidArray(Format("nested deeper than %d levels", kMaxVariantNesting));
    if (IsBulkElementType(value.ElementType())) {
      if (value.ArrayData().size() > static_cast<std::size_t>(kInt32Max))
        RaiseInvalidArray("more than 2 GiB of data");
    } else {
      for (const auto& element : value.Elements()) CheckWritable(element, depth + 1);
    }
    return;
  }
  TVarType low = type & varTypeMask;
  if (type & varByRef) RaiseUnsupportedVariant(type);
  if (low == varOleStr || low == varString) return;
  if (low == varDispatch || low == varVariant || low == varUnknown || low > varInt64) RaiseUnsupportedVariant(type);
}
}  // namespace

// --- fixed-size values -------------------------------------------------------------------------

template <class T>
void TStreamHelper::WriteValue(const T& Value) {
  FStream.WriteBuffer(&Value, sizeof Value);
}

template <class T>
T TStreamHelper::ReadValue() {
  T value;
  FStream.ReadBuffer(&value, sizeof value);
  return value;
}

void TStreamHelper::WriteByte(std::uint8_t b) { WriteValue(b); }
std::uint8_t TStreamHelper::ReadByte() { return ReadValue<std::uint8_t>(); }
void TStreamHelper::WriteCharA(char Value) { WriteValue(Value); }
char TStreamHelper::ReadCharA() { return ReadValue<char>(); }
void TStreamHelper::WriteBoolean(bool b) { WriteByte(b ? 1 : 0); }
bool TStreamHelper::ReadBoolean() { return ReadByte() != 0; }
void TStreamHelper::WriteWord(std::uint16_t W) { WriteValue(W); }
std::uint16_t TStreamHelper::ReadWord() { return ReadValue<std::uint16_t>(); }
void TStreamHelper::WriteInt32(std::int32_t I) { WriteValue(I); }
std::int32_t TStreamHelper::ReadInt32() { return ReadValue<std::int32_t>(); }
void TStreamHelper::WriteInt64(std::int64_t I) { WriteValue(I); }
std::int64_t TStreamHelper::ReadInt64() { return ReadValue<std::int64_t>(); }
void TStreamHelper::WriteDbl(double D) { WriteValue(D); }
double TStreamHelper::ReadDbl() { return ReadValue<double>(); }
void TStreamHelper::WriteDateTime(TDateTime Value) { WriteValue(Value); }
TDateTime TStreamHelper::ReadDateTime() { return ReadValue<double>(); }
void TStreamHelper::WriteExtended(double E) { WriteValue(DoubleToExtended(E)); }
double TStreamHelper::ReadExtended() { return ExtendedToDouble(ReadValue<TExtended80>()); }

void TStreamHelper::WriteFileTime(const TFileTime& Value) {
  WriteValue(Value.dwLowDateTime);
  WriteValue(Value.dwHighDateTime);
}

TFileTime TStreamHelper::ReadFileTime() {
  TFileTime value;
  value.dwLowDateTime = ReadValue<std::uint32_t>();
  value.dwHighDateTime = ReadValue<std::uint32_t>();
  return value;
}

void TStreamHelper::WriteGUID(const TGUID& Value) {
  WriteValue(Value.D1);
  WriteValue(Value.D2);
  WriteValue(Value.D3);
  WriteValue(Value.D4);
}

TGUID TStreamHelper::ReadGUID() {
  TGUID value;
  value.D1 = ReadValue<std::uint32_t>();
  value.D2 = ReadValue<std::uint16_t>();
  value.D3 = ReadValue<std::uint16_t>();
  value.D4 = ReadValue<std::array<std::uint8_t, 8>>();
  return value;
}

// --- strings -----------------------------------------------------------------------------------

void TStreamHelper::WriteStringA(std::string_view AnsiValue) {
  if (AnsiValue.size() > static_cast<std::size_t>(kInt32Max)) throw EWriteError("Stream write error");
  WriteInt32(static_cast<std::int32_t>(AnsiValue.size()));
  FStream.WriteBuffer(AnsiValue.data(), static_cast<std::int64_t>(AnsiValue.size()));
}

std::string TStreamHelper::ReadStringA() {
  std::int32_t count = ReadInt32();
  if (count == 0) return {};
  if (count < 0) RaiseReadError();
  return ReadBoundedBytes(FStream, count);
}

void TStreamHelper::WriteString(std::string_view S) { WriteStringA(platform::Utf8ToAnsi(S)); }

std::string TStreamHelper::ReadString() { return platform::AnsiToUtf8(ReadStringA()); }

void TStreamHelper::WriteString16(std::string_view S) {
  std::string ansi = platform::Utf8ToAnsi(S);
  // A longer text would wrap the count and be lost or cut on reading.
  if (ansi.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
    throw EStreamError(Format("Text too long for a 16-bit length: %d characters", ansi.size()));
  WriteValue(static_cast<std::int16_t>(ansi.size()));
  FStream.WriteBuffer(ansi.data(), static_cast<std::int64_t>(ansi.size()));
}

std::string TStreamHelper::ReadString16() {
  auto count = ReadValue<std::int16_t>();
  if (count <= 0) return {};
  return platform::AnsiToUtf8(ReadBoundedBytes(FStream, count));
}

void TStreamHelper::WriteFilerString(std::string_view S) { TOrvelFiler(FStream).WriteStringA(platform::Utf8ToAnsi(S)); }

std::string TStreamHelper::ReadFilerString() {
  std::uint8_t tag = ReadByte();
  ASSERT(tag >= 6 && tag <= 8, Format("Неожиданный тип строки (%d)", tag));
  std::int64_t count = tag == 6 ? ReadValue<std::uint8_t>() : tag == 7 ? ReadValue<std::uint16_t>() : ReadInt32();
  if (count < 0) RaiseReadError();
  return platform::AnsiToUtf8(ReadBoundedBytes(FStream, count));
}

void TStreamHelper::WriteSignature(std::string_view Signature) {
  std::string ansi = platform::Utf8ToAnsi(Signature);
  FStream.WriteBuffer(ansi.data(), static_cast<std::int64_t>(ansi.size()));
}

void TStreamHelper::CheckSignature(std::string_view Signature) {
  if (Signature.empty()) return;
  std::string found(platform::Utf8ToAnsi(Signature).size(), '\0');
  FStream.ReadBuffer(found.data(), static_cast<std::int64_t>(found.size()));
  found = platform::AnsiToUtf8(found);
  if (found != Signature) throw EStreamError(Format("Expected signature \"%s\", but found \"%s\"", Signature, found));
}

void TStreamHelper::SkipString() {
  std::int32_t count = ReadInt32();
  std::int64_t left = StreamBytesLeft(FStream);
  if (count < 0 || (left >= 0 && count > left)) RaiseReadError();
  FStream.Seek(count, soCurrent);
}

// --- compound forms ----------------------------------------------------------------------------

void TStreamHelper::WriteTStrings(const TStringList& Value) {
  WriteInt32(static_cast<std::int32_t>(Value.Count()));
  for (std::size_t i = 0; i < Value.Count(); ++i) {
    const std::any& object = Value.Objects(i);
    std::int32_t reference = 0;
    if (const auto* number = std::any_cast<std::int32_t>(&object))
      reference = *number;
    else if (object.has_value())
      throw EStreamError(Format("The object of line %d cannot be stored as an integer", i));
    WriteString(Value[i]);
    WriteInt32(reference);
  }
}

void TStreamHelper::ReadTStrings(TStringList& Value, bool NeedClear) {
  std::int32_t count = ReadInt32();
  if (NeedClear) Value.Clear();
  for (std::int32_t i = 0; i < count; ++i) {
    std::string line = ReadString();
    std::int32_t reference = ReadInt32();
    Value.AddObject(std::move(line), reference != 0 ? std::any(reference) : std::any());
  }
}

void TStreamHelper::WriteListInteger(const std::vector<std::int32_t>& List) {
  WriteInt32(static_cast<std::int32_t>(List.size()));
  for (std::int32_t item : List) WriteInt32(item);
}

void TStreamHelper::ReadListInteger(std::vector<std::int32_t>& List) {
  std::int32_t count = ReadInt32();
  std::int64_t left = StreamBytesLeft(FStream);
  if (count < 0 || (left >= 0 && std::int64_t{count} * 4 > left)) RaiseReadError();
  List.clear();
  // Grown as the integers arrive, so a stream without a size cannot make it large for nothing.
  List.reserve(static_cast<std::size_t>(std::min(count, 65536)));
  for (std::int32_t i = 0; i < count; ++i) List.push_back(ReadInt32());
}

void TStreamHelper::WriteStream(TStream& Value) {
  std::int64_t size = Value.Size();
  WriteInt64(size);
  if (size > 0) FStream.CopyFrom(Value, 0);
}

void TStreamHelper::ReadStream(TStream& Value) {
  std::int64_t count = ReadInt64();
  if (count <= 0) return;
  std::int64_t left = StreamBytesLeft(FStream);
  if (left >= 0 && count > left) RaiseReadError();
  Value.CopyFrom(FStream, count);
}

void TStreamHelper::SaveToStreamBySize(TStream& Dest) {
  std::int64_t size = FStream.Size();
  if (size > kInt32Max) throw EStreamError("A stream of more than 2 GiB cannot be stored with a 32-bit size");
  TStreamHelper(Dest).WriteInt32(static_cast<std::int32_t>(size));
  FStream.SetPosition(0);
  if (size > 0) Dest.CopyFrom(FStream, size);
}

void TStreamHelper::LoadFromStreamBySize(TStream& Source) {
  std::int32_t count = TStreamHelper(Source).ReadInt32();
  std::int64_t left = count > 0 ? StreamBytesLeft(Source) : -1;
  if (left >= 0 && count > left) RaiseReadError();
  FStream.SetSize(0);
  FStream.SetPosition(0);
  if (count > 0) FStream.CopyFrom(Source, count);
}

void TStreamHelper::WriteHeader(std::int32_t& FixupInfo) {
  FixupInfo = PositionAs32(FStream);
  WriteInt32(0);
}

void TStreamHelper::FixupHeader(std::int32_t FixupInfo) {
  std::int64_t end = FStream.Position();
  std::int64_t length = end - FixupInfo - 4;
  if (length < 0 || length > kInt32Max) throw EStreamError("A block cannot end beyond 2 GiB in the stream");
  FStream.SetPosition(FixupInfo);
  WriteInt32(static_cast<std::int32_t>(length));
  FStream.SetPosition(end);
}

void TStreamHelper::ReadHeader(std::int32_t& LastPosition) {
  std::int32_t length = ReadInt32();
  std::int64_t last = FStream.Position() + length;
  if (length < 0 || last > kInt32Max) throw EStreamError(Format("Invalid block length %d", length));
  LastPosition = static_cast<std::int32_t>(last);
}

void TStreamHelper::SaveVersionedObject(IVersionedStreamPersist& Obj) {
  WriteInt32(Obj.GetStreamVersion());
  std::int64_t start = FStream.Position();
  FStream.SetPosition(start + 4);
  Obj.WriteToStream(FStream);
  std::int64_t end = FStream.Position();
  if (end - start > kInt32Max) throw EStreamError("A versioned object of more than 2 GiB cannot be stored");
  FStream.SetPosition(start);
  WriteInt32(static_cast<std::int32_t>(end - start));
  FStream.SetPosition(end);
}

void TStreamHelper::LoadVersionedObject(IVersionedStreamPersist& Obj) {
  std::int32_t version = ReadInt32();
  std::int64_t start = FStream.Position();
  std::int32_t length = ReadInt32();
  Obj.ReadFromStream(FStream, version);
  std::int64_t end = start + length;
  if (FStream.Position() > end) throw Exception("");
  FStream.SetPosition(end);
}

void TStreamHelper::WriteEmptyBuffer(std::int32_t BufSize) {
  static constexpr std::uint8_t kZeros[4096] = {};
  for (std::int32_t left = BufSize; left > 0;) {
    std::int32_t block = std::min<std::int32_t>(left, sizeof kZeros);
    FStream.WriteBuffer(kZeros, block);
    left -= block;
  }
}

void TStreamHelper::SkipBuffer(std::int32_t BufSize) { FStream.Seek(BufSize, soCurrent); }

// --- variants ----------------------------------------------------------------------------------

void TStreamHelper::WriteVariant(const Variant& Value) {
  CheckWritable(Value, 0);
  WriteVariantChecked(Value);
}

void TStreamHelper::WriteVariantChecked(const Variant& Value) {
  TVarType type = Value.VarType();
  WriteInt32(type);
  if (Value.IsArray()) {
    WriteInt32(Value.DimCount());
    for (int d = 0; d < Value.DimCount(); ++d) WriteInt32(Value.Bounds(d).LowBound);
    for (int d = 0; d < Value.DimCount(); ++d) WriteInt32(Value.Bounds(d).HighBound);
    if (IsBulkElementType(Value.ElementType())) {
      auto data = Value.ArrayData();
      WriteInt32(static_cast<std::int32_t>(data.size()));
      FStream.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    } else {
      for (const auto& element : Value.Elements()) WriteVariantChecked(element);
    }
    return;
  }
  switch (type) {
    case varEmpty:
    case varNull: break;
    case varOleStr: {
      std::u16string text = Value.AsUtf16();
      if (text.size() > static_cast<std::size_t>(kInt32Max)) throw EWriteError("Stream write error");
      WriteInt32(static_cast<std::int32_t>(text.size()));
      FStream.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size() * sizeof(char16_t)));
      break;
    }
    case varString: WriteString(Value.AsString()); break;
    default: FStream.WriteBuffer(Value.ValueBytes().data(), VarTypeSize(type));
  }
}

Variant TStreamHelper::ReadVariant() { return ReadVariantAt(0); }

Variant TStreamHelper::ReadVariantAt(int Depth) {
  auto code = static_cast<std::uint32_t>(ReadInt32());
  if (code & ~std::uint32_t{varTypeMask | varArray}) RaiseUnsupportedVariant(code);  // by-reference and unknown bits
  if (code & varArray) return ReadVariantArray(code, Depth);
  auto type = static_cast<TVarType>(code);
  switch (type) {
    case varEmpty: return Variant();
    case varNull: return Variant::Null();
    case varOleStr: {
      std::int32_t count = ReadInt32();
      if (count < 0) RaiseReadError();
      return Variant::FromOleStr(ReadBoundedUtf16(FStream, count));
    }
    case varString: return Variant(ReadString());
    case varDispatch:
    case varVariant:
    case varUnknown: RaiseUnsupportedVariant(code);
    default: {
      if (type > varInt64) RaiseUnsupportedVariant(code);
      std::array<std::uint8_t, 8> bytes{};
      FStream.ReadBuffer(bytes.data(), VarTypeSize(type));
      return Variant::FromBytes(type, bytes);
    }
  }
}

Variant TStreamHelper::ReadVariantArray(std::uint32_t Code, int Depth) {
  auto elementType = static_cast<TVarType>(Code & varTypeMask);
  if (!IsArrayElementType(elementType)) RaiseUnsupportedVariant(Code);
  if (Depth >= kMaxVariantNesting) RaiseInvalidArray(Format("nested deeper than %d levels", kMaxVariantNesting));

  std::int32_t dims = ReadInt32();
  if (dims < 1 || dims > kMaxVarArrayDims) RaiseInvalidArray(Format("%d dimensions", dims));
  std::vector<TVarArrayBound> bounds(static_cast<std::size_t>(dims));
  for (auto& b : bounds) b.LowBound = ReadInt32();
  for (auto& b : bounds) b.HighBound = ReadInt32();
  bool anyEmpty = false;
  for (const auto& b : bounds) {
    if (b.ElementCount() < 0) RaiseInvalidArray(Format("bounds %d..%d", b.LowBound, b.HighBound));
    anyEmpty = anyEmpty || b.ElementCount() == 0;
  }

  // Each element takes at least its data or, one by one, its type code: no more can be there
  // than the bytes left allow.
  bool bulk = IsBulkElementType(elementType);
  std::int64_t elementBytes = bulk ? VarTypeSize(elementType) : 4;
  std::int64_t left = StreamBytesLeft(FStream);
  std::int64_t limit = (left >= 0 ? left : std::int64_t{kInt32Max}) / elementBytes;
  std::int64_t total = anyEmpty ? 0 : 1;
  for (const auto& b : bounds) {
    if (total == 0) break;
    if (b.ElementCount() > limit / total)
      RaiseInvalidArray(left >= 0 ? Format("more elements than the %d bytes left in the stream hold", left)
                                  : std::string("more than 2 GiB of elements"));
    total *= b.ElementCount();
  }

  if (bulk) {
    std::int32_t stored = ReadInt32();
    std::int64_t expected = total * elementBytes;
    if (stored != expected)
      RaiseInvalidArray(Format("%d bytes of data stored for %d bytes of elements", stored, expected));
    return Variant::CreateArray(std::move(bounds), elementType, ToBytes(ReadBoundedBytes(FStream, expected)));
  }
  std::vector<Variant> elements;
  elements.reserve(static_cast<std::size_t>(std::min<std::int64_t>(total, 4096)));
  for (std::int64_t i = 0; i < total; ++i) {
    Variant element = ReadVariantAt(Depth + 1);
    if (elementType != varVariant && element.VarType() != elementType)
      RaiseInvalidArray(Format("an element of type %s in an array of %s", IntToHex(element.VarType(), 4),
                               IntToHex(elementType, 4)));
    elements.push_back(std::move(element));
  }
  return Variant::CreateArray(std::move(bounds), elementType, std::move(elements));
}

// --- whole stream ------------------------------------------------------------------------------

void TStreamHelper::LoadFromFile(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyNone);
  FStream.SetPosition(0);
  FStream.CopyFrom(file, 0);
  FStream.SetSize(FStream.Position());
}

void TStreamHelper::LoadFromStream(TStream& ASource) {
  if (auto* memory = dynamic_cast<TMemoryStream*>(&FStream)) {
    std::int64_t size = ASource.Size();
    memory->SetSize(size);
    ASource.SetPosition(0);
    if (size > 0) ASource.ReadBuffer(memory->Memory(), size);
    memory->SetPosition(size);
    return;
  }
  FStream.SetSize(0);
  FStream.SetPosition(0);
  FStream.CopyFrom(ASource, 0);
}

std::vector<std::uint8_t> TStreamHelper::GetAsBytes() {
  std::int64_t position = FStream.Position();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(FStream.Size()));
  FStream.SetPosition(0);
  FStream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  FStream.SetPosition(position);
  return bytes;
}

void TStreamHelper::SetAsBytes(std::span<const std::uint8_t> Value) {
  FStream.SetSize(0);
  FStream.SetPosition(0);
  FStream.WriteBuffer(Value.data(), static_cast<std::int64_t>(Value.size()));
}

bool TStreamHelper::EOS() { return FStream.Size() == FStream.Position(); }

// --- string lists and bytes streams -------------------------------------------------------------

namespace {
std::string FormatArgs(std::string_view fmt, std::initializer_list<TFormatArg> args) {
  std::vector<kv::detail::FormatArg> values;
  values.reserve(args.size());
  for (const auto& a : args) values.push_back(a.Arg());
  return kv::detail::FormatImpl(fmt, values);
}
}  // namespace

int TStringsHelper::AddFmt(std::string_view Fmt, std::initializer_list<TFormatArg> Args, std::any Obj) {
  return FList.AddObject(FormatArgs(Fmt, Args), std::move(Obj));
}

int TStringsHelper::AddFmt(std::string_view Fmt, std::initializer_list<TFormatArg> Args) {
  return FList.Add(FormatArgs(Fmt, Args));
}

void TStringsHelper::AddNameValue(std::string_view Name, std::string_view Value) {
  FList.Add(Format("%s%s%s", Name, std::string(1, FList.NameValueSeparator()), Value));
}

std::vector<std::uint8_t> BytesOfStream(std::unique_ptr<TBytesStream> Stream) { return Stream->Bytes(); }
