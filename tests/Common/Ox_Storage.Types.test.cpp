#include "Ox_Storage.Types.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "ConnectionTestClasses.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.FileSystemConnection.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "support/MessageOf.h"
#include "support/TempDir.h"

namespace {
const TStorageKinds kAllKinds{TStorageKind::Kvelo, TStorageKind::NormBase, TStorageKind::FormTemplate,
                              TStorageKind::DocTemplate};

class ConnectionModel : public ::testing::Test {
 protected:
  void SetUp() override { InitializeConnectionClasses(); }
};
}  // namespace

TEST_F(ConnectionModel, ANewFolderConnection) {
  TFileSystemConnection a, b;
  EXPECT_EQ(a.GetUsages(), TStorageKinds{TStorageKind::Kvelo});
  EXPECT_FALSE(a.UseRecycleBin());
  EXPECT_FALSE(a.Connected());
  EXPECT_TRUE(std::regex_match(a.InstanceUID(), std::regex("[0-9A-F]{32}"))) << a.InstanceUID();
  EXPECT_NE(a.InstanceUID(), b.InstanceUID());
  EXPECT_EQ(TFileSystemConnection::ClassID(), "OX.Files");
  EXPECT_EQ(TFileSystemConnection::DisplayName(), "Папка");
  EXPECT_EQ(TFileSystemConnection::SupportedKinds(), kAllKinds);
  EXPECT_FALSE(TFileSystemConnection::IsInternal());
  EXPECT_FALSE(TFileSystemConnection::LoginDlgRequired());
  EXPECT_TRUE(TFileSystemConnection::SupportsKvelo() && TFileSystemConnection::SupportsNormBases());
}

// Seen through the base class, an object answers for its own class.
TEST_F(ConnectionModel, ClassOperationsDispatchOnTheRunTimeClass) {
  TOrvelKveloRuKveloStorage::TConnection service;
  const TConnection& asBase = service;
  EXPECT_EQ(asBase.ClassType().ClassID(), "OX.OrvelKvelo.Ru.KveloDocs");
  EXPECT_EQ(asBase.Location().ConnectionClassId, "OX.OrvelKvelo.Ru.KveloDocs");
  EXPECT_TRUE(asBase.ClassType().InheritsFrom(TWebDAVConnection::MetaClass()));
  EXPECT_TRUE(asBase.ClassType().IsServerClass());
  EXPECT_FALSE(TFileSystemConnection::MetaClass().IsServerClass());

  std::unique_ptr<TConnection> created = TFileSystemConnection::MetaClass().Create();
  EXPECT_EQ(&created->ClassType(), &TFileSystemConnection::MetaClass());

  EXPECT_TRUE(TTestLoginConnection::LoginDlgRequired());
  EXPECT_EQ(TTestLoginConnection::DisplayName(), "С паролем");
}

TEST_F(ConnectionModel, AbstractOperationsAndAMissingDisplayNameFail) {
  EXPECT_THROW(TConnection::MetaClass().ClassID(), EAbstractError);
  EXPECT_THROW(TServerConnection::SupportedKinds(), EAbstractError);
  EXPECT_THROW(TCustomFileSystemConnection::MetaClass().Create(), EAbstractError);
  // Only the class's own display name counts, not its parent's.
  EXPECT_THROW(TWebDAVConnection::DisplayName(), EAssertionFailed);
  EXPECT_THROW(TCustomFileSystemConnection::DisplayName(), EAssertionFailed);
}

