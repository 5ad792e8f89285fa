#include "Ox_Storage.Types.h"

#include <algorithm>

#include "Common.SysUtils.h"
#include "Runtime.Strings.h"

namespace {
constexpr std::string_view kClassIdName = "ConnectionClassId";
constexpr std::string_view kBaseAddressName = "BaseAddress";
constexpr std::string_view kLocalPathName = "LocalPath";

// The registry, alive from first use to the end of the program.
struct TRegistry {
  std::vector<std::pair<std::string, TConnectionClass>> Classes;  // in order of first registration
  TStringList InternalClassIDs;

  TRegistry() {
    InternalClassIDs.SetSorted(true);
    InternalClassIDs.SetDuplicates(dupIgnore);
  }
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

bool IsServerClassID(std::string_view ClassId) {
  TConnectionClass found = TConnectionsFactory::FindByClassID(ClassId, false);
  return found && found->IsServerClass();
}

std::string JoinOnce(std::string_view Base, std::string_view Local, char Separator) {
  if (Local.empty()) return std::string(Base);
  if (Base.empty()) return std::string(Local);
  const bool baseHas = Base.back() == Separator;
  const bool localHas = Local.front() == Separator;
  std::string result(Base);
  if (baseHas && localHas)
    result.append(Local.substr(1));
  else if (!baseHas && !localHas)
    result.append(1, Separator).append(Local);
  else
    result.append(Local);
  return result;
}
}  // namespace

std::string IncludeTrailingAddressDelimiter(std::string_view Address, bool ServerAddress) {
  if (!ServerAddress) return IncludeTrailingPathDelimiter(Address);
  std::string result(Address);
  if (result.empty() || result.back() != '\\') result += '\\';
  return result;
}

// --- TDocumentLocation -------------------------------------------------------------------------

TDocumentLocation TDocumentLocation::Make(std::string AConnectionClassId, std::string ABaseAddress,
                                          std::string ALocalPath) {
  return TDocumentLocation{std::move(AConnectionClassId), std::move(ABaseAddress), std::move(ALocalPath)};
}

std::string TDocumentLocation::ToString() const {
  TStringList items;
  items.SetDelimiter(';');
  items.SetQuoteChar('"');
  for (auto [name, value] : {std::pair<std::string_view, const std::string&>{kClassIdName, ConnectionClassId},
                             {kBaseAddressName, BaseAddress},
                             {kLocalPathName, LocalPath}})
    if (!value.empty()) items.Add(std::string(name) + "=" + value);
  return items.IsEmpty() ? std::string() : items.DelimitedText();
}

TDocumentLocation TDocumentLocation::FromString(std::string_view S) {
  TStringList items;
  items.SetDelimiter(';');
  items.SetQuoteChar('"');
  items.SetDelimitedText(S);
  return Make(items.Values(kClassIdName), items.Values(kBaseAddressName), items.Values(kLocalPathName));
}

bool TDocumentLocation::IsEqual(const TDocumentLocation& Other, bool AsInternal) const {
  if (!AnsiSameText(ConnectionClassId, Other.ConnectionClassId) || !AnsiSameText(LocalPath, Other.LocalPath))
    return false;
  if (AsInternal) return true;
  const bool server = IsServerClassID(ConnectionClassId);
  return AnsiSameText(IncludeTrailingAddressDelimiter(BaseAddress, server),
                      IncludeTrailingAddressDelimiter(Other.BaseAddress, server));
}

bool operator==(const TDocumentLocation& A, const TDocumentLocation& B) {
  return A.IsEqual(B, TConnectionsFactory::InternalClassIDs().IndexOf(A.ConnectionClassId) >= 0);
}

bool TDocumentLocation::IsEmpty() const { return ConnectionClassId.empty() || LocalPath.empty(); }

std::string TDocumentLocation::FullPath() const {
  // A server's items are addressed by URL, so its parts join with "/" whatever the platform.
  return JoinOnce(BaseAddress, LocalPath, IsServerClassID(ConnectionClassId) ? '/' : PathDelim);
}

// --- TConnection -------------------------------------------------------------------------------

// InstanceUID leads because the stored form the client writes has it first after the address;
// the serializer writes properties in this order.
const TClassInfo& TConnection::StaticClassInfo() {
  static const TClassInfo Info =
      TClassInfo::Of<TConnection>()
          .Public("InstanceUID", &TConnection::FInstanceUID)
          .Published("Caption", &TConnection::FCaption, TDisplayName("Название"))
          .Published("Description", &TConnection::FDescription, TDisplayName("Примечание"))
          .Published("Usages", &TConnection::GetUsages, &TConnection::SetUsages)
          .Published("UseRecycleBin", &TConnection::FUseRecycleBin)
          .Public("ExceptionClass", &TConnection::FExceptionClass, TNotSerializeAttribute())
          .Public("ExceptionMessage", &TConnection::FExceptionMessage, TNotSerializeAttribute())
          .Public("Connected", &TConnection::GetConnected, nullptr)
          .Public("Address", &TConnection::GetAddress, nullptr);
  return Info;
}

const TConnection::TMetaClass& TConnection::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

TConnection::TConnection() : FInstanceUID(NewGUIDString(false)) { SetUsages({TStorageKind::Kvelo}); }

TStorageKinds TConnection::GetUsages() const { return ClassType().SupportedKinds() * FUsages; }

void TConnection::SetUsages(const TStorageKinds& Value) {
  FUsages = Value;
  if (!Value.Contains(TStorageKind::Kvelo)) FUseRecycleBin = false;
}

TDocumentLocation TConnection::Location() const {
  return TDocumentLocation::Make(ClassType().ClassID(), Address(), std::string());
}

// --- TConnection::TMetaClass ---------------------------------------------------------------------

const TClassInfo& TConnection::TMetaClass::ClassInfo() const { return TConnection::StaticClassInfo(); }

std::unique_ptr<TConnection> TConnection::TMetaClass::Create() const {
  if (!ClassInfo().CanCreate()) AbstractError();
  return ClassInfo().Create<TConnection>();
}

bool TConnection::TMetaClass::LoginDlgRequired() const {
  return TLoginDlgRequiredAttribute::GetValue(ClassInfo(), false);
}

std::string TConnection::TMetaClass::ClassID() const { AbstractError(); }

std::string TConnection::TMetaClass::DisplayName() const {
  std::string name = TDisplayName::GetValue(ClassInfo(), std::string());
  ASSERT(!Trim(name).empty(), "Класс " + ClassName() + " не объявил своё отображаемое имя");
  return name;
}

bool TConnection::TMetaClass::IsInternal() const { return false; }

TStorageKinds TConnection::TMetaClass::SupportedKinds() const { AbstractError(); }

bool TConnection::TMetaClass::IsServerClass() const { return InheritsFrom(TServerConnection::MetaClass()); }

// --- TServerConnection -------------------------------------------------------------------------

const TClassInfo& TServerConnection::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TServerConnection, TConnection>().Published(
      "Address", &TServerConnection::GetAddress, &TServerConnection::SetAddress);
  return Info;
}

