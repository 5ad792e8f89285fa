#pragma once
// Run-time type information: what a class, a record or an enumeration declares about itself, so
// that the serializer and the class registries can work on objects they do not know.
//
// C++ lists no properties at run time, so each class registers them once, beside the class:
//
//   class TFolder : public TConnection {
//     KV_CLASS_INFO(TFolder)  // in the class body, with a virtual destructor in the root class
//     ...
//   };
//   const TClassInfo& TFolder::StaticClassInfo() {  // in the class's own source file
//     static const TClassInfo Info = TClassInfo::Of<TFolder, TConnection>(TDisplayName("Папка"))
//         .Published("Path", &TFolder::GetPath, &TFolder::SetPath, TDisplayName("Путь"))
//         .Public("Count", &TFolder::FCount);  // read and written on the field
//     return Info;
//   }
//
// A property is a name, a visibility (only public and published ones are registered), a reader
// (a field or a const getter), an optional writer (the field, a setter, or nullptr for read-only
// ones) and attributes. Its type kind follows from the C++ type (TypeInfoOf). Records register
// their properties and fields the same way through a static StaticRecordInfo(), enumerations
// their identifiers through KV_ENUM_INFO.

#include <any>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "Common.EnumInfo.h"
#include "Runtime.Exceptions.h"
#include "Runtime.StringList.h"

class TClassInfo;
class TRecordInfo;
class Variant;  // Common.Variants


// --- enumerations and sets ---------------------------------------------------------------------

// Enumerations declare their identifiers once with KV_ENUM_INFO (Common.EnumInfo.h).

// A set of members of an enumeration with identifiers: bit n stands for the ordinal MinValue + n,
// in the smallest unsigned integer that holds them all (one byte for up to 8 members).
template <HasEnumInfo E>
class TSet {
 public:
  using TMember = E;
  static constexpr int MemberCount = TEnumInfo<E>::MaxValue - TEnumInfo<E>::MinValue + 1;
  static_assert(MemberCount > 0 && MemberCount <= 64, "a set holds 1 to 64 members");
  using TBits = std::conditional_t<
      MemberCount <= 8, std::uint8_t,
      std::conditional_t<MemberCount <= 16, std::uint16_t,
                         std::conditional_t<MemberCount <= 32, std::uint32_t, std::uint64_t>>>;

  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> Members) {
    for (E member : Members) Include(member);
  }
  // Bits beyond the members are dropped.
  static constexpr TSet FromBits(std::uint64_t Bits) {
    TSet result;
    result.FBits = static_cast<TBits>(Bits & AllBits());
    return result;
  }
  constexpr TBits Bits() const { return FBits; }

  // Values outside the enumeration's range are never members.
  constexpr bool Contains(E Member) const { return (FBits & Bit(Member)) != 0; }
  constexpr void Include(E Member) { FBits = static_cast<TBits>(FBits | Bit(Member)); }
  constexpr void Exclude(E Member) { FBits = static_cast<TBits>(FBits & ~Bit(Member)); }
  constexpr bool IsEmpty() const { return FBits == 0; }

  friend constexpr TSet operator+(TSet A, TSet B) { return FromBits(A.FBits | B.FBits); }
  friend constexpr TSet operator*(TSet A, TSet B) { return FromBits(A.FBits & B.FBits); }
  friend constexpr TSet operator-(TSet A, TSet B) { return FromBits(A.FBits & ~B.FBits); }
  friend constexpr bool operator==(TSet A, TSet B) = default;

 private:
  static constexpr std::uint64_t AllBits() {
    return MemberCount == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << MemberCount) - 1;
  }
  static constexpr TBits Bit(E Member) {
    auto position = static_cast<std::int64_t>(Member) - TEnumInfo<E>::MinValue;
    return position >= 0 && position < MemberCount ? static_cast<TBits>(TBits(1) << position) : TBits(0);
  }

  TBits FBits = 0;
};

// --- type kinds and type information -----------------------------------------------------------

enum TTypeKind : std::uint8_t {
  tkUnknown,
  tkInteger,      // integers of up to 32 bits
  tkChar,         // char, char8_t
  tkEnumeration,  // enumerations with identifiers, and bool ("False", "True")
  tkFloat,
  tkString,
  tkSet,     // TSet
  tkClass,   // pointers to classes: object references
  tkMethod,  // member function pointers
  tkWChar,   // char16_t, char32_t, wchar_t
  tkLString,
  tkWString,
  tkVariant,    // Variant
  tkArray,      // std::array
  tkRecord,     // types with a StaticRecordInfo()
  tkInterface,  // std::shared_ptr
  tkInt64,      // integers of 64 bits
  tkDynArray,   // std::vector
  tkUString,    // std::string
  tkClassRef,   // const TClassInfo*
  tkPointer,
  tkProcedure,  // function pointers, std::function
};

