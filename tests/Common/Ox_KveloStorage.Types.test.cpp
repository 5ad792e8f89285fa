#include "Ox_KveloStorage.Types.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Common.XMLUtils.h"
#include "ConnectionTestClasses.h"
#include "Ox_Storage.FileSystemConnection.h"
#include "platform/FileSystem.h"
#include "support/MessageOf.h"
#include "support/TempDir.h"

namespace {
// A root folder that answers its listing with itself and records what it was asked to create.
class TTestFolder : public TFlexibleInterfacedObject, public IKveloStorageFolder {
 public:
  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override {
    if (GetInterface<IKveloStorageFolder, IKveloStorageEntry>(this, AIID, Obj)) return S_OK;
    return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
  }
  std::string GetTitle() override { return "root"; }
  std::string GetDescription() override { return "root"; }
  void SetDescription(const std::string&) override {}
  TDateTime GetDateCreate() override { return 0; }
  TDateTime GetDateChange() override { return 0; }
  void Delete() override {}
  void MoveTo(const TInterfacePtr<IKveloStorageFolder>&) override {}
  bool GetHasSubItems() override { return true; }
  TFolderProperties GetProperies() override { return {}; }
  void SetProperties(const TFolderProperties&) override {}
  TInterfacePtr<IKveloStorageFolder> CreateFolder(const std::string& ADescription) override {
    Created = ADescription;
    return this;
  }
  TInterfacePtr<IKveloStorageDocument> CreateDocument(const std::string& ADescription,
                                                      const TOxDocCommonProperties& AProperties, TStream&) override {
    Created = ADescription + "/" + DocTypeName(AProperties.DocType);
    return nullptr;
  }
  TInterfacePtr<IKveloStorageExternalDocument> CreateExternalDocument(const std::string& ADescription,
                                                                      TStream&) override {
    Created = ADescription;
    return nullptr;
  }
  TKveloStorageEntries LoadChildItems() override { return {TInterfacePtr<IKveloStorageEntry>(this)}; }
  TInterfacePtr<IKveloStorageEntry> FindEntry(const std::string& AShortPath) override {
    Created = "find " + AShortPath;
    return this;
  }

  std::string Created;
};

class TFolderStorage : public TKveloStorageOf<TFileSystemConnection> {
 public:
  static const TMetaClass& MetaClass() {
    static const TKveloStorageMetaClassOf<TFolderStorage> metaClass;
    return metaClass;
  }
  explicit TFolderStorage(TConnection& AConnection) : TKveloStorageOf(AConnection, MetaClass()) {}

  std::int32_t GetImageIndex(std::int32_t Size) override { return Size + 1; }
  TInterfacePtr<IKveloStorageFolder> GetRoot() override { return FRoot; }

  TTestFolder* Root() const { return FRoot; }

 protected:
  TFolderStorage(TConnection& AConnection, const TMetaClass& AClass) : TKveloStorageOf(AConnection, AClass) {}

 private:
  TTestFolder* FRoot = NewObject<TTestFolder>();
  TInterfacePtr<IKveloStorageFolder> FRootRef{FRoot};
};

// A storage for the connections with a login dialog only, which derive from folder connections.
class TLoginStorage : public TFolderStorage {
 public:
  using ConnectionClassType = TTestLoginConnection;
  static const TMetaClass& MetaClass() {
    static const TKveloStorageMetaClassOf<TLoginStorage> metaClass;
    return metaClass;
  }
  explicit TLoginStorage(TConnection& AConnection) : TFolderStorage(AConnection, MetaClass()) {}
};

// Registers storage classes for the lifetime of the object, leaving the registries as they were.
class TScopedStorageClasses {
 public:
  explicit TScopedStorageClasses(std::initializer_list<TKveloStorageClass> Classes) : FClasses(Classes) {
    for (TKveloStorageClass c : FClasses) c->RegisterSelf();
  }
  ~TScopedStorageClasses() {
    for (TKveloStorageClass c : FClasses) {
      TKveloStorageFactory::Unregister(c);
      if (c->ConnectionClass() == &TTestLoginConnection::MetaClass())
        TConnectionsFactory::UnregisterConnectionClass(c->ConnectionClass());
    }
  }

 private:
  std::vector<TKveloStorageClass> FClasses;
};
}  // namespace

