#pragma once
// What an updater asks about an installed application: where it is, its executable and version,
// whether it is installed and running. Subclasses supply the constants; the base works out the rest.
//
// Class-level dispatch: every class has one stateless metaclass object (its nested TMetaClass,
// reached through MetaClass()) whose virtual functions are the class's overridable operations, so
// a base operation calling another one reaches the override of the class it was called on. The
// static functions users call (TKvelo7Information::InstallFolder()) are generated per class by a
// template that forwards to Self::MetaClass(); a subclass derives through that template and
// declares its own TMetaClass and MetaClass():
//
//   class TMyApp : public TApplicationInformationOf<TMyApp, TCustomApplicationInformation> {
//    public:
//     class TMetaClass : public TCustomApplicationInformation::TMetaClass {
//      public:
//       std::string ClassName() const override { return "TMyApp"; }
//       std::string RegistryKey() const override { return "{...}_is1"; }
//     };
//     static const TMetaClass& MetaClass();  // one function-local static object
//   };

#include <cstdint>
#include <string>
#include <string_view>

#include "Common.Classes.h"
#include "Common.SysUtils.h"
#include "Runtime.Exceptions.h"

// An operation that the class it was called on does not supply.
KV_DECLARE_EXCEPTION(ECustomApplication, Exception);

// The registry key that holds the uninstall entries, below HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kUninstallRegistryKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class TCustomApplicationInformation {
 public:
  class TMetaClass {
   public:
    virtual ~TMetaClass() = default;
    // The class's name, as messages show it.
    virtual std::string ClassName() const;

    // --- overridable; those without a computed behaviour raise ECustomApplication ---
    // The application's key below the uninstall registry key.
    virtual std::string RegistryKey() const;
    virtual std::string ApplicationDisplayName() const;
    // The main executable's file name, without folder.
    virtual std::string ApplicationExeName() const;
    // InstallFolder + ApplicationExeName.
    virtual std::string ApplicationPath() const;
    virtual std::string DBaseFolder() const;
    // By GetPortableMode: pmNone the uninstall entry's "InstallLocation" ("/" when there is none),
    // pmRoot the portable root + PortableRelativePath, pmSwitch the running program's own folder;
    // always with a trailing separator.
    virtual std::string InstallFolder() const;
    // The executable is there, in InstallFolder, and its major version is MajorVersionDigit.
    virtual bool IsApplicationInstalled() const;
    // The named mutex MutexName exists; false also when the system cannot tell.
    virtual bool IsApplicationRuning() const;
    virtual std::string MutexName() const;
    virtual std::string PortableRelativePath() const;
    virtual std::int32_t MajorVersionDigit() const;

    // --- not overridable ---
    // The executable's file version; 0.0.0.0 when it is missing or has no version resource.
    TDigitalFileVersionInfo ApplicationVersion() const;
    std::uint32_t ApplicationVersionInt() const;  // ApplicationVersion().AsCardinal()
    bool IsApplicationPresent() const;            // a file exists at ApplicationPath

   protected:
    // ECustomApplication "<ClassName> exception. <Operation>() not implemented."
    [[noreturn]] void NotImplemented(std::string_view Operation) const;
  };

  static const TMetaClass& MetaClass();

  // The instances are never made by the system's code; the convention still holds for them.
  virtual ~TCustomApplicationInformation() = default;
  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }
};

// The class operations of TCustomApplicationInformation, as static functions of Self.
template <class Self, class Parent>
class TApplicationInformationOf : public Parent {
 public:
  static std::string RegistryKey() { return Self::MetaClass().RegistryKey(); }
  static std::string ApplicationDisplayName() { return Self::MetaClass().ApplicationDisplayName(); }
  static std::string ApplicationExeName() { return Self::MetaClass().ApplicationExeName(); }
  static std::string ApplicationPath() { return Self::MetaClass().ApplicationPath(); }
  static std::string DBaseFolder() { return Self::MetaClass().DBaseFolder(); }
  static std::string InstallFolder() { return Self::MetaClass().InstallFolder(); }
  static bool IsApplicationInstalled() { return Self::MetaClass().IsApplicationInstalled(); }
  static bool IsApplicationRuning() { return Self::MetaClass().IsApplicationRuning(); }
  static std::string MutexName() { return Self::MetaClass().MutexName(); }
  static std::string PortableRelativePath() { return Self::MetaClass().PortableRelativePath(); }
  static std::int32_t MajorVersionDigit() { return Self::MetaClass().MajorVersionDigit(); }
  static TDigitalFileVersionInfo ApplicationVersion() { return Self::MetaClass().ApplicationVersion(); }
  static std::uint32_t ApplicationVersionInt() { return Self::MetaClass().ApplicationVersionInt(); }
  static bool IsApplicationPresent() { return Self::MetaClass().IsApplicationPresent(); }
};
