#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Common.Attributes.h"
#include "Common.OptionsStorage.Serializer.h"
#include "Common.OptionsStorage.XML.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace serializer_test {
enum class TColor { Red, Green, Blue };
enum class TUnnamed { A, B };
enum class TWide {
  M0,
  M1,
  M2,
  M3,
  M4,
  M5,
  M6,
  M7,
  M8,
  M9,
  M10,
  M11,
  M12,
  M13,
  M14,
  M15,
  M16,
  M17,
  M18,
  M19,
  M20,
  M21,
  M22,
  M23,
  M24,
  M25,
  M26,
  M27,
  M28,
  M29,
  M30,
  M31,
  M32
};
}  // namespace serializer_test

KV_ENUM_INFO(serializer_test::TColor, Red, Green, Blue);
KV_ENUM_INFO(serializer_test::TWide, M0, M1, M2, M3, M4, M5, M6, M7, M8, M9, M10, M11, M12, M13, M14, M15, M16, M17, M18, M19, M20, M21, M22, M23, M24, M25, M26, M27, M28, M29, M30, M31, M32);

namespace serializer_test {
using TColors = TSet<TColor>;

struct TPoint {
  int X = 0;
  std::string Label;
  bool operator==(const TPoint&) const = default;
  static const TRecordInfo& StaticRecordInfo();
};

const TRecordInfo& TPoint::StaticRecordInfo() {
  static const TRecordInfo Info = TRecordInfo::Of<TPoint>().Field("X", &TPoint::X).Field("Label", &TPoint::Label);
  return Info;
}

class TBaseItem {
  KV_CLASS_INFO(TBaseItem)
 public:
  virtual ~TBaseItem() = default;
  int Count = -1;
  std::string Name;
};

class TItem : public TBaseItem {
  KV_CLASS_INFO(TItem)
 public:
  bool Enabled = false;
  double Rate = 0;
  TColor Color = TColor::Red;
  TColors Colors;
  TPoint Point;
  std::vector<int> Values;
  std::vector<TPoint> Points;
  std::array<int, 3> Fixed{1, 2, 3};
  TItem* Child = nullptr;
  std::string Secret = "secret";  // marked not to be serialized
  int Hidden = 4;                 // not registered
  std::string Title() const { return FTitle; }
  void SetTitle(const std::string& Value) {
    FTitle = Value;
    ++TitleAssignments;
  }
  int TitleAssignments = 0;

 private:
  std::string FTitle = "title";
};

class TBroken : public TBaseItem {
  KV_CLASS_INFO(TBroken)
 public:
  TUnnamed Kind = TUnnamed::A;
};

class TWideSet : public TBaseItem {
  KV_CLASS_INFO(TWideSet)
 public:
  TSet<TWide> Members{TWide::M1};
};

const TClassInfo& TBaseItem::StaticClassInfo() {
  static const TClassInfo Info =
      TClassInfo::Of<TBaseItem>().Published("Count", &TBaseItem::Count).Public("Name", &TBaseItem::Name);
  return Info;
}

const TClassInfo& TItem::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TItem, TBaseItem>()
                                     .Published("Enabled", &TItem::Enabled)
                                     .Published("Rate", &TItem::Rate)
                                     .Published("Color", &TItem::Color)
                                     .Published("Colors", &TItem::Colors)
                                     .Published("Point", &TItem::Point)
                                     .Published("Values", &TItem::Values)
                                     .Published("Points", &TItem::Points)
                                     .Published("Fixed", &TItem::Fixed)
                                     .Published("Child", &TItem::Child)
                                     .Published("Secret", &TItem::Secret, TNotSerializeAttribute())
                                     .Public("Title", &TItem::Title, &TItem::SetTitle)
                                     .Public("ReadOnlyHidden", &TItem::Hidden, nullptr);
  return Info;
}

const TClassInfo& TBroken::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TBroken, TBaseItem>().Published("Kind", &TBroken::Kind);
  return Info;
}

const TClassInfo& TWideSet::StaticClassInfo() {
  static const TClassInfo Info = TClassInfo::Of<TWideSet, TBaseItem>().Published("Members", &TWideSet::Members);
  return Info;
}

