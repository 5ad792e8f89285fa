#pragma once
// Variants with the OLE Automation type codes: scalars, strings and variant arrays. The stream
// encoding lives in Common.Helpers.Classes; this unit only holds values.
//
// A variant array has 1 to 64 dimensions, each with a lower and an upper bound (an empty
// dimension has upper = lower - 1), and one element type. Arrays of the fixed-size types
// (IsBulkElementType) keep their elements as one block laid out as OLE safe arrays lay them
// out, the first dimension changing fastest; arrays of strings, error codes and variants keep one
// variant per element. Copying a variant copies its array.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.DateTime.h"
#include "Runtime.Exceptions.h"
#include "Runtime.SysTypes.h"

using TVarType = std::uint16_t;

inline constexpr TVarType varEmpty = 0x0000;
inline constexpr TVarType varNull = 0x0001;
inline constexpr TVarType varSmallint = 0x0002;
inline constexpr TVarType varInteger = 0x0003;
inline constexpr TVarType varSingle = 0x0004;
inline constexpr TVarType varDouble = 0x0005;
inline constexpr TVarType varCurrency = 0x0006;
inline constexpr TVarType varDate = 0x0007;
inline constexpr TVarType varOleStr = 0x0008;
inline constexpr TVarType varDispatch = 0x0009;
inline constexpr TVarType varError = 0x000A;
inline constexpr TVarType varBoolean = 0x000B;
inline constexpr TVarType varVariant = 0x000C;
inline constexpr TVarType varUnknown = 0x000D;
inline constexpr TVarType varDecimal = 0x000E;
inline constexpr TVarType varShortInt = 0x0010;
inline constexpr TVarType varByte = 0x0011;
inline constexpr TVarType varWord = 0x0012;
inline constexpr TVarType varLongWord = 0x0013;
inline constexpr TVarType varInt64 = 0x0014;
inline constexpr TVarType varUInt64 = 0x0015;
inline constexpr TVarType varString = 0x0100;   // single-byte string
inline constexpr TVarType varUString = 0x0102;  // UTF-16 string
inline constexpr TVarType varTypeMask = 0x0FFF;
inline constexpr TVarType varArray = 0x2000;
inline constexpr TVarType varByRef = 0x4000;

inline constexpr int kMaxVarArrayDims = 64;

// Raised for a wrong type, index or bounds.
KV_DECLARE_EXCEPTION(EVariantError, Exception);

// Size in bytes of the value of a fixed-size type, by the OLE layout; 0 for the other types.
int VarTypeSize(TVarType type);
// The element types whose arrays keep their elements as one block of VarTypeSize bytes each:
// varSmallint to varDate, varBoolean and varShortInt to varInt64.
bool IsBulkElementType(TVarType type);
// Every type that can be an array's element type: the bulk types, varOleStr, varError, varVariant.
bool IsArrayElementType(TVarType type);

struct TVarArrayBound {
  std::int32_t LowBound = 0;
  std::int32_t HighBound = -1;
  std::int64_t ElementCount() const { return std::int64_t{HighBound} - LowBound + 1; }
  friend bool operator==(const TVarArrayBound&, const TVarArrayBound&) = default;
};

class Variant {
 public:
  Variant();  // varEmpty
  Variant(std::int16_t value);
  Variant(std::int32_t value);
  Variant(float value);
  Variant(double value);
  Variant(Currency value);
  Variant(bool value);  // stored as 0 or -1 (0xFFFF)
  Variant(std::int8_t value);
  Variant(std::uint8_t value);
  Variant(std::uint16_t value);
  Variant(std::uint32_t value);
  Variant(std::int64_t value);
  Variant(std::uint64_t value);
  // UTF-8 text as a UTF-16 string variant (varUString).
  Variant(const char* text);
  Variant(std::string_view text);
  Variant(const std::string& text);
  Variant(const char16_t* text);
  Variant(std::u16string text);
  // Other pointers would quietly become Booleans.
  template <class T>
  Variant(T*) = delete;

