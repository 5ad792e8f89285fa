#pragma once
// How the client sees a data source's content: a storage bound to one connection offers a tree of
// entries (folders, estimate documents, other files) through interfaces. The storage classes
// register with TKveloStorageFactory, which creates the storage that fits a connection.
//
// Storages are owned objects (freed by their owner through Free, or a TKveloStoragePtr); entries
// are counted and live as long as references to them. A storage class declares a metaclass, as
// connection classes do, whose Create is the virtual constructor:
//
//   class TMyStorage : public TKveloStorageOf<TMyConnection> {
//    public:
//     static const TMetaClass& MetaClass();  // TKveloStorageMetaClassOf<TMyStorage>, one static object
//     explicit TMyStorage(TConnection& AConnection) : TKveloStorageOf(AConnection, MetaClass()) {}
//     ...
//   };

#include <memory>
#include <string>
#include <vector>

#include "Common.Classes.h"
#include "Common.ExceptionEx.h"
#include "Ox.Doc.Properties.h"
#include "Ox_Storage.Types.h"
#include "Runtime.DateTime.h"
#include "Runtime.Streams.h"
#include "Runtime.StringList.h"

class TKveloStorage;
class IKveloStorageEntry;
class IKveloStorageFolder;
class IKveloStorageDocument;
class IKveloStorageExternalDocument;
class IKveloStorageOpenedDocument;

using TKveloStorageEntries = std::vector<TInterfacePtr<IKveloStorageEntry>>;

// --- folder properties ------------------------------------------------------------------------

// A folder's properties, kept in "<folder>/.oxdata/config.xml" as attributes of the root element.
struct TFolderProperties {
  std::string ObjName;
  std::string ConName;
  std::string StgName;
  std::string Comment;
  std::string RegNum;
  std::string LocNum;

  // The properties file of a folder.
  static std::string FileName(const std::string& AFolderPath);
  // All empty when the folder has no properties file; a malformed file raises the parser's error.
  static TFolderProperties Load(const std::string& AFolderPath);
  // Writes the six attributes (an empty one removed), keeping everything else of an existing file;
  // a new file gets the root element "OKveloFolder". The file is replaced whole.
  void Save(const std::string& AFolderPath) const;

  friend bool operator==(const TFolderProperties&, const TFolderProperties&) = default;
};

// --- interfaces -------------------------------------------------------------------------------

// The storage object behind an interface.
class IKveloStorageReferense : public virtual IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{71378574-93F8-4E54-BB73-21EC51BEE3B1}");
  virtual TKveloStorage* GetStorage() = 0;

 protected:
  ~IKveloStorageReferense() = default;
};

// Title and description are the same text in every storage of this system. The changing
// operations (rename, delete, move) are for writable storages; read-only ones refuse them.
class IKveloStorageEntry : public virtual IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{2F9A581C-B95C-4FA2-9AE7-284F5EB07CE2}");
  virtual std::string GetTitle() = 0;
  virtual std::string GetDescription() = 0;
  virtual void SetDescription(const std::string& Value) = 0;
  virtual TDateTime GetDateCreate() = 0;
  virtual TDateTime GetDateChange() = 0;
  virtual void Delete() = 0;
  virtual void MoveTo(const TInterfacePtr<IKveloStorageFolder>& ATarget) = 0;

 protected:
  ~IKveloStorageEntry() = default;
};

class IKveloStorageFolder : public virtual IKveloStorageEntry {
 public:
  static constexpr TGUID IID = TGUID::FromString("{D9ADEA0A-EB53-4493-9FC2-25BB2D4A293C}");
  virtual bool GetHasSubItems() = 0;
  virtual TFolderProperties GetProperies() = 0;
  virtual void SetProperties(const TFolderProperties& Value) = 0;
  virtual TInterfacePtr<IKveloStorageFolder> CreateFolder(const std::string& ADescription) = 0;
  virtual TInterfacePtr<IKveloStorageDocument> CreateDocument(const std::string& ADescription,
                                                              const TOxDocCommonProperties& AProperties,
                                                              TStream& AData) = 0;
  virtual TInterfacePtr<IKveloStorageExternalDocument> CreateExternalDocument(const std::string& ADescription,
                                                                              TStream& AData) = 0;
  virtual TKveloStorageEntries LoadChildItems() = 0;
  virtual TInterfacePtr<IKveloStorageEntry> FindEntry(const std::string& AShortPath) = 0;

 protected:
  ~IKveloStorageFolder() = default;
};