TEST(KveloStorageFactory, CreatesTheFirstRegisteredClassThatTakesTheConnection) {
  TFileSystemConnection folder;
  folder.SetCaption("Archive");
  EXPECT_EQ(MessageOf<TKveloStorageFactory::Exception>([&] { TKveloStorageFactory::CreateStorage(folder); }),
            "TKveloStorageClass for \"Archive\" (class TFileSystemConnection) not registered");

  TTestLoginConnection login;
  {
    TScopedStorageClasses registered{&TLoginStorage::MetaClass(), &TFolderStorage::MetaClass()};
    EXPECT_EQ(TConnectionsFactory::FindByClassID("Test.Login", false), &TTestLoginConnection::MetaClass());
    EXPECT_THROW(TKveloStorageFactory::Register(&TFolderStorage::MetaClass()), EListError);

    TKveloStoragePtr forFolder = TKveloStorageFactory::CreateStorage(folder);
    EXPECT_EQ(&forFolder->ClassType(), &TFolderStorage::MetaClass());
    EXPECT_EQ(&forFolder->Connection(), &folder);
    TKveloStoragePtr forLogin = TKveloStorageFactory::CreateStorage(login);
    EXPECT_EQ(&forLogin->ClassType(), &TLoginStorage::MetaClass());
  }
  {
    // The folder storage, registered first, takes the derived connection too.
    TScopedStorageClasses registered{&TFolderStorage::MetaClass(), &TLoginStorage::MetaClass()};
    EXPECT_EQ(&TKveloStorageFactory::CreateStorage(login)->ClassType(), &TFolderStorage::MetaClass());
  }
  EXPECT_EQ(TConnectionsFactory::FindByClassID("Test.Login", false), nullptr);
}

TEST(KveloStorage, TheRootAnswersForTheStorage) {
  TFileSystemConnection folder;
  folder.SetCaption("Archive");
  TKveloStoragePtr storage(TFolderStorage::MetaClass().Create(folder));
  EXPECT_EQ(storage->RootDisplayName(), "Archive");
  folder.SetCaption("Old archive");
  EXPECT_EQ(storage->RootDisplayName(), "Old archive");
  EXPECT_EQ(storage->RootImageIndex(), 1);
  EXPECT_EQ(storage->RootLargeImageIndex(), 2);
  EXPECT_EQ(storage->RootTileImageIndex(), 3);
  EXPECT_FALSE(storage->IsReadOnly());

  TInterfacePtr<IKveloStorageReferense> reference;
  ASSERT_TRUE(Supports<IKveloStorageReferense>(static_cast<IInterface*>(storage.get()), reference));
  EXPECT_EQ(reference->GetStorage(), storage.get());

  auto& typed = static_cast<TFolderStorage&>(*storage);
  EXPECT_EQ(&typed.TKveloStorageOf::Connection(), &folder);
  TMemoryStream data;
  ASSERT_EQ(storage->LoadChildItems().size(), 1u);
  storage->CreateFolder("f");
  EXPECT_EQ(typed.Root()->Created, "f");
  storage->CreateDocument("d", TOxDocCommonProperties::Create(sdtIndexes), data);
  EXPECT_EQ(typed.Root()->Created, "d/sdtIndexes");
  storage->CreateExternalDocument("e", data);
  EXPECT_EQ(typed.Root()->Created, "e");
  storage->FindEntry("a/b");
  EXPECT_EQ(typed.Root()->Created, "find a/b");

  TStringList& exts = storage->ExternalFileExts();
  exts.Add(".pdf");
  exts.Add(".DOC");
  exts.Add(".PDF");
  EXPECT_EQ(exts.ToStringArray(), (std::vector<std::string>{".DOC", ".pdf"}));
}

TEST(KveloStorage, ProgrammingErrorsAreAssertions) {
  TTestLoginConnection login;
  TFileSystemConnection folder;
  try {
    NewObject<TLoginStorage>(folder);  // a folder connection is no login connection
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    // Builds through ccache see relative source paths; the unit's own path is what counts.
    EXPECT_THAT(e.UnitPath(), ::testing::EndsWith("Common/Ox_KveloStorage.Types"));
  }
  TKveloStoragePtr fits(NewObject<TLoginStorage>(login));
  EXPECT_THROW(NewObject<TKveloStorageReadOnlyOpenedDocument>(nullptr, "x"), EAssertionFailed);
}

