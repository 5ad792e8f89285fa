#pragma once
// Connection classes that only tests register: an internal one (the product has none, yet every
// pool must keep the rules for them) and one that needs a login dialog.

#include "Ox_Storage.FileSystemConnection.h"

class TTestInternalConnection : public TConnectionOf<TTestInternalConnection, TCustomFileSystemConnection> {
  KV_CLASS_INFO(TTestInternalConnection)

 public:
  class TMetaClass : public TCustomFileSystemConnection::TMetaClass {
   public:
    const TClassInfo& ClassInfo() const override { return TTestInternalConnection::StaticClassInfo(); }
    std::string ClassID() const override { return "Test.Internal"; }
    bool IsInternal() const override { return true; }
    TStorageKinds SupportedKinds() const override { return {TStorageKind::NormBase, TStorageKind::FormTemplate}; }
  };
  static const TMetaClass& MetaClass() {
    static const TMetaClass metaClass;
    return metaClass;
  }
  std::string GetAddress() const override { return "/internal"; }
};

inline const TClassInfo& TTestInternalConnection::StaticClassInfo() {
  static const TClassInfo Info =
      TClassInfo::Of<TTestInternalConnection, TCustomFileSystemConnection>(TDisplayName("Встроенный"));
  return Info;
}

class TTestLoginConnection : public TConnectionOf<TTestLoginConnection, TFileSystemConnection> {
  KV_CLASS_INFO(TTestLoginConnection)

 public:
  class TMetaClass : public TFileSystemConnection::TMetaClass {
   public:
    const TClassInfo& ClassInfo() const override { return TTestLoginConnection::StaticClassInfo(); }
    std::string ClassID() const override { return "Test.Login"; }
  };
  static const TMetaClass& MetaClass() {
    static const TMetaClass metaClass;
    return metaClass;
  }
};

inline const TClassInfo& TTestLoginConnection::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TTestLoginConnection, TFileSystemConnection>(
      TDisplayName("С паролем"), TLoginDlgRequiredAttribute(true));
  return Info;
}

// Registers a class for the lifetime of the object.
class TScopedConnectionClass {
 public:
  explicit TScopedConnectionClass(TConnectionClass AClass) : FClass(AClass) {
    TConnectionsFactory::RegisterConnectionClass(FClass);
  }
  ~TScopedConnectionClass() { TConnectionsFactory::UnregisterConnectionClass(FClass); }
  TScopedConnectionClass(const TScopedConnectionClass&) = delete;
  TScopedConnectionClass& operator=(const TScopedConnectionClass&) = delete;

 private:
  TConnectionClass FClass;
};
