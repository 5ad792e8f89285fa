#pragma once
// The common properties of an estimate document (TOxDocCommonProperties) and their text form:
// lines "Name=Value" ended by CR LF, in Windows-1251. Storages pass the record when documents are
// created or opened.

#include <cstdint>
#include <string>
#include <string_view>

#include "Common.SysUtils.h"
#include "Ox.Types.h"
#include "Runtime.Streams.h"

struct TOxDocCommonPropertiesAttribs {
  std::string LocNum;
  std::string RegNum;
  std::string ObjName;
  std::string ConName;
  std::string StgName;
  std::string Description;
  std::string Comment;

  friend bool operator==(const TOxDocCommonPropertiesAttribs&, const TOxDocCommonPropertiesAttribs&) = default;
};

// The parts of the total, each under its two-letter code.
struct TOxDocCommonPropertiesTotalDetails {
  std::string Pz, Oz, Em, Zm, Mt, Tz, Tm, Nr, Sp;

  friend bool operator==(const TOxDocCommonPropertiesTotalDetails&, const TOxDocCommonPropertiesTotalDetails&) = default;
};

struct TOxDocCommonPropertiesOsDetails {
  std::string Sr, Mr, Ob, Pr;

  friend bool operator==(const TOxDocCommonPropertiesOsDetails&, const TOxDocCommonPropertiesOsDetails&) = default;
};

struct TOxDocCommonPropertiesRegionInfo {
  std::string RegionName;
  std::string ZoneName;

  friend bool operator==(const TOxDocCommonPropertiesRegionInfo&, const TOxDocCommonPropertiesRegionInfo&) = default;
};

// Facts about the stored form of the document.
struct TOXFXData {
  std::int32_t Revision = 0;
  bool Crypted = false;
  std::uint8_t SignType = 0;

  friend bool operator==(const TOXFXData&, const TOXFXData&) = default;
};

struct TOxDocCommonProperties {
  TKveloDocumentType DocType = sdtKvelo;
  TOxDocCommonPropertiesAttribs Attribs;
  std::string Total;
  TOxDocCommonPropertiesTotalDetails TotalDetails;
  TOxDocCommonPropertiesOsDetails OsDetails;
  TOxDocCommonPropertiesRegionInfo RegionInfo;
  TOXFXData OXFXData;

  // A cleared record of the type.
  static TOxDocCommonProperties Create(TKveloDocumentType ADocType);
  // Every text empty, sdtKvelo, Revision 0, not crypted, SignType 0.
  void Clear();

  // Writes the text at the stream's position. Empty texts leave no line; "OKveloVersion" carries
  // the running program's version.
  void SaveToStream(TStream& Stream) const;
  // Clears the record, then reads the text from the stream's position to its end: UTF-8 or UTF-16
  // with a byte-order mark, Windows-1251 without one. Names are matched ignoring case; missing or
  // unreadable values give Revision 1, Crypted false, SignType 0, sdtKvelo.
  void LoadFromStream(TStream& Stream);

  friend bool operator==(const TOxDocCommonProperties&, const TOxDocCommonProperties&) = default;
};

// The version of this program that documents record as "OKveloVersion" (the build's own version:
// the program carries no version resource).
TDigitalFileVersionInfo OKveloProgramVersion();

std::string DocTypeName(TKveloDocumentType Value);
// The type whose name equals S ignoring case by the user's locale; sdtKvelo when none does.
TKveloDocumentType DocTypeFromName(std::string_view S);

// CR becomes "#13", then LF becomes "#10"; unescaping replaces "#13", then "#10", so a "#13" typed
// by a user comes back as a line break.
std::string EscapeLineBreaks(std::string_view S);
std::string UnescapeLineBreaks(std::string_view S);
