#include "SysInfo.Core.KveloDBase.h"

#include "Common.OXSimpleDBase64.h"
#include "Common.SysUtils.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"

namespace {
const char* const kFirstLinePrefix = "      - ";
const char* const kNextLinePrefix = "\r\n        - ";

std::string DescriptionLine(const char* prefix, std::string_view name, std::string_view value) {
  return std::string(prefix) + std::string(name) + ": " + std::string(value);
}

std::string PriceLevelTypeText(TKveloPriceLevel Level) {
  switch (Level) {
    case kpl1984: return "1984 года";
    case kpl2001: return "2001 года";
    default: return "Неизвестный тип";
  }
}
}  // namespace

void ReadBaseInfo(const std::string& APath, TNB_InfoStruct& Info) {
  TMemoryStream stream;
  TOXSimpleDBaseReader64::FastGetItemData(APath, "Info", stream);
  stream.SetPosition(0);
  Info.LoadFromStream(stream);
}

std::string BaseDescription(const std::string& APath) {
  TNB_InfoStruct info;
  ReadBaseInfo(APath, info);
  // The text report names no publisher it does not know.
  const std::string_view publisher = info.Publidher <= nbpIndividual ? PublisherName(info.Publidher) : "";
  return DescriptionLine(kFirstLinePrefix, "Путь", APath) +
         DescriptionLine(kNextLinePrefix, "Наименование", RecodeAs1251(info.RegionName)) +
         DescriptionLine(kNextLinePrefix, "Версия базы", IntToStr(info.ReleaseNumber)) +
         DescriptionLine(kNextLinePrefix, "Код базы", IntToStr(info.Code.IntDBCode())) +
         DescriptionLine(kNextLinePrefix, "Дата создания", BaseDateToStr(info.CreationDate)) +
         DescriptionLine(kNextLinePrefix, "Издатель", publisher) +
         DescriptionLine(kNextLinePrefix, "Тип базы", PriceLevelTypeText(info.Code.Year)) +
         DescriptionLine(kNextLinePrefix, "Округ", RecodeAs1251(info.DistrictName));
}

std::string BaseReadErrorDescription(const std::string& APath, std::string_view Message) {
  return DescriptionLine(kFirstLinePrefix, "Путь", APath) + DescriptionLine(kNextLinePrefix, "Ошибка чтения", Message);
}

std::string RecodeAs1251(const std::string& S) {
  if (platform::kAnsiCodePage == 1251) return S;
  return Win1251Encoding().GetString(TCodePageEncoding(platform::kAnsiCodePage).GetBytes(S));
}
