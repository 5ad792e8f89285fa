#include "Ox.Doc.Properties.h"

#include <vector>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"

#ifndef KV_PROJECT_VERSION
#error "KV_PROJECT_VERSION comes from the build (the project's version)"
#endif

namespace {
// How a field treats line breaks in the text.
enum class TLineBreaks { lbAsIs, lbEscaped, lbEscapedOnly };

template <class TRecord>
struct TNestedKey {
  const char* Name;
  std::string TRecord::*Field;
  TLineBreaks LineBreaks = TLineBreaks::lbAsIs;
};

// The storage name is escaped but read back as stored: documents saved so far keep their names
// exactly as earlier readers showed them.
const TNestedKey<TOxDocCommonPropertiesAttribs> kAttribKeys[] = {
    {"Attribs.LocNum", &TOxDocCommonPropertiesAttribs::LocNum},
    {"Attribs.RegNum", &TOxDocCommonPropertiesAttribs::RegNum},
    {"Attribs.ObjName", &TOxDocCommonPropertiesAttribs::ObjName},
    {"Attribs.ConName", &TOxDocCommonPropertiesAttribs::ConName},
    {"Attribs.StgName", &TOxDocCommonPropertiesAttribs::StgName, TLineBreaks::lbEscapedOnly},
    {"Attribs.Comment", &TOxDocCommonPropertiesAttribs::Comment, TLineBreaks::lbEscaped},
    {"Attribs.Description", &TOxDocCommonPropertiesAttribs::Description, TLineBreaks::lbEscaped},
};

const TNestedKey<TOxDocCommonPropertiesTotalDetails> kTotalKeys[] = {
    {"TotalDetails.Pz", &TOxDocCommonPropertiesTotalDetails::Pz},
    {"TotalDetails.Oz", &TOxDocCommonPropertiesTotalDetails::Oz},
    {"TotalDetails.Em", &TOxDocCommonPropertiesTotalDetails::Em},
    {"TotalDetails.Zm", &TOxDocCommonPropertiesTotalDetails::Zm},
    {"TotalDetails.Mt", &TOxDocCommonPropertiesTotalDetails::Mt},
    {"TotalDetails.Tz", &TOxDocCommonPropertiesTotalDetails::Tz},
    {"TotalDetails.Tm", &TOxDocCommonPropertiesTotalDetails::Tm},
    {"TotalDetails.Nr", &TOxDocCommonPropertiesTotalDetails::Nr},
    {"TotalDetails.Sp", &TOxDocCommonPropertiesTotalDetails::Sp},
};

const TNestedKey<TOxDocCommonPropertiesOsDetails> kOsKeys[] = {
    {"OsDetails.Sr", &TOxDocCommonPropertiesOsDetails::Sr},
    {"OsDetails.Mr", &TOxDocCommonPropertiesOsDetails::Mr},
    {"OsDetails.Ob", &TOxDocCommonPropertiesOsDetails::Ob},
    {"OsDetails.Pr", &TOxDocCommonPropertiesOsDetails::Pr},
};

const TNestedKey<TOxDocCommonPropertiesRegionInfo> kRegionKeys[] = {
    {"RegionInfo.RegionName", &TOxDocCommonPropertiesRegionInfo::RegionName},
    {"RegionInfo.ZoneName", &TOxDocCommonPropertiesRegionInfo::ZoneName},
};

template <class TRecord, std::size_t N>
void WriteKeys(TStringList& Lines, const TRecord& Record, const TNestedKey<TRecord> (&Keys)[N]) {
  for (const auto& key : Keys) {
    const std::string& value = Record.*key.Field;
    Lines.SetValue(key.Name, key.LineBreaks == TLineBreaks::lbAsIs ? value : EscapeLineBreaks(value));
  }
}

template <class TRecord, std::size_t N>
void ReadKeys(const TStringList& Lines, TRecord& Record, const TNestedKey<TRecord> (&Keys)[N]) {
  for (const auto& key : Keys) {
    std::string value = Lines.Values(key.Name);
    Record.*key.Field = key.LineBreaks == TLineBreaks::lbEscaped ? UnescapeLineBreaks(value) : std::move(value);
  }
}

// The text of the bytes: the encoding a byte-order mark names, else Windows-1251.
std::string DecodeText(const std::string& Bytes) {
  auto startsWith = [&](std::string_view mark) { return std::string_view(Bytes).substr(0, mark.size()) == mark; };
  if (startsWith("\xEF\xBB\xBF")) return Bytes.substr(3);
  const bool littleEndian = startsWith("\xFF\xFE");
  if (littleEndian || startsWith("\xFE\xFF")) {
    std::u16string units;
    units.reserve(Bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < Bytes.size(); i += 2) {
      const auto first = static_cast<unsigned char>(Bytes[i]);
      const auto second = static_cast<unsigned char>(Bytes[i + 1]);
      units.push_back(static_cast<char16_t>(littleEndian ? first | second << 8 : first << 8 | second));
    }
    return Utf16ToUtf8(units);
  }
  return Win1251Encoding().GetString(Bytes);
}

std::string ReadRest(TStream& Stream) {
  std::string bytes;
  char buffer[65536];
  for (std::int32_t n; (n = Stream.Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<std::size_t>(n));
  return bytes;
}
}  // namespace

TOxDocCommonProperties TOxDocCommonProperties::Create(TKveloDocumentType ADocType) {
  TOxDocCommonProperties result;
  result.DocType = ADocType;
  return result;
}

void TOxDocCommonProperties::Clear() { *this = TOxDocCommonProperties(); }

void TOxDocCommonProperties::SaveToStream(TStream& Stream) const {
  TStringList lines;
  lines.SetValue("DocType", DocTypeName(DocType));
  WriteKeys(lines, Attribs, kAttribKeys);
  lines.SetValue("Total", Total);
  WriteKeys(lines, TotalDetails, kTotalKeys);
  WriteKeys(lines, OsDetails, kOsKeys);
  WriteKeys(lines, RegionInfo, kRegionKeys);
  lines.SetValue("Revision", IntToStr(OXFXData.Revision));
  lines.SetValue("Crypted", BoolToStr(OXFXData.Crypted, true));
  lines.SetValue("SignType", IntToStr(OXFXData.SignType));
  lines.SetValue("OKveloVersion", OKveloProgramVersion().VerAsString());
  const std::string bytes = Win1251Encoding().GetBytes(lines.Text());
  Stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TOxDocCommonProperties::LoadFromStream(TStream& Stream) {
  Clear();
  TStringList lines;
  lines.SetText(DecodeText(ReadRest(Stream)));
  DocType = DocTypeFromName(lines.Values("DocType"));
  ReadKeys(lines, Attribs, kAttribKeys);
  Total = lines.Values("Total");
  ReadKeys(lines, TotalDetails, kTotalKeys);
  ReadKeys(lines, OsDetails, kOsKeys);
  ReadKeys(lines, RegionInfo, kRegionKeys);
  OXFXData.Revision = StrToIntDef(lines.Values("Revision"), 1);
  bool crypted = false;
  OXFXData.Crypted = TryStrToBool(lines.Values("Crypted"), crypted) && crypted;
  OXFXData.SignType = static_cast<std::uint8_t>(StrToIntDef(lines.Values("SignType"), 0) & 0xFF);
}

TDigitalFileVersionInfo OKveloProgramVersion() {
  static const TDigitalFileVersionInfo version = [] {
    TDigitalFileVersionInfo result;
    std::int32_t* parts[] = {&result.Major, &result.Minor, &result.Release, &result.Build};
    std::size_t index = 0;
    for (const std::string& part : SplitString(KV_PROJECT_VERSION, '.'))
      if (index < std::size(parts)) *parts[index++] = StrToIntDef(part, 0);
    return result;
  }();
  return version;
}

std::string DocTypeName(TKveloDocumentType Value) { return std::string(GetEnumName(Value)); }

TKveloDocumentType DocTypeFromName(std::string_view S) {
  for (TKveloDocumentType value : TEnumInfo<TKveloDocumentType>::Values)
    if (AnsiSameText(GetEnumName(value), S)) return value;
  return sdtKvelo;
}

std::string EscapeLineBreaks(std::string_view S) {
  return FastStringReplace(FastStringReplace(S, "\r", "#13", {rfReplaceAll}), "\n", "#10", {rfReplaceAll});
}

std::string UnescapeLineBreaks(std::string_view S) {
  return FastStringReplace(FastStringReplace(S, "#13", "\r", {rfReplaceAll}), "#10", "\n", {rfReplaceAll});
}
