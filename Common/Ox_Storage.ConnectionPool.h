#pragma once
// The data sources the client offers its user, loaded from and saved to the client's
// "Connections.xml" (the settings folder of TKvelo7Information).
//
// Stored form, below the file's root element:
//   <Connections>
//     <Connection_1 Address=".." InstanceUID=".." Caption=".." Description=".." Usages="Kvelo,NormBase"
//                   UseRecycleBin="False" ClassID="OX.Files"/>   one per stored connection
//   </Connections>
//   <NBTemplateLocation ConnectionClassId=".." BaseAddress=".." LocalPath=".."/>
//   <RegionInfo Name="Нет данных" ShortCode="-1" Zone2001Name=".." Zone1984Name=".."/>
// Empty values are left out. Entries are read whatever their element's name and written
// renumbered from 1; entries of unregistered or internal classes are dropped; a save rewrites
// everything below the root.
//
// The wizard's use: create, LoadFromOptionsStorage(false), FindConnection before each
// AddConnection (the pool does not refuse duplicates), SaveToOptionsStorage.

#include <cstdint>
#include <memory>
#include <ranges>
#include <string>
#include <string_view>
#include <vector>

#include "Common.Classes.h"
#include "Ox_Storage.Types.h"

// The region of the normative base, stored with the connections and otherwise carried unchanged.
class TNBRegionInfo {
  KV_CLASS_INFO(TNBRegionInfo)

 public:
  virtual ~TNBRegionInfo() = default;

  const std::string& Name() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }
  std::int32_t ShortCode() const { return FShortCode; }
  void SetShortCode(std::int32_t Value) { FShortCode = Value; }
  const std::string& Zone2001Name() const { return FZone2001Name; }
  void SetZone2001Name(std::string Value) { FZone2001Name = std::move(Value); }
  const std::string& Zone1984Name() const { return FZone1984Name; }
  void SetZone1984Name(std::string Value) { FZone1984Name = std::move(Value); }

  void Assign(const TNBRegionInfo& Source);

 private:
  std::string FName = "Нет данных";
  std::int32_t FShortCode = -1;
  std::string FZone2001Name;
  std::string FZone1984Name;
};

class TConnectionsPool {
 public:
  class Exception : public ::Exception {
   public:
    using ::Exception::Exception;
    static Exception CannotDeleteInternalConnection(const TConnection& AConnection);
    static Exception CannotAddInternalConnection(TConnectionClass AConnectionClass);
    static Exception ConnectionByClassNotFound(TConnectionClass AConnectionClass);
  };

  // Holds one connection of every registered internal class.
  TConnectionsPool();
  ~TConnectionsPool();
  TConnectionsPool(const TConnectionsPool&) = delete;
  TConnectionsPool& operator=(const TConnectionsPool&) = delete;

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

  // The connections in display order.
  auto Connections() const {
    return FConnections | std::views::transform([](const auto& item) -> TConnection& { return *item; });
  }
  const TDocumentLocation& NBTemplateLocation() const { return FNBTemplateLocation; }
  void SetNBTemplateLocation(TDocumentLocation Value) { FNBTemplateLocation = std::move(Value); }
  // Whether "Connections.xml" existed at the last load.
  bool OptionsFileExists() const { return FOptionsFileExists; }
  void SetOptionsFileExists(bool Value) { FOptionsFileExists = Value; }
  TNBRegionInfo& StoredRegionInfo() { return *FStoredRegionInfo; }
  const TNBRegionInfo& StoredRegionInfo() const { return *FStoredRegionInfo; }

  // Frees every connection, then recreates the internal ones.
  void Clear();
  // The connections (unless OnlyNBTemplateLocation), the template location and the region from
  // "Connections.xml". Without the file the pool is cleared and the rest kept. A file that cannot
  // be read raises EInvalidXMLFile and leaves the pool as it was.
  void LoadFromOptionsStorage(bool OnlyNBTemplateLocation);
  // Rewrites "Connections.xml" (creating its folder) with every connection that is not internal.
  // The old file is replaced only by a complete new one.
  void SaveToOptionsStorage();

  // Swaps two positions of the list; the caller keeps both within it.
  void ConnectionExchange(std::size_t Index1, std::size_t Index2);
  // Appends the connection, captioned "<DisplayName> <n>" when it has no caption; the pool owns it
  // from now on. An internal class raises Exception, and the connection is freed.
  TConnection& AddConnection(std::unique_ptr<TConnection> AConnection);
  // Frees the connection; an internal one raises Exception, one not in the pool is ignored.
  void DeleteConnection(const TConnection* AConnection);

  // The first connection of exactly this class identifier whose address is Address, ignoring
  // letter case and a trailing separator; an internal class's connection whatever its address.
  TConnection* FindConnection(std::string_view ClassID, std::string_view Address) const;
  TConnection* FindConnection(const TDocumentLocation& ADocLocation) const;
  // The first connection of exactly this class identifier.
  TConnection* FindConnection(std::string_view ClassID) const;

  // "<caption of the source>: <local path>", or "<class identifier>: <full path>" for an unknown
  // source.
  std::string GetLocationDisplayName(const TDocumentLocation& Location) const;

  // The file the pool is loaded from and saved to.
  static std::string OptionsFileName();

 private:
  void AddInternalConnections();
  void AssignDefaultCaption(TConnection& C) const;

  std::vector<std::unique_ptr<TConnection>> FConnections;
  TDocumentLocation FNBTemplateLocation;
  bool FOptionsFileExists = false;
  std::unique_ptr<TNBRegionInfo> FStoredRegionInfo;
};
