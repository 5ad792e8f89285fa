#pragma once
// The client's data sources: what a source holds (TStorageKind), a place inside a source
// (TDocumentLocation), the base of the connection classes (TConnection, TServerConnection) and the
// registry that recreates stored connections from their class identifier (TConnectionsFactory).
//
// Class-level dispatch: every connection class has one stateless metaclass object (its nested
// TMetaClass, reached through MetaClass()) whose virtual functions are the class's overridable
// class operations (ClassID, DisplayName, SupportedKinds, ...) and whose Create is the virtual
// constructor. TConnectionClass points to one; an object answers for its run-time class with
// ClassType(). A subclass derives through TConnectionOf, which gives it the class operations as
// static functions (TFileSystemConnection::ClassID()) and ClassType(), and declares its own
// TMetaClass and MetaClass():
//
//   class TMyConnection : public TConnectionOf<TMyConnection, TServerConnection> {
//     KV_CLASS_INFO(TMyConnection)  // its properties and class attributes (TDisplayName, ...)
//    public:
//     class TMetaClass : public TServerConnection::TMetaClass {
//      public:
//       const TClassInfo& ClassInfo() const override { return TMyConnection::StaticClassInfo(); }
//       std::string ClassID() const override { return "My.Id"; }
//       TStorageKinds SupportedKinds() const override { return {TStorageKind::Kvelo}; }
//     };
//     static const TMetaClass& MetaClass();  // one function-local static object
//     ...
//   };
//
// On an object seen through a base class, ask ClassType(): the static functions answer for the
// class they are named on.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

#include "Common.Attributes.h"
#include "Common.RTTIPropList.h"
#include "Runtime.Exceptions.h"
#include "Runtime.StringList.h"

// What a data source holds. The identifiers are the stored form of TStorageKinds.
enum class TStorageKind : std::uint8_t { Kvelo, NormBase, FormTemplate, DocTemplate };
KV_ENUM_INFO(TStorageKind, Kvelo, NormBase, FormTemplate, DocTemplate);
using TStorageKinds = TSet<TStorageKind>;

// A place inside a data source.
struct TDocumentLocation {
  std::string ConnectionClassId;  // the class identifier of the source's connection class
  std::string BaseAddress;        // the source's address: a folder path or a server address
  std::string LocalPath;          // the item inside the source

  static TDocumentLocation Make(std::string AConnectionClassId, std::string ABaseAddress, std::string ALocalPath);

  // "ConnectionClassId=...;BaseAddress=...;LocalPath=...": empty items left out, an item holding a
  // blank, a control character, '"' or ';' enclosed in double quotes (inner ones doubled).
  std::string ToString() const;
  // The fields of such a text; items also split at blanks outside quotes, a missing name gives "".
  static TDocumentLocation FromString(std::string_view S);

  // Letter case ignored by the user's locale. AsInternal compares class identifiers and local
  // paths only; otherwise base addresses count too, with a trailing separator added to each.
  bool IsEqual(const TDocumentLocation& Other, bool AsInternal) const;
  // IsEqual, AsInternal when A's class is an internal one.
  friend bool operator==(const TDocumentLocation& A, const TDocumentLocation& B);

  // No class identifier or no local path.
  bool IsEmpty() const;
  // BaseAddress and LocalPath joined with exactly one separator; either may be empty.
  std::string FullPath() const;
};

// A connection class's claim that connecting needs a login dialog.
class TLoginDlgRequiredAttribute : public TCustomAttribute<bool, TLoginDlgRequiredAttribute> {
 public:
  using TCustomAttribute::TCustomAttribute;
};

// Address ending in its separator, added when missing: a folder path takes the platform's (an
// empty one becomes the separator alone); a server address, whose "/" belong to its URL, a
// backslash, so that server addresses compare as stored apart from letter case.
std::string IncludeTrailingAddressDelimiter(std::string_view Address, bool ServerAddress);

class TConnection;
class TServerConnection;

// A data source: a class saying what kind of source it is, and a few stored properties.
class TConnection {
  KV_CLASS_INFO(TConnection)

 public:
  class TMetaClass {
   public:
    virtual ~TMetaClass() = default;
    // The class's properties and the attributes declared on it.
    virtual const TClassInfo& ClassInfo() const;
    std::string ClassName() const { return ClassInfo().ClassName(); }
    // The class itself or one of its descendants.
    bool InheritsFrom(const TMetaClass& Ancestor) const { return ClassInfo().InheritsFrom(Ancestor.ClassInfo()); }

    // The virtual constructor: a new object of this class; EAbstractError for an abstract class.
    std::unique_ptr<TConnection> Create() const;
    // The TLoginDlgRequiredAttribute declared on the class, false without one.
    virtual bool LoginDlgRequired() const;
    virtual std::string ClassID() const;  // abstract
    // The TDisplayName declared on the class itself; a class without one fails an assertion.
    virtual std::string DisplayName() const;
    // An internal class's one connection belongs to every pool and is never stored.
    virtual bool IsInternal() const;
    virtual TStorageKinds SupportedKinds() const;  // abstract
    bool SupportsKvelo() const { return SupportedKinds().Contains(TStorageKind::Kvelo); }
    bool SupportsNormBases() const { return SupportedKinds().Contains(TStorageKind::NormBase); }
    // The class descends from TServerConnection: its address is a server's, not a folder path.
    bool IsServerClass() const;
  };