// The object's stored form, as the options file would hold it below the root.
std::string Stored(const TBaseItem& Object) {
  TXMLDocument doc;
  doc.AddChild("Options");
  TXmlOptionsWriter writer(doc, "", "");
  TOptionsSerializer::SerializeObject(writer, Object);
  return doc.XML();
}

void Load(std::string_view Xml, TBaseItem& Object) {
  TXMLDocument doc;
  doc.LoadFromXML(Xml);
  TOptionsSerializer::DeserializeObject(TXmlOptionsReader(doc, ""), Object);
}

TItem Filled() {
  TItem item;
  item.Count = 7;
  item.Name = "Имя";
  item.Enabled = true;
  item.Rate = 2.5;
  item.Color = TColor::Blue;
  item.Colors = {TColor::Red, TColor::Blue};
  item.Point = {3, "p"};
  item.Values = {5, 0, 7};
  item.Points = {{1, "a"}, {0, ""}};
  item.Fixed = {0, 8, 9};
  item.SetTitle("Заголовок");
  return item;
}
}  // namespace serializer_test

using namespace serializer_test;

TEST(OptionsSerializer, StoredFormOfEveryKindInPropertyOrder) {
  TItem item = Filled();
  TBaseItem& asBase = item;  // the run-time class decides
  EXPECT_EQ(Stored(asBase),
            "<?xml version=\"1.0\"?>\n"
            "<Options Enabled=\"True\" Rate=\"2.5\" Color=\"Blue\" Colors=\"Red,Blue\" Title=\"Заголовок\""
            " Count=\"7\" Name=\"Имя\">\n"
            "  <Point X=\"3\" Label=\"p\"/>\n"
            "  <Values>\n    <Item0 Value=\"5\"/>\n    <Item1/>\n    <Item2 Value=\"7\"/>\n  </Values>\n"
            "  <Points>\n    <Item0 X=\"1\" Label=\"a\"/>\n    <Item1/>\n  </Points>\n"
            "  <Fixed>\n    <Item0/>\n    <Item1 Value=\"8\"/>\n    <Item2 Value=\"9\"/>\n  </Fixed>\n"
            "</Options>\n");
}

TEST(OptionsSerializer, WhatIsWrittenLoadsBack) {
  TItem loaded;
  loaded.Values = {1};  // replaced, not appended to
  Load(Stored(Filled()), loaded);
  TItem expected = Filled();
  EXPECT_EQ(loaded.Count, 7);
  EXPECT_EQ(loaded.Name, "Имя");
  EXPECT_TRUE(loaded.Enabled);
  EXPECT_EQ(loaded.Rate, 2.5);
  EXPECT_EQ(loaded.Color, TColor::Blue);
  EXPECT_EQ(loaded.Colors, expected.Colors);
  EXPECT_EQ(loaded.Point, expected.Point);
  EXPECT_EQ(loaded.Values, (std::vector<int>{5, 0, 7}));
  EXPECT_EQ(loaded.Points, expected.Points);
  EXPECT_EQ(loaded.Fixed, expected.Fixed);
  EXPECT_EQ(loaded.Title(), "Заголовок");
}

TEST(OptionsSerializer, DefaultsOfAFreshObjectAndWhatIsLeftOut) {
  TItem fresh;
  fresh.Count = 0;
  fresh.Rate = 0;
  std::string stored = Stored(fresh);
  EXPECT_THAT(stored, HasSubstr(R"(<Options Enabled="False" Rate="0" Color="Red" Title="title">)"));
  for (const char* absent : {"Count", "Name", "Colors", "Child", "Secret", "ReadOnlyHidden", "Hidden"})
    EXPECT_THAT(stored, Not(HasSubstr(absent))) << absent;

  TItem loaded;
  Load(stored, loaded);
  EXPECT_EQ(loaded.Count, -1);  // 0 was not stored: the constructor's value stays
}

TEST(OptionsSerializer, UnserializedReadOnlyUnregisteredAndObjectPropertiesAreNotRead) {
  TItem loaded;
  TItem child;
  loaded.Child = &child;
  Load(R"(<Options Secret="stored" ReadOnlyHidden="9" Hidden="9" Child="1"><Child/></Options>)", loaded);
  EXPECT_EQ(loaded.Secret, "secret");
  EXPECT_EQ(loaded.Hidden, 4);
  EXPECT_EQ(loaded.Child, &child);
}

