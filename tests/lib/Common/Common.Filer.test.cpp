#include "Common.Filer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "ByteStrings.h"

namespace {
const char* const kFormatMessage = "Неверный формат данных в потоке";

// A filer over a memory stream that the test can inspect.
struct FilerFixture {
  TMemoryStream stream;
  TOxFiler filer{stream};

  std::string Written() { return Contents(stream); }
  TOxFiler& Reading(std::string_view bytes) {
    Fill(stream, bytes);
    return filer;
  }
};
}  // namespace

TEST(Filer, WritesValuesAsTheFormatTableSaysAndReadsThemBack) {
  struct Case {
    const char* name;
    std::function<void(TOrvelFiler&)> write;
    const char* bytes;
    std::function<bool(TOrvelFiler&)> readsBack;
  } cases[] = {
      {"byte", [](auto& f) { f.Write_Byte(0xFE); }, "FE", [](auto& f) { return f.Read_Byte() == 0xFE; }},
      {"int8", [](auto& f) { f.WriteInt08(-2); }, "FE", [](auto& f) { return f.ReadInt08() == -2; }},
      {"int16", [](auto& f) { f.WriteInt16(-2); }, "FE FF", [](auto& f) { return f.ReadInt16() == -2; }},
      {"int32", [](auto& f) { f.WriteInt32(0x01020304); }, "04 03 02 01",
       [](auto& f) { return f.ReadInt32() == 0x01020304; }},
      {"int64", [](auto& f) { f.WriteInt64(-0x0102030405060708); }, "F8 F8 F9 FA FB FC FD FE",
       [](auto& f) { return f.ReadInt64() == -0x0102030405060708; }},
      {"double", [](auto& f) { f.WriteDbl64(1.0); }, "00 00 00 00 00 00 F0 3F",
       [](auto& f) { return f.ReadDbl64() == 1.0; }},
      {"currency 1.5", [](auto& f) { f.WriteCur64(Currency::FromDouble(1.5)); }, "98 3A 00 00 00 00 00 00",
       [](auto& f) { return f.ReadCurr64() == Currency::FromScaled(15000); }},
      {"currency -0.0001", [](auto& f) { f.WriteCur64(Currency::FromScaled(-1)); }, "FF FF FF FF FF FF FF FF",
       [](auto& f) { return f.ReadCurr64().Scaled == -1; }},
      {"extended 1.0", [](auto& f) { f.WriteExtended(1.0); }, "00 00 00 00 00 00 00 80 FF 3F",
       [](auto& f) { return f.ReadExtended() == 1.0; }},
      {"extended -0.0", [](auto& f) { f.WriteExtended(-0.0); }, "00 00 00 00 00 00 00 00 00 80",
       [](auto& f) { return std::signbit(f.ReadExtended()); }},
      {"extended smallest denormal", [](auto& f) { f.WriteExtended(std::numeric_limits<double>::denorm_min()); },
       "00 00 00 00 00 00 00 80 CD 3B",
       [](auto& f) { return f.ReadExtended() == std::numeric_limits<double>::denorm_min(); }},
      {"extended largest double", [](auto& f) { f.WriteExtended(std::numeric_limits<double>::max()); },
       "00 F8 FF FF FF FF FF FF FE 43",
       [](auto& f) { return f.ReadExtended() == std::numeric_limits<double>::max(); }},
      {"byte Boolean", [](auto& f) { f.WriteByteBoolean(true); }, "01", [](auto& f) { return f.ReadByteBoolean(); }},
      {"tagged true", [](auto& f) { f.WriteBoolean(true); }, "0A", [](auto& f) { return f.ReadBoolean(); }},
      {"tagged false", [](auto& f) { f.WriteBoolean(false); }, "09", [](auto& f) { return !f.ReadBoolean(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilerFixture fx;
    c.write(fx.filer);
    EXPECT_EQ(fx.Written(), Hex(c.bytes));
    auto& reader = fx.Reading(Hex(c.bytes));
    EXPECT_TRUE(c.readsBack(reader));
    EXPECT_TRUE(reader.IsEndOfStream());
  }
}

TEST(Filer, BooleanTagsAreStrictAndByteBooleansAreNot) {
  struct Case {
    const char* byte;
    bool tagged;
    bool plain;
  } cases[] = {{"0A", true, true}, {"09", false, true}, {"01", false, true}, {"00", false, false}, {"FF", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.byte);
    FilerFixture fx;
    EXPECT_EQ(fx.Reading(Hex(c.byte)).ReadBoolean(), c.tagged);
    EXPECT_EQ(fx.Reading(Hex(c.byte)).ReadByteBoolean(), c.plain);
  }
}

TEST(Filer, StringsTakeTheSmallestLengthField) {
  struct Case {
    std::size_t length;
    bool unicode;
    const char* header;
  } cases[] = {
      {0, false, "06 00"},       {0, true, "0B 00"},         {255, false, "06 FF"},
      {256, false, "07 00 01"},  {256, true, "0C 00 01"},    {65534, false, "07 FE FF"},
      {65534, true, "0C FE FF"}, {65535, false, "08 FF FF 00 00"}, {65535, true, "0D FF FF 00 00"},
      {70000, false, "08 70 11 01 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << (c.unicode ? " UTF-16" : " ANSI"));
    FilerFixture fx;
    fx.filer.SetUseUnicodeStrings(c.unicode);
    std::string text(c.length, 'a');
    fx.filer.WriteString(text);
    std::string header = Hex(c.header);
    std::string written = fx.Written();
    EXPECT_EQ(written.substr(0, header.size()), header);
    EXPECT_EQ(written.size(), header.size() + c.length * (c.unicode ? 2 : 1));
    fx.filer.SetPosition(0);
    EXPECT_EQ(fx.filer.ReadString(), text);
    EXPECT_TRUE(fx.filer.IsEndOfStream());
  }
}

TEST(Filer, StringFormsCarryCyrillicAsWindows1251OrUtf16) {
  FilerFixture ansi;
  ansi.filer.WriteString("Привет");
  EXPECT_EQ(ansi.Written(), Hex("06 06 CF F0 E8 E2 E5 F2"));

  FilerFixture wide;
  wide.filer.SetUseUnicodeStrings(true);
  wide.filer.WriteString("Привет");
  EXPECT_EQ(wide.Written(), Hex("0B 06 1F 04 40 04 38 04 32 04 35 04 42 04"));

  // Either form reads back as the same text, and the ANSI form as its bytes.
  EXPECT_EQ(ansi.Reading(Hex("06 06 CF F0 E8 E2 E5 F2")).ReadString(), "Привет");
  EXPECT_EQ(ansi.Reading(Hex("06 02 CF F0")).ReadStringA(), "\xCF\xF0");
  EXPECT_EQ(wide.Reading(Hex("0B 06 1F 04 40 04 38 04 32 04 35 04 42 04")).ReadString(), "Привет");
  EXPECT_EQ(wide.Reading(Hex("0B 01 1F 04")).ReadStringW(), "П");

  // WriteStringA and WriteStringW choose their form whatever UseUnicodeStrings says.
  FilerFixture explicitForms;
  explicitForms.filer.WriteStringW("a");
  explicitForms.filer.SetUseUnicodeStrings(true);
  explicitForms.filer.WriteStringA("b");
  EXPECT_EQ(explicitForms.Written(), Hex("0B 01 61 00 06 01 62"));
}

TEST(Filer, AnsiFormWritesReplacementsAndCountsConvertedBytes) {
  FilerFixture fx;
  fx.filer.WriteString("a中b😀");  // neither character is in the code page
  EXPECT_EQ(fx.Written(), Hex("06 04 61 3F 62 3F"));
}

TEST(Filer, MalformedStringsRaiseFormatOrReadErrors) {
  enum Reader { kAny, kAnsi, kWide };
  struct Case {
    const char* name;
    const char* bytes;
    Reader reader;
    bool formatError;  // else the stream read error
  } cases[] = {
      {"unknown tag", "05 00", kAny, true},
      {"Boolean tag", "0A 00", kAny, true},
      {"tag after the UTF-16 ones", "0E 00", kAny, true},
      {"UTF-16 tag for ReadStringA", "0B 00", kAnsi, true},
      {"ANSI tag for ReadStringW", "06 00", kWide, true},
      {"negative 4-byte length", "08 FF FF FF FF", kAny, true},
      {"negative 4-byte UTF-16 length", "0D 00 00 00 80", kWide, true},
      {"text shorter than its length", "06 05 61 62", kAny, false},
      {"huge length in a small stream", "08 FF FF FF 7F 61 62 63", kAnsi, false},
      {"huge UTF-16 length in a small stream", "0D FF FF FF 7F 61 00", kWide, false},
      {"half a code unit", "0B 01 61", kWide, false},
      {"no length", "07 01", kAny, false},
      {"nothing", "", kAny, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilerFixture fx;
    auto& filer = fx.Reading(Hex(c.bytes));
    auto read = [&] {
      if (c.reader == kAnsi) return filer.ReadStringA();
      if (c.reader == kWide) return filer.ReadStringW();
      return filer.ReadString();
    };
    if (c.formatError) {
      try {
        read();
        ADD_FAILURE() << "no error";
      } catch (const EOrvelFilerError& e) {
        EXPECT_STREQ(e.what(), kFormatMessage);
      }
    } else {
      EXPECT_THROW(read(), EReadError);
    }
  }
}

TEST(Filer, ListsPatchTheirCountsNestedOrNot) {
  FilerFixture fx;
  auto& f = fx.filer;
  f.WriteListBegin();
  f.NextListItem();
  f.Write_Byte(0xA1);
  f.NextListItem();
  f.WriteListBegin();  // the second item is a list of three
  for (std::uint8_t b : {0xB1, 0xB2, 0xB3}) {
    f.NextListItem();
    f.Write_Byte(b);
  }
  f.WriteListEnd();
  f.Write_Byte(0xA2);  // announced before or after its bytes alike
  f.NextListItem();
  f.WriteListEnd();
  EXPECT_EQ(fx.Written(), Hex("03 00 00 00 A1 03 00 00 00 B1 B2 B3 A2"));
  EXPECT_EQ(f.Position(), 13);

  EXPECT_TRUE(f.EOL());  // no list open for reading
  EXPECT_EQ(f.ListCount(), 0);
  f.SetPosition(0);
  f.ReadListBegin();
  EXPECT_EQ(f.ListCount(), 3);
  EXPECT_EQ(f.Read_Byte(), 0xA1);
  f.ReadNextItem();
  f.ReadListBegin();
  std::string inner;
  while (!f.EOL()) {
    inner += static_cast<char>(f.Read_Byte());
    f.ReadNextItem();
  }
  f.ReadListEnd();
  EXPECT_EQ(inner, Hex("B1 B2 B3"));
  f.ReadNextItem();
  EXPECT_EQ(f.ListCount(), 1);  // the outer count is its own
  EXPECT_EQ(f.Read_Byte(), 0xA2);
  f.ReadNextItem();
  EXPECT_TRUE(f.EOL());
  f.ReadListEnd();
  EXPECT_EQ(f.ListCount(), 0);
}

TEST(Filer, ListReadingTrustsNoCountAndListMisuseIsAnAssertion) {
  FilerFixture fx;
  auto& f = fx.Reading(Hex("00 00 00 80"));  // a negative count: nothing to read
  f.ReadListBegin();
  EXPECT_TRUE(f.EOL());
  f.ReadNextItem();  // stays at the lowest count instead of overflowing
  EXPECT_EQ(f.ListCount(), std::numeric_limits<std::int32_t>::min());
  f.ReadListEnd();
  EXPECT_THROW(f.ReadListEnd(), EAssertionFailed);
  EXPECT_THROW(f.ReadNextItem(), EAssertionFailed);
  EXPECT_THROW(f.NextListItem(), EAssertionFailed);
  EXPECT_THROW(f.WriteListEnd(), EAssertionFailed);
}

TEST(Filer, ListBeyondTwoGibibytesIsRefusedBeforeAnythingIsWritten) {
  FilerFixture fx;
  fx.filer.SetPosition(std::int64_t{3} << 30);  // a memory stream does not grow on seeking
  EXPECT_THROW(fx.filer.WriteListBegin(), EOrvelFilerError);
  EXPECT_EQ(fx.stream.Size(), 0);
}

TEST(Filer, SignaturesAndReadErrors) {
  FilerFixture fx;
  EXPECT_NO_THROW(fx.Reading(Hex("4F")).CheckSignature(0x4F));
  try {
    fx.Reading(Hex("50")).CheckSignature(0x4F);
    ADD_FAILURE() << "no error";
  } catch (const EOrvelFilerInvalidSignature& e) {
    EXPECT_STREQ(e.what(), kFormatMessage);
  }
  EXPECT_THROW(fx.Reading("").CheckSignature(0x4F), EReadError);
  try {
    fx.filer.ReadError();
  } catch (const EOrvelFilerInvalidSignature&) {
    ADD_FAILURE() << "ReadError is the plain filer error";
  } catch (const EOrvelFilerError& e) {
    EXPECT_STREQ(e.what(), kFormatMessage);
  }
}

TEST(Filer, OwnsItsMemoryStreamAndReportsPositionAndEnd) {
  TOxFiler filer = TOxFiler::CreateWithMemoryStream();
  EXPECT_TRUE(filer.IsEndOfStream());
  EXPECT_FALSE(filer.UseUnicodeStrings());
  filer.WriteInt32(7);
  filer.WriteString("x");
  EXPECT_EQ(filer.Position(), 7);
  EXPECT_TRUE(filer.IsEndOfStream());
  filer.SetPosition(4);
  EXPECT_FALSE(filer.IsEndOfStream());
  EXPECT_EQ(filer.ReadString(), "x");
  EXPECT_EQ(filer.Stream().Size(), 7);
  // The stream goes with the filer; the sanitizer's leak check holds the test to it.
}

TEST(Filer, ShortReadsAndRefusedWritesRaiseTheStreamErrors) {
  FilerFixture fx;
  EXPECT_THROW(fx.Reading(Hex("01 02 03")).ReadInt32(), EReadError);
  EXPECT_THROW(fx.Reading(Hex("00 00 00 00 00 00 00 80 FF")).ReadExtended(), EReadError);

  struct TRefusingStream : TMemoryStream {
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
  } refusing;
  TOrvelFiler filer(refusing);
  EXPECT_THROW(filer.WriteInt16(1), EWriteError);
  EXPECT_THROW(filer.WriteString("abc"), EWriteError);
}
