#include "Common.Variants.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "Runtime.Strings.h"

namespace {
constexpr const char* kInvalidConversion = "Invalid variant type conversion";
constexpr const char* kInvalidType = "Invalid variant type";
constexpr const char* kIndexOutOfBounds = "Variant or safe array index out of bounds";
constexpr const char* kArrayCreate = "Error creating variant or safe array";

bool IsStringType(TVarType type) { return type == varOleStr || type == varString || type == varUString; }
}  // namespace

int VarTypeSize(TVarType type) {
  static constexpr int kSizes[] = {0, 0, 2, 4, 4, 8, 8, 8, 0, 0, 4, 2, 0, 0, 0, 0, 1, 1, 2, 4, 8, 8};
  return type < std::size(kSizes) ? kSizes[type] : 0;
}

bool IsBulkElementType(TVarType type) {
  return (type >= varSmallint && type <= varDate) || type == varBoolean || (type >= varShortInt && type <= varInt64);
}

bool IsArrayElementType(TVarType type) {
  return IsBulkElementType(type) || type == varOleStr || type == varError || type == varVariant;
}

struct Variant::TArray {
  std::vector<TVarArrayBound> Bounds;
  std::vector<std::uint8_t> Block;  // bulk element types
  std::vector<Variant> Items;       // the other element types
};

template <class T>
void Variant::SetValue(TVarType type, const T& value) {
  static_assert(sizeof(T) <= sizeof(FValue));
  FType = type;
  std::memcpy(FValue.data(), &value, sizeof(T));
}

template <class T>
T Variant::Value() const {
  T value;
  std::memcpy(&value, FValue.data(), sizeof(T));
  return value;
}

Variant::Variant() = default;
Variant::Variant(std::int16_t value) { SetValue(varSmallint, value); }
Variant::Variant(std::int32_t value) { SetValue(varInteger, value); }
Variant::Variant(float value) { SetValue(varSingle, value); }
Variant::Variant(double value) { SetValue(varDouble, value); }
Variant::Variant(Currency value) { SetValue(varCurrency, value.Scaled); }
Variant::Variant(bool value) { SetValue(varBoolean, static_cast<std::int16_t>(value ? -1 : 0)); }
Variant::Variant(std::int8_t value) { SetValue(varShortInt, value); }
Variant::Variant(std::uint8_t value) { SetValue(varByte, value); }
Variant::Variant(std::uint16_t value) { SetValue(varWord, value); }
Variant::Variant(std::uint32_t value) { SetValue(varLongWord, value); }
Variant::Variant(std::int64_t value) { SetValue(varInt64, value); }
Variant::Variant(std::uint64_t value) { SetValue(varUInt64, value); }
Variant::Variant(const char* text) : Variant(std::string_view(text)) {}
Variant::Variant(const std::string& text) : Variant(std::string_view(text)) {}
Variant::Variant(std::string_view text) : FType(varUString), FWide(Utf8ToUtf16(text)) {}
Variant::Variant(const char16_t* text) : FType(varUString), FWide(text) {}
Variant::Variant(std::u16string text) : FType(varUString), FWide(std::move(text)) {}

Variant Variant::OfType(TVarType type) {
  Variant v;
  v.FType = type;
  return v;
}

Variant Variant::Null() { return OfType(varNull); }

Variant Variant::FromDate(TDateTime value) {
  Variant v;
  v.SetValue(varDate, value);
  return v;
}

Variant Variant::FromError(std::int32_t code) {
  Variant v;
  v.SetValue(varError, code);
  return v;
}

Variant Variant::FromOleStr(std::string_view text) { return FromOleStr(Utf8ToUtf16(text)); }

Variant Variant::FromOleStr(std::u16string text) {
  Variant v = OfType(varOleStr);
  v.FWide = std::move(text);
  return v;
}

Variant Variant::FromAnsiString(std::string_view text) {
  Variant v = OfType(varString);
  v.FText = std::string(text);
  return v;
}

Variant Variant::FromBytes(TVarType type, std::span<const std::uint8_t> bytes) {
  bool holdsNoValue = type == varEmpty || type == varNull || type == varDecimal || type == 0x000F;
  if (!holdsNoValue && VarTypeSize(type) == 0) throw EVariantError(kInvalidType);
  auto size = static_cast<std::size_t>(VarTypeSize(type));
  if (bytes.size() < size) throw EVariantError(kInvalidType);
  Variant v = OfType(type);
  std::copy_n(bytes.begin(), size, v.FValue.begin());
  return v;
}

