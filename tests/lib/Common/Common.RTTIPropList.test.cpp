#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Common.Attributes.h"
#include "Common.RTTIPropList.h"
#include "Common.Variants.h"

using ::testing::ElementsAre;

namespace rtti_test {
enum class TKind : std::uint8_t { First, Second, Third };
enum class TOffset { Five = 5, Six, Seven };
enum class TUnnamed { A, B };

struct TPoint {
  int X = 0;
  static const TRecordInfo& StaticRecordInfo();
};
struct TPlainStruct {
  int X = 0;
};

class TRoot {
  KV_CLASS_INFO(TRoot)
 public:
  virtual ~TRoot() = default;
  int RootValue = 1;
  std::string Name;
};

// Registers TRoot as its parent but has another base first, so that a TLeaf and its TRoot part
// lie at different addresses.
class TOtherBase {
 public:
  virtual ~TOtherBase() = default;
  std::int64_t Padding[4] = {};
};

class TLeaf : public TOtherBase, public TRoot {
  KV_CLASS_INFO(TLeaf)
 public:
  int LeafValue = 2;
  std::string GetName() const { return "leaf:" + Name; }
};

class TAbstract : public TRoot {
  KV_CLASS_INFO(TAbstract)
 public:
  virtual void Run() = 0;
};

class TUnrelated {
  KV_CLASS_INFO(TUnrelated)
 public:
  virtual ~TUnrelated() = default;
};
}  // namespace rtti_test

KV_ENUM_INFO(rtti_test::TKind, First, Second, Third);
KV_ENUM_INFO(rtti_test::TOffset, Five, Six, Seven);

namespace rtti_test {
const TRecordInfo& TPoint::StaticRecordInfo() {
  static const TRecordInfo Info = TRecordInfo::Of<TPoint>().Field("X", &TPoint::X);
  return Info;
}

const TClassInfo& TRoot::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TRoot>(TDisplayName("Корень"))
                                     .Published("RootValue", &TRoot::RootValue)
                                     .Public("Name", &TRoot::Name);
  return Info;
}

const TClassInfo& TLeaf::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TLeaf, TRoot>()
                                     .Published("LeafValue", &TLeaf::LeafValue)
                                     .Public("Name", &TLeaf::GetName, nullptr);  // a read-only redeclaration
  return Info;
}

const TClassInfo& TAbstract::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TAbstract, TRoot>();
  return Info;
}

const TClassInfo& TUnrelated::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TUnrelated>();
  return Info;
}

std::vector<std::string> Names(const std::vector<const TMemberInfo*>& Members) {
  std::vector<std::string> names;
  for (const TMemberInfo* member : Members) names.push_back(member->Name());
  return names;
}
}  // namespace rtti_test

using namespace rtti_test;

TEST(RTTIPropList, PropertiesAreListedOwnClassFirstThenEachAncestor) {
  const TClassInfo& leaf = TLeaf::StaticClassInfo();
  EXPECT_EQ(leaf.ClassName(), "TLeaf");
  EXPECT_EQ(leaf.Parent(), &TRoot::StaticClassInfo());
  EXPECT_THAT(Names(leaf.GetProperties()), ElementsAre("LeafValue", "Name", "RootValue", "Name"));

  const TMemberInfo& redeclared = *leaf.GetProperties()[1];
  EXPECT_FALSE(redeclared.IsWritable());
  EXPECT_EQ(redeclared.Visibility(), mvPublic);
  EXPECT_EQ(redeclared.DeclaringClass(), &leaf);
  EXPECT_EQ(leaf.GetProperties()[2]->Visibility(), mvPublished);
  EXPECT_TRUE(leaf.GetProperties()[2]->IsWritable());
}

TEST(RTTIPropList, AnObjectAnswersForItsRunTimeClassThroughABasePointer) {
  TLeaf leaf;
  leaf.Name = "x";
  TRoot& root = leaf;
  EXPECT_EQ(&root.ClassInfo(), &TLeaf::StaticClassInfo());
  ASSERT_NE(static_cast<void*>(&root), static_cast<void*>(&leaf));  // the layout the test needs

  // Properties of both classes reach their own part of the object.
  TObjectRef ref = root.ObjectRef();
  const auto properties = ref.ClassInfo().GetProperties();
  EXPECT_EQ(std::any_cast<int>(properties[0]->GetValue(ref)), 2);
  EXPECT_EQ(std::any_cast<std::string>(properties[1]->GetValue(ref)), "leaf:x");
  properties[2]->SetValue(ref, std::any(42));
  EXPECT_EQ(leaf.RootValue, 42);
  EXPECT_THROW(properties[1]->SetValue(ref, std::any(std::string("y"))), EAssertionFailed);  // read-only
  EXPECT_THROW(properties[2]->SetValue(ref, std::any(std::string("y"))), EAssertionFailed);  // wrong type
}