// What the program knows about a type at run time. One object per C++ type (TypeInfoOf); values
// of the type are carried in std::any. The kinds that can be stored have a class of their own
// below, with the operations the serializer needs.
class TTypeInfo {
 public:
  TTypeInfo(const TTypeInfo&) = delete;
  TTypeInfo& operator=(const TTypeInfo&) = delete;
  virtual ~TTypeInfo() = default;

  TTypeKind Kind() const { return FKind; }
  const std::type_info& CppType() const { return FCppType; }
  std::string Name() const { return TypeName(FCppType); }
  // The value-initialised value of the type (0, "", the empty set, a record of such values).
  virtual std::any Zero() const = 0;

 protected:
  TTypeInfo(TTypeKind AKind, const std::type_info& ACppType) : FKind(AKind), FCppType(ACppType) {}

 private:
  TTypeKind FKind;
  const std::type_info& FCppType;
};

// tkInteger and tkEnumeration.
class TOrdinalTypeInfo : public TTypeInfo {
 public:
  virtual std::int64_t GetOrdinal(const std::any& Value) const = 0;
  // Truncated to the type's size, as a C++ conversion does.
  virtual std::any FromOrdinal(std::int64_t Ordinal) const = 0;

 protected:
  using TTypeInfo::TTypeInfo;
};

class TEnumerationTypeInfo : public TOrdinalTypeInfo {
 public:
  int MinValue() const { return FMinValue; }
  int MaxValue() const { return FMinValue + static_cast<int>(FNames.size()) - 1; }
  std::span<const std::string_view> Names() const { return FNames; }
  // "" for an ordinal outside the range.
  std::string_view NameOf(std::int64_t Ordinal) const;
  // The ordinal named by Name, ignoring the letter case of A to Z.
  std::optional<std::int64_t> OrdinalOf(std::string_view Name) const;

 protected:
  TEnumerationTypeInfo(const std::type_info& ACppType, int AMinValue, std::span<const std::string_view> ANames)
      : TOrdinalTypeInfo(tkEnumeration, ACppType), FMinValue(AMinValue), FNames(ANames) {}

 private:
  int FMinValue;
  std::span<const std::string_view> FNames;
};

class TFloatTypeInfo : public TTypeInfo {
 public:
  virtual double GetFloat(const std::any& Value) const = 0;
  virtual std::any FromFloat(double Value) const = 0;

 protected:
  using TTypeInfo::TTypeInfo;
};

class TStringTypeInfo : public TTypeInfo {
 public:
  virtual std::string GetString(const std::any& Value) const = 0;
  virtual std::any FromString(std::string Value) const = 0;

 protected:
  using TTypeInfo::TTypeInfo;
};

class TSetTypeInfo : public TTypeInfo {
 public:
  virtual const TEnumerationTypeInfo& ElementType() const = 0;
  // Bytes a value occupies.
  virtual int Size() const = 0;
  virtual std::uint64_t GetBits(const std::any& Value) const = 0;
  virtual std::any FromBits(std::uint64_t Bits) const = 0;

 protected:
  using TTypeInfo::TTypeInfo;
};

class TRecordTypeInfo : public TTypeInfo {
 public:
  virtual const TRecordInfo& RecordInfo() const = 0;
  // The record inside a value of this type, for its members' GetValue and SetValue.
  virtual void* Data(std::any& Value) const = 0;
  virtual const void* Data(const std::any& Value) const = 0;

 protected:
  using TTypeInfo::TTypeInfo;
};

// tkArray (fixed length) and tkDynArray.
class TArrayTypeInfo : public TTypeInfo {
 public:
  virtual const TTypeInfo& ElementType() const = 0;
  // The length of a static array; 0 for a dynamic one.
  virtual std::size_t Length() const = 0;
  virtual std::size_t Count(const std::any& Value) const = 0;
  virtual std::any Element(const std::any& Value, std::size_t Index) const = 0;
  // An array of the elements; a static array takes exactly Length of them.
  virtual std::any Make(const std::vector<std::any>& Elements) const = 0;