void Variant::CheckBounds(const std::vector<TVarArrayBound>& bounds, TVarType elementType) {
  if (bounds.empty() || bounds.size() > kMaxVarArrayDims || !IsArrayElementType(elementType))
    throw EVariantError(kArrayCreate);
  // Elements are indexed with 64-bit offsets; no array may hold more bytes than that counts.
  std::int64_t limit = std::numeric_limits<std::int64_t>::max() / static_cast<std::int64_t>(sizeof(Variant));
  std::int64_t total = 1;
  for (const auto& b : bounds)
    if (b.ElementCount() < 0) throw EVariantError(kArrayCreate);
  for (const auto& b : bounds)
    if (b.ElementCount() == 0) return;
  for (const auto& b : bounds) {
    if (total > limit / b.ElementCount()) throw EVariantError(kArrayCreate);
    total *= b.ElementCount();
  }
}

Variant Variant::CreateArray(std::vector<TVarArrayBound> bounds, TVarType elementType) {
  CheckBounds(bounds, elementType);
  Variant v = OfType(varArray | elementType);
  v.FArray = std::make_unique<TArray>();
  v.FArray->Bounds = std::move(bounds);
  auto count = static_cast<std::size_t>(v.ElementCount());
  if (IsBulkElementType(elementType)) {
    v.FArray->Block.assign(count * static_cast<std::size_t>(VarTypeSize(elementType)), 0);
  } else {
    Variant blank = elementType == varOleStr ? FromOleStr(std::u16string())
                    : elementType == varError ? FromError(0)
                                              : Variant();
    v.FArray->Items.assign(count, blank);
  }
  return v;
}

Variant Variant::CreateArray(std::vector<TVarArrayBound> bounds, TVarType elementType,
                             std::vector<std::uint8_t> block) {
  CheckBounds(bounds, elementType);
  Variant v = OfType(varArray | elementType);
  v.FArray = std::make_unique<TArray>();
  v.FArray->Bounds = std::move(bounds);
  if (!IsBulkElementType(elementType) ||
      block.size() != static_cast<std::uint64_t>(v.ElementCount()) * static_cast<std::uint64_t>(VarTypeSize(elementType)))
    throw EVariantError(kArrayCreate);
  v.FArray->Block = std::move(block);
  return v;
}

Variant Variant::CreateArray(std::vector<TVarArrayBound> bounds, TVarType elementType,
                             std::vector<Variant> elements) {
  CheckBounds(bounds, elementType);
  Variant v = OfType(varArray | elementType);
  v.FArray = std::make_unique<TArray>();
  v.FArray->Bounds = std::move(bounds);
  if (IsBulkElementType(elementType) || elements.size() != static_cast<std::uint64_t>(v.ElementCount()))
    throw EVariantError(kArrayCreate);
  for (const auto& e : elements) v.CheckElement(e);
  v.FArray->Items = std::move(elements);
  return v;
}

Variant::Variant(const Variant& other)
    : FType(other.FType),
      FValue(other.FValue),
      FWide(other.FWide),
      FText(other.FText),
      FArray(other.FArray ? std::make_unique<TArray>(*other.FArray) : nullptr) {}

Variant::Variant(Variant&& other) noexcept
    : FType(other.FType),
      FValue(other.FValue),
      FWide(std::move(other.FWide)),
      FText(std::move(other.FText)),
      FArray(std::move(other.FArray)) {
  other.FType = varEmpty;
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) *this = Variant(other);
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    FType = other.FType;
    FValue = other.FValue;
    FWide = std::move(other.FWide);
    FText = std::move(other.FText);
    FArray = std::move(other.FArray);
    other.FType = varEmpty;
  }
  return *this;
}

Variant::~Variant() = default;

std::int64_t Variant::AsInt64() const {
  switch (FType) {
    case varSmallint: return Value<std::int16_t>();
    case varInteger: return Value<std::int32_t>();
    case varShortInt: return Value<std::int8_t>();
    case varByte: return Value<std::uint8_t>();
    case varWord: return Value<std::uint16_t>();
    case varLongWord: return Value<std::uint32_t>();
    case varInt64: return Value<std::int64_t>();
    case varUInt64: {
      auto value = Value<std::uint64_t>();
      if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        throw EVariantError(kInvalidConversion);
      return static_cast<std::int64_t>(value);
    }
    default: throw EVariantError(kInvalidConversion);
  }
}

double Variant::AsDouble() const {
  switch (FType) {
    case varSingle: return Value<float>();
    case varDouble:
    case varDate: return Value<double>();
    case varCurrency: return Currency::FromScaled(Value<std::int64_t>()).ToDouble();
    case varUInt64: return static_cast<double>(Value<std::uint64_t>());
    default: return static_cast<double>(AsInt64());
  }
}

bool Variant::AsBoolean() const {
  if (FType != varBoolean) throw EVariantError(kInvalidConversion);
  return Value<std::int16_t>() != 0;
}

Currency Variant::AsCurrency() const {
  if (FType != varCurrency) throw EVariantError(kInvalidConversion);
  return Currency::FromScaled(Value<std::int64_t>());
}

