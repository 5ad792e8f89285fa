// The connection half of unit Ox_KveloStorage.WebDAV, in a file of its own: a program that only
// registers and adds connections (the wizard) then links none of the storage, its HTTP client and
// the TLS stack below it.
#include "Ox.Types.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.FileSystemConnection.h"

// --- TWebDAVConnection -------------------------------------------------------------------------

const TClassInfo& TWebDAVConnection::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TWebDAVConnection, TServerConnection>();
  return Info;
}

const TWebDAVConnection::TMetaClass& TWebDAVConnection::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

const TClassInfo& TWebDAVConnection::TMetaClass::ClassInfo() const { return TWebDAVConnection::StaticClassInfo(); }
std::string TWebDAVConnection::TMetaClass::ClassID() const { return "OX.WebDAV.ReadOnly"; }
TStorageKinds TWebDAVConnection::TMetaClass::SupportedKinds() const { return {TStorageKind::Kvelo}; }

// A base destructor cannot reach the override, so the class that owns the state disconnects.
TWebDAVConnection::~TWebDAVConnection() { Disconnect(); }

void TWebDAVConnection::Connect(const std::string& /*Login*/, const std::string& /*Password*/) { FConnected = true; }

// --- TOrvelKveloRuKveloStorage -----------------------------------------------------------------

using TServiceConnection = TOrvelKveloRuKveloStorage::TConnection;

const TClassInfo& TServiceConnection::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TServiceConnection, TWebDAVConnection>(
      TDisplayName("Данные с " + std::string(WebServiceDomain)));
  return Info;
}

const TServiceConnection::TMetaClass& TServiceConnection::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

const TClassInfo& TServiceConnection::TMetaClass::ClassInfo() const { return TServiceConnection::StaticClassInfo(); }
std::string TServiceConnection::TMetaClass::ClassID() const { return "OX.OrvelKvelo.Ru.KveloDocs"; }

// --- TOrvelKveloRuKveloStorage ----------------------------------------------------------------

TConnection& TOrvelKveloRuKveloStorage::AddConnectionToPool(TConnectionsPool& Pool) {
  std::unique_ptr<::TConnection> connection = TServiceConnection::MetaClass().Create();
  connection->SetCaption(std::string(WebServiceHost));
  return Pool.AddConnection(std::move(connection));
}

void RegisterWebDAVConnectionClasses() {
  TConnectionsFactory::RegisterConnectionClass(&TServiceConnection::MetaClass());
}

void InitializeConnectionClasses() {
  RegisterFileSystemConnectionClasses();
  RegisterWebDAVConnectionClasses();
}
