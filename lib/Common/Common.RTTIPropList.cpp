#include "Common.RTTIPropList.h"

#include <cstdlib>

#include "Runtime.Strings.h"

// --- enumerations ------------------------------------------------------------------------------

std::string_view TEnumerationTypeInfo::NameOf(std::int64_t Ordinal) const {
  if (Ordinal < FMinValue || Ordinal > MaxValue()) return {};
  return FNames[static_cast<std::size_t>(Ordinal - FMinValue)];
}

std::optional<std::int64_t> TEnumerationTypeInfo::OrdinalOf(std::string_view Name) const {
  for (std::size_t i = 0; i < FNames.size(); ++i)
    if (SameText(FNames[i], Name)) return FMinValue + static_cast<std::int64_t>(i);
  return std::nullopt;
}

void FillEnumNames(const TTypeInfo* ATypeInfo, TStrings& AList) {
  ASSERT(ATypeInfo && (ATypeInfo->Kind() == tkEnumeration || ATypeInfo->Kind() == tkSet),
         "FillEnumNames: the type is neither an enumeration nor a set");
  const auto& enumeration = ATypeInfo->Kind() == tkSet ? static_cast<const TSetTypeInfo*>(ATypeInfo)->ElementType()
                                                       : static_cast<const TEnumerationTypeInfo&>(*ATypeInfo);
  AList.Clear();
  for (int ordinal = enumeration.MinValue(); ordinal <= enumeration.MaxValue(); ++ordinal)
    AList.AddObject(std::string(enumeration.NameOf(ordinal)), ordinal);
}

// --- members and classes -----------------------------------------------------------------------

std::any TMemberInfo::GetValue(const TObjectRef& AObject) const {
  ASSERT(DeclaringClass(), "GetValue of a record member through an object");
  return GetValue(AObject.As(*DeclaringClass()));
}

void TMemberInfo::SetValue(const TObjectRef& AObject, const std::any& Value) const {
  ASSERT(DeclaringClass(), "SetValue of a record member through an object");
  SetValue(AObject.As(*DeclaringClass()), Value);
}

void* TObjectRef::As(const TClassInfo& Ancestor) const { return FClass->CastTo(FInstance, Ancestor); }

bool TClassInfo::InheritsFrom(const TClassInfo& Ancestor) const {
  for (const TClassInfo* c = this; c; c = c->Parent())
    if (c == &Ancestor) return true;
  return false;
}

std::vector<const TMemberInfo*> TClassInfo::GetProperties() const {
  std::vector<const TMemberInfo*> result;
  for (const TClassInfo* c = this; c; c = c->Parent())
    for (const auto& property : c->FProperties) result.push_back(property.get());
  return result;
}

std::vector<const TMethodInfo*> TClassInfo::GetMethods() const {
  std::vector<const TMethodInfo*> result;
  for (const TClassInfo* c = this; c; c = c->Parent())
    for (const auto& method : c->FMethods) result.push_back(method.get());
  return result;
}

void* TClassInfo::CastTo(void* Instance, const TClassInfo& Ancestor) const {
  const TClassInfo* c = this;
  for (; c && c != &Ancestor; c = c->Parent())
    if (c->FToParent) Instance = c->FToParent(Instance);
  ASSERT(c, "CastTo: the class does not derive from the requested ancestor");
  return Instance;
}
