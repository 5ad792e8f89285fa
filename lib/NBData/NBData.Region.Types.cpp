#include "NBData.Region.Types.h"

#include <cmath>

#include "Common.Filer.h"
#include "Common.SysUtils.h"
#include "Runtime.Strings.h"
#include "platform/FormatSettings.h"

namespace {
const char* const SInvalidRegionCode = "Некорректный код (%s) базы";
const char* const SUnexpectedPriceLevel = "Неожиданный уровень цен (%d) у кода региона %d";

struct TPriceLevelRow {
  std::string_view Letter;
  std::string_view YearText;
};
constexpr TPriceLevelRow kPriceLevels[] = {
    {" ", ""},      // kplNone
    {"4", "1984"},  // kpl1984
    {"1", "2001"},  // kpl2001
    {"9", "1991"},  // kpl1991
};

const TPriceLevelRow& PriceLevelRow(TKveloPriceLevel Level) {
  return Level < std::size(kPriceLevels) ? kPriceLevels[Level] : kPriceLevels[kplNone];
}

constexpr std::string_view kPublisherNames[] = {"Неизвестен", "Федеральный", "Территориальный", "Отраслевой",
                                                "Индивидуальный"};

// 0001-01-01 and the day after 9999-12-31, the calendar the date formatting knows.
constexpr double kMinDateTime = -693593.0;
constexpr double kMaxDateTimeBound = 2958466.0;
}  // namespace

std::string_view PriceLevelCodeLetter(TKveloPriceLevel Level) { return PriceLevelRow(Level).Letter; }
std::string_view PriceLevelYearText(TKveloPriceLevel Level) { return PriceLevelRow(Level).YearText; }

std::string_view PublisherName(TNBPublisher Publisher) {
  return Publisher < std::size(kPublisherNames) ? kPublisherNames[Publisher] : kPublisherNames[nbpUnknown];
}

bool IsCalendarDateTime(TDateTime Value) {
  return std::isfinite(Value) && Value >= kMinDateTime && Value < kMaxDateTimeBound;
}

std::string BaseDateToStr(TDateTime Value) {
  return IsCalendarDateTime(Value) ? DateToStr(Value, platform::FormatSettings()) : std::string();
}

// --- TNBRegionCode -----------------------------------------------------------------------------

void TNBRegionCode::SetCode(std::int32_t ACode) {
  const std::string text = IntToStr(ACode);
  if (text.size() > 5) throw ERegionCodeError(Format(SInvalidRegionCode, text));
  Code = ACode;
}

void TNBRegionCode::SetCodeFromParts(TNBAreaCode AreaCode, std::int32_t ID, TNBRegionAddCode RegionAddCode) {
  Code = MakeIntCode(AreaCode, ID, RegionAddCode);
}

std::int32_t TNBRegionCode::MakeIntCode(TNBAreaCode Area, std::int32_t ID, TNBRegionAddCode Addcode) {
  // The ID comes from files as any 32-bit number: wrap as the stored code always did.
  const std::uint32_t value = static_cast<std::uint32_t>(Area & 0x7F) * 1000u + static_cast<std::uint32_t>(ID) * 10u +
                              static_cast<std::uint32_t>(Addcode);
  return static_cast<std::int32_t>(value);
}

std::string TNBRegionCode::DBCode(std::string_view Prefix, std::string_view Extention) const {
  if (Code < 0) return {};
  std::string result = Format("%s%s%.5d", Prefix, PriceLevelCodeLetter(Year), Code);
  if (!IsEmptyString(Extention, true)) {
    if (Extention.front() != '.') result += '.';
    result += Extention;
  }
  return result;
}

std::int32_t TNBRegionCode::IntDBCode() const { return StrToIntDef(DBCode("", ""), 0); }

void TNBRegionCode::SetDBCode(std::string_view ADBCode) {
  std::u16string text = Utf8ToUtf16(ADBCode);
  if (text.size() < 6) throw ERegionCodeError(Format(SInvalidRegionCode, ADBCode));
  if ((text[0] == u'n' || text[0] == u'N') && (text[1] == u'b' || text[1] == u'B')) text.erase(0, 2);
  TNBYear level;
  switch (text[0]) {
    case u'1': level = kpl2001; break;
    case u'4': level = kpl1984; break;
    default: throw ERegionCodeError(Format(SInvalidRegionCode, Utf16ToUtf8(text)));
  }
  Code = StrToInt(Utf16ToUtf8(text.substr(1, 5)));
  Year = level;
}

TNBRegionCode TNBRegionCode::FromString(std::string_view ADBCode) {
  TNBRegionCode code;
  code.SetDBCode(ADBCode);
  return code;
}

TNBRegionCode TNBRegionCode::MakeFromFullID(std::uint32_t FullID) { return FromString(IntToStr(FullID)); }

void TNBRegionCode::FillFromFileName(std::string_view FileName) {
  std::string_view name = FileName;
  // Names come from this system's listings and from Windows paths alike.
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (Utf16Length(name) < 2) throw ERegionCodeError(Format(SInvalidRegionCode, name));
  if (SameText(name.substr(0, 2), "NB")) name.remove_prefix(2);
  SetDBCode(name);
}