TEST_F(ConnectionModel, UsagesShowOnlySupportedKindsAndTurnTheRecycleBinOff) {
  TFileSystemConnection folder;
  folder.SetUseRecycleBin(true);
  EXPECT_TRUE(folder.CanUseRecycleBin());
  folder.SetUsages({TStorageKind::NormBase});
  EXPECT_FALSE(folder.UseRecycleBin());
  EXPECT_FALSE(folder.CanUseRecycleBin());
  folder.SetUsages(kAllKinds);
  EXPECT_FALSE(folder.UseRecycleBin());  // not restored
  EXPECT_EQ(folder.GetUsages(), kAllKinds);

  TWebDAVConnection server;
  TOrvelKveloRuKveloStorage::TConnection service;
  for (TConnection* web : {static_cast<TConnection*>(&server), static_cast<TConnection*>(&service)}) {
    web->SetUsages(kAllKinds);
    EXPECT_EQ(web->GetUsages(), TStorageKinds{TStorageKind::Kvelo});
    EXPECT_FALSE(web->CanUseRecycleBin());
  }
}

TEST_F(ConnectionModel, ConnectingAFolderCreatesIt) {
  TTempDir dir;
  TFileSystemConnection folder;
  folder.SetAddress(dir.File("a/b/Сметы"));
  folder.Connect("user", "secret");
  EXPECT_TRUE(folder.Connected());
  EXPECT_TRUE(platform::DirectoryExists(dir.File("a/b/Сметы")));
  folder.Disconnect();
  EXPECT_FALSE(folder.Connected());

  dir.WriteFile("file", "x");
  folder.SetAddress(dir.File("file/below"));
  EXPECT_THROW(folder.Connect("", ""), EOSError);
  EXPECT_FALSE(folder.Connected());
}

TEST_F(ConnectionModel, TheRegistryFindsExactIdentifiersOnly) {
  EXPECT_EQ(TConnectionsFactory::FindByClassID("OX.Files", true), &TFileSystemConnection::MetaClass());
  EXPECT_EQ(TConnectionsFactory::FindByClassID("OX.OrvelKvelo.Ru.KveloDocs", true),
            &TOrvelKveloRuKveloStorage::TConnection::MetaClass());
  EXPECT_EQ(TConnectionsFactory::FindByClassID("ox.files", false), nullptr);
  EXPECT_EQ(TConnectionsFactory::FindByClassID("OX.WebDAV.ReadOnly", false), nullptr);  // a base only
  EXPECT_EQ(MessageOf<TConnectionsFactory::Exception>([] { TConnectionsFactory::FindByClassID("ox.files", true); }),
            "Класс источника данных с идентификатором \"ox.files\" не зарегистрирован");
}

TEST_F(ConnectionModel, ARegistrationReplacesTheClassOfTheSameIdentifierAndInternalOnesAreListed) {
  {
    TScopedConnectionClass internal(&TTestInternalConnection::MetaClass());
    EXPECT_GE(TConnectionsFactory::InternalClassIDs().IndexOf("TEST.INTERNAL"), 0);

    // Same identifier as the folder class: the later registration wins.
    struct TReplacement : TTestLoginConnection::TMetaClass {
      std::string ClassID() const override { return "OX.Files"; }
    };
    static const TReplacement replacement;
    TConnectionsFactory::RegisterConnectionClass(&replacement);
    EXPECT_EQ(TConnectionsFactory::FindByClassID("OX.Files", true), &replacement);
    RegisterFileSystemConnectionClasses();
    EXPECT_EQ(TConnectionsFactory::FindByClassID("OX.Files", true), &TFileSystemConnection::MetaClass());
  }
  EXPECT_EQ(TConnectionsFactory::InternalClassIDs().IndexOf("Test.Internal"), -1);
  EXPECT_EQ(TConnectionsFactory::FindByClassID("Test.Internal", false), nullptr);
}