  static const TMetaClass& MetaClass();
  // The object's run-time class.
  virtual const TMetaClass& ClassType() const { return MetaClass(); }

  // A new InstanceUID, Usages [Kvelo].
  TConnection();
  virtual ~TConnection() = default;
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(std::string Value) { FCaption = std::move(Value); }
  const std::string& Description() const { return FDescription; }
  void SetDescription(std::string Value) { FDescription = std::move(Value); }
  // Only the kinds the class supports, whatever was set.
  TStorageKinds GetUsages() const;
  // Without Kvelo, UseRecycleBin goes off.
  void SetUsages(const TStorageKinds& Value);
  bool UseRecycleBin() const { return FUseRecycleBin; }
  void SetUseRecycleBin(bool Value) { FUseRecycleBin = Value; }
  // 32 upper-case hexadecimal digits.
  const std::string& InstanceUID() const { return FInstanceUID; }
  void SetInstanceUID(std::string Value) { FInstanceUID = std::move(Value); }
  // Held with the connection; nothing in this system sets them.
  const std::type_info* ExceptionClass() const { return FExceptionClass; }
  void SetExceptionClass(const std::type_info* Value) { FExceptionClass = Value; }
  const std::string& ExceptionMessage() const { return FExceptionMessage; }
  void SetExceptionMessage(std::string Value) { FExceptionMessage = std::move(Value); }

  bool Connected() const { return GetConnected(); }
  std::string Address() const { return GetAddress(); }
  virtual bool GetConnected() const = 0;
  virtual std::string GetAddress() const = 0;
  virtual void Connect(const std::string& Login, const std::string& Password) = 0;
  virtual void Disconnect() = 0;
  virtual bool CanUseRecycleBin() const { return false; }

  // The source itself: its class identifier and address, no local path.
  TDocumentLocation Location() const;

 private:
  std::string FCaption;
  TStorageKinds FUsages;
  std::string FInstanceUID;
  std::string FDescription;
  const std::type_info* FExceptionClass = nullptr;
  std::string FExceptionMessage;
  bool FUseRecycleBin = false;
};

// A class reference: the registry and the pool create connections through it.
using TConnectionClass = const TConnection::TMetaClass*;

// The class operations of Self as static functions, and Self as the run-time class of its objects.
template <class Self, class Parent>
class TConnectionOf : public Parent {
 public:
  const TConnection::TMetaClass& ClassType() const override { return Self::MetaClass(); }

  static std::string ClassID() { return Self::MetaClass().ClassID(); }
  static std::string DisplayName() { return Self::MetaClass().DisplayName(); }
  static TStorageKinds SupportedKinds() { return Self::MetaClass().SupportedKinds(); }
  static bool IsInternal() { return Self::MetaClass().IsInternal(); }
  static bool LoginDlgRequired() { return Self::MetaClass().LoginDlgRequired(); }
  static bool SupportsKvelo() { return Self::MetaClass().SupportsKvelo(); }
  static bool SupportsNormBases() { return Self::MetaClass().SupportsNormBases(); }
};

// A source on a server: its address is published and stored.
class TServerConnection : public TConnectionOf<TServerConnection, TConnection> {
  KV_CLASS_INFO(TServerConnection)

 public:
  class TMetaClass : public TConnection::TMetaClass {
   public:
    const TClassInfo& ClassInfo() const override;
    virtual bool IsValidServer(std::string_view Address) const;  // false
  };
  static const TMetaClass& MetaClass();

  virtual void SetAddress(const std::string& Value) = 0;
};

// The registry of connection classes by class identifier (exact letter case). Programs fill it at
// start-up (InitializeConnectionClasses, Ox_KveloStorage.WebDAV) before any pool exists.
class TConnectionsFactory {
 public:
  class Exception : public ::Exception {
   public:
    using ::Exception::Exception;
    static Exception ClassIDNotFound(std::string_view ClassID);
  };

  TConnectionsFactory() = delete;

  // Under Item's ClassID; a second class with the same identifier replaces the first.
  static void RegisterConnectionClass(TConnectionClass Item);
  // Takes the class out again, if it is registered (for code that registers classes of its own
  // for a while).
  static void UnregisterConnectionClass(TConnectionClass Item);
  // The registered classes, in the order they were first registered.
  static std::vector<TConnectionClass> ConnectionClasses();
  // The class registered under exactly ClassID; none, or Exception ClassIDNotFound.
  static TConnectionClass FindByClassID(std::string_view ClassID, bool RaiseIfNotFound);
  // The identifiers of the registered internal classes: sorted, letter case ignored, no duplicates.
  static const TStringList& InternalClassIDs();
};