TOXDStreamCodeKind TNBRegionCode::GetOXDCodeKind() const {
  switch (Year) {
    case kpl1984: return sckCompressOnly;
    case kpl2001: return Code != 0 ? sckTER : sckGESN;
    default: ASSERT(false, Format(SUnexpectedPriceLevel, static_cast<int>(Year), Code)); return sckGESN;
  }
}

bool TNBRegionCode::IsMTSNCode() const {
  const std::int32_t area = AreaCode();
  return area == 3 || area == 7 || area == 8 || area == 9;
}

std::int32_t TNBRegionCode::DefaultYearValue() const {
  switch (Year) {
    case kpl1984: return 1984;
    case kpl2001: return AreaCode() >= 7 && AreaCode() <= 9 ? 1998 : 2001;
    default: return 0;
  }
}

std::string TNBRegionCode::DefaultTitle() const { return Format("База (код %d)", IntDBCode()); }

std::string TNBRegionCode::DefaultComment() const { return Format("База %dг.", DefaultYearValue()); }

std::string TNBRegionCode::PriceLeveledBaseCaption(TKveloPriceLevel PriceLevel) {
  return Format("База %sг.", PriceLevelYearText(PriceLevel));
}

std::string TNBRegionCode::DefaultOpenMask() const {
  const std::int32_t area = AreaCode() & 0x7F;
  const std::int32_t id = District() / 10;
  return id != 0 ? Format("%.2d%.2d?", area, id) : Format("%.2d???", area);
}

// --- TNB_InfoStruct ----------------------------------------------------------------------------

std::string TNB_InfoStruct::Comment() const { return IsEmptyString(FComment, true) ? Code.DefaultComment() : FComment; }

void TNB_InfoStruct::LoadFromStream(TStream& Stream) {
  TOxFiler filer(Stream);
  *this = TNB_InfoStruct();
  filer.CheckSignature(kSignature);
  SysVersion = filer.Read_Byte();
  const TNBAreaCode area = filer.Read_Byte();
  const std::int32_t id = filer.ReadInt32();
  const TNBRegionAddCode addCode = filer.Read_Byte();
  RegionName = filer.ReadString();
  Code.SetCodeFromParts(area, id, addCode);
  Code.Year = static_cast<TNBYear>(filer.Read_Byte());
  CreationDate = filer.ReadDbl64();
  Creator = filer.ReadString();
  FComment = filer.ReadString();
  if (!filer.IsEndOfStream()) {
    DistrictName = filer.ReadString();
    DistrictSign = filer.ReadString();
    Publidher = static_cast<TNBPublisher>(filer.Read_Byte());
    if (!filer.IsEndOfStream()) {
      OpenMask = filer.ReadString();
      RootName = filer.ReadString();
      Year = static_cast<std::uint16_t>(filer.ReadInt16());
    }
  }
  if (IsEmptyString(OpenMask, true)) OpenMask = Code.DefaultOpenMask();
  if (Year == 0) Year = static_cast<std::uint16_t>(Code.DefaultYearValue());
  if (IsEmptyString(RootName, true)) RootName = Code.DefaultComment();
  if (!filer.IsEndOfStream()) ReleaseNumber = static_cast<std::uint32_t>(filer.ReadInt32());
}

void TNB_InfoStruct::SaveToStream(TStream& Stream) const {
  TOxFiler filer(Stream);
  filer.Write_Byte(kSignature);
  filer.Write_Byte(SysVersion);
  filer.Write_Byte(static_cast<std::uint8_t>(Code.AreaCode()));
  filer.WriteInt32(Code.District() / 10);
  filer.Write_Byte(static_cast<std::uint8_t>(Code.AddCode()));
  filer.WriteString(RegionName);
  filer.Write_Byte(Code.Year);
  filer.WriteDbl64(CreationDate);
  filer.WriteString(Creator);
  filer.WriteString(Comment());
  filer.WriteString(DistrictName);
  filer.WriteString(DistrictSign);
  filer.Write_Byte(Publidher);
  filer.WriteString(OpenMask);
  filer.WriteString(RootName);
  filer.WriteInt16(static_cast<std::int16_t>(Year));
  filer.WriteInt32(static_cast<std::int32_t>(ReleaseNumber));
}

TSharedPtr<TStringList> TNB_InfoStruct::GetPropsStrings() const {
  TSharedPtr<TStringList> list(new TStringList);
  const std::string separator(1, list->NameValueSeparator());
  auto add = [&](std::string_view name, std::string_view value) {
    list->Add(std::string(name) + separator + std::string(value));
  };
  add("Версия базы", IntToStr(ReleaseNumber));
  add("Регион", RegionName);
  add("Код базы", Code.DBCode("NB", ""));
  add("Издатель", PublisherName(Publidher));
  add("Дата создания", BaseDateToStr(CreationDate));
  add("Тип базы", std::string(PriceLevelYearText(Code.Year)) + " года");
  add("Округ", DistrictName);
  return list;
}