TEST_F(ConnectionModel, LocationTextForm) {
  struct TCase {
    TDocumentLocation Location;
    std::string Text;
  };
  const TCase cases[] = {
      {{}, ""},
      {{"OX.Files", "", ""}, "ConnectionClassId=OX.Files"},
      {{"OX.Files", "/home/u/My Docs/", "a.kvelo"}, "ConnectionClassId=OX.Files;\"BaseAddress=/home/u/My Docs/\";LocalPath=a.kvelo"},
      {{"X", "say \"hi\";", "tab\there"}, "ConnectionClassId=X;\"BaseAddress=say \"\"hi\"\";\";\"LocalPath=tab\there\""},
      {{"OX.Files", "", "Сметы/Смета.kvelo"}, "ConnectionClassId=OX.Files;LocalPath=Сметы/Смета.kvelo"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(c.Location.ToString(), c.Text);
    TDocumentLocation back = TDocumentLocation::FromString(c.Text);
    EXPECT_EQ(back.ConnectionClassId, c.Location.ConnectionClassId);
    EXPECT_EQ(back.BaseAddress, c.Location.BaseAddress);
    EXPECT_EQ(back.LocalPath, c.Location.LocalPath);
  }
  // Unquoted blanks split items; an unknown name is ignored.
  TDocumentLocation split = TDocumentLocation::FromString("  LocalPath=a b;Other=1 ConnectionClassId=Y");
  EXPECT_EQ(split.LocalPath, "a");
  EXPECT_EQ(split.ConnectionClassId, "Y");
}

TEST_F(ConnectionModel, LocationEqualityAndFullPath) {
  using L = TDocumentLocation;
  struct TCase {
    L A, B;
    bool Equal;
  };
  const TCase equality[] = {
      {{"OX.Files", "/Home/U/Сметы", "a.kvelo"}, {"ox.files", "/home/u/сметы/", "A.KVELO"}, true},
      {{"OX.Files", "/home/u/a", "x"}, {"OX.Files", "/home/u/b", "x"}, false},
      {{"OX.Files", "/home/u", "x"}, {"OX.Files", "/home/u", "y"}, false},
      // A server's address is compared as stored: its "/" is no folder separator.
      {{"OX.OrvelKvelo.Ru.KveloDocs", "http://h/dav", "x"}, {"OX.OrvelKvelo.Ru.KveloDocs", "HTTP://H/DAV\\", "x"}, true},
      {{"OX.OrvelKvelo.Ru.KveloDocs", "http://h/dav", "x"}, {"OX.OrvelKvelo.Ru.KveloDocs", "http://h/dav/", "x"}, false},
  };
  for (const TCase& c : equality) {
    SCOPED_TRACE(c.A.ToString() + " / " + c.B.ToString());
    EXPECT_EQ(c.A.IsEqual(c.B, false), c.Equal);
    EXPECT_EQ(c.A == c.B, c.Equal);
  }
  // Internal classes compare without base addresses.
  L a{"Test.Internal", "/one", "x"}, b{"TEST.internal", "/two", "X"};
  EXPECT_TRUE(a.IsEqual(b, true));
  EXPECT_FALSE(a == b);
  {
    TScopedConnectionClass internal(&TTestInternalConnection::MetaClass());
    EXPECT_TRUE(a == b);
  }

  EXPECT_TRUE((L{"", "/a", "x"}.IsEmpty()));
  EXPECT_TRUE((L{"OX.Files", "/a", ""}.IsEmpty()));
  EXPECT_FALSE((L{"OX.Files", "", "x"}.IsEmpty()));

  struct TPathCase {
    L Location;
    std::string FullPath;
  };
  const TPathCase paths[] = {
      {{"OX.Files", "/base/", "/item"}, "/base/item"},
      {{"OX.Files", "/base", "item"}, "/base/item"},
      {{"OX.Files", "/base/", "item"}, "/base/item"},
      {{"OX.Files", "/base", ""}, "/base"},
      {{"OX.Files", "", "item"}, "item"},
      {{"OX.OrvelKvelo.Ru.KveloDocs", "http://h/dav", "a.kvelo"}, "http://h/dav/a.kvelo"},
  };
  for (const TPathCase& c : paths) EXPECT_EQ(c.Location.FullPath(), c.FullPath) << c.Location.ToString();
}