class IKveloStorageDocument : public virtual IKveloStorageEntry {
 public:
  static constexpr TGUID IID = TGUID::FromString("{831B2F0C-BDA5-4021-9143-5748E50F3B48}");
  virtual TOxDocCommonProperties GetProperties() = 0;
  // Copies the document into AData and opens it; a writable storage also locks it.
  virtual TInterfacePtr<IKveloStorageOpenedDocument> OpenAndLockData(TStream& AData) = 0;
  virtual void ReadData(TStream& AData) = 0;

 protected:
  ~IKveloStorageDocument() = default;
};

// A file that is not an estimate document: the desktop's application for its type edits it.
class IKveloStorageExternalDocument : public virtual IKveloStorageEntry {
 public:
  static constexpr TGUID IID = TGUID::FromString("{DC0F7390-BBC2-44D2-87B6-32A6617AE568}");
  virtual void ReadData(TStream& AData) = 0;
  virtual void Edit() = 0;

 protected:
  ~IKveloStorageExternalDocument() = default;
};

class IKveloStorageOpenedDocument : public virtual IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{A663341C-DF4C-4FFD-B140-B6EEC506C772}");
  virtual TInterfacePtr<IKveloStorageDocument> GetDocument() = 0;
  virtual bool GetReadOnly() = 0;
  // What to tell the user about a read-only opening; may be empty.
  virtual std::string GetReadOnlyOpenPromt() = 0;
  virtual void Save(const TOxDocCommonProperties& AProperties, TStream& AData) = 0;
  virtual void Close() = 0;

 protected:
  ~IKveloStorageOpenedDocument() = default;
};

// --- errors -----------------------------------------------------------------------------------

class EKveloStorageFolderPropertiesNotSupported;

// Raised inside a handler, it keeps the handled exception as its inner one.
class EKveloStorageError : public ExceptionEx {
 public:
  using ExceptionEx::ExceptionEx;
  static EKveloStorageError ItemNotFound();
  static EKveloStorageError ItemNotFound(const std::string& AItemTitle);
  static EKveloStorageError DocumentIsLocked(const std::string& ADocTitle);
  // For folders as well as documents.
  static EKveloStorageError ItemIsReadOnly(const std::string& ATitle);
  static EKveloStorageFolderPropertiesNotSupported FolderPropertiesNotSupported();
};

class EKveloStorageFolderPropertiesNotSupported : public EKveloStorageError {
 public:
  using EKveloStorageError::EKveloStorageError;
};

// --- storages ---------------------------------------------------------------------------------

class TKveloStorage : public TFlexiblePersistInterfacedObject, public IKveloStorageReferense {
 public:
  // The class operations of a storage class; Create is its virtual constructor.
  class TMetaClass {
   public:
    virtual ~TMetaClass() = default;
    virtual std::string ClassName() const = 0;
    virtual TConnectionClass ConnectionClass() const = 0;
    // A new storage on AConnection, owned by the caller.
    virtual TKveloStorage* Create(TConnection& AConnection) const = 0;
    // Registers the class with TKveloStorageFactory.
    void RegisterSelf() const;
  };

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  TKveloStorage* GetStorage() override { return this; }

  // The class the storage was built as.
  const TMetaClass& ClassType() const { return *FClass; }
  TConnectionClass ConnectionClass() const { return FClass->ConnectionClass(); }

  // Indexes into the client's image lists; Size 0 normal, 1 large, 2 tile.
  virtual std::int32_t GetImageIndex(std::int32_t Size) = 0;
  virtual bool IsReadOnly() { return false; }
  virtual TKveloStorageEntries LoadChildItems() = 0;
  virtual TInterfacePtr<IKveloStorageEntry> FindEntry(const std::string& AShortPath) = 0;
  virtual TInterfacePtr<IKveloStorageFolder> CreateFolder(const std::string& ADescription) = 0;
  virtual TInterfacePtr<IKveloStorageDocument> CreateDocument(const std::string& ADescription,
                                                              const TOxDocCommonProperties& AProperties,
                                                              TStream& AData) = 0;
  virtual TInterfacePtr<IKveloStorageExternalDocument> CreateExternalDocument(const std::string& ADescription,
                                                                              TStream& AData) = 0;