TDateTime Variant::AsDateTime() const {
  if (FType != varDate) throw EVariantError(kInvalidConversion);
  return Value<double>();
}

std::int32_t Variant::AsError() const {
  if (FType != varError) throw EVariantError(kInvalidConversion);
  return Value<std::int32_t>();
}

std::string Variant::AsString() const {
  if (FType == varString) return FText;
  if (!IsStringType(FType)) throw EVariantError(kInvalidConversion);
  return Utf16ToUtf8(FWide);
}

std::u16string Variant::AsUtf16() const {
  if (FType == varString) return Utf8ToUtf16(FText);
  if (!IsStringType(FType)) throw EVariantError(kInvalidConversion);
  return FWide;
}

const Variant::TArray& Variant::ArrayRef() const {
  if (!FArray) throw EVariantError(kInvalidType);
  return *FArray;
}

int Variant::DimCount() const { return static_cast<int>(ArrayRef().Bounds.size()); }

TVarArrayBound Variant::Bounds(int dim) const {
  const auto& bounds = ArrayRef().Bounds;
  if (dim < 0 || static_cast<std::size_t>(dim) >= bounds.size()) throw EVariantError(kIndexOutOfBounds);
  return bounds[static_cast<std::size_t>(dim)];
}

std::int64_t Variant::ElementCount() const {
  const auto& bounds = ArrayRef().Bounds;
  // An empty dimension empties the array, however large the others (their product may not fit).
  if (std::any_of(bounds.begin(), bounds.end(), [](const auto& b) { return b.ElementCount() == 0; })) return 0;
  std::int64_t total = 1;
  for (const auto& b : bounds) total *= b.ElementCount();
  return total;
}

std::int64_t Variant::ElementIndex(std::span<const std::int32_t> indices) const {
  const auto& bounds = ArrayRef().Bounds;
  if (indices.size() != bounds.size()) throw EVariantError(kIndexOutOfBounds);
  for (std::size_t d = 0; d < bounds.size(); ++d)
    if (indices[d] < bounds[d].LowBound || indices[d] > bounds[d].HighBound) throw EVariantError(kIndexOutOfBounds);
  std::int64_t index = 0;
  if (IsBulkElementType(ElementType())) {
    for (std::size_t d = bounds.size(); d-- > 0;)
      index = index * bounds[d].ElementCount() + (indices[d] - bounds[d].LowBound);
  } else {
    for (std::size_t d = 0; d < bounds.size(); ++d)
      index = index * bounds[d].ElementCount() + (indices[d] - bounds[d].LowBound);
  }
  return index;
}

void Variant::CheckElement(const Variant& value) const {
  if (ElementType() != varVariant && value.VarType() != ElementType()) throw EVariantError(kInvalidConversion);
}

Variant Variant::GetElement(std::span<const std::int32_t> indices) const {
  auto index = static_cast<std::size_t>(ElementIndex(indices));
  if (!IsBulkElementType(ElementType())) return FArray->Items[index];
  auto size = static_cast<std::size_t>(VarTypeSize(ElementType()));
  return FromBytes(ElementType(), std::span(FArray->Block).subspan(index * size, size));
}

Variant Variant::GetElement(std::initializer_list<std::int32_t> indices) const {
  return GetElement(std::span(indices.begin(), indices.size()));
}

void Variant::PutElement(std::span<const std::int32_t> indices, Variant value) {
  auto index = static_cast<std::size_t>(ElementIndex(indices));
  CheckElement(value);
  if (!IsBulkElementType(ElementType())) {
    FArray->Items[index] = std::move(value);
    return;
  }
  auto size = static_cast<std::size_t>(VarTypeSize(ElementType()));
  std::copy_n(value.FValue.begin(), size, FArray->Block.begin() + static_cast<std::ptrdiff_t>(index * size));
}

void Variant::PutElement(std::initializer_list<std::int32_t> indices, Variant value) {
  PutElement(std::span(indices.begin(), indices.size()), std::move(value));
}

std::span<std::uint8_t> Variant::ArrayData() {
  ArrayRef();
  return FArray->Block;
}

std::span<const std::uint8_t> Variant::ArrayData() const { return ArrayRef().Block; }

std::span<const Variant> Variant::Elements() const { return ArrayRef().Items; }

bool operator==(const Variant& a, const Variant& b) {
  if (a.FType != b.FType || a.FValue != b.FValue || a.FWide != b.FWide || a.FText != b.FText) return false;
  if (!a.FArray || !b.FArray) return !a.FArray && !b.FArray;
  return a.FArray->Bounds == b.FArray->Bounds && a.FArray->Block == b.FArray->Block &&
         a.FArray->Items == b.FArray->Items;
}
