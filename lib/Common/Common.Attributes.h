#pragma once
// Attributes that classes, properties and methods carry in their type information
// (Common.RTTIPropList), and their lookup: a display name, the marker that keeps a property out of
// serialization, and generic attributes over a string or a Boolean value.
//
// A new value attribute derives from TCustomAttribute<T, itself>, so that its GetValue looks for
// its own class:
//
//   class TLoginDlgRequiredAttribute : public TCustomAttribute<bool, TLoginDlgRequiredAttribute> {
//    public:
//     using TCustomAttribute::TCustomAttribute;
//   };

#include <string>
#include <string_view>
#include <utility>

#include "Common.RTTIPropList.h"
#include "Runtime.Exceptions.h"

class EAttributeError : public Exception {
 public:
  // Prefixed with "Чтение аттрибутов: " unless it starts with that already.
  explicit EAttributeError(std::string Message);
  static EAttributeError AttributeByClassNotFound(std::string_view AttributeClass);
  static EAttributeError PropWithAttrNotFound(std::string_view ObjClass, std::string_view AttrClass);
  static EAttributeError RttiNotPresented();
};

// The first attribute of the list that is an A or derives from A; null when there is none.
template <class A>
const A* FindAttribute(const TAttributeList& Attributes) {
  for (const auto& attribute : Attributes)
    if (auto found = dynamic_cast<const A*>(attribute.get())) return found;
  return nullptr;
}

template <class A>
bool HasAttribute(const TAttributeList& Attributes) {
  return FindAttribute<A>(Attributes) != nullptr;
}

namespace kv::attributes {
// The attributes of the method of AObject's class (or of an ancestor) that Method points to.
template <class Obj, class M>
const TAttributeList* MethodAttributes(const Obj& AObject, M Method) {
  for (const TMethodInfo* method : AObject.ClassInfo().GetMethods())
    if (method->Is(Method)) return &method->Attributes();
  return nullptr;
}

// GetValue of the value attribute class A with value type T.
template <class A, class T>
struct TLookup {
  static T GetValue(const TClassInfo& AClass, T DefaultValue) {
    const A* attribute = FindAttribute<A>(AClass.Attributes());
    return attribute ? attribute->Value() : std::move(DefaultValue);
  }
  static T GetValue(const TClassInfo& AClass) {
    const A* attribute = FindAttribute<A>(AClass.Attributes());
    if (!attribute) throw EAttributeError::AttributeByClassNotFound(TypeName(typeid(A)));
    return attribute->Value();
  }
  template <class Obj, class M>
  static T GetValue(const Obj& AObject, M AMethod, T DefaultValue) {
    const TAttributeList* attributes = MethodAttributes(AObject, AMethod);
    const A* attribute = attributes ? FindAttribute<A>(*attributes) : nullptr;
    return attribute ? attribute->Value() : std::move(DefaultValue);
  }
};
}  // namespace kv::attributes

// A generic attribute over a value of type T. TCustomAttribute<T> is the base of every attribute
// over T; Self names the class whose instances GetValue looks for (TCustomAttribute<T> itself when
// Self is void).
template <class T, class Self = void>
class TCustomAttribute;

template <class T>
class TCustomAttribute<T, void> : public TAttribute {
  using TLookup = kv::attributes::TLookup<TCustomAttribute, T>;

 public:
  using TValueType = T;
  explicit TCustomAttribute(T AValue) : FValue(std::move(AValue)) {}

  const T& Value() const { return FValue; }
  // FValue, or Def when there is no attribute at all.
  static T ValueOrDefault(const TCustomAttribute* Attribute, T Def) {
    return Attribute ? Attribute->FValue : std::move(Def);
  }

  // The value of the first attribute of this class declared on AClass itself (attributes of its
  // ancestors do not count), or DefaultValue.
  static T GetValue(const TClassInfo& AClass, T DefaultValue) {
    return TLookup::GetValue(AClass, std::move(DefaultValue));
  }
  // The same; EAttributeError AttributeByClassNotFound when the class declares none.
  static T GetValue(const TClassInfo& AClass) { return TLookup::GetValue(AClass); }
  // The same on the method of AObject's class that AMethod points to; DefaultValue when the class
  // lists no such method or the method carries no such attribute.
  template <class Obj, class M>
    requires std::is_member_function_pointer_v<M>
  static T GetValue(const Obj& AObject, M AMethod, T DefaultValue) {
    return TLookup::GetValue(AObject, AMethod, std::move(DefaultValue));
  }

 private:
  T FValue;
};

template <class T, class Self>
class TCustomAttribute : public TCustomAttribute<T, void> {
  using TBase = TCustomAttribute<T, void>;
  using TLookup = kv::attributes::TLookup<Self, T>;

 public:
  using TBase::TBase;

  static T GetValue(const TClassInfo& AClass, T DefaultValue) {
    return TLookup::GetValue(AClass, std::move(DefaultValue));
  }
  static T GetValue(const TClassInfo& AClass) { return TLookup::GetValue(AClass); }
  template <class Obj, class M>
    requires std::is_member_function_pointer_v<M>
  static T GetValue(const Obj& AObject, M AMethod, T DefaultValue) {
    return TLookup::GetValue(AObject, AMethod, std::move(DefaultValue));
  }
};

// The name a class or property is shown under.
class TDisplayName : public TCustomAttribute<std::string, TDisplayName> {
 public:
  using TCustomAttribute::TCustomAttribute;
};

// The property takes no part in serialization.
class TNotSerializeAttribute : public TAttribute {};
