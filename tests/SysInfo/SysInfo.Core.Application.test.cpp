#include "SysInfo.Core.Application.h"

#include <gtest/gtest.h>

#include <functional>

#include "ClientSandbox.h"
#include "Runtime.Strings.h"
#include "platform/CommandLine.h"
#include "platform/NamedMutex.h"

namespace {
// Supplies nothing.
class TBareApplication : public TApplicationInformationOf<TBareApplication, TCustomApplicationInformation> {
 public:
  class TMetaClass : public TCustomApplicationInformation::TMetaClass {
   public:
    std::string ClassName() const override { return "TBareApplication"; }
  };
  static const TMetaClass& MetaClass() {
    static const TMetaClass metaClass;
    return metaClass;
  }
};

// Supplies what the computed operations need, with a mutex name of its own so that no other
// program's mutex can answer for it.
class TSampleApplication : public TApplicationInformationOf<TSampleApplication, TCustomApplicationInformation> {
 public:
  class TMetaClass : public TCustomApplicationInformation::TMetaClass {
   public:
    std::string ClassName() const override { return "TSampleApplication"; }
    std::string RegistryKey() const override { return "Sample_is1"; }
    std::string ApplicationExeName() const override { return "sample.exe"; }
    std::string MutexName() const override { return FMutexName; }
    std::string PortableRelativePath() const override { return "Orvel/Sample"; }
    std::int32_t MajorVersionDigit() const override { return 3; }

   private:
    std::string FMutexName = "kvtest-sample-" + NewGUIDString(false);
  };
  static const TMetaClass& MetaClass() {
    static const TMetaClass metaClass;
    return metaClass;
  }
};

std::string OwnFolder() { return ExtractFilePath(platform::ExecutableFileName()); }
}  // namespace

TEST(ApplicationInformation, OperationsNotSuppliedNameTheClassTheyWereCalledOn) {
  TClientSandbox sandbox;
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { TBareApplication::ApplicationDisplayName(); }, "ApplicationDisplayName"},
      {[] { TBareApplication::ApplicationExeName(); }, "ApplicationExeName"},
      {[] { TBareApplication::DBaseFolder(); }, "DBaseFolder"},
      {[] { TBareApplication::MajorVersionDigit(); }, "MajorVersionDigit"},
      {[] { TBareApplication::MutexName(); }, "MutexName"},
      {[] { TBareApplication::PortableRelativePath(); }, "PortableRelativePath"},
      {[] { TBareApplication::RegistryKey(); }, "RegistryKey"},
      // The computed operations reach the missing ones through the class they were called on.
      {[] { TBareApplication::InstallFolder(); }, "RegistryKey"},
      {[] { TBareApplication::IsApplicationInstalled(); }, "RegistryKey"},
      {[] { TBareApplication::IsApplicationRuning(); }, "MutexName"},
  };
  for (const auto& [call, operation] : cases) {
    try {
      call();
      ADD_FAILURE() << operation;
    } catch (const ECustomApplication& e) {
      EXPECT_EQ(e.Message(), std::string("TBareApplication exception. ") + operation + "() not implemented.");
    }
  }
}

TEST(ApplicationInformation, InstallFolderByMode) {
  TClientSandbox sandbox;
  EXPECT_EQ(TSampleApplication::InstallFolder(), "/");  // no hive file
  sandbox.WriteRegistry({{"Sample_is1", std::nullopt}});
  EXPECT_EQ(TSampleApplication::InstallFolder(), "/");
  EXPECT_EQ(TSampleApplication::ApplicationPath(), "/sample.exe");
  EXPECT_FALSE(TSampleApplication::IsApplicationInstalled());
  sandbox.WriteRegistry({{"Sample_is1", "/opt/sample"}});
  EXPECT_EQ(TSampleApplication::InstallFolder(), "/opt/sample/");
  sandbox.WriteRegistry({{"Sample_is1", "/opt/sample/"}});
  EXPECT_EQ(TSampleApplication::InstallFolder(), "/opt/sample/");

  SetPortableRoot("/media/stick");
  EXPECT_EQ(TSampleApplication::InstallFolder(), "/media/stick/Orvel/Sample/");
  for (const char* spelling : {"-PORTABLE", "/portable"}) {
    platform::ScopedCommandLine portable({"wizard", spelling});
    EXPECT_EQ(TSampleApplication::InstallFolder(), OwnFolder()) << spelling;
    EXPECT_EQ(TSampleApplication::ApplicationPath(), OwnFolder() + "sample.exe");
  }
}

TEST(ApplicationInformation, InstalledWhenTheExecutableCarriesTheMajorVersion) {
  TClientSandbox sandbox;
  const std::string folder = sandbox.Dir().MakeDir("Sample");
  sandbox.WriteRegistry({{"Sample_is1", folder}});
  const std::string exe = folder + "/sample.exe";
  EXPECT_FALSE(TSampleApplication::IsApplicationPresent());
  EXPECT_EQ(TSampleApplication::ApplicationVersion(), TDigitalFileVersionInfo{});

  struct Case {
    std::optional<std::array<std::uint16_t, 4>> version;
    bool installed;
  };
  const Case cases[] = {
      {{{3, 0, 0, 0}}, true}, {{{3, 9, 600, 7}}, true}, {{{4, 0, 0, 0}}, false}, {std::nullopt, false}};
  for (const Case& c : cases) {
    TClientSandbox::WriteExecutable(exe, c.version);
    const TDigitalFileVersionInfo expected =
        c.version ? TDigitalFileVersionInfo{(*c.version)[0], (*c.version)[1], (*c.version)[2], (*c.version)[3]}
                  : TDigitalFileVersionInfo{};
    SCOPED_TRACE(expected.VerAsString());
    EXPECT_TRUE(TSampleApplication::IsApplicationPresent());
    EXPECT_EQ(TSampleApplication::ApplicationVersion(), expected);
    EXPECT_EQ(TSampleApplication::ApplicationVersionInt(), expected.AsCardinal());
    EXPECT_EQ(TSampleApplication::IsApplicationInstalled(), c.installed);
  }
}

TEST(ApplicationInformation, RunningWhileItsMutexIsHeld) {
  EXPECT_FALSE(TSampleApplication::IsApplicationRuning());
  {
    platform::TNamedMutexHolder running(TSampleApplication::MutexName());
    EXPECT_TRUE(TSampleApplication::IsApplicationRuning());
    EXPECT_TRUE(TSampleApplication::IsApplicationRuning());  // the check took nothing away
  }
  EXPECT_FALSE(TSampleApplication::IsApplicationRuning());  // and left nothing behind
}

TEST(ApplicationInformation, AutoDestroyOwnsAnInstance) {
  auto owner = (new TSampleApplication)->AutoDestroy();
  EXPECT_NE(owner->GetObj(), nullptr);
}
