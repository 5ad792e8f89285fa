#pragma once
// Data sources on WebDAV servers: any server holding estimate documents (TWebDAVConnection) and
// the maker's web document service (TOrvelKveloRuKveloStorage::TConnection), and the read-only
// storage over them: every collection is a folder, every resource carrying a document type in
// the estimate namespace an estimate document, every other resource an external document.
// Nothing is ever written to the server.

#include <string>

#include "Common.SysUtils.h"
#include "Ox.Types.h"
#include "Ox_KveloStorage.Types.h"
#include "Ox_Storage.ConnectionPool.h"
#include "Ox_Storage.Types.h"

class TPropFindEntry;

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

// A WebDAV collection (the connection's Address, used exactly as stored) as a read-only folder
// tree. Folder contents are not cached: every listing asks the server again and gives new
// entries. Entries refer to the storage without keeping it: it must outlive their use.
class TWebDAVReadOnlyKveloStorage : public TKveloStorageOf<TWebDAVConnection> {
 public:
  class TEntry;
  class TFolder;
  class TDocument;
  class TExternalDocument;

  static const TMetaClass& MetaClass();
  explicit TWebDAVReadOnlyKveloStorage(TConnection& AConnection);

  // 18 normal, 15 large, 2 tile, -1 for any other size.
  std::int32_t GetImageIndex(std::int32_t Size) override;
  bool IsReadOnly() override { return true; }
  TInterfacePtr<IKveloStorageFolder> GetRoot() override { return FRoot; }

  // An href of a listing as an absolute URL: one starting with "http://" (any letter case) as it
  // is; a server-relative one after the protocol, lower-case host and port of the connection's
  // address ("/dav/a.xml" on "http://H:8080/dav/" gives "http://h:8080/dav/a.xml").
  std::string AbsoluteUrl(const std::string& Href) const;

 protected:
  TWebDAVReadOnlyKveloStorage(TConnection& AConnection, const TMetaClass& AClass);

 private:
  TInterfacePtr<IKveloStorageFolder> FRoot;
};

// An entry of the storage: its name is the decoded last segment of its URL, and every change to
// it is refused.
class TWebDAVReadOnlyKveloStorage::TEntry : public TFlexibleInterfacedObject, public virtual IKveloStorageEntry {
 public:
  TEntry(TWebDAVReadOnlyKveloStorage& AStorage, const TPropFindEntry& APropFindEntry);
  TEntry(TWebDAVReadOnlyKveloStorage& AStorage, std::string AUrl);

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  std::string GetTitle() override { return FDescription; }
  std::string GetDescription() override { return FDescription; }
  void SetDescription(const std::string& Value) override;
  TDateTime GetDateCreate() override { return FDateCreate; }
  TDateTime GetDateChange() override { return FDateChange; }
  void Delete() override;
  void MoveTo(const TInterfacePtr<IKveloStorageFolder>& ATarget) override;

  TWebDAVReadOnlyKveloStorage& Storage() const { return FStorage; }
  const std::string& Description() const { return FDescription; }
  // Absolute, percent-encoded as the server gave it.
  const std::string& Url() const { return FUrl; }

 protected:
  [[noreturn]] void RaiseReadOnly() const;

  std::string FDescription;
  std::string FUrl;
  TWebDAVReadOnlyKveloStorage& FStorage;
  TDateTime FDateCreate = 0;  // the change date: the listing gives no other
  TDateTime FDateChange = 0;
};

class TWebDAVReadOnlyKveloStorage::TFolder : public TEntry, public IKveloStorageFolder {
 public:
  using TEntry::TEntry;

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  // True also for an empty collection: finding out would cost a listing.
  bool GetHasSubItems() override { return true; }
  TFolderProperties GetProperies() override { return {}; }
  void SetProperties(const TFolderProperties& Value) override;
  TInterfacePtr<IKveloStorageFolder> CreateFolder(const std::string& ADescription) override;
  TInterfacePtr<IKveloStorageDocument> CreateDocument(const std::string& ADescription,
                                                      const TOxDocCommonProperties& AProperties,
                                                      TStream& AData) override;
  TInterfacePtr<IKveloStorageExternalDocument> CreateExternalDocument(const std::string& ADescription,
                                                                      TStream& AData) override;
  // The members of the collection in the server's order, the collection itself left out when its
  // href names this folder's URL (one trailing "/" aside). Transport and status failures keep
  // their class and get the message "Ошибка получении дочерних элементов по ссылке\r\n<decoded
  // URL>\r\nТекст ошибки: <message>".
  TKveloStorageEntries LoadChildItems() override;
  // Not available (assertion).
  TInterfacePtr<IKveloStorageEntry> FindEntry(const std::string& AShortPath) override;
};

class TWebDAVReadOnlyKveloStorage::TDocument : public TEntry, public IKveloStorageDocument {
 public:
  // APropFindEntry must not be a collection (assertion).
  TDocument(TWebDAVReadOnlyKveloStorage& AStorage, const TPropFindEntry& APropFindEntry, TKveloDocumentType ADocType);

  // The "KveloDocType" property of the estimate namespace as a document type; none when it is
  // missing or no ordinal of one.
  static TNullable<TKveloDocumentType> GetDocType(const TPropFindEntry& APropFindEntry);

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  // Only the document type is known.
  TOxDocCommonProperties GetProperties() override { return TOxDocCommonProperties::Create(FDocType); }
  // Downloads the document and opens it read-only; nothing is locked on the server. A document
  // the server no longer has (404) raises EKveloStorageError ItemNotFound with the HTTP error inside.
  TInterfacePtr<IKveloStorageOpenedDocument> OpenAndLockData(TStream& AData) override;
  // Downloads the document; the web client's errors pass on.
  void ReadData(TStream& AData) override;
  TKveloDocumentType DocType() const { return FDocType; }

 private:
  TKveloDocumentType FDocType;
};

class TWebDAVReadOnlyKveloStorage::TExternalDocument : public TEntry, public IKveloStorageExternalDocument {
 public:
  using TEntry::TEntry;

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  void ReadData(TStream& AData) override;
  // Copies the file into the temporary folder under its own name (made safe for a file name),
  // read-only, and hands it to the desktop's application for its type. The copy is downloaded
  // beside the old one and replaces it only when complete.
  void Edit() override;
  // The copy's file name: the entry's name without path separators, "..", or control characters.
  static std::string LocalFileName(const std::string& ADescription);
};

// The maker's web document service: the same storage on the service's connection.
class TOrvelKveloRuKveloStorage : public TWebDAVReadOnlyKveloStorage {
 public:
  // The service's connection: class identifier "OX.OrvelKvelo.Ru.KveloDocs", shown as
  // "Данные с " + WebServiceDomain. Its address stays empty.
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
  using ConnectionClassType = TConnection;

  static const TKveloStorage::TMetaClass& MetaClass();
  explicit TOrvelKveloRuKveloStorage(::TConnection& AConnection);

  // Appends a new service connection captioned WebServiceHost to the pool, which owns it, and
  // returns it. The pool takes duplicates: check first with Pool.FindConnection(TConnection::ClassID()).
  static ::TConnection& AddConnectionToPool(TConnectionsPool& Pool);
};

// Registers the service's connection class; part of InitializeConnectionClasses.
void RegisterWebDAVConnectionClasses();

// Registers every connection class of the product with TConnectionsFactory, so that stored
// connections can be recreated. Programs call it once at start, before any pool exists.
void InitializeConnectionClasses();