 protected:
  using TTypeInfo::TTypeInfo;
};

namespace kv::rtti {
// The T in Value, which the caller guarantees.
template <class T>
const T& ValueAs(const std::any& Value) {
  const T* value = std::any_cast<T>(&Value);
  ASSERT(value != nullptr, "the value is of another type than its type information");
  return *value;
}

template <class T>
struct IsStdArray : std::false_type {};
template <class T, std::size_t N>
struct IsStdArray<std::array<T, N>> : std::true_type {};
template <class T>
struct IsVector : std::false_type {};
template <class T, class A>
struct IsVector<std::vector<T, A>> : std::true_type {};
template <class T>
struct IsSet : std::false_type {};
template <class E>
struct IsSet<TSet<E>> : std::true_type {};
template <class T>
struct IsSharedPtr : std::false_type {};
template <class T>
struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};
template <class T>
struct IsFunction : std::false_type {};
template <class T>
struct IsFunction<std::function<T>> : std::true_type {};

template <class T>
concept IsRecord = requires {
  { T::StaticRecordInfo() } -> std::same_as<const TRecordInfo&>;
};
template <class T>
concept IsChar = std::is_same_v<T, char> || std::is_same_v<T, char8_t> || std::is_same_v<T, char16_t> ||
    std::is_same_v<T, char32_t> || std::is_same_v<T, wchar_t>;

template <class T>
constexpr bool Describable();

template <class T>
constexpr bool DescribableElements() {
  if constexpr (IsStdArray<T>::value || IsVector<T>::value)
    return Describable<typename T::value_type>();
  else
    return true;
}

// Types the type information can describe: copyable ones of a known kind.
template <class T>
constexpr bool Describable() {
  if constexpr (!std::is_same_v<T, std::remove_cv_t<T>> || !std::is_copy_constructible_v<T>)
    return false;
  else if constexpr (std::is_enum_v<T>)
    return HasEnumInfo<T>;
  else if constexpr (IsStdArray<T>::value || IsVector<T>::value)
    return DescribableElements<T>();
  else
    return std::is_arithmetic_v<T> || std::is_same_v<T, std::string> || IsSet<T>::value || IsRecord<T> ||
           std::is_pointer_v<T> || std::is_member_function_pointer_v<T> || IsSharedPtr<T>::value ||
           IsFunction<T>::value || std::is_same_v<T, Variant>;
}
}  // namespace kv::rtti

template <class T>
concept HasTypeInfo = kv::rtti::Describable<T>();

// The type information of T, one object per type; null for a type it cannot describe (an
// enumeration without identifiers, a structure without StaticRecordInfo, ...).
template <class T>
const TTypeInfo* TypeInfoOf();

// --- attributes --------------------------------------------------------------------------------

// Base of the attributes that classes, properties and methods carry (Common.Attributes).
class TAttribute {
 public:
  virtual ~TAttribute() = default;
};

template <class A>
concept IsAttribute = std::is_base_of_v<TAttribute, A> && std::is_copy_constructible_v<A>;

using TAttributeList = std::vector<std::shared_ptr<const TAttribute>>;

// --- members -----------------------------------------------------------------------------------

enum TMemberVisibility : std::uint8_t { mvPrivate, mvProtected, mvPublic, mvPublished };

class TObjectRef;

// A property of a class or record, or a field of a record.
class TMemberInfo {
 public:
  TMemberInfo(const TMemberInfo&) = delete;
  TMemberInfo& operator=(const TMemberInfo&) = delete;
  virtual ~TMemberInfo() = default;

  const std::string& Name() const { return FName; }
  // Null when the member's type has no type information.
  const TTypeInfo* Type() const { return FType; }
  TMemberVisibility Visibility() const { return FVisibility; }
  bool IsField() const { return FIsField; }
  const TAttributeList& Attributes() const { return FAttributes; }
  virtual bool IsWritable() const = 0;
  // The class that declares the property; null for the members of records.
  const TClassInfo* DeclaringClass() const { return FDeclaringClass ? &FDeclaringClass() : nullptr; }

  // Instance points to an object of the declaring class or record; Value holds the member's type.
  virtual std::any GetValue(const void* Instance) const = 0;
  virtual void SetValue(void* Instance, const std::any& Value) const = 0;
  // A property of AObject's class or of one of its ancestors.
  std::any GetValue(const TObjectRef& AObject) const;
  void SetValue(const TObjectRef& AObject, const std::any& Value) const;