  static Variant Null();
  static Variant FromDate(TDateTime value);
  static Variant FromError(std::int32_t code);
  // varOleStr from UTF-8 text or UTF-16 code units.
  static Variant FromOleStr(std::string_view text);
  static Variant FromOleStr(std::u16string text);
  // varString: a single-byte string; its text goes to the ANSI code page when it is encoded.
  static Variant FromAnsiString(std::string_view text);
  // A variant of a type without strings or arrays (varEmpty, varNull and every type of
  // VarTypeSize > 0, varDecimal, 0x000F, varUInt64) from the first VarTypeSize bytes of `bytes`
  // in the OLE layout. EVariantError for other types or too few bytes.
  static Variant FromBytes(TVarType type, std::span<const std::uint8_t> bytes);
  // A variant array whose elements are zero, empty strings or empty variants. EVariantError
  // "Error creating variant or safe array" for no or more than 64 dimensions, a bound pair
  // with upper < lower - 1, or a type that IsArrayElementType rejects.
  static Variant CreateArray(std::vector<TVarArrayBound> bounds, TVarType elementType);
  // The same with the elements given: for a bulk type their block (exactly ElementCount *
  // VarTypeSize bytes, the first dimension fastest), otherwise one variant per element in the
  // order of the stream encoding (the last dimension fastest), each of the element type unless
  // that is varVariant. EVariantError for a wrong size or element.
  static Variant CreateArray(std::vector<TVarArrayBound> bounds, TVarType elementType,
                             std::vector<std::uint8_t> block);
  static Variant CreateArray(std::vector<TVarArrayBound> bounds, TVarType elementType,
                             std::vector<Variant> elements);

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  // The whole type word, array flag included.
  TVarType VarType() const { return FType; }
  bool IsEmpty() const { return FType == varEmpty; }
  bool IsNull() const { return FType == varNull; }
  bool IsArray() const { return (FType & varArray) != 0; }

  // Typed reads; EVariantError "Invalid variant type conversion" for a variant of another kind.
  // Any integer type (varSmallint, varInteger, varShortInt to varUInt64).
  std::int64_t AsInt64() const;
  // Integers, varSingle, varDouble, varCurrency and varDate.
  double AsDouble() const;
  bool AsBoolean() const;  // varBoolean: any non-zero value is true
  Currency AsCurrency() const;
  TDateTime AsDateTime() const;
  std::int32_t AsError() const;
  // The three string types (varOleStr, varString, varUString).
  std::string AsString() const;  // UTF-8
  std::u16string AsUtf16() const;

  // The value bytes of a fixed-size type in the OLE layout (VarTypeSize of the type are used).
  std::span<const std::uint8_t> ValueBytes() const { return FValue; }

  // Arrays: EVariantError "Invalid variant type" on a variant that is not an array.
  int DimCount() const;
  TVarArrayBound Bounds(int dim) const;  // dim from 0
  TVarType ElementType() const { return FType & varTypeMask; }
  std::int64_t ElementCount() const;
  // One index per dimension, within the bounds; else EVariantError
  // "Variant or safe array index out of bounds".
  Variant GetElement(std::span<const std::int32_t> indices) const;
  Variant GetElement(std::initializer_list<std::int32_t> indices) const;
  // A typed array takes only a value of its element type; an array of varVariant any variant.
  void PutElement(std::span<const std::int32_t> indices, Variant value);
  void PutElement(std::initializer_list<std::int32_t> indices, Variant value);
  // The block of a bulk array (ElementCount * VarTypeSize bytes); empty for other arrays.
  std::span<std::uint8_t> ArrayData();
  std::span<const std::uint8_t> ArrayData() const;
  // The elements of an array that is not bulk, the last dimension fastest; empty for bulk arrays.
  std::span<const Variant> Elements() const;

  // Same type and same bits (so a NaN equals the same NaN), arrays element by element.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct TArray;

  static Variant OfType(TVarType type);
  static void CheckBounds(const std::vector<TVarArrayBound>& bounds, TVarType elementType);
  template <class T>
  void SetValue(TVarType type, const T& value);
  template <class T>
  T Value() const;
  const TArray& ArrayRef() const;
  // Index of an element in the block (first dimension fastest) or in the element list (last
  // dimension fastest).
  std::int64_t ElementIndex(std::span<const std::int32_t> indices) const;
  void CheckElement(const Variant& value) const;

  TVarType FType = varEmpty;
  std::array<std::uint8_t, 8> FValue{};
  std::u16string FWide;              // varOleStr, varUString
  std::string FText;                 // varString, UTF-8
  std::unique_ptr<TArray> FArray;    // varArray
};
