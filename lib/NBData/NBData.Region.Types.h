#pragma once
// Region codes of normative bases and the description a base file carries of itself.
//
// A region code is area * 1000 + ID * 10 + additional code (0..99999) with a price level; its
// text is a price-level letter and five digits ("100001", "NB100001.oxd5"). Descriptions come from
// base files, so every stored number may be out of its range: nothing here indexes a table with
// one, and arithmetic on them wraps instead of overflowing.

#include <cstdint>
#include <string>
#include <string_view>

#include "Common.Classes.h"
#include "Runtime.DateTime.h"
#include "Runtime.Exceptions.h"
#include "Runtime.StringList.h"
#include "Runtime.Streams.h"

KV_DECLARE_EXCEPTION(ERegionCodeError, Exception);

enum TKveloPriceLevel : std::uint8_t { kplNone = 0, kpl1984 = 1, kpl2001 = 2, kpl1991 = 3 };
// kpl1984..kpl2001 by intent; a stored one may be anything.
using TNBYear = TKveloPriceLevel;
using TNBAreaCode = std::uint8_t;       // 0..99
using TNBRegionAddCode = std::uint8_t;  // 0..9

enum TOXDStreamCodeKind { sckGESN = 0, sckTER = 1, sckCompressOnly = 2 };

enum TNBPublisher : std::uint8_t {
  nbpUnknown = 0,
  nbpFederal = 1,
  nbpTerritorial = 2,
  nbpTrade = 3,
  nbpIndividual = 4,
};

// The price level's letter in a code text (" " for kplNone) and its year ("" for kplNone); levels
// outside the table answer as kplNone.
std::string_view PriceLevelCodeLetter(TKveloPriceLevel Level);
std::string_view PriceLevelYearText(TKveloPriceLevel Level);
// "Неизвестен", "Федеральный", ...; "Неизвестен" also for a kind above nbpIndividual.
std::string_view PublisherName(TNBPublisher Publisher);
// The date in the user's short date format; "" for a value that names no calendar day (a
// damaged description), which the date formatting cannot take.
std::string BaseDateToStr(TDateTime Value);
bool IsCalendarDateTime(TDateTime Value);

struct TNBRegionCode {
  std::int32_t Code = 0;  // negative: no code
  TNBYear Year = kplNone;

  // ERegionCodeError when the decimal text of ACode is longer than five characters.
  void SetCode(std::int32_t ACode);
  // (AreaCode and 0x7F) * 1000 + ID * 10 + RegionAddCode.
  void SetCodeFromParts(TNBAreaCode AreaCode, std::int32_t ID, TNBRegionAddCode RegionAddCode);
  static std::int32_t MakeIntCode(TNBAreaCode Area, std::int32_t ID, TNBRegionAddCode Addcode);

  std::int32_t AreaCode() const { return Code / 1000; }
  std::int32_t District() const { return ExtractDistrict(Code); }
  std::int32_t AddCode() const { return ExtractAddCode(Code); }
  static std::int32_t ExtractDistrict(std::int32_t ACode) { return ACode % 1000; }
  static std::int32_t ExtractAddCode(std::int32_t ACode) { return ACode % 10; }

  // Prefix, the price-level letter and at least five digits, then Extention (with a "." put in
  // front when it has none) unless it is blank; "" for a negative code.
  std::string DBCode(std::string_view Prefix, std::string_view Extention) const;
  // The code text without prefix and extension as a number; 0 when it is none.
  std::int32_t IntDBCode() const;

  // Parses "1nnnnn" or "4nnnnn", optionally after "nb" in any case; characters after the sixth
  // are ignored. ERegionCodeError for a text shorter than six characters or another price-level
  // letter; EConvertError when the five digits are not a number.
  void SetDBCode(std::string_view ADBCode);
  static TNBRegionCode FromString(std::string_view ADBCode);
  static TNBRegionCode MakeFromFullID(std::uint32_t FullID);
  // The file name part of a path (after the last "\" or "/") through SetDBCode, "NB" dropped
  // first. ERegionCodeError for a name shorter than two characters.
  void FillFromFileName(std::string_view FileName);

  // How the base's streams are coded; an assertion failure for a level other than 1984 and 2001.
  TOXDStreamCodeKind GetOXDCodeKind() const;
  bool IsMTSNCode() const;  // area 3, 7, 8 or 9
  // 1984, 2001 (1998 in areas 7 to 9); 0 for any other price level.
  std::int32_t DefaultYearValue() const;
  std::string DefaultTitle() const;    // "База (код %d)" with IntDBCode
  std::string DefaultComment() const;  // "База %dг." with DefaultYearValue
  std::string DefaultRootName() const { return DefaultComment(); }
  static std::string PriceLeveledBaseCaption(TKveloPriceLevel PriceLevel);  // "База %sг."
  // "AADD?" from the area and District div 10, or "AA???" when that is 0.
  std::string DefaultOpenMask() const;

  bool IsSame(const TNBRegionCode& Other) const { return Code == Other.Code && Year == Other.Year; }
  // Codes with the same text are equal.
  friend bool operator==(const TNBRegionCode& A, const TNBRegionCode& B) { return A.IntDBCode() == B.IntDBCode(); }
};

// The description of a normative base, the "Info" item of its file.
struct TNB_InfoStruct {
  static constexpr std::uint8_t kSignature = 241;

  std::string FComment;
  std::uint8_t SysVersion = 0;  // kept for the writer; not interpreted
  TNBRegionCode Code;
  std::string RegionName;
  TDateTime CreationDate = 0;
  std::string Creator;
  TNBPublisher Publidher = nbpUnknown;
  std::string DistrictName;
  std::string DistrictSign;
  std::string OpenMask;
  std::string RootName;
  std::uint16_t Year = 0;
  std::uint32_t ReleaseNumber = 0;  // the base's version

  // FComment, or Code.DefaultComment when it is blank.
  std::string Comment() const;
  std::int32_t FullRegionID() const { return Code.Code; }

  // The filer form: ten fields, then the optional groups A (district, publisher), B (open mask,
  // root name, year) and C (release number). Writing writes all of them; reading takes a
  // description that ends after field 10 or any group, and fills the open mask, the year and the
  // root name from the code when they are blank. EOrvelFilerInvalidSignature for another first
  // byte, EReadError for one cut inside a field.
  void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream) const;

  // "Версия базы", "Регион", "Код базы", "Издатель", "Дата создания", "Тип базы", "Округ" as
  // name-value lines of a new list.
  TSharedPtr<TStringList> GetPropsStrings() const;
};
