#include "Common.Helpers.Classes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "ByteStrings.h"
#include "support/MessageOf.h"
#include "support/TempDir.h"
#include "platform/FileStream.h"

namespace {
// A helper over a memory stream that the test can inspect.
struct HelperFixture {
  TMemoryStream stream;
  TStreamHelper helper{stream};

  std::string Written() { return Contents(stream); }
  TStreamHelper& Reading(std::string_view bytes) {
    Fill(stream, bytes);
    return helper;
  }
};

}  // namespace

TEST(StreamHelper, FixedSizeValuesAreWrittenRawAndReadBack) {
  const TFileTime fileTime{0x01020304, 0x05060708};
  struct Case {
    const char* name;
    std::function<void(TStreamHelper&)> write;
    const char* bytes;
    std::function<bool(TStreamHelper&)> readsBack;
  } cases[] = {
      {"byte", [](auto& h) { h.WriteByte(0xFE); }, "FE", [](auto& h) { return h.ReadByte() == 0xFE; }},
      {"char", [](auto& h) { h.WriteCharA('\xC0'); }, "C0", [](auto& h) { return h.ReadCharA() == '\xC0'; }},
      {"Boolean", [](auto& h) { h.WriteBoolean(true); }, "01", [](auto& h) { return h.ReadBoolean(); }},
      {"word", [](auto& h) { h.WriteWord(0xABCD); }, "CD AB", [](auto& h) { return h.ReadWord() == 0xABCD; }},
      {"int32", [](auto& h) { h.WriteInt32(-2); }, "FE FF FF FF", [](auto& h) { return h.ReadInt32() == -2; }},
      {"int64", [](auto& h) { h.WriteInt64(0x0102030405060708); }, "08 07 06 05 04 03 02 01",
       [](auto& h) { return h.ReadInt64() == 0x0102030405060708; }},
      {"double", [](auto& h) { h.WriteDbl(-2.0); }, "00 00 00 00 00 00 00 C0",
       [](auto& h) { return h.ReadDbl() == -2.0; }},
      {"date-time", [](auto& h) { h.WriteDateTime(2.5); }, "00 00 00 00 00 00 04 40",
       [](auto& h) { return h.ReadDateTime() == 2.5; }},
      {"extended", [](auto& h) { h.WriteExtended(-2.5); }, "00 00 00 00 00 00 00 A0 00 C0",
       [](auto& h) { return h.ReadExtended() == -2.5; }},
      {"file time", [&](auto& h) { h.WriteFileTime(fileTime); }, "04 03 02 01 08 07 06 05",
       [&](auto& h) { return h.ReadFileTime() == fileTime; }},
      {"GUID", [](auto& h) { h.WriteGUID(IVersionedStreamPersist::IID); },
       "2C FA 21 53 C6 35 90 48 B8 AA FC E0 20 64 9F F9",
       [](auto& h) { return h.ReadGUID() == IVersionedStreamPersist::IID; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HelperFixture fx;
    c.write(fx.helper);
    EXPECT_EQ(fx.Written(), Hex(c.bytes));
    auto& reader = fx.Reading(Hex(c.bytes));
    EXPECT_TRUE(c.readsBack(reader));
    EXPECT_TRUE(reader.EOS());
  }
  HelperFixture fx;
  EXPECT_TRUE(fx.Reading(Hex("02")).ReadBoolean());  // any non-zero byte
  EXPECT_THROW(fx.Reading(Hex("01 02 03")).ReadInt32(), EReadError);
}

TEST(StreamHelper, CountedStringsAndTheirLimits) {
  struct Case {
    const char* name;
    std::function<void(TStreamHelper&)> write;
    const char* bytes;
    std::function<std::string(TStreamHelper&)> read;
    std::string text;
  } cases[] = {
      {"empty", [](auto& h) { h.WriteString(""); }, "00 00 00 00", [](auto& h) { return h.ReadString(); }, ""},
      {"Cyrillic", [](auto& h) { h.WriteString("Привет"); }, "06 00 00 00 CF F0 E8 E2 E5 F2",
       [](auto& h) { return h.ReadString(); }, "Привет"},
      {"replacement", [](auto& h) { h.WriteString("a中"); }, "02 00 00 00 61 3F",
       [](auto& h) { return h.ReadString(); }, "a?"},
      {"raw bytes", [](auto& h) { h.WriteStringA("\xCF\x98"); }, "02 00 00 00 CF 98",
       [](auto& h) { return h.ReadStringA(); }, "\xCF\x98"},
      {"16-bit empty", [](auto& h) { h.WriteString16(""); }, "00 00", [](auto& h) { return h.ReadString16(); }, ""},
      {"16-bit", [](auto& h) { h.WriteString16("Пр"); }, "02 00 CF F0", [](auto& h) { return h.ReadString16(); },
       "Пр"},
      {"filer form", [](auto& h) { h.WriteFilerString("Пр"); }, "06 02 CF F0",
       [](auto& h) { return h.ReadFilerString(); }, "Пр"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HelperFixture fx;
    c.write(fx.helper);
    EXPECT_EQ(fx.Written(), Hex(c.bytes));
    auto& reader = fx.Reading(Hex(c.bytes));
    EXPECT_EQ(c.read(reader), c.text);
    EXPECT_TRUE(reader.EOS());
  }

  HelperFixture fx;
  EXPECT_EQ(fx.Reading(Hex("00 00 00 00 61")).ReadString(), "");  // nothing read after a zero count
  EXPECT_EQ(fx.stream.Position(), 4);
  EXPECT_THROW(fx.Reading(Hex("FF FF FF FF 61")).ReadString(), EReadError);  // negative
  EXPECT_THROW(fx.Reading(Hex("FF FF FF 7F 61")).ReadStringA(), EReadError);  // far beyond the data
  EXPECT_THROW(fx.Reading(Hex("02 00 00 00 61")).ReadString(), EReadError);
}

TEST(StreamHelper, SixteenBitStringsStoreUpTo32767CharactersAndRefuseMore) {
  HelperFixture fx;
  std::string longest(32767, 'x');
  fx.helper.WriteString16(longest);
  EXPECT_EQ(fx.Written().substr(0, 2), Hex("FF 7F"));
  fx.stream.SetPosition(0);
  EXPECT_EQ(fx.helper.ReadString16(), longest);

  // 40000 characters would wrap to the count -25536 and read back empty: refused instead.
  HelperFixture tooLong;
  EXPECT_THROW(tooLong.helper.WriteString16(std::string(40000, 'x')), EStreamError);
  EXPECT_EQ(tooLong.stream.Size(), 0);
  // Such a count in stored data still reads as an empty text with nothing after it.
  EXPECT_EQ(fx.Reading(Hex("40 9C 61 62")).ReadString16(), "");
  EXPECT_EQ(fx.stream.Position(), 2);
}

TEST(StreamHelper, FilerStringsTakeTheSmallestLengthFieldAndAssertOnOtherTags) {
  struct Case {
    std::size_t length;
    const char* header;
  } cases[] = {{255, "06 FF"}, {256, "07 00 01"}, {300, "07 2C 01"}, {65534, "07 FE FF"}, {65535, "08 FF FF 00 00"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    HelperFixture fx;
    std::string text(c.length, 'b');
    fx.helper.WriteFilerString(text);
    EXPECT_EQ(fx.Written().substr(0, Hex(c.header).size()), Hex(c.header));
    fx.stream.SetPosition(0);
    EXPECT_EQ(fx.helper.ReadFilerString(), text);
  }

  HelperFixture fx;
  try {
    fx.Reading(Hex("0B 00")).ReadFilerString();
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Неожиданный тип строки (11)");
    EXPECT_EQ(e.UnitPath(), "lib/Common/Common.Helpers.Classes");
  }
  EXPECT_THROW(fx.Reading(Hex("08 00 00 00 80")).ReadFilerString(), EReadError);
}

TEST(StreamHelper, SignaturesCompareTheirTextExactly) {
  HelperFixture fx;
  fx.helper.WriteSignature("OXД");
  EXPECT_EQ(fx.Written(), Hex("4F 58 C4"));
  EXPECT_NO_THROW(fx.Reading(Hex("4F 58 C4")).CheckSignature("OXД"));
  EXPECT_EQ(MessageOf<EStreamError>([&] { fx.Reading(Hex("4F 58 C4")).CheckSignature("OXA"); }),
            "Expected signature \"OXA\", but found \"OXД\"");
  EXPECT_EQ(MessageOf<EStreamError>([&] { fx.Reading(Hex("6F 78 C4")).CheckSignature("OXД"); }),
            "Expected signature \"OXД\", but found \"oxД\"");
  fx.Reading(Hex("4F")).CheckSignature("");
  EXPECT_EQ(fx.stream.Position(), 0);  // an empty signature reads nothing
  EXPECT_THROW(fx.Reading(Hex("4F 58")).CheckSignature("OXД"), EReadError);
}

TEST(StreamHelper, SkipStringMovesPastTheTextOnlyWhenItIsThere) {
  HelperFixture fx;
  auto& h = fx.Reading(Hex("03 00 00 00 61 62 63 07"));
  h.SkipString();
  EXPECT_EQ(h.ReadByte(), 7);
  EXPECT_THROW(fx.Reading(Hex("05 00 00 00 61")).SkipString(), EReadError);
  EXPECT_THROW(fx.Reading(Hex("FF FF FF FF 61")).SkipString(), EReadError);
}

TEST(StreamHelper, StringListsCarryTextsAndIntegerObjects) {
  TStringList lines;
  lines.AddObject("a", std::int32_t{5});
  lines.Add("Б");
  HelperFixture fx;
  fx.helper.WriteTStrings(lines);
  EXPECT_EQ(fx.Written(), Hex("02 00 00 00  01 00 00 00 61  05 00 00 00  01 00 00 00 C1  00 00 00 00"));

  TStringList read{"kept"};
  fx.stream.SetPosition(0);
  fx.helper.ReadTStrings(read, false);
  ASSERT_EQ(read.Count(), 3u);
  EXPECT_EQ(read[1], "a");
  EXPECT_EQ(std::any_cast<std::int32_t>(read.Objects(1)), 5);
  EXPECT_EQ(read[2], "Б");
  EXPECT_FALSE(read.Objects(2).has_value());
  fx.stream.SetPosition(0);
  fx.helper.ReadTStrings(read, true);
  EXPECT_EQ(read.Count(), 2u);

  TStringList pointers;
  pointers.AddObject("p", std::string("not a number"));
  HelperFixture refused;
  EXPECT_THROW(refused.helper.WriteTStrings(pointers), EStreamError);
}

TEST(StreamHelper, IntegerListsAreCheckedAgainstTheBytesLeft) {
  HelperFixture fx;
  fx.helper.WriteListInteger({1, -1});
  EXPECT_EQ(fx.Written(), Hex("02 00 00 00 01 00 00 00 FF FF FF FF"));
  std::vector<std::int32_t> list{9, 9, 9};
  fx.stream.SetPosition(0);
  fx.helper.ReadListInteger(list);
  EXPECT_EQ(list, (std::vector<std::int32_t>{1, -1}));

  EXPECT_THROW(fx.Reading(Hex("FF FF FF 7F 01 00 00 00")).ReadListInteger(list), EReadError);
  EXPECT_THROW(fx.Reading(Hex("FF FF FF FF")).ReadListInteger(list), EReadError);
}

TEST(StreamHelper, NestedStreamsWithSixtyFourAndThirtyTwoBitCounts) {
  HelperFixture empty;
  TMemoryStream nothing;
  empty.helper.WriteStream(nothing);
  EXPECT_EQ(empty.Written(), Hex("00 00 00 00 00 00 00 00"));

  TMemoryStream content;
  Fill(content, "abc");
  content.SetPosition(2);  // written from its start whatever its position
  HelperFixture fx;
  fx.helper.WriteStream(content);
  EXPECT_EQ(fx.Written(), Hex("03 00 00 00 00 00 00 00 61 62 63"));

  TMemoryStream target;
  target.WriteBuffer("X", 1);
  fx.stream.SetPosition(0);
  fx.helper.ReadStream(target);  // appended at the target's position
  EXPECT_EQ(Contents(target), "Xabc");
  fx.Reading(Hex("00 00 00 00 00 00 00 00")).ReadStream(target);
  EXPECT_EQ(Contents(target), "Xabc");
  EXPECT_THROW(fx.Reading(Hex("05 00 00 00 00 00 00 00 61")).ReadStream(target), EReadError);
  EXPECT_EQ(Contents(target), "Xabc");  // refused before anything was copied

  // By size: the helper's stream is the content, the other stream the encoding.
  TMemoryStream encoded;
  TStreamHelper(content).SaveToStreamBySize(encoded);
  EXPECT_EQ(Contents(encoded), Hex("03 00 00 00 61 62 63"));
  TMemoryStream loaded;
  Fill(loaded, "old content");
  encoded.SetPosition(0);
  TStreamHelper(loaded).LoadFromStreamBySize(encoded);
  EXPECT_EQ(Contents(loaded), "abc");
  Fill(encoded, Hex("10 00 00 00 61"));
  EXPECT_THROW(TStreamHelper(loaded).LoadFromStreamBySize(encoded), EReadError);
  EXPECT_EQ(Contents(loaded), "abc");
}

TEST(StreamHelper, HeaderBlocksLetTheReaderSkipWhatItDidNotRead) {
  HelperFixture fx;
  fx.helper.WriteByte(0xEE);
  std::int32_t fixup = -1;
  fx.helper.WriteHeader(fixup);
  EXPECT_EQ(fixup, 1);
  fx.helper.WriteInt32(1);
  fx.helper.WriteInt32(2);
  fx.helper.FixupHeader(fixup);
  fx.helper.WriteByte(0xFF);
  EXPECT_EQ(fx.Written(), Hex("EE 08 00 00 00 01 00 00 00 02 00 00 00 FF"));

  fx.stream.SetPosition(1);
  std::int32_t last = 0;
  fx.helper.ReadHeader(last);
  EXPECT_EQ(last, 13);
  EXPECT_EQ(fx.helper.ReadInt32(), 1);  // reads only part of the block
  fx.stream.SetPosition(last);
  EXPECT_EQ(fx.helper.ReadByte(), 0xFF);

  EXPECT_THROW(fx.Reading(Hex("FF FF FF FF")).ReadHeader(last), EStreamError);
  EXPECT_THROW(fx.Reading(Hex("FF FF FF 7F")).ReadHeader(last), EStreamError);
  fx.stream.SetPosition(std::int64_t{3} << 30);
  EXPECT_THROW(fx.helper.WriteHeader(fixup), EStreamError);
}

namespace {
// Writes and reads `fields` integers: a point of two fields saves, points of fewer or more fields
// read the block short or, wrongly, long.
class TPoint : public TFlexibleInterfacedObject, public IVersionedStreamPersist {
 public:
  explicit TPoint(int fields) : FFields(fields) {}
  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override {
    if (GetInterface<IVersionedStreamPersist>(this, AIID, Obj)) return S_OK;
    return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
  }
  std::int32_t GetStreamVersion() override { return StreamVersion; }
  void WriteToStream(TStream& Stream) override {
    for (int i = 0; i < FFields; ++i) TStreamHelper(Stream).WriteInt32(i == 0 ? X : Y);
  }
  void ReadFromStream(TStream& Stream, std::int32_t Version) override {
    ReadVersion = Version;
    std::int32_t values[3] = {};
    for (int i = 0; i < FFields; ++i) values[i] = TStreamHelper(Stream).ReadInt32();
    X = values[0];
    Y = values[1];
  }
  std::int32_t X = 0, Y = 0, ReadVersion = 0;
  std::int32_t StreamVersion = 2;

 private:
  int FFields;
};

// A point that its reference frees.
TInterfacePtr<IVersionedStreamPersist> NewPoint(int fields, TPoint*& point) {
  point = NewObject<TPoint>(fields);
  return point;
}
}  // namespace

TEST(StreamHelper, VersionedObjectsAreReadShortOrRefusedLong) {
  TPoint* point;
  auto pointRef = NewPoint(2, point);
  TInterfacePtr<IVersionedStreamPersist> queried;
  EXPECT_TRUE(Supports(static_cast<IInterface*>(point), queried));
  point->X = 7;
  point->Y = 8;
  HelperFixture fx;
  fx.helper.SaveVersionedObject(*pointRef);
  fx.helper.WriteInt32(-1);
  EXPECT_EQ(fx.Written(), Hex("02 00 00 00 0C 00 00 00 07 00 00 00 08 00 00 00 FF FF FF FF"));

  TPoint* full;
  auto fullRef = NewPoint(2, full);
  fx.stream.SetPosition(0);
  fx.helper.LoadVersionedObject(*fullRef);
  EXPECT_EQ(full->ReadVersion, 2);
  EXPECT_EQ(full->Y, 8);
  EXPECT_EQ(fx.helper.ReadInt32(), -1);

  TPoint* shortReader;  // an older reader: the rest of the block is skipped
  auto shortRef = NewPoint(1, shortReader);
  fx.stream.SetPosition(0);
  fx.helper.LoadVersionedObject(*shortRef);
  EXPECT_EQ(shortReader->X, 7);
  EXPECT_EQ(fx.helper.ReadInt32(), -1);

  TPoint* longReader;  // takes the integer after its block
  auto longRef = NewPoint(3, longReader);
  fx.stream.SetPosition(0);
  try {
    fx.helper.LoadVersionedObject(*longRef);
    ADD_FAILURE() << "no error";
  } catch (const EStreamError&) {
    ADD_FAILURE() << "not a stream error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "");
    EXPECT_EQ(e.ClassName(), "Exception");
  }

  TPoint* nothing;  // version 1 writes no data
  auto nothingRef = NewPoint(0, nothing);
  nothing->StreamVersion = 1;
  HelperFixture bare;
  bare.helper.SaveVersionedObject(*nothingRef);
  EXPECT_EQ(bare.Written(), Hex("01 00 00 00 04 00 00 00"));
}

TEST(StreamHelper, EmptyBuffersAreZerosAndSkipping) {
  HelperFixture fx;
  fx.helper.WriteEmptyBuffer(5000);
  EXPECT_EQ(fx.Written(), std::string(5000, '\0'));
  fx.stream.SetPosition(0);
  fx.helper.SkipBuffer(4999);
  EXPECT_EQ(fx.stream.Position(), 4999);
}

// --- variants

TEST(StreamHelperVariant, ScalarsAndStringsHaveTheirTableForms) {
  struct Case {
    const char* name;
    Variant value;
    const char* bytes;
  } cases[] = {
      {"empty", Variant(), "00 00 00 00"},
      {"null", Variant::Null(), "01 00 00 00"},
      {"smallint", Variant(std::int16_t{-2}), "02 00 00 00 FE FF"},
      {"integer", Variant(0x01020304), "03 00 00 00 04 03 02 01"},
      {"single", Variant(1.0f), "04 00 00 00 00 00 80 3F"},
      {"double", Variant(1.0), "05 00 00 00 00 00 00 00 00 00 F0 3F"},
      {"currency", Variant(Currency::FromScaled(15000)), "06 00 00 00 98 3A 00 00 00 00 00 00"},
      {"date", Variant::FromDate(2.5), "07 00 00 00 00 00 00 00 00 00 04 40"},
      {"OLE string", Variant::FromOleStr("Пр"), "08 00 00 00 02 00 00 00 1F 04 40 04"},
      {"empty OLE string", Variant::FromOleStr(""), "08 00 00 00 00 00 00 00"},
      {"error", Variant::FromError(static_cast<std::int32_t>(0x80004005)), "0A 00 00 00 05 40 00 80"},
      {"true", Variant(true), "0B 00 00 00 FF FF"},
      {"false", Variant(false), "0B 00 00 00 00 00"},
      {"shortint", Variant(std::int8_t{-1}), "10 00 00 00 FF"},
      {"byte", Variant(std::uint8_t{0xAB}), "11 00 00 00 AB"},
      {"word", Variant(std::uint16_t{0xABCD}), "12 00 00 00 CD AB"},
      {"longword", Variant(std::uint32_t{0x89ABCDEF}), "13 00 00 00 EF CD AB 89"},
      {"int64", Variant(std::int64_t{-2}), "14 00 00 00 FE FF FF FF FF FF FF FF"},
      {"decimal carries nothing", Variant::FromBytes(varDecimal, {}), "0E 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HelperFixture fx;
    fx.helper.WriteVariant(c.value);
    EXPECT_EQ(fx.Written(), Hex(c.bytes));
    auto& reader = fx.Reading(Hex(c.bytes));
    EXPECT_EQ(reader.ReadVariant(), c.value);
    EXPECT_TRUE(reader.EOS());
  }
}

TEST(StreamHelperVariant, SingleByteStringsReadBackAsUtf16Strings) {
  HelperFixture fx;
  fx.helper.WriteVariant(Variant::FromAnsiString("Пр"));
  EXPECT_EQ(fx.Written(), Hex("00 01 00 00 02 00 00 00 CF F0"));
  fx.stream.SetPosition(0);
  Variant read = fx.helper.ReadVariant();
  EXPECT_EQ(read.VarType(), varUString);
  EXPECT_EQ(read.AsString(), "Пр");
}

TEST(StreamHelperVariant, UnsupportedTypesFailWithTheirCodeAndWriteNothing) {
  struct WriteCase {
    Variant value;
    const char* message;
  } writes[] = {
      {Variant("x"), "Unsupported variant type: 0102"},
      {Variant(std::uint64_t{1}), "Unsupported variant type: 0015"},
  };
  for (const auto& c : writes) {
    HelperFixture fx;
    EXPECT_EQ(MessageOf<Exception>([&] { fx.helper.WriteVariant(c.value); }), c.message);
    EXPECT_EQ(fx.stream.Size(), 0);
  }
  // The same inside an array of variants: refused before the array's head is written.
  Variant array = Variant::CreateArray({{0, 1}}, varVariant);
  array.PutElement({1}, Variant("x"));
  HelperFixture fx;
  EXPECT_EQ(MessageOf<Exception>([&] { fx.helper.WriteVariant(array); }), "Unsupported variant type: 0102");
  EXPECT_EQ(fx.stream.Size(), 0);

  struct ReadCase {
    const char* bytes;
    const char* code;
  } reads[] = {
      {"09 00 00 00", "0009"}, {"0C 00 00 00", "000C"}, {"0D 00 00 00", "000D"}, {"15 00 00 00", "0015"},
      {"01 01 00 00", "0101"}, {"02 01 00 00", "0102"}, {"03 40 00 00", "4003"}, {"03 10 00 00", "1003"},
      {"03 00 01 00", "10003"}, {"FF FF FF FF", "FFFFFFFF"}, {"00 20 00 00", "2000"}, {"09 20 00 00", "2009"},
      {"00 21 00 00", "2100"}, {"03 60 00 00", "6003"},
  };
  for (const auto& c : reads) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(MessageOf<Exception>([&] { fx.Reading(Hex(c.bytes)).ReadVariant(); }),
              std::string("Unsupported variant type: ") + c.code);
  }
}

TEST(StreamHelperVariant, BulkArraysWriteBoundsByteCountAndTheirBlock) {
  Variant a = Variant::CreateArray({{1, 3}, {0, 1}}, varInteger);
  for (std::int32_t i = 1; i <= 3; ++i)
    for (std::int32_t j = 0; j <= 1; ++j) a.PutElement({i, j}, Variant(10 * i + j));
  const char* bytes =
      "03 20 00 00  02 00 00 00  01 00 00 00 00 00 00 00  03 00 00 00 01 00 00 00  18 00 00 00"
      "0A 00 00 00 14 00 00 00 1E 00 00 00 0B 00 00 00 15 00 00 00 1F 00 00 00";
  HelperFixture fx;
  fx.helper.WriteVariant(a);
  EXPECT_EQ(fx.Written(), Hex(bytes));
  EXPECT_EQ(fx.Reading(Hex(bytes)).ReadVariant(), a);

  Variant empty = Variant::CreateArray({{5, 4}}, varDouble);
  HelperFixture e;
  e.helper.WriteVariant(empty);
  EXPECT_EQ(e.Written(), Hex("05 20 00 00 01 00 00 00 05 00 00 00 04 00 00 00 00 00 00 00"));
  e.stream.SetPosition(0);
  EXPECT_EQ(e.helper.ReadVariant(), empty);

  // Huge dimensions before an empty one: no elements, and no overflow counting them.
  Variant wide = Variant::CreateArray({{0, 0x7FFFFFFE}, {0, 0x7FFFFFFE}, {3, 2}}, varVariant);
  HelperFixture w;
  w.helper.WriteVariant(wide);
  w.stream.SetPosition(0);
  EXPECT_EQ(w.helper.ReadVariant(), wide);
  EXPECT_TRUE(w.helper.EOS());
}

TEST(StreamHelperVariant, OtherArraysWriteEveryElementWithTheLastIndexFastest) {
  Variant a = Variant::CreateArray({{0, 1}, {0, 1}}, varVariant);
  a.PutElement({0, 0}, Variant(1));
  a.PutElement({0, 1}, Variant::FromOleStr("x"));
  a.PutElement({1, 0}, Variant::Null());
  a.PutElement({1, 1}, Variant(std::int16_t{5}));
  const char* bytes =
      "0C 20 00 00  02 00 00 00  00 00 00 00 00 00 00 00  01 00 00 00 01 00 00 00"
      "03 00 00 00 01 00 00 00  08 00 00 00 01 00 00 00 78 00  01 00 00 00  02 00 00 00 05 00";
  HelperFixture fx;
  fx.helper.WriteVariant(a);
  EXPECT_EQ(fx.Written(), Hex(bytes));
  EXPECT_EQ(fx.Reading(Hex(bytes)).ReadVariant(), a);

  Variant strings = Variant::CreateArray({{0, 1}}, varOleStr);
  strings.PutElement({0}, Variant::FromOleStr("a"));
  HelperFixture s;
  s.helper.WriteVariant(strings);
  EXPECT_EQ(s.Written(), Hex("08 20 00 00 01 00 00 00 00 00 00 00 01 00 00 00"
                             "08 00 00 00 01 00 00 00 61 00  08 00 00 00 00 00 00 00"));

  Variant nested = Variant::CreateArray({{0, 1}}, varVariant);
  nested.PutElement({0}, strings);
  nested.PutElement({1}, Variant::CreateArray({{-1, 1}}, varByte));
  HelperFixture n;
  n.helper.WriteVariant(nested);
  n.stream.SetPosition(0);
  EXPECT_EQ(n.helper.ReadVariant(), nested);
  EXPECT_TRUE(n.helper.EOS());
}

TEST(StreamHelperVariant, CorruptArraysAreRefusedBeforeMemoryIsSetAside) {
  const std::string head2x3 = "03 20 00 00 02 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 01 00 00 00 ";
  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "0C 20 00 00 01 00 00 00 00 00 00 00 00 00 00 00 ";
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;
  } cases[] = {
      {"byte count differs from the array's size", head2x3 + "14 00 00 00" + std::string(24 * 3, '0'),
       "Invalid variant array: 20 bytes of data stored for 24 bytes of elements"},
      {"byte count larger than the array", head2x3 + "FF FF FF 7F" + std::string(48, '0'),
       "Invalid variant array: 2147483647 bytes of data stored for 24 bytes of elements"},
      {"no dimensions", "03 20 00 00 00 00 00 00", "Invalid variant array: 0 dimensions"},
      {"65 dimensions", "03 20 00 00 41 00 00 00", "Invalid variant array: 65 dimensions"},
      {"negative dimensions", "03 20 00 00 FF FF FF FF", "Invalid variant array: -1 dimensions"},
      {"upper bound below lower", "03 20 00 00 01 00 00 00 05 00 00 00 03 00 00 00",
       "Invalid variant array: bounds 5..3"},
      {"more bulk elements than bytes",
       "03 20 00 00 01 00 00 00 00 00 00 80 FF FF FF 7F FC FF FF FF",
       "Invalid variant array: more elements than the 4 bytes left in the stream hold"},
      {"more variants than bytes",
       "0C 20 00 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 FF FF 00 00 FF FF 00 00",
       "Invalid variant array: more elements than the 0 bytes left in the stream hold"},
      {"element of another type", "08 20 00 00 01 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00 01 00 00 00",
       "Invalid variant array: an element of type 0003 in an array of 0008"},
      {"nested too deeply", deep, "Invalid variant array: nested deeper than 32 levels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HelperFixture fx;
    EXPECT_EQ(MessageOf<EStreamError>([&] { fx.Reading(Hex(c.bytes)).ReadVariant(); }), c.message);
  }
  HelperFixture fx;
  EXPECT_THROW(fx.Reading(Hex(head2x3 + "18 00 00 00 01 02")).ReadVariant(), EStreamError);  // data cut short
  EXPECT_THROW(fx.Reading(Hex("08 00 00 00 FF FF FF 7F 61 00")).ReadVariant(), EReadError);
  EXPECT_THROW(fx.Reading(Hex("08 00 00 00 FF FF FF FF")).ReadVariant(), EReadError);

  Variant tooDeep = Variant::CreateArray({{0, 0}}, varInteger);
  for (int i = 0; i < 33; ++i) {
    Variant outer = Variant::CreateArray({{0, 0}}, varVariant);
    outer.PutElement({0}, tooDeep);
    tooDeep = outer;
  }
  EXPECT_THROW(fx.helper.WriteVariant(tooDeep), EStreamError);
}

// --- whole streams

TEST(StreamHelper, LoadFromFileReplacesTheContent) {
  TTempDir dir;
  std::string path = dir.WriteFile("data.bin", "abc");
  TMemoryStream stream;
  Fill(stream, "older and longer");
  TStreamHelper(stream).LoadFromFile(path);
  EXPECT_EQ(Contents(stream), "abc");
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_THROW(TStreamHelper(stream).LoadFromFile(dir.File("missing.bin")), EFOpenError);
}

TEST(StreamHelper, LoadFromStreamIntoMemoryOrAnyStream) {
  TMemoryStream source;
  Fill(source, "abc");
  source.SetPosition(2);
  TMemoryStream memory;
  Fill(memory, "older and longer");
  TStreamHelper(memory).LoadFromStream(source);
  EXPECT_EQ(Contents(memory), "abc");
  EXPECT_TRUE(TStreamHelper(memory).EOS());

  TTempDir dir;
  std::string path = dir.WriteFile("target.bin", "older and longer");
  {
    TFileStream file(path, fmOpenReadWrite);
    source.SetPosition(1);
    TStreamHelper(file).LoadFromStream(source);
    EXPECT_TRUE(TStreamHelper(file).EOS());
  }
  EXPECT_EQ(ReadWholeFile(path), "abc");
}

TEST(StreamHelper, BytesOfAWholeStream) {
  TMemoryStream stream;
  TStreamHelper helper(stream);
  helper.SetAsBytes(std::vector<std::uint8_t>{1, 2, 3});
  EXPECT_EQ(stream.Position(), 3);
  stream.SetPosition(1);
  EXPECT_EQ(helper.GetAsBytes(), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(stream.Position(), 1);
  helper.SetAsBytes(std::vector<std::uint8_t>{9});
  EXPECT_EQ(Contents(stream), "\x09");

  auto bytes = std::make_unique<TBytesStream>();
  bytes->WriteBuffer("abcdef", 6);
  bytes->SetSize(4);
  EXPECT_EQ(BytesOfStream(std::move(bytes)), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd'}));
}

TEST(StringsHelper, AddsFormattedLinesAndNameValuePairs) {
  TStringList list;
  TStringsHelper helper(list);
  EXPECT_EQ(helper.AddFmt("%s: %d", {std::string("a"), 5}, std::int32_t{7}), 0);
  EXPECT_EQ(helper.AddFmt("%d%%", {50}), 1);
  list.SetNameValueSeparator(':');
  helper.AddNameValue("key", "value");
  EXPECT_EQ(list.ToStringArray(), (std::vector<std::string>{"a: 5", "50%", "key:value"}));
  EXPECT_EQ(std::any_cast<std::int32_t>(list.Objects(0)), 7);
  EXPECT_FALSE(list.Objects(1).has_value());
}