TEST(KveloStorage, ReadOnlyOpenedDocument) {
  class TDoc : public TFlexibleInterfacedObject, public IKveloStorageDocument {
   public:
    HRESULT QueryInterface(const TGUID& AIID, void** Obj) override {
      if (GetInterface<IKveloStorageDocument, IKveloStorageEntry>(this, AIID, Obj)) return S_OK;
      return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
    }
    std::string GetTitle() override { return "d"; }
    std::string GetDescription() override { return "d"; }
    void SetDescription(const std::string&) override {}
    TDateTime GetDateCreate() override { return 0; }
    TDateTime GetDateChange() override { return 0; }
    void Delete() override {}
    void MoveTo(const TInterfacePtr<IKveloStorageFolder>&) override {}
    TOxDocCommonProperties GetProperties() override { return {}; }
    TInterfacePtr<IKveloStorageOpenedDocument> OpenAndLockData(TStream&) override { return nullptr; }
    void ReadData(TStream&) override {}
  };
  TInterfacePtr<IKveloStorageDocument> doc(NewObject<TDoc>());
  TInterfacePtr<IKveloStorageOpenedDocument> opened(NewObject<TKveloStorageReadOnlyOpenedDocument>(doc, ""));
  EXPECT_EQ(opened->GetDocument(), doc);
  EXPECT_TRUE(opened->GetReadOnly());
  EXPECT_EQ(opened->GetReadOnlyOpenPromt(), "");
  TMemoryStream data;
  EXPECT_EQ(MessageOf<Exception>([&] { opened->Save({}, data); }), "Попытка сохранить ReadOnly документ");
  opened->Close();
}

TEST(KveloStorage, ErrorMessages) {
  EXPECT_EQ(EKveloStorageError::ItemNotFound().Message(), "Элемент не найден");
  EXPECT_EQ(EKveloStorageError::ItemNotFound("Plans").Message(), "Элемент \"Plans\" не найден");
  EXPECT_EQ(EKveloStorageError::DocumentIsLocked("Plans").Message(),
            "Документ \"Plans\" уже открыт другим пользователем");
  EXPECT_EQ(EKveloStorageError::ItemIsReadOnly("Plans").Message(), "Документ \"Plans\" доступен только для чтения");
  EKveloStorageFolderPropertiesNotSupported notSupported = EKveloStorageError::FolderPropertiesNotSupported();
  EXPECT_EQ(notSupported.Message(), "Свойства у папок не поддерживаются");
}

TEST(FolderProperties, AMissingFileReadsEmptyAndCreatesNothing) {
  TTempDir dir;
  EXPECT_EQ(TFolderProperties::Load(dir.Path()), TFolderProperties{});
  EXPECT_FALSE(platform::DirectoryExists(dir.File(".oxdata")));
}

TEST(FolderProperties, ANewFileHoldsOnlyTheSetProperties) {
  TTempDir dir;
  TFolderProperties props;
  props.ObjName = "Школа №\x01 5";
  props.Save(dir.File("sub"));  // the folder itself need not exist yet

  TXMLDocument doc = LoadXmlFile(dir.File("sub/.oxdata/config.xml"));
  EXPECT_EQ(doc.DocumentElement().NodeName(), "OKveloFolder");
  EXPECT_EQ(doc.DocumentElement().AttributeNames(), std::vector<std::string>{"ObjName"});
  EXPECT_EQ(TFolderProperties::Load(dir.File("sub")).ObjName, "Школа № 5");  // control character dropped
}

TEST(FolderProperties, SavingAgainKeepsWhatIsNotOurs) {
  TTempDir dir;
  dir.WriteFile(".oxdata/config.xml",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<Folder Comment=\"old\" Owner=\"me\" RegNum=\"7\"><Note>keep</Note></Folder>");
  TFolderProperties props = TFolderProperties::Load(dir.Path());
  EXPECT_EQ(props.Comment, "old");
  EXPECT_EQ(props.RegNum, "7");
  props.Comment.clear();
  props.LocNum = "L1";
  props.Save(dir.Path());

  TXMLDocument doc = LoadXmlFile(dir.File(".oxdata/config.xml"));
  TXMLNode root = doc.DocumentElement();
  EXPECT_EQ(root.NodeName(), "Folder");
  EXPECT_EQ(root.AttributeNames(), (std::vector<std::string>{"Owner", "LocNum", "RegNum"}));
  EXPECT_EQ(GetNodeText(SelectNode(root, "Note"), ""), "keep");
  EXPECT_EQ(TFolderProperties::Load(dir.Path()).LocNum, "L1");
}

TEST(FolderProperties, AMalformedFileFailsAndStaysAsItWas) {
  TTempDir dir;
  dir.WriteFile(".oxdata/config.xml", "<Folder ObjName=");
  EXPECT_THROW(TFolderProperties::Load(dir.Path()), EXMLParseError);
  EXPECT_THROW(TFolderProperties{}.Save(dir.Path()), EXMLParseError);
  EXPECT_EQ(dir.ReadFile(".oxdata/config.xml"), "<Folder ObjName=");
}
