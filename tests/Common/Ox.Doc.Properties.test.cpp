#include "Ox.Doc.Properties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Runtime.Streams.h"

namespace {
std::string Saved(const TOxDocCommonProperties& Props) {
  TBytesStream stream;
  Props.SaveToStream(stream);
  std::vector<std::uint8_t> bytes = stream.Bytes();
  return std::string(bytes.begin(), bytes.end());
}

TOxDocCommonProperties Loaded(const std::string& Bytes) {
  TBytesStream stream(std::vector<std::uint8_t>(Bytes.begin(), Bytes.end()));
  TOxDocCommonProperties props;
  props.Attribs.ObjName = "left over";
  props.LoadFromStream(stream);
  return props;
}

// "0.1" of the build becomes "0.1.0.0".
std::string BuildVersion() {
  std::string version = KV_PROJECT_VERSION;
  for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots) version += ".0";
  return version;
}
}  // namespace

TEST(DocProperties, EmptyTextsLeaveNoLineAndTheProgramVersionClosesTheText) {
  TOxDocCommonProperties props = TOxDocCommonProperties::Create(sdtCennik);
  EXPECT_EQ(Saved(props), "DocType=sdtCennik\r\nRevision=0\r\nCrypted=False\r\nSignType=0\r\nOKveloVersion=" +
                              BuildVersion() + "\r\n");
  EXPECT_EQ(OKveloProgramVersion().VerAsString(), BuildVersion());
}

TEST(DocProperties, AFullRecordIsWrittenInOrderInWindows1251AndReadBack) {
  TOxDocCommonProperties props = TOxDocCommonProperties::Create(sdtWorksVolumes);
  props.Attribs = {"1", "2", "Школа", "Подрядчик", "Склад\r\nвторой", "Описание", "Первая\r\nвторая"};
  props.Total = "100.5";
  props.TotalDetails = {"pz", "oz", "em", "zm", "mt", "tz", "tm", "nr", "sp"};
  props.OsDetails = {"sr", "mr", "ob", "pr"};
  props.RegionInfo = {"Москва", "1"};
  props.OXFXData = {7, true, 2};

  const std::string text = Saved(props);
  EXPECT_EQ(text,
            "DocType=sdtWorksVolumes\r\nAttribs.LocNum=1\r\nAttribs.RegNum=2\r\nAttribs.ObjName=\xD8\xEA\xEE\xEB\xE0\r\n"
            "Attribs.ConName=\xCF\xEE\xE4\xF0\xFF\xE4\xF7\xE8\xEA\r\nAttribs.StgName=\xD1\xEA\xEB\xE0\xE4#13#10\xE2\xF2\xEE\xF0\xEE\xE9\r\n"
            "Attribs.Comment=\xCF\xE5\xF0\xE2\xE0\xFF#13#10\xE2\xF2\xEE\xF0\xE0\xFF\r\nAttribs.Description=\xCE\xEF\xE8\xF1\xE0\xED\xE8\xE5\r\n"
            "Total=100.5\r\nTotalDetails.Pz=pz\r\nTotalDetails.Oz=oz\r\nTotalDetails.Em=em\r\nTotalDetails.Zm=zm\r\n"
            "TotalDetails.Mt=mt\r\nTotalDetails.Tz=tz\r\nTotalDetails.Tm=tm\r\nTotalDetails.Nr=nr\r\nTotalDetails.Sp=sp\r\n"
            "OsDetails.Sr=sr\r\nOsDetails.Mr=mr\r\nOsDetails.Ob=ob\r\nOsDetails.Pr=pr\r\n"
            "RegionInfo.RegionName=\xCC\xEE\xF1\xEA\xE2\xE0\r\nRegionInfo.ZoneName=1\r\n"
            "Revision=7\r\nCrypted=True\r\nSignType=2\r\nOKveloVersion=" +
                BuildVersion() + "\r\n");

  // Everything comes back except the storage name, whose escapes stay in the text.
  TOxDocCommonProperties expected = props;
  expected.Attribs.StgName = "Склад#13#10второй";
  EXPECT_EQ(Loaded(text), expected);
}

TEST(DocProperties, ValuesAreReadLeniently) {
  struct Case {
    std::string Text;
    TKveloDocumentType DocType;
    std::int32_t Revision;
    bool Crypted;
    std::uint8_t SignType;
  };
  const Case cases[] = {
      {"", sdtKvelo, 1, false, 0},
      {"doctype=SDTINDEXES\r\nREVISION=5", sdtIndexes, 5, false, 0},
      {"DocType=7\r\nRevision=x", sdtKvelo, 1, false, 0},
      {"DocType=sdtnbdoc\r\nSignType=300\r\nCrypted=1", sdtNBDoc, 1, true, 44},
      {"Crypted=yes\r\nSignType=-1", sdtKvelo, 1, false, 255},
      {"Crypted=TRUE\r\nCrypted=False", sdtKvelo, 1, true, 0},  // the first line of a name counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    TOxDocCommonProperties props = Loaded(c.Text);
    EXPECT_EQ(props.DocType, c.DocType);
    EXPECT_EQ(props.OXFXData.Revision, c.Revision);
    EXPECT_EQ(props.OXFXData.Crypted, c.Crypted);
    EXPECT_EQ(props.OXFXData.SignType, c.SignType);
    EXPECT_EQ(props.Attribs.ObjName, "");  // the record was cleared first
  }
}

TEST(DocProperties, TextIsReadInTheEncodingItsMarkNamesAndSplitAtAnyLineBreak) {
  const std::string name = "Школа";  // UTF-8
  const std::u16string units = u"Attribs.ObjName=Школа\nTotal=a=b";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t u : units) {
    le += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    be += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
  }
  const std::string cases[] = {
      "\xEF\xBB\xBF" "Attribs.ObjName=" + name + "\rTotal=a=b",
      le,
      be,
      "Attribs.ObjName=\xD8\xEA\xEE\xEB\xE0\r\nTotal=a=b\r\n",
  };
  for (const std::string& bytes : cases) {
    TOxDocCommonProperties props = Loaded(bytes);
    EXPECT_EQ(props.Attribs.ObjName, name);
    EXPECT_EQ(props.Total, "a=b");
  }
}

TEST(DocProperties, LineBreakEscapesAndTypeNames) {
  EXPECT_EQ(EscapeLineBreaks("a\r\nb\nc\r"), "a#13#10b#10c#13");
  // What a user typed as "#13" cannot be told from an escape.
  EXPECT_EQ(UnescapeLineBreaks("a#13#10b #13"), "a\r\nb \r");
  EXPECT_EQ(DocTypeName(sdtProjectKvelo), "sdtProjectKvelo");
  EXPECT_EQ(DocTypeFromName("SdtResSummary"), sdtResSummary);
  EXPECT_EQ(DocTypeFromName("sdtNothing"), sdtKvelo);
}