const TServerConnection::TMetaClass& TServerConnection::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

const TClassInfo& TServerConnection::TMetaClass::ClassInfo() const { return TServerConnection::StaticClassInfo(); }

bool TServerConnection::TMetaClass::IsValidServer(std::string_view /*Address*/) const { return false; }

// --- TConnectionsFactory -----------------------------------------------------------------------

TConnectionsFactory::Exception TConnectionsFactory::Exception::ClassIDNotFound(std::string_view ClassID) {
  return Exception(Format("Класс источника данных с идентификатором \"%s\" не зарегистрирован", ClassID));
}

void TConnectionsFactory::RegisterConnectionClass(TConnectionClass Item) {
  ASSERT(Item != nullptr);
  std::string key = Item->ClassID();
  auto& classes = Registry().Classes;
  auto found = std::find_if(classes.begin(), classes.end(), [&](const auto& entry) { return entry.first == key; });
  if (found != classes.end())
    found->second = Item;
  else
    classes.emplace_back(key, Item);
  if (Item->IsInternal()) Registry().InternalClassIDs.Add(key);
}

void TConnectionsFactory::UnregisterConnectionClass(TConnectionClass Item) {
  auto& classes = Registry().Classes;
  auto found = std::find_if(classes.begin(), classes.end(), [&](const auto& entry) { return entry.second == Item; });
  if (found == classes.end()) return;
  if (int internal = Registry().InternalClassIDs.IndexOf(found->first); internal >= 0)
    Registry().InternalClassIDs.Delete(static_cast<std::size_t>(internal));
  classes.erase(found);
}

std::vector<TConnectionClass> TConnectionsFactory::ConnectionClasses() {
  std::vector<TConnectionClass> result;
  for (const auto& entry : Registry().Classes) result.push_back(entry.second);
  return result;
}

TConnectionClass TConnectionsFactory::FindByClassID(std::string_view ClassID, bool RaiseIfNotFound) {
  for (const auto& entry : Registry().Classes)
    if (entry.first == ClassID) return entry.second;
  if (RaiseIfNotFound) throw Exception::ClassIDNotFound(ClassID);
  return nullptr;
}

const TStringList& TConnectionsFactory::InternalClassIDs() { return Registry().InternalClassIDs; }