 protected:
  TMemberInfo(std::string AName, const TTypeInfo* AType, TMemberVisibility AVisibility, bool AIsField,
              TAttributeList AAttributes, const TClassInfo& (*ADeclaringClass)())
      : FName(std::move(AName)),
        FType(AType),
        FVisibility(AVisibility),
        FIsField(AIsField),
        FAttributes(std::move(AAttributes)),
        FDeclaringClass(ADeclaringClass) {}

 private:
  std::string FName;
  const TTypeInfo* FType;
  TMemberVisibility FVisibility;
  bool FIsField;
  TAttributeList FAttributes;
  const TClassInfo& (*FDeclaringClass)();  // the class's StaticClassInfo
};

// A method that carries attributes; found again by its member function pointer.
class TMethodInfo {
 public:
  TMethodInfo(std::string AName, std::any APointer, TAttributeList AAttributes)
      : FName(std::move(AName)), FPointer(std::move(APointer)), FAttributes(std::move(AAttributes)) {}
  const std::string& Name() const { return FName; }
  const TAttributeList& Attributes() const { return FAttributes; }
  template <class M>
  bool Is(M Method) const {
    const M* pointer = std::any_cast<M>(&FPointer);
    return pointer && *pointer == Method;
  }

 private:
  std::string FName;
  std::any FPointer;
  TAttributeList FAttributes;
};

namespace kv::rtti {
template <class A>
std::shared_ptr<const TAttribute> MakeAttribute(A Attribute) {
  return std::make_shared<const A>(std::move(Attribute));
}

// A member read through a field or a const getter and written through the field, a setter or not
// at all (Write is std::nullptr_t).
template <class C, class Read, class Write>
class TAccessorMember final : public TMemberInfo {
 public:
  static_assert(std::is_member_pointer_v<Read> && std::is_invocable_v<Read, const C&>,
                "a member is read through a field or a const getter of its class");
  using TValue = std::remove_cvref_t<std::invoke_result_t<Read, const C&>>;
  static constexpr bool ValidWriter() {
    if constexpr (std::is_null_pointer_v<Write>)
      return true;
    else if constexpr (std::is_member_object_pointer_v<Write>)
      return std::is_same_v<std::invoke_result_t<Write, C&>, TValue&>;
    else if constexpr (std::is_member_function_pointer_v<Write>)
      return std::is_invocable_v<Write, C&, const TValue&>;
    else
      return false;
  }
  static_assert(ValidWriter(), "a member is written through a field or a setter of the type it is read as, or nullptr");

  TAccessorMember(std::string AName, TMemberVisibility AVisibility, bool AIsField, TAttributeList AAttributes,
                  const TClassInfo& (*ADeclaringClass)(), Read ARead, Write AWrite)
      : TMemberInfo(std::move(AName), TypeInfoOf<TValue>(), AVisibility, AIsField, std::move(AAttributes),
                    ADeclaringClass),
        FRead(ARead),
        FWrite(AWrite) {}

  bool IsWritable() const override { return !std::is_null_pointer_v<Write>; }
  using TMemberInfo::GetValue;
  using TMemberInfo::SetValue;

  std::any GetValue(const void* Instance) const override {
    return std::any(TValue(std::invoke(FRead, *static_cast<const C*>(Instance))));
  }
  void SetValue(void* Instance, const std::any& Value) const override {
    if constexpr (std::is_null_pointer_v<Write>) {
      ASSERT(false, "SetValue on a read-only member");
    } else if constexpr (std::is_member_object_pointer_v<Write>) {
      std::invoke(FWrite, *static_cast<C*>(Instance)) = ValueAs<TValue>(Value);
    } else {
      std::invoke(FWrite, *static_cast<C*>(Instance), ValueAs<TValue>(Value));
    }
  }

 private:
  Read FRead;
  Write FWrite;
};
}  // namespace kv::rtti

// --- classes -----------------------------------------------------------------------------------

// An object seen through its class's type information: the most derived registered class and the
// object as a pointer to that class.
class TObjectRef {
 public:
  TObjectRef(const TClassInfo& AClass, void* AInstance) : FClass(&AClass), FInstance(AInstance) {}
  const TClassInfo& ClassInfo() const { return *FClass; }
  void* Instance() const { return FInstance; }
  // The object as a pointer to Ancestor, which the class must inherit from.
  void* As(const TClassInfo& Ancestor) const;

