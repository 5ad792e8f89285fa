#pragma once
// Data sources in folders of the file system.

#include <string>

#include "Ox_Storage.Types.h"

// A source whose items are files below a folder; connecting creates the folder.
class TCustomFileSystemConnection : public TConnectionOf<TCustomFileSystemConnection, TConnection> {
  KV_CLASS_INFO(TCustomFileSystemConnection)

 public:
  class TMetaClass : public TConnection::TMetaClass {
   public:
    const TClassInfo& ClassInfo() const override;
  };
  static const TMetaClass& MetaClass();

  ~TCustomFileSystemConnection() override;

  bool GetConnected() const override { return FConnected; }
  // Creates the folder Address with its missing parents (login and password are not used); EOSError
  // for the call that failed, and the connection stays disconnected.
  void Connect(const std::string& Login, const std::string& Password) override;
  void Disconnect() override { FConnected = false; }

 private:
  bool FConnected = false;
};

// A folder the user added as a data source: class identifier "OX.Files", shown as "Папка". The
// wizard adds the folders the user ticked as new objects of this class with their Address set.
class TFileSystemConnection : public TConnectionOf<TFileSystemConnection, TCustomFileSystemConnection> {
  KV_CLASS_INFO(TFileSystemConnection)

 public:
  class TMetaClass : public TCustomFileSystemConnection::TMetaClass {
   public:
    const TClassInfo& ClassInfo() const override;
    std::string ClassID() const override;  // "OX.Files"
    TStorageKinds SupportedKinds() const override;  // all four
  };
  static const TMetaClass& MetaClass();

  std::string GetAddress() const override { return FAddress; }
  void SetAddress(std::string Value) { FAddress = std::move(Value); }
  // Deleted documents may go to the recycle bin of a source used for estimates.
  bool CanUseRecycleBin() const override { return GetUsages().Contains(TStorageKind::Kvelo); }

 private:
  std::string FAddress;
};

// Registers the folder connection class; part of InitializeConnectionClasses.
void RegisterFileSystemConnectionClasses();
