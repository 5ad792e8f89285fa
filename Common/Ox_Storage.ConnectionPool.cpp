#include "Ox_Storage.ConnectionPool.h"

#include <algorithm>

#include "Common.OptionsStorage.Serializer.h"
#include "Ox_OptionsStorage.h"
#include "Runtime.Strings.h"
#include "SysInfo.Core.Kvelo7.h"
#include "platform/FileSystem.h"

namespace {
constexpr std::string_view kConnectionsSection = "Connections";
constexpr std::string_view kTemplateSection = "NBTemplateLocation";
constexpr std::string_view kRegionSection = "RegionInfo";
constexpr std::string_view kClassIdValue = "ClassID";
constexpr std::string_view kCaptionValue = "Caption";
constexpr std::string_view kTemplateClassIdValue = "ConnectionClassId";
constexpr std::string_view kTemplateBaseAddressValue = "BaseAddress";
constexpr std::string_view kTemplateLocalPathValue = "LocalPath";

void SaveConnectionEntry(const TConnection& Connection, IOptionsWriter& Entry) {
  TOptionsSerializer::SerializeObject(Entry, Connection);
  Entry.WriteString(kClassIdValue, Connection.ClassType().ClassID(), "");
  Entry.WriteString(kCaptionValue, Connection.Caption(), "");
}
}  // namespace

// --- TNBRegionInfo -----------------------------------------------------------------------------

const TClassInfo& TNBRegionInfo::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TNBRegionInfo>()
                                     .Published("Name", &TNBRegionInfo::FName)
                                     .Published("ShortCode", &TNBRegionInfo::FShortCode)
                                     .Published("Zone2001Name", &TNBRegionInfo::FZone2001Name)
                                     .Published("Zone1984Name", &TNBRegionInfo::FZone1984Name);
  return Info;
}

void TNBRegionInfo::Assign(const TNBRegionInfo& Source) {
  FName = Source.FName;
  FShortCode = Source.FShortCode;
  FZone2001Name = Source.FZone2001Name;
  FZone1984Name = Source.FZone1984Name;
}

// --- TConnectionsPool::Exception ---------------------------------------------------------------

TConnectionsPool::Exception TConnectionsPool::Exception::CannotDeleteInternalConnection(const TConnection& AConnection) {
  return Exception(Format("Источник данных \"%s\" является встроенным, его нельзя удалять",
                          AConnection.ClassType().DisplayName()));
}

TConnectionsPool::Exception TConnectionsPool::Exception::CannotAddInternalConnection(TConnectionClass AConnectionClass) {
  return Exception(Format("Источник данных \"%s\" является встроенным, его нельзя добавить еше раз",
                          AConnectionClass->DisplayName()));
}

TConnectionsPool::Exception TConnectionsPool::Exception::ConnectionByClassNotFound(TConnectionClass AConnectionClass) {
  return Exception(Format("Источник данных  класса \"%s\" не найден", AConnectionClass->DisplayName()));
}

// --- TConnectionsPool --------------------------------------------------------------------------

TConnectionsPool::TConnectionsPool() : FStoredRegionInfo(std::make_unique<TNBRegionInfo>()) {
  AddInternalConnections();
}

TConnectionsPool::~TConnectionsPool() = default;

std::string TConnectionsPool::OptionsFileName() { return TKvelo7Information::ConnectionOptionsFilename(); }

void TConnectionsPool::Clear() {
  FConnections.clear();
  AddInternalConnections();
}

void TConnectionsPool::AddInternalConnections() {
  for (TConnectionClass connectionClass : TConnectionsFactory::ConnectionClasses()) {
    if (!connectionClass->IsInternal()) continue;
    std::unique_ptr<TConnection> connection = connectionClass->Create();
    connection->SetUsages(connectionClass->SupportedKinds());
    TConnection& added = *FConnections.emplace_back(std::move(connection));
    AssignDefaultCaption(added);
  }
}

void TConnectionsPool::AssignDefaultCaption(TConnection& C) const {
  if (!C.Caption().empty()) return;
  const TConnection::TMetaClass& cls = C.ClassType();
  if (cls.IsInternal()) {
    C.SetCaption(cls.DisplayName());
    return;
  }
  // Every connection of exactly this class counts, whatever its caption; subclasses do not.
  auto sameClass = std::count_if(FConnections.begin(), FConnections.end(),
                                 [&](const auto& other) { return other.get() != &C && &other->ClassType() == &cls; });
  C.SetCaption(Format("%s %d", cls.DisplayName(), static_cast<int>(sameClass) + 1));
}

TConnection& TConnectionsPool::AddConnection(std::unique_ptr<TConnection> AConnection) {
  ASSERT(AConnection != nullptr);
  const TConnection::TMetaClass& cls = AConnection->ClassType();
  if (cls.IsInternal()) throw Exception::CannotAddInternalConnection(&cls);
  AssignDefaultCaption(*AConnection);
  return *FConnections.emplace_back(std::move(AConnection));
}

