#pragma once
// Normative-base files for the report tests, written as the client's bases are: item databases
// whose item "Info" holds the base's description.

#include <string>

#include "NBData.Region.Types.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"
#include "support/ItemDatabaseWriter.h"

inline std::string DescriptionBytes(const TNB_InfoStruct& info) {
  TMemoryStream stream;
  info.SaveToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

// A base file at path (its folders created) with other items around the description, as real
// bases carry their norms beside it.
inline std::string WriteBaseFile(const std::string& path, const std::string& infoBytes) {
  platform::ForceDirectories(ExtractFileDir(path));
  WriteItemDatabase(path, {{"Data", "norms", std::string(100, 'x')}, {"Info", "", infoBytes}, {"Zz", "", "z"}});
  return path;
}

inline std::string WriteBaseFile(const std::string& path, const TNB_InfoStruct& info) {
  return WriteBaseFile(path, DescriptionBytes(info));
}

inline TNB_InfoStruct BaseInfo(std::int32_t code, TNBYear year, const std::string& region,
                               const std::string& district, TNBPublisher publisher, std::uint32_t release,
                               TDateTime created) {
  TNB_InfoStruct info;
  info.Code.Code = code;
  info.Code.Year = year;
  info.RegionName = region;
  info.DistrictName = district;
  info.Publidher = publisher;
  info.ReleaseNumber = release;
  info.CreationDate = created;
  return info;
}
