// A base's description read from arbitrary bytes. A description that reads is reported without
// fault, and one whose code and names the writer can hold writes and reads back the same.

#include <cstdint>
#include <cstring>

#include "Common.Filer.h"
#include "FuzzSupport.h"
#include "NBData.Region.Types.h"
#include "platform/CodePages.h"

namespace {
std::string Bytes(TMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

bool WritableText(const std::string& text) { return platform::AnsiToUtf8(platform::Utf8ToAnsi(text)) == text; }

bool Writable(const TNB_InfoStruct& info) {
  return info.Code.Code >= 0 && info.Code.Code <= 99999 && WritableText(info.FComment) &&
         WritableText(info.RegionName) && WritableText(info.Creator) && WritableText(info.DistrictName) &&
         WritableText(info.DistrictSign) && WritableText(info.OpenMask) && WritableText(info.RootName);
}

bool SameDescription(const TNB_InfoStruct& a, const TNB_InfoStruct& b) {
  return a.Comment() == b.FComment && a.SysVersion == b.SysVersion && a.Code.IsSame(b.Code) &&
         a.RegionName == b.RegionName && std::memcmp(&a.CreationDate, &b.CreationDate, sizeof(double)) == 0 &&
         a.Creator == b.Creator && a.Publidher == b.Publidher && a.DistrictName == b.DistrictName &&
         a.DistrictSign == b.DistrictSign && a.OpenMask == b.OpenMask && a.RootName == b.RootName &&
         a.Year == b.Year && a.ReleaseNumber == b.ReleaseNumber;
}

void CheckReport(const TNB_InfoStruct& info) {
  info.GetPropsStrings();
  info.Code.DBCode("NB", "oxd5");
  info.Code.DefaultTitle();
  info.Code.IsMTSNCode();
}

void CheckRoundTrip(const TNB_InfoStruct& info) {
  if (!Writable(info)) return;
  TMemoryStream stream;
  info.SaveToStream(stream);
  stream.SetPosition(0);
  TNB_InfoStruct back;
  back.LoadFromStream(stream);
  if (!SameDescription(info, back)) FuzzFailure("description does not read back");
}

std::string Saved(const TNB_InfoStruct& info) {
  TMemoryStream stream;
  info.SaveToStream(stream);
  return Bytes(stream);
}

// The ten fields of an older writer, then the groups asked for.
std::string Older(int groups) {
  TMemoryStream stream;
  TOxFiler filer(stream);
  filer.Write_Byte(TNB_InfoStruct::kSignature);
  filer.Write_Byte(1);
  filer.Write_Byte(8);
  filer.WriteInt32(12);
  filer.Write_Byte(4);
  filer.WriteString("Тверская область");
  filer.Write_Byte(kpl2001);
  filer.WriteDbl64(45000.5);
  filer.WriteString("Иванов");
  filer.WriteString("");
  if (groups >= 1) {
    filer.WriteString("ЦФО");
    filer.WriteString("Ц");
    filer.Write_Byte(nbpTerritorial);
  }
  if (groups >= 2) {
    filer.SetUseUnicodeStrings(true);  // readers take either string form
    filer.WriteString("0812?");
    filer.WriteString("Корень");
    filer.WriteInt16(2004);
  }
  return Bytes(stream);
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
  TNB_InfoStruct full;
  full.Code.Code = 77123;
  full.Code.Year = kpl1984;
  full.RegionName = "Москва";
  full.CreationDate = 45123.75;
  full.Creator = "Петров";
  full.FComment = "Нормы";
  full.Publidher = nbpTrade;
  full.DistrictName = "ЦФО";
  full.ReleaseNumber = 17;
  return {Saved(full), Saved(TNB_InfoStruct()), Older(0), Older(1), Older(2)};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  stream.SetPosition(0);
  TNB_InfoStruct info;
  try {
    info.LoadFromStream(stream);
  } catch (const EAssertionFailed&) {
    FuzzFailure("assertion on input data");
  } catch (const Exception&) {
    return 0;  // malformed input is reported by an exception
  }
  CheckReport(info);
  CheckRoundTrip(info);
  return 0;
}
