#include "Common.Variants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

TEST(Variants, ScalarsCarryTheirOleTypeCodes) {
  struct Case {
    Variant value;
    TVarType type;
  } cases[] = {
      {Variant(), varEmpty},
      {Variant::Null(), varNull},
      {Variant(std::int16_t{-2}), varSmallint},
      {Variant(7), varInteger},
      {Variant(1.5f), varSingle},
      {Variant(1.5), varDouble},
      {Variant(Currency::FromScaled(15000)), varCurrency},
      {Variant::FromDate(45000.5), varDate},
      {Variant::FromOleStr("x"), varOleStr},
      {Variant::FromError(5), varError},
      {Variant(true), varBoolean},
      {Variant(std::int8_t{-1}), varShortInt},
      {Variant(std::uint8_t{200}), varByte},
      {Variant(std::uint16_t{60000}), varWord},
      {Variant(std::uint32_t{4000000000}), varLongWord},
      {Variant(std::int64_t{-5}), varInt64},
      {Variant(std::uint64_t{5}), varUInt64},
      {Variant::FromAnsiString("x"), varString},
      {Variant("x"), varUString},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(c.value.VarType(), c.type);
    EXPECT_FALSE(c.value.IsArray());
  }
}

TEST(Variants, TypedReadsAcceptTheirKindsOnly) {
  EXPECT_EQ(Variant(std::int16_t{-2}).AsInt64(), -2);
  EXPECT_EQ(Variant(std::uint32_t{4000000000}).AsInt64(), 4000000000);
  EXPECT_DOUBLE_EQ(Variant(7).AsDouble(), 7.0);
  EXPECT_DOUBLE_EQ(Variant(Currency::FromScaled(15000)).AsDouble(), 1.5);
  EXPECT_EQ(Variant(true).ValueBytes()[0], 0xFF);  // OLE true is -1
  EXPECT_TRUE(Variant(true).AsBoolean());
  EXPECT_EQ(Variant::FromDate(2.5).AsDateTime(), 2.5);
  EXPECT_EQ(Variant::FromOleStr("Пр").AsUtf16(), u"Пр");
  EXPECT_EQ(Variant::FromAnsiString("Пр").AsString(), "Пр");
  EXPECT_EQ(Variant(u"Пр").AsString(), "Пр");

  EXPECT_THROW(Variant("1").AsInt64(), EVariantError);
  EXPECT_THROW(Variant(1).AsString(), EVariantError);
  EXPECT_THROW(Variant(1).AsBoolean(), EVariantError);
  EXPECT_THROW(Variant(std::uint64_t{1} << 63).AsInt64(), EVariantError);
  EXPECT_THROW(Variant().DimCount(), EVariantError);
}

TEST(Variants, BulkArraysLieInOneBlockWithTheFirstDimensionFastest) {
  Variant a = Variant::CreateArray({{1, 3}, {0, 1}}, varInteger);
  EXPECT_EQ(a.VarType(), varArray | varInteger);
  EXPECT_EQ(a.DimCount(), 2);
  EXPECT_EQ(a.Bounds(0), (TVarArrayBound{1, 3}));
  EXPECT_EQ(a.ElementCount(), 6);
  for (std::int32_t i = 1; i <= 3; ++i)
    for (std::int32_t j = 0; j <= 1; ++j) a.PutElement({i, j}, Variant(10 * i + j));
  std::int32_t block[6];
  ASSERT_EQ(a.ArrayData().size(), sizeof block);
  std::memcpy(block, a.ArrayData().data(), sizeof block);
  EXPECT_EQ(std::vector<std::int32_t>(block, block + 6), (std::vector<std::int32_t>{10, 20, 30, 11, 21, 31}));
  EXPECT_EQ(a.GetElement({3, 0}), Variant(30));

  EXPECT_THROW(a.GetElement({0, 0}), EVariantError);  // below the lower bound
  EXPECT_THROW(a.GetElement({1, 2}), EVariantError);
  EXPECT_THROW(a.GetElement({1}), EVariantError);     // too few indices
  EXPECT_THROW(a.PutElement({1, 0}, Variant(std::int16_t{1})), EVariantError);  // no conversions

  Variant copy = a;  // arrays are values
  copy.PutElement({1, 0}, Variant(-1));
  EXPECT_EQ(a.GetElement({1, 0}), Variant(10));
  EXPECT_FALSE(copy == a);
}

TEST(Variants, OtherArraysKeepOneVariantPerElement) {
  Variant strings = Variant::CreateArray({{0, 1}}, varOleStr);
  EXPECT_EQ(strings.GetElement({1}), Variant::FromOleStr(""));
  EXPECT_TRUE(strings.ArrayData().empty());
  EXPECT_THROW(strings.PutElement({0}, Variant("a")), EVariantError);  // a varUString is not a varOleStr

  Variant variants = Variant::CreateArray({{0, 1}, {0, 2}}, varVariant);
  variants.PutElement({0, 2}, Variant("a"));
  variants.PutElement({1, 0}, strings);
  ASSERT_EQ(variants.Elements().size(), 6u);
  EXPECT_EQ(variants.Elements()[2], Variant("a"));  // the last dimension fastest
  EXPECT_EQ(variants.Elements()[3], strings);
}

TEST(Variants, ArrayCreationChecksDimensionsBoundsAndElementType) {
  using B = std::vector<TVarArrayBound>;
  EXPECT_THROW(Variant::CreateArray(B{}, varInteger), EVariantError);
  EXPECT_THROW(Variant::CreateArray(B(65, TVarArrayBound{0, 0}), varInteger), EVariantError);
  EXPECT_NO_THROW(Variant::CreateArray(B(64, TVarArrayBound{0, 0}), varInteger));
  EXPECT_THROW(Variant::CreateArray(B{{5, 3}}, varInteger), EVariantError);
  EXPECT_THROW(Variant::CreateArray(B{{0, 0x7FFFFFFE}, {0, 0x7FFFFFFE}, {0, 0x7FFFFFFE}}, varInteger), EVariantError);
  for (TVarType type : {varEmpty, varNull, varDispatch, varUnknown, varDecimal, varUInt64, varString, varUString})
    EXPECT_THROW(Variant::CreateArray(B{{0, 0}}, type), EVariantError) << type;

  // An empty dimension anywhere empties the array, however large the others.
  for (const B& bounds : {B{{0, -1}, {0, 0x7FFFFFFE}}, B(4, TVarArrayBound{0, 0x7FFFFFFE}), B(2, TVarArrayBound{1, 0})}) {
    B withEmpty = bounds;
    if (withEmpty.size() == 4) withEmpty.back() = {0, -1};
    Variant empty = Variant::CreateArray(withEmpty, varInteger);
    EXPECT_EQ(empty.ElementCount(), 0);
    EXPECT_TRUE(empty.ArrayData().empty());
    EXPECT_THROW(empty.GetElement(std::vector<std::int32_t>(withEmpty.size(), 0)), EVariantError);
  }
  EXPECT_THROW(Variant::CreateArray(B{{0, 1}}, varInteger, std::vector<std::uint8_t>(7)), EVariantError);
  EXPECT_THROW(Variant::CreateArray(B{{0, 0}}, varOleStr, std::vector<Variant>{Variant(1)}), EVariantError);
}

TEST(Variants, EqualityComparesTypeAndBits) {
  EXPECT_EQ(Variant(NAN), Variant(NAN));
  EXPECT_FALSE(Variant(0.0) == Variant(-0.0));
  EXPECT_FALSE(Variant(1) == Variant(std::int16_t{1}));
  EXPECT_FALSE(Variant::FromOleStr("a") == Variant("a"));
}