 private:
  const TClassInfo* FClass;
  void* FInstance;
};

// Declares the type information of a class, in its body: StaticClassInfo (defined in the class's
// source file), the virtual ObjectRef and ClassInfo, which answer for the object's run-time class.
// Like the access specifiers it stands among, it leaves the body in a private section.
#define KV_CLASS_INFO(Class)                                                          \
 public:                                                                             \
  static const ::TClassInfo& StaticClassInfo();                                      \
  virtual ::TObjectRef ObjectRef() const {                                           \
    return ::TObjectRef(StaticClassInfo(), const_cast<Class*>(this));                \
  }                                                                                  \
  const ::TClassInfo& ClassInfo() const { return ObjectRef().ClassInfo(); }          \
                                                                                     \
 private:

template <class C>
class TClassBuilder;

class TClassInfo {
 public:
  // Starts the type information of class C, whose registered parent is Parent (void for a root
  // class), with the class's own attributes.
  template <class C, class Parent = void, IsAttribute... Attrs>
  static TClassBuilder<C> Of(Attrs... ClassAttributes);

  TClassInfo(TClassInfo&&) = default;
  TClassInfo& operator=(TClassInfo&&) = delete;

  const std::string& ClassName() const { return FClassName; }
  const TClassInfo* Parent() const { return FParent ? &FParent() : nullptr; }
  // The class itself or one of its descendants.
  bool InheritsFrom(const TClassInfo& Ancestor) const;
  // The attributes declared on this class; those of its ancestors are not included.
  const TAttributeList& Attributes() const { return FAttributes; }

  // The properties this class declares, in declaration order.
  const std::vector<std::unique_ptr<TMemberInfo>>& DeclaredProperties() const { return FProperties; }
  // This class's properties, then its parent's, and so on up to the root class.
  std::vector<const TMemberInfo*> GetProperties() const;
  // The same order for the methods that carry attributes.
  std::vector<const TMethodInfo*> GetMethods() const;

  // An instance can be created: the class is not abstract and has a public default constructor.
  bool CanCreate() const { return FCreate != nullptr; }
  // A new instance, held as its ancestor Base (Base::StaticClassInfo an ancestor of this class).
  template <class Base>
  std::unique_ptr<Base> Create() const;

  // Instance, a pointer to this class, as a pointer to Ancestor.
  void* CastTo(void* Instance, const TClassInfo& Ancestor) const;

 private:
  template <class C>
  friend class TClassBuilder;
  TClassInfo() = default;

  std::string FClassName;
  const TClassInfo& (*FParent)() = nullptr;
  void* (*FToParent)(void*) = nullptr;
  void* (*FCreate)() = nullptr;
  TAttributeList FAttributes;
  std::vector<std::unique_ptr<TMemberInfo>> FProperties;
  std::vector<std::unique_ptr<TMethodInfo>> FMethods;
};

template <class C>
class TClassBuilder {
 public:
  // A property over a field: read and written on it.
  template <class Field, IsAttribute... Attrs>
    requires std::is_member_object_pointer_v<Field>
  TClassBuilder&& Published(std::string_view Name, Field AField, Attrs... Attributes) && {
    return std::move(*this).Add(mvPublished, Name, AField, AField, std::move(Attributes)...);
  }
  // A property over a reader (field or const getter) and a writer (field, setter or nullptr).
  template <class Read, class Write, IsAttribute... Attrs>
    requires(!IsAttribute<Write>)
  TClassBuilder&& Published(std::string_view Name, Read ARead, Write AWrite, Attrs... Attributes) && {
    return std::move(*this).Add(mvPublished, Name, ARead, AWrite, std::move(Attributes)...);
  }
  template <class Field, IsAttribute... Attrs>
    requires std::is_member_object_pointer_v<Field>
  TClassBuilder&& Public(std::string_view Name, Field AField, Attrs... Attributes) && {
    return std::move(*this).Add(mvPublic, Name, AField, AField, std::move(Attributes)...);
  }
  template <class Read, class Write, IsAttribute... Attrs>
    requires(!IsAttribute<Write>)
  TClassBuilder&& Public(std::string_view Name, Read ARead, Write AWrite, Attrs... Attributes) && {
    return std::move(*this).Add(mvPublic, Name, ARead, AWrite, std::move(Attributes)...);
  }
  // A method carrying attributes.
  template <class M, IsAttribute... Attrs>
    requires std::is_member_function_pointer_v<M>
  TClassBuilder&& Method(std::string_view Name, M AMethod, Attrs... Attributes) && {
    FInfo.FMethods.push_back(std::make_unique<TMethodInfo>(
        std::string(Name), std::any(AMethod), TAttributeList{kv::rtti::MakeAttribute(std::move(Attributes))...}));
    return std::move(*this);
  }