  TConnection& Connection() const { return FConnection; }
  // The connection's caption, as it is now.
  std::string RootDisplayName() const { return FConnection.Caption(); }
  std::int32_t RootImageIndex() { return GetImageIndex(0); }
  std::int32_t RootLargeImageIndex() { return GetImageIndex(1); }
  std::int32_t RootTileImageIndex() { return GetImageIndex(2); }
  // Extensions of external documents: sorted, letter case ignored, no duplicates.
  TStringList& ExternalFileExts() { return FExternalFileExts; }

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 protected:
  // AClass is the class being built; AConnection must be of its connection class or a descendant
  // (assertion). The connection is not owned and must outlive the storage.
  TKveloStorage(TConnection& AConnection, const TMetaClass& AClass);
  ~TKveloStorage() override;

 private:
  TConnection& FConnection;
  const TMetaClass* FClass;
  TStringList FExternalFileExts;
};

using TKveloStorageClass = const TKveloStorage::TMetaClass*;
// The owner of a storage the factory created.
using TKveloStoragePtr = std::unique_ptr<TKveloStorage, TFreeObject>;

// The metaclass of a storage class S: S::ConnectionClassType is its connection class, and S has a
// constructor taking the connection.
template <class S>
class TKveloStorageMetaClassOf : public TKveloStorage::TMetaClass {
 public:
  std::string ClassName() const override { return TypeName(typeid(S)); }
  TConnectionClass ConnectionClass() const override { return &S::ConnectionClassType::MetaClass(); }
  TKveloStorage* Create(TConnection& AConnection) const override { return NewObject<S>(AConnection); }
};

// A storage whose content hangs below one root folder; the storage's operations are the root's.
template <class T>
class TKveloStorageOf : public TKveloStorage {
 public:
  using ConnectionClassType = T;

  virtual TInterfacePtr<IKveloStorageFolder> GetRoot() = 0;

  // The connection as its class; checked.
  T& Connection() const {
    T* connection = dynamic_cast<T*>(&TKveloStorage::Connection());
    ASSERT(connection != nullptr);
    return *connection;
  }

  TKveloStorageEntries LoadChildItems() override { return GetRoot()->LoadChildItems(); }
  TInterfacePtr<IKveloStorageEntry> FindEntry(const std::string& AShortPath) override {
    return GetRoot()->FindEntry(AShortPath);
  }
  TInterfacePtr<IKveloStorageFolder> CreateFolder(const std::string& ADescription) override {
    return GetRoot()->CreateFolder(ADescription);
  }
  TInterfacePtr<IKveloStorageDocument> CreateDocument(const std::string& ADescription,
                                                      const TOxDocCommonProperties& AProperties,
                                                      TStream& AData) override {
    return GetRoot()->CreateDocument(ADescription, AProperties, AData);
  }
  TInterfacePtr<IKveloStorageExternalDocument> CreateExternalDocument(const std::string& ADescription,
                                                                      TStream& AData) override {
    return GetRoot()->CreateExternalDocument(ADescription, AData);
  }

 protected:
  using TKveloStorage::TKveloStorage;
};

// The registry of storage classes (class-level only).
class TKveloStorageFactory {
 public:
  class Exception : public ::Exception {
   public:
    using ::Exception::Exception;
    static Exception StorageClassNotFound(const TConnection& Connection);
  };

  TKveloStorageFactory() = delete;

  // Also registers the class's connection class with TConnectionsFactory. A class registered
  // twice raises EListError; the first registration stays.
  static void Register(TKveloStorageClass AStorageClass);
  // Takes a class out again (for code that registers classes of its own for a while).
  static void Unregister(TKveloStorageClass AStorageClass);
  // A new storage of the first registered class (in registration order) whose connection class
  // is AConnection's or an ancestor of it; Exception StorageClassNotFound when none is.
  static TKveloStoragePtr CreateStorage(TConnection& AConnection);
};

// A document opened for reading only: Save is refused, Close does nothing.
class TKveloStorageReadOnlyOpenedDocument : public TFlexibleInterfacedObject, public IKveloStorageOpenedDocument {
 public:
  // ADoc must be present (assertion).
  TKveloStorageReadOnlyOpenedDocument(TInterfacePtr<IKveloStorageDocument> ADoc, std::string APromt);

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  TInterfacePtr<IKveloStorageDocument> GetDocument() override { return FDoc; }
  bool GetReadOnly() override { return true; }
  std::string GetReadOnlyOpenPromt() override { return FPromt; }
  // Exception "Попытка сохранить ReadOnly документ".
  void Save(const TOxDocCommonProperties& AProperties, TStream& AData) override;
  void Close() override {}

 private:
  TInterfacePtr<IKveloStorageDocument> FDoc;
  std::string FPromt;
};
