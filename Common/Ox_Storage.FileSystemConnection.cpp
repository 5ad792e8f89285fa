#include "Ox_Storage.FileSystemConnection.h"

#include "platform/FileSystem.h"

// --- TCustomFileSystemConnection ---------------------------------------------------------------

const TClassInfo& TCustomFileSystemConnection::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TCustomFileSystemConnection, TConnection>();
  return Info;
}

const TCustomFileSystemConnection::TMetaClass& TCustomFileSystemConnection::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

const TClassInfo& TCustomFileSystemConnection::TMetaClass::ClassInfo() const {
  return TCustomFileSystemConnection::StaticClassInfo();
}

// A base destructor cannot reach the override, so the class that owns the state disconnects.
TCustomFileSystemConnection::~TCustomFileSystemConnection() { Disconnect(); }

void TCustomFileSystemConnection::Connect(const std::string& /*Login*/, const std::string& /*Password*/) {
  platform::ForceDirectories(Address());
  FConnected = true;
}

// --- TFileSystemConnection ---------------------------------------------------------------------

const TClassInfo& TFileSystemConnection::StaticClassInfo() {
  static const TClassInfo Info =
      TClassInfo::Of<TFileSystemConnection, TCustomFileSystemConnection>(TDisplayName("Папка"))
          .Published("Address", &TFileSystemConnection::FAddress, TDisplayName("Папка"));
  return Info;
}

const TFileSystemConnection::TMetaClass& TFileSystemConnection::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

const TClassInfo& TFileSystemConnection::TMetaClass::ClassInfo() const {
  return TFileSystemConnection::StaticClassInfo();
}

std::string TFileSystemConnection::TMetaClass::ClassID() const { return "OX.Files"; }

TStorageKinds TFileSystemConnection::TMetaClass::SupportedKinds() const {
  return {TStorageKind::Kvelo, TStorageKind::NormBase, TStorageKind::FormTemplate, TStorageKind::DocTemplate};
}

void RegisterFileSystemConnectionClasses() {
  TConnectionsFactory::RegisterConnectionClass(&TFileSystemConnection::MetaClass());
}