  operator TClassInfo() && { return std::move(FInfo); }

 private:
  friend class TClassInfo;
  explicit TClassBuilder(TClassInfo AInfo) : FInfo(std::move(AInfo)) {}

  template <class Read, class Write, class... Attrs>
  TClassBuilder&& Add(TMemberVisibility Visibility, std::string_view Name, Read ARead, Write AWrite,
                      Attrs... Attributes) && {
    FInfo.FProperties.push_back(std::make_unique<kv::rtti::TAccessorMember<C, Read, Write>>(
        std::string(Name), Visibility, false, TAttributeList{kv::rtti::MakeAttribute(std::move(Attributes))...},
        &C::StaticClassInfo, ARead, AWrite));
    return std::move(*this);
  }

  TClassInfo FInfo;
};

template <class C, class Parent, IsAttribute... Attrs>
TClassBuilder<C> TClassInfo::Of(Attrs... ClassAttributes) {
  static_assert(std::is_void_v<Parent> || std::is_base_of_v<Parent, C>, "Parent must be a base class of C");
  TClassInfo info;
  info.FClassName = TypeName(typeid(C));
  if constexpr (!std::is_void_v<Parent>) {
    info.FParent = &Parent::StaticClassInfo;
    info.FToParent = [](void* Instance) -> void* { return static_cast<Parent*>(static_cast<C*>(Instance)); };
  }
  if constexpr (std::is_default_constructible_v<C> && !std::is_abstract_v<C>)
    info.FCreate = []() -> void* { return new C(); };
  info.FAttributes = {kv::rtti::MakeAttribute(std::move(ClassAttributes))...};
  return TClassBuilder<C>(std::move(info));
}

template <class Base>
std::unique_ptr<Base> TClassInfo::Create() const {
  static_assert(std::has_virtual_destructor_v<Base>, "instances are destroyed through Base");
  const TClassInfo& base = Base::StaticClassInfo();
  ASSERT(InheritsFrom(base), "TClassInfo::Create: the class does not derive from the requested base");
  ASSERT(CanCreate(), "TClassInfo::Create: the class cannot be instantiated");
  return std::unique_ptr<Base>(static_cast<Base*>(CastTo(FCreate(), base)));
}

// --- records -----------------------------------------------------------------------------------

template <class R>
class TRecordBuilder;

// The properties and fields of a record type R, which declares
// `static const TRecordInfo& StaticRecordInfo();` and defines it with TRecordInfo::Of<R>().
class TRecordInfo {
 public:
  template <class R>
  static TRecordBuilder<R> Of();

  TRecordInfo(TRecordInfo&&) = default;
  TRecordInfo& operator=(TRecordInfo&&) = delete;

  const std::string& Name() const { return FName; }
  // In declaration order each.
  const std::vector<std::unique_ptr<TMemberInfo>>& Properties() const { return FProperties; }
  const std::vector<std::unique_ptr<TMemberInfo>>& Fields() const { return FFields; }

 private:
  template <class R>
  friend class TRecordBuilder;
  TRecordInfo() = default;

  std::string FName;
  std::vector<std::unique_ptr<TMemberInfo>> FProperties;
  std::vector<std::unique_ptr<TMemberInfo>> FFields;
};

template <class R>
class TRecordBuilder {
 public:
  template <class F, IsAttribute... Attrs>
    requires std::is_member_object_pointer_v<F>
  TRecordBuilder&& Field(std::string_view Name, F AField, Attrs... Attributes) && {
    FInfo.FFields.push_back(Make(Name, true, AField, AField, std::move(Attributes)...));
    return std::move(*this);
  }
  template <class Read, class Write, IsAttribute... Attrs>
    requires(!IsAttribute<Write>)
  TRecordBuilder&& Property(std::string_view Name, Read ARead, Write AWrite, Attrs... Attributes) && {
    FInfo.FProperties.push_back(Make(Name, false, ARead, AWrite, std::move(Attributes)...));
    return std::move(*this);
  }

  operator TRecordInfo() && { return std::move(FInfo); }

