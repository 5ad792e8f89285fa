#pragma once
// The names and ordinal range of an enumeration type, declared once beside the enumeration at
// global scope, with its enumerators in ordinal order:
//
//   enum TKveloDocumentType : int { kdtEstimate, kdtAct, kdtResources };
//   KV_ENUM_INFO(TKveloDocumentType, kdtEstimate, kdtAct, kdtResources);
//
// The ordinals must be consecutive (checked at compile time). TEnum::FromInteger (Common.SysUtils)
// and the options serializer read enumerations through this trait.

#include <cstddef>
#include <string_view>
#include <type_traits>

#include "Runtime.Strings.h"

// Not declared for a type: Declared is false. A declaration gives Declared, TypeName (without
// namespaces or enclosing classes), Values and Names in ordinal order, MinValue and MaxValue.
template <class T>
struct TEnumInfo {
  static constexpr bool Declared = false;
};

template <class T>
concept HasEnumInfo = std::is_enum_v<T> && TEnumInfo<T>::Declared;

namespace kv::detail {
constexpr std::string_view UnqualifiedTypeName(std::string_view name) {
  std::size_t scope = name.rfind("::");
  return scope == std::string_view::npos ? name : name.substr(scope + 2);
}

template <class T, std::size_t N>
constexpr bool ConsecutiveOrdinals(const T (&values)[N]) {
  for (std::size_t i = 1; i < N; ++i)
    if (static_cast<long long>(values[i]) != static_cast<long long>(values[0]) + static_cast<long long>(i))
      return false;
  return true;
}
}  // namespace kv::detail

// KV_ENUM_INFO_FOR_EACH(macro, arg, a, b, ...) gives macro(arg, a) macro(arg, b) ... (up to 256).
#define KV_ENUM_INFO_PARENS ()
#define KV_ENUM_INFO_EXPAND(...) KV_ENUM_INFO_EXPAND4(KV_ENUM_INFO_EXPAND4(KV_ENUM_INFO_EXPAND4(KV_ENUM_INFO_EXPAND4(__VA_ARGS__))))
#define KV_ENUM_INFO_EXPAND4(...) KV_ENUM_INFO_EXPAND3(KV_ENUM_INFO_EXPAND3(KV_ENUM_INFO_EXPAND3(KV_ENUM_INFO_EXPAND3(__VA_ARGS__))))
#define KV_ENUM_INFO_EXPAND3(...) KV_ENUM_INFO_EXPAND2(KV_ENUM_INFO_EXPAND2(KV_ENUM_INFO_EXPAND2(KV_ENUM_INFO_EXPAND2(__VA_ARGS__))))
#define KV_ENUM_INFO_EXPAND2(...) KV_ENUM_INFO_EXPAND1(KV_ENUM_INFO_EXPAND1(KV_ENUM_INFO_EXPAND1(KV_ENUM_INFO_EXPAND1(__VA_ARGS__))))
#define KV_ENUM_INFO_EXPAND1(...) __VA_ARGS__
#define KV_ENUM_INFO_FOR_EACH(macro, arg, ...) \
  __VA_OPT__(KV_ENUM_INFO_EXPAND(KV_ENUM_INFO_FOR_EACH_STEP(macro, arg, __VA_ARGS__)))
#define KV_ENUM_INFO_FOR_EACH_STEP(macro, arg, first, ...) \
  macro(arg, first) __VA_OPT__(KV_ENUM_INFO_FOR_EACH_AGAIN KV_ENUM_INFO_PARENS(macro, arg, __VA_ARGS__))
#define KV_ENUM_INFO_FOR_EACH_AGAIN() KV_ENUM_INFO_FOR_EACH_STEP
#define KV_ENUM_INFO_VALUE(Type, name) Type::name,
#define KV_ENUM_INFO_NAME(Type, name) std::string_view(#name),

#define KV_ENUM_INFO(Type, ...)                                                                          \
  template <>                                                                                            \
  struct TEnumInfo<Type> {                                                                               \
    static_assert(std::is_enum_v<Type>, #Type " is not an enumeration");                                 \
    static constexpr bool Declared = true;                                                               \
    static constexpr std::string_view TypeName = ::kv::detail::UnqualifiedTypeName(#Type);              \
    static constexpr Type Values[] = {KV_ENUM_INFO_FOR_EACH(KV_ENUM_INFO_VALUE, Type, __VA_ARGS__)};     \
    static constexpr std::string_view Names[] = {KV_ENUM_INFO_FOR_EACH(KV_ENUM_INFO_NAME, Type, __VA_ARGS__)}; \
    static_assert(::kv::detail::ConsecutiveOrdinals(Values),                                             \
                  "the enumerators of " #Type " must be listed in ordinal order without gaps");          \
    static constexpr int MinValue = static_cast<int>(Values[0]);                                         \
    static constexpr int MaxValue = MinValue + static_cast<int>(std::size(Values)) - 1;                  \
  }

// The identifier of an enumeration value; empty for a value outside the declared range.
template <class T>
  requires HasEnumInfo<T>
constexpr std::string_view GetEnumName(T Value) {
  const int ordinal = static_cast<int>(Value);
  if (ordinal < TEnumInfo<T>::MinValue || ordinal > TEnumInfo<T>::MaxValue) return {};
  return TEnumInfo<T>::Names[ordinal - TEnumInfo<T>::MinValue];
}

// The value whose identifier is Name, ignoring the letter case of A to Z.
template <class T>
  requires HasEnumInfo<T>
bool TryGetEnumValue(std::string_view Name, T& Value) {
  for (std::size_t i = 0; i < std::size(TEnumInfo<T>::Names); ++i) {
    if (SameText(TEnumInfo<T>::Names[i], Name)) {
      Value = TEnumInfo<T>::Values[i];
      return true;
    }
  }
  return false;
}