TEST(RTTIPropList, CreatesInstancesFromTheTypeInformation) {
  std::unique_ptr<TRoot> created = TLeaf::StaticClassInfo().Create<TRoot>();
  ASSERT_NE(dynamic_cast<TLeaf*>(created.get()), nullptr);
  EXPECT_EQ(created->RootValue, 1);
  EXPECT_EQ(&created->ClassInfo(), &TLeaf::StaticClassInfo());

  EXPECT_TRUE(TLeaf::StaticClassInfo().InheritsFrom(TRoot::StaticClassInfo()));
  EXPECT_FALSE(TRoot::StaticClassInfo().InheritsFrom(TLeaf::StaticClassInfo()));
  EXPECT_FALSE(TAbstract::StaticClassInfo().CanCreate());
  EXPECT_THROW(TAbstract::StaticClassInfo().Create<TRoot>(), EAssertionFailed);
  EXPECT_THROW(TRoot::StaticClassInfo().Create<TUnrelated>(), EAssertionFailed);
}

TEST(RTTIPropList, TypeKindsFollowTheCppType) {
  struct Case {
    const TTypeInfo* Type;
    TTypeKind Kind;
  };
  for (auto [type, kind] : {
           Case{TypeInfoOf<std::int32_t>(), tkInteger},
           Case{TypeInfoOf<std::uint8_t>(), tkInteger},
           Case{TypeInfoOf<std::int64_t>(), tkInt64},
           Case{TypeInfoOf<bool>(), tkEnumeration},
           Case{TypeInfoOf<TKind>(), tkEnumeration},
           Case{TypeInfoOf<char>(), tkChar},
           Case{TypeInfoOf<char16_t>(), tkWChar},
           Case{TypeInfoOf<double>(), tkFloat},
           Case{TypeInfoOf<std::string>(), tkUString},
           Case{TypeInfoOf<TSet<TKind>>(), tkSet},
           Case{TypeInfoOf<TPoint>(), tkRecord},
           Case{TypeInfoOf<std::array<int, 2>>(), tkArray},
           Case{TypeInfoOf<std::vector<TPoint>>(), tkDynArray},
           Case{TypeInfoOf<TRoot*>(), tkClass},
           Case{TypeInfoOf<const TClassInfo*>(), tkClassRef},
           Case{TypeInfoOf<void*>(), tkPointer},
           Case{TypeInfoOf<std::function<void()>>(), tkProcedure},
           Case{TypeInfoOf<std::shared_ptr<TRoot>>(), tkInterface},
           Case{TypeInfoOf<void (TLeaf::*)()>(), tkMethod},
           Case{TypeInfoOf<Variant>(), tkVariant},
       }) {
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->Kind(), kind) << type->Name();
  }
  EXPECT_EQ(TypeInfoOf<TKind>(), TypeInfoOf<TKind>());  // one object per type
  // Types it cannot describe have none.
  EXPECT_EQ(TypeInfoOf<TUnnamed>(), nullptr);
  EXPECT_EQ(TypeInfoOf<TPlainStruct>(), nullptr);
  EXPECT_EQ(TypeInfoOf<std::vector<TUnnamed>>(), nullptr);
  EXPECT_EQ(TypeInfoOf<std::unique_ptr<int>>(), nullptr);
}

TEST(RTTIPropList, FillEnumNamesListsIdentifiersWithTheirOrdinals) {
  TStringList list{"old line"};
  FillEnumNames<TOffset>(list);
  EXPECT_EQ(list.ToStringArray(), (std::vector<std::string>{"Five", "Six", "Seven"}));
  EXPECT_EQ(std::any_cast<int>(list.Objects(0)), 5);
  EXPECT_EQ(std::any_cast<int>(list.Objects(2)), 7);

  FillEnumNames<TSet<TKind>>(list);  // through the member enumeration
  EXPECT_EQ(list.ToStringArray(), (std::vector<std::string>{"First", "Second", "Third"}));
  FillEnumNames<bool>(list);
  EXPECT_EQ(list.ToStringArray(), (std::vector<std::string>{"False", "True"}));

  EXPECT_THROW(FillEnumNames<int>(list), EAssertionFailed);
  EXPECT_THROW(FillEnumNames<TUnnamed>(list), EAssertionFailed);
}

TEST(RTTIPropList, SetsKeepOneBitPerMemberFromTheLowestOrdinal) {
  using TKinds = TSet<TKind>;
  static_assert(sizeof(TKinds) == 1);
  constexpr TKinds firstAndThird{TKind::First, TKind::Third};
  EXPECT_EQ(firstAndThird.Bits(), 0b101);
  EXPECT_EQ(TKinds::FromBits(0xFF).Bits(), 0b111);  // bits beyond the members are dropped
  EXPECT_EQ(firstAndThird + TKinds{TKind::Second}, TKinds::FromBits(0b111));
  EXPECT_EQ(firstAndThird * (TKinds{TKind::Third, TKind::Second}), TKinds{TKind::Third});
  EXPECT_EQ(firstAndThird - TKinds{TKind::First}, TKinds{TKind::Third});
  EXPECT_FALSE(firstAndThird.Contains(static_cast<TKind>(9)));

  TSet<TOffset> offsets{TOffset::Five, TOffset::Seven};
  EXPECT_EQ(offsets.Bits(), 0b101);
  auto& enumeration = static_cast<const TEnumerationTypeInfo&>(*TypeInfoOf<TOffset>());
  EXPECT_EQ(enumeration.NameOf(6), "Six");
  EXPECT_EQ(enumeration.NameOf(8), "");
  EXPECT_EQ(enumeration.OrdinalOf("seVEN"), 7);
  EXPECT_EQ(enumeration.OrdinalOf("Eight"), std::nullopt);
}