 private:
  friend class TRecordInfo;
  TRecordBuilder() { FInfo.FName = TypeName(typeid(R)); }

  template <class Read, class Write, class... Attrs>
  static std::unique_ptr<TMemberInfo> Make(std::string_view Name, bool IsField, Read ARead, Write AWrite,
                                           Attrs... Attributes) {
    return std::make_unique<kv::rtti::TAccessorMember<R, Read, Write>>(
        std::string(Name), mvPublic, IsField, TAttributeList{kv::rtti::MakeAttribute(std::move(Attributes))...},
        nullptr, ARead, AWrite);
  }

  TRecordInfo FInfo;
};

template <class R>
TRecordBuilder<R> TRecordInfo::Of() {
  return TRecordBuilder<R>();
}

// --- type information of C++ types -------------------------------------------------------------

namespace kv::rtti {
template <class T>
class TPlainType final : public TTypeInfo {
 public:
  explicit TPlainType(TTypeKind AKind) : TTypeInfo(AKind, typeid(T)) {}
  std::any Zero() const override { return T{}; }
};

template <class T>
class TIntegerType final : public TOrdinalTypeInfo {
 public:
  TIntegerType() : TOrdinalTypeInfo(tkInteger, typeid(T)) {}
  std::any Zero() const override { return T{}; }
  std::int64_t GetOrdinal(const std::any& Value) const override { return ValueAs<T>(Value); }
  std::any FromOrdinal(std::int64_t Ordinal) const override { return static_cast<T>(Ordinal); }
};

inline constexpr std::array<std::string_view, 2> kBooleanNames{"False", "True"};

template <class T>
class TEnumerationType final : public TEnumerationTypeInfo {
 public:
  TEnumerationType() : TEnumerationTypeInfo(typeid(T), MinOf(), NamesOf()) {}
  std::any Zero() const override { return T{}; }
  std::int64_t GetOrdinal(const std::any& Value) const override {
    return static_cast<std::int64_t>(ValueAs<T>(Value));
  }
  std::any FromOrdinal(std::int64_t Ordinal) const override {
    if constexpr (std::is_same_v<T, bool>)
      return Ordinal != 0;
    else
      return static_cast<T>(Ordinal);
  }

 private:
  static constexpr int MinOf() {
    if constexpr (std::is_same_v<T, bool>)
      return 0;
    else
      return TEnumInfo<T>::MinValue;
  }
  static std::span<const std::string_view> NamesOf() {
    if constexpr (std::is_same_v<T, bool>) {
      return kBooleanNames;
    } else {
      static_assert(TEnumInfo<T>::MaxValue - TEnumInfo<T>::MinValue + 1 == std::ssize(TEnumInfo<T>::Names));
      return TEnumInfo<T>::Names;
    }
  }
};

template <class T>
class TFloatType final : public TFloatTypeInfo {
 public:
  TFloatType() : TFloatTypeInfo(tkFloat, typeid(T)) {}
  std::any Zero() const override { return T{}; }
  double GetFloat(const std::any& Value) const override { return static_cast<double>(ValueAs<T>(Value)); }
  std::any FromFloat(double Value) const override { return static_cast<T>(Value); }
};

class TUnicodeStringType final : public TStringTypeInfo {
 public:
  TUnicodeStringType() : TStringTypeInfo(tkUString, typeid(std::string)) {}
  std::any Zero() const override { return std::string(); }
  std::string GetString(const std::any& Value) const override { return ValueAs<std::string>(Value); }
  std::any FromString(std::string Value) const override { return Value; }
};

template <class E>
class TSetType final : public TSetTypeInfo {
 public:
  TSetType() : TSetTypeInfo(tkSet, typeid(TSet<E>)) {}
  std::any Zero() const override { return TSet<E>(); }
  const TEnumerationTypeInfo& ElementType() const override {
    return static_cast<const TEnumerationTypeInfo&>(*TypeInfoOf<E>());
  }
  int Size() const override { return static_cast<int>(sizeof(typename TSet<E>::TBits)); }
  std::uint64_t GetBits(const std::any& Value) const override { return ValueAs<TSet<E>>(Value).Bits(); }
  std::any FromBits(std::uint64_t Bits) const override { return TSet<E>::FromBits(Bits); }
};

template <class R>
class TRecordType final : public TRecordTypeInfo {
 public:
  TRecordType() : TRecordTypeInfo(tkRecord, typeid(R)) {}
  std::any Zero() const override { return R{}; }
  const TRecordInfo& RecordInfo() const override { return R::StaticRecordInfo(); }
  void* Data(std::any& Value) const override { return const_cast<R*>(&ValueAs<R>(Value)); }
  const void* Data(const std::any& Value) const override { return &ValueAs<R>(Value); }
};

template <class A>
class TArrayType final : public TArrayTypeInfo {
  using TElement = typename A::value_type;

