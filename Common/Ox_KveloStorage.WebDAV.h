#pragma once
// Data sources on WebDAV servers: any server holding estimate documents (TWebDAVConnection) and
// the maker's web document service (TOrvelKveloRuKveloStorage::TConnection). The read-only storage
// that works through these connections is to join this unit; for now it offers the service's
// connection and AddConnectionToPool, which the wizard uses.

#include <string>

#include "Ox_Storage.ConnectionPool.h"
#include "Ox_Storage.Types.h"

// A WebDAV server holding estimate documents: class identifier "OX.WebDAV.ReadOnly", used for
// estimates only. Its Address (the root URL of the document tree) is stored. Connecting only marks
// it connected: the storage opens the server when it needs it. Not registered, it serves as the
// base of the connections to particular services; a WebDAV storage takes it as its connection class.
class TWebDAVConnection : public TConnectionOf<TWebDAVConnection, TServerConnection> {
  KV_CLASS_INFO(TWebDAVConnection)

 public:
  class TMetaClass : public TServerConnection::TMetaClass {
   public:
    const TClassInfo& ClassInfo() const override;
    std::string ClassID() const override;           // "OX.WebDAV.ReadOnly"
    TStorageKinds SupportedKinds() const override;  // [Kvelo]
  };
  static const TMetaClass& MetaClass();

  ~TWebDAVConnection() override;

  bool GetConnected() const override { return FConnected; }
  std::string GetAddress() const override { return FAddress; }
  void SetAddress(const std::string& Value) override { FAddress = Value; }
  // No network traffic; login and password are not used.
  void Connect(const std::string& Login, const std::string& Password) override;
  void Disconnect() override { FConnected = false; }

 private:
  std::string FAddress;
  bool FConnected = false;
};

// The maker's web document service.
class TOrvelKveloRuKveloStorage {
 public:
  // The service's connection: class identifier "OX.OrvelKvelo.Ru.KveloDocs", shown as
  // "Данные с " + WebServiceDomain. Its address stays empty: the storage knows the service.
  class TConnection : public TConnectionOf<TConnection, TWebDAVConnection> {
    KV_CLASS_INFO(TConnection)

   public:
    class TMetaClass : public TWebDAVConnection::TMetaClass {
     public:
      const TClassInfo& ClassInfo() const override;
      std::string ClassID() const override;
    };
    static const TMetaClass& MetaClass();
  };

  TOrvelKveloRuKveloStorage() = delete;

  // Appends a new service connection captioned WebServiceHost to the pool, which owns it, and
  // returns it. The pool takes duplicates: check first with Pool.FindConnection(TConnection::ClassID()).
  static ::TConnection& AddConnectionToPool(TConnectionsPool& Pool);
};

// Registers the service's connection class; part of InitializeConnectionClasses.
void RegisterWebDAVConnectionClasses();

// Registers every connection class of the product with TConnectionsFactory, so that stored
// connections can be recreated. Programs call it once at start, before any pool exists.
void InitializeConnectionClasses();