void TConnectionsPool::DeleteConnection(const TConnection* AConnection) {
  auto found = std::find_if(FConnections.begin(), FConnections.end(),
                            [&](const auto& item) { return item.get() == AConnection; });
  if (found == FConnections.end()) return;
  if ((*found)->ClassType().IsInternal()) throw Exception::CannotDeleteInternalConnection(**found);
  FConnections.erase(found);
}

void TConnectionsPool::ConnectionExchange(std::size_t Index1, std::size_t Index2) {
  ASSERT(Index1 < FConnections.size() && Index2 < FConnections.size(), "ConnectionExchange: индекс вне списка");
  std::swap(FConnections[Index1], FConnections[Index2]);
}

TConnection* TConnectionsPool::FindConnection(std::string_view ClassID, std::string_view Address) const {
  for (const auto& connection : FConnections) {
    const TConnection::TMetaClass& cls = connection->ClassType();
    if (cls.ClassID() != ClassID) continue;
    if (cls.IsInternal()) return connection.get();
    const bool server = cls.IsServerClass();
    if (AnsiSameText(IncludeTrailingAddressDelimiter(connection->Address(), server),
                     IncludeTrailingAddressDelimiter(Address, server)))
      return connection.get();
  }
  return nullptr;
}

TConnection* TConnectionsPool::FindConnection(const TDocumentLocation& ADocLocation) const {
  return FindConnection(ADocLocation.ConnectionClassId, ADocLocation.BaseAddress);
}

TConnection* TConnectionsPool::FindConnection(std::string_view ClassID) const {
  for (const auto& connection : FConnections)
    if (connection->ClassType().ClassID() == ClassID) return connection.get();
  return nullptr;
}

std::string TConnectionsPool::GetLocationDisplayName(const TDocumentLocation& Location) const {
  if (const TConnection* connection = FindConnection(Location))
    return Format("%s: %s", connection->Caption(), Location.LocalPath);
  return Format("%s: %s", Location.ConnectionClassId, Location.FullPath());
}

void TConnectionsPool::LoadFromOptionsStorage(bool OnlyNBTemplateLocation) {
  const std::string fileName = OptionsFileName();
  FOptionsFileExists = platform::FileExists(fileName);
  if (!FOptionsFileExists && !OnlyNBTemplateLocation) {
    Clear();
    return;
  }
  // Read before anything is cleared, so that a broken file leaves the pool as it was.
  std::shared_ptr<IOptionsReader> reader = TOptionsStorageFactory::CreateReader(fileName);

  if (!OnlyNBTemplateLocation) {
    Clear();
    std::shared_ptr<IOptionsReader> section = reader->OpenSubkey(kConnectionsSection);
    for (const std::string& name : section->GetSubkeyNames()) {
      std::shared_ptr<IOptionsReader> entry = section->OpenSubkey(name);
      TConnectionClass cls = TConnectionsFactory::FindByClassID(entry->ReadString(kClassIdValue, ""), false);
      if (!cls || cls->IsInternal()) continue;
      std::unique_ptr<TConnection> connection = cls->Create();
      TOptionsSerializer::DeserializeObject(*entry, *connection);
      TConnection& added = *FConnections.emplace_back(std::move(connection));
      AssignDefaultCaption(added);
    }
  }

  std::shared_ptr<IOptionsReader> location = reader->OpenSubkey(kTemplateSection);
  FNBTemplateLocation = TDocumentLocation::Make(location->ReadString(kTemplateClassIdValue, ""),
                                                location->ReadString(kTemplateBaseAddressValue, ""),
                                                location->ReadString(kTemplateLocalPathValue, ""));
  TOptionsSerializer::DeserializeObject(*reader->OpenSubkey(kRegionSection), *FStoredRegionInfo);
}

void TConnectionsPool::SaveToOptionsStorage() {
  std::shared_ptr<IOptionsWriter> writer = TOptionsStorageFactory::CreateWriter(OptionsFileName(), true);

  std::shared_ptr<IOptionsWriter> section = writer->OpenSubkey(kConnectionsSection);
  int number = 0;
  for (const auto& connection : FConnections) {
    if (connection->ClassType().IsInternal()) continue;
    SaveConnectionEntry(*connection, *section->OpenSubkey(Format("Connection_%d", ++number)));
  }

  std::shared_ptr<IOptionsWriter> location = writer->OpenSubkey(kTemplateSection);
  location->WriteString(kTemplateClassIdValue, FNBTemplateLocation.ConnectionClassId, "");
  location->WriteString(kTemplateBaseAddressValue, FNBTemplateLocation.BaseAddress, "");
  location->WriteString(kTemplateLocalPathValue, FNBTemplateLocation.LocalPath, "");

  TOptionsSerializer::SerializeObject(*writer->OpenSubkey(kRegionSection), *FStoredRegionInfo);
  writer->Save();
}