 public:
  TArrayType() : TArrayTypeInfo(IsVector<A>::value ? tkDynArray : tkArray, typeid(A)) {}
  std::any Zero() const override { return A{}; }
  const TTypeInfo& ElementType() const override { return *TypeInfoOf<TElement>(); }
  std::size_t Length() const override {
    if constexpr (IsStdArray<A>::value)
      return std::tuple_size_v<A>;
    else
      return 0;
  }
  std::size_t Count(const std::any& Value) const override { return ValueAs<A>(Value).size(); }
  std::any Element(const std::any& Value, std::size_t Index) const override {
    const A& array = ValueAs<A>(Value);
    ASSERT(Index < array.size(), "TArrayTypeInfo::Element: index out of range");
    return TElement(array[Index]);
  }
  std::any Make(const std::vector<std::any>& Elements) const override {
    A result{};
    if constexpr (IsVector<A>::value)
      result.reserve(Elements.size());
    else
      ASSERT(Elements.size() == result.size(), "TArrayTypeInfo::Make: a static array takes its length of elements");
    for (std::size_t i = 0; i < Elements.size(); ++i) {
      const TElement& element = ValueAs<TElement>(Elements[i]);
      if constexpr (IsVector<A>::value)
        result.push_back(element);
      else
        result[i] = element;
    }
    return result;
  }
};

template <class T>
constexpr TTypeKind PlainKindOf() {
  if constexpr (IsChar<T>)
    return std::is_same_v<T, char> || std::is_same_v<T, char8_t> ? tkChar : tkWChar;
  else if constexpr (std::is_integral_v<T>)
    return tkInt64;
  else if constexpr (std::is_same_v<T, const TClassInfo*>)
    return tkClassRef;
  else if constexpr (std::is_pointer_v<T> && std::is_class_v<std::remove_pointer_t<T>>)
    return tkClass;
  else if constexpr (std::is_pointer_v<T> && std::is_function_v<std::remove_pointer_t<T>>)
    return tkProcedure;
  else if constexpr (std::is_pointer_v<T>)
    return tkPointer;
  else if constexpr (std::is_member_function_pointer_v<T>)
    return tkMethod;
  else if constexpr (IsSharedPtr<T>::value)
    return tkInterface;
  else if constexpr (std::is_same_v<T, Variant>)
    return tkVariant;
  else
    return tkProcedure;  // std::function
}
}  // namespace kv::rtti

template <class T>
const TTypeInfo* TypeInfoOf() {
  using namespace kv::rtti;
  if constexpr (!HasTypeInfo<T>) {
    return nullptr;
  } else if constexpr (std::is_same_v<T, bool> || std::is_enum_v<T>) {
    static const TEnumerationType<T> info;
    return &info;
  } else if constexpr (std::is_integral_v<T> && !IsChar<T> && sizeof(T) <= 4) {
    static const TIntegerType<T> info;
    return &info;
  } else if constexpr (std::is_floating_point_v<T>) {
    static const TFloatType<T> info;
    return &info;
  } else if constexpr (std::is_same_v<T, std::string>) {
    static const TUnicodeStringType info;
    return &info;
  } else if constexpr (IsSet<T>::value) {
    static const TSetType<typename T::TMember> info;
    return &info;
  } else if constexpr (IsRecord<T>) {
    static const TRecordType<T> info;
    return &info;
  } else if constexpr (IsStdArray<T>::value || IsVector<T>::value) {
    static const TArrayType<T> info;
    return &info;
  } else {
    static const TPlainType<T> info(PlainKindOf<T>());
    return &info;
  }
}

// --- enumeration names -------------------------------------------------------------------------

// Replaces the lines of AList by the identifiers of an enumeration (or of a set's member
// enumeration) from the lowest ordinal to the highest, each with its ordinal (an int) as object.
// Any other type is a programming error.
void FillEnumNames(const TTypeInfo* ATypeInfo, TStrings& AList);

template <class T>
void FillEnumNames(TStrings& AList) {
  FillEnumNames(TypeInfoOf<T>(), AList);
}
