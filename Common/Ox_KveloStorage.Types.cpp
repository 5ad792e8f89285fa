#include "Ox_KveloStorage.Types.h"

#include <algorithm>

#include "Common.SysUtils.h"
#include "Common.XMLUtils.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

// --- TFolderProperties ------------------------------------------------------------------------

namespace {
// The attributes in the order they are written.
struct TFolderAttribute {
  const char* Name;
  std::string TFolderProperties::*Field;
};
const TFolderAttribute kFolderAttributes[] = {
    {"ObjName", &TFolderProperties::ObjName}, {"ConName", &TFolderProperties::ConName},
    {"StgName", &TFolderProperties::StgName}, {"Comment", &TFolderProperties::Comment},
    {"LocNum", &TFolderProperties::LocNum},   {"RegNum", &TFolderProperties::RegNum},
};
}  // namespace

std::string TFolderProperties::FileName(const std::string& AFolderPath) {
  return ConcatWithDelimiter({AFolderPath, ".oxdata", "config.xml"}, PathDelim);
}

TFolderProperties TFolderProperties::Load(const std::string& AFolderPath) {
  TFolderProperties result;
  const std::string fileName = FileName(AFolderPath);
  if (!platform::FileExists(fileName)) return result;
  TXMLDocument doc;
  doc.LoadFromFile(fileName);
  const TXMLNode root = doc.DocumentElement();
  for (const TFolderAttribute& attribute : kFolderAttributes)
    result.*attribute.Field = GetAttrValue(root, attribute.Name, false);
  return result;
}

void TFolderProperties::Save(const std::string& AFolderPath) const {
  const std::string fileName = FileName(AFolderPath);
  TXMLDocument doc;
  if (platform::FileExists(fileName))
    doc.LoadFromFile(fileName);
  else
    doc.AddChild("OKveloFolder");
  TXMLNode root = doc.DocumentElement();
  for (const TFolderAttribute& attribute : kFolderAttributes) {
    root.RemoveAttribute(attribute.Name);
    SetAttrValue(root, attribute.Name, this->*attribute.Field);
  }
  platform::ForceDirectories(ExtractFileDir(fileName));
  TBytesStream bytes;
  doc.SaveToStream(bytes);
  // The folder's description is the user's work: never leave it half-written.
  platform::WriteFileAtomically(fileName, std::string_view(reinterpret_cast<const char*>(bytes.Memory()),
                                                           static_cast<std::size_t>(bytes.Size())));
}

// --- errors -----------------------------------------------------------------------------------

EKveloStorageError EKveloStorageError::ItemNotFound() { return EKveloStorageError("Элемент не найден"); }

EKveloStorageError EKveloStorageError::ItemNotFound(const std::string& AItemTitle) {
  return EKveloStorageError(Format("Элемент \"%s\" не найден", AItemTitle));
}

EKveloStorageError EKveloStorageError::DocumentIsLocked(const std::string& ADocTitle) {
  return EKveloStorageError(Format("Документ \"%s\" уже открыт другим пользователем", ADocTitle));
}

EKveloStorageError EKveloStorageError::ItemIsReadOnly(const std::string& ATitle) {
  return EKveloStorageError(Format("Документ \"%s\" доступен только для чтения", ATitle));
}

EKveloStorageFolderPropertiesNotSupported EKveloStorageError::FolderPropertiesNotSupported() {
  return EKveloStorageFolderPropertiesNotSupported("Свойства у папок не поддерживаются");
}

// --- TKveloStorage ----------------------------------------------------------------------------

void TKveloStorage::TMetaClass::RegisterSelf() const { TKveloStorageFactory::Register(this); }

TKveloStorage::TKveloStorage(TConnection& AConnection, const TMetaClass& AClass)
    : FConnection(AConnection), FClass(&AClass) {
  ASSERT(AConnection.ClassType().InheritsFrom(*AClass.ConnectionClass()));
  FExternalFileExts.SetSorted(true);
  FExternalFileExts.SetCaseSensitive(false);
  FExternalFileExts.SetDuplicates(dupIgnore);
}

TKveloStorage::~TKveloStorage() = default;

HRESULT TKveloStorage::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IKveloStorageReferense>(this, AIID, Obj)) return S_OK;
  return TFlexiblePersistInterfacedObject::QueryInterface(AIID, Obj);
}

// --- TKveloStorageFactory ---------------------------------------------------------------------

namespace {
// Registration order is the order CreateStorage tries the classes in.
std::vector<TKveloStorageClass>& StorageClasses() {
  static std::vector<TKveloStorageClass> classes;
  return classes;
}
}  // namespace

TKveloStorageFactory::Exception TKveloStorageFactory::Exception::StorageClassNotFound(const TConnection& Connection) {
  return Exception(Format("TKveloStorageClass for \"%s\" (class %s) not registered", Connection.Caption(),
                          Connection.ClassType().ClassName()));
}

void TKveloStorageFactory::Register(TKveloStorageClass AStorageClass) {
  std::vector<TKveloStorageClass>& classes = StorageClasses();
  if (std::find(classes.begin(), classes.end(), AStorageClass) != classes.end())
    throw EListError("Duplicates not allowed");
  classes.push_back(AStorageClass);
  TConnectionsFactory::RegisterConnectionClass(AStorageClass->ConnectionClass());
}

void TKveloStorageFactory::Unregister(TKveloStorageClass AStorageClass) {
  std::erase(StorageClasses(), AStorageClass);
}

TKveloStoragePtr TKveloStorageFactory::CreateStorage(TConnection& AConnection) {
  for (TKveloStorageClass storageClass : StorageClasses())
    if (AConnection.ClassType().InheritsFrom(*storageClass->ConnectionClass()))
      return TKveloStoragePtr(storageClass->Create(AConnection));
  throw Exception::StorageClassNotFound(AConnection);
}

// --- TKveloStorageReadOnlyOpenedDocument ------------------------------------------------------

TKveloStorageReadOnlyOpenedDocument::TKveloStorageReadOnlyOpenedDocument(TInterfacePtr<IKveloStorageDocument> ADoc,
                                                                         std::string APromt)
    : FDoc(std::move(ADoc)), FPromt(std::move(APromt)) {
  ASSERT(FDoc != nullptr);
}

HRESULT TKveloStorageReadOnlyOpenedDocument::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IKveloStorageOpenedDocument>(this, AIID, Obj)) return S_OK;
  return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
}

void TKveloStorageReadOnlyOpenedDocument::Save(const TOxDocCommonProperties& /*AProperties*/, TStream& /*AData*/) {
  throw Exception("Попытка сохранить ReadOnly документ");
}