TEST(OptionsSerializer, EveryLoadAssignsThroughTheSetters) {
  TItem loaded;
  Load("<Options/>", loaded);
  EXPECT_EQ(loaded.TitleAssignments, 1);
  EXPECT_EQ(loaded.Title(), "title");
  Load(R"(<Options Title="new"/>)", loaded);
  EXPECT_EQ(loaded.TitleAssignments, 2);
  EXPECT_EQ(loaded.Title(), "new");
}

TEST(OptionsSerializer, StoredTextThatNamesNothingFallsBackOrIsIgnored) {
  struct Case {
    const char* Xml;
    bool Enabled;
    TColor Color;
    TColors Colors;
    int Count;
    double Rate;
  };
  const TColors current{TColor::Green};
  for (const Case& c : {
           Case{R"(<Options Enabled="true" Color="bLuE" Colors="blue, Purple ,RED"/>)",
                true,
                TColor::Blue,
                {TColor::Red, TColor::Blue},
                -1,
                1.5},
           Case{R"(<Options Enabled="yes" Color="Purple" Colors="" Count="x" Rate="fast"/>)",
                false,
                TColor::Green,
                {},
                -1,
                1.5},
           Case{R"(<Options Enabled="" Color="" Colors="Purple" Count=""/>)", false, TColor::Green, {}, -1, 1.5},
           Case{R"(<Options Colors="&quot;Red,Blue&quot;,Green"/>)", false, TColor::Green, {TColor::Green}, -1, 1.5},
           Case{R"(<Options Count="12" Rate="0.25"/>)", false, TColor::Green, current, 12, 0.25},
       }) {
    TItem loaded;
    loaded.Color = TColor::Green;
    loaded.Colors = current;
    loaded.Rate = 1.5;
    Load(c.Xml, loaded);
    EXPECT_EQ(loaded.Enabled, c.Enabled) << c.Xml;
    EXPECT_EQ(loaded.Color, c.Color) << c.Xml;
    EXPECT_EQ(loaded.Colors, c.Colors) << c.Xml;
    EXPECT_EQ(loaded.Count, c.Count) << c.Xml;
    EXPECT_EQ(loaded.Rate, c.Rate) << c.Xml;
  }
}

TEST(OptionsSerializer, ArraysAndRecordsFromTheirSections) {
  TItem loaded;
  loaded.Point = {1, "kept"};
  loaded.Values = {1, 2};
  // Elements whatever their names, in stored order; a static array of another count stays.
  Load(R"(<Options><Values><A Value="3"/><Item0/><B Value="4"/></Values>
                   <Fixed><Item0 Value="7"/><Item1 Value="8"/></Fixed></Options>)",
       loaded);
  EXPECT_EQ(loaded.Values, (std::vector<int>{3, 0, 4}));
  EXPECT_EQ(loaded.Fixed, (std::array<int, 3>{1, 2, 3}));
  EXPECT_EQ(loaded.Point, (TPoint{1, "kept"}));  // no section: kept

  // A record section reads every member over the current value; an empty array section empties.
  Load(R"(<Options><Point Label="new"/><Values/></Options>)", loaded);
  EXPECT_EQ(loaded.Point, (TPoint{1, "new"}));
  EXPECT_TRUE(loaded.Values.empty());
}

TEST(OptionsSerializer, PropertiesWithoutTypeInformationAndTooWideSetsAreErrors) {
  TBroken broken;
  broken.Count = 3;
  TXMLDocument doc;
  doc.AddChild("Options");
  TXmlOptionsWriter writer(doc, "", "");
  try {
    TOptionsSerializer::SerializeObject(writer, broken);
    FAIL() << "no exception";
  } catch (const EAttributeError& e) {
    EXPECT_EQ(e.Message(), "Чтение аттрибутов: Отсутствует RTTI");
  }
  EXPECT_THROW(Load("<Options/>", broken), EAttributeError);

  TWideSet wide;
  EXPECT_THROW(Stored(wide), EAssertionFailed);
  Load(R"(<Options Members="M0,M31,M32"/>)", wide);  // only the first 32 members are read
  EXPECT_EQ(wide.Members, (TSet<TWide>{TWide::M0, TWide::M31}));
}
