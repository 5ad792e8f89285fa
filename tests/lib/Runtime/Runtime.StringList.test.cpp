#include "Runtime.StringList.h"

#include <gtest/gtest.h>

#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"

namespace {
std::vector<std::string> Lines(const TStringList& l) { return l.ToStringArray(); }
using V = std::vector<std::string>;
}  // namespace

TEST(StringList, SortedListsApplyTheDuplicatesRule) {
  TStringList l;
  l.SetSorted(true);
  l.Add("b");
  l.Add("A");
  l.Add("c");
  EXPECT_EQ(l.Add("B"), 1);  // dupIgnore: the index of the line already there
  EXPECT_EQ(Lines(l), (V{"A", "b", "c"}));

  l.SetDuplicates(dupAccept);
  l.Add("B");
  EXPECT_EQ(l.Count(), 4u);
  l.SetDuplicates(dupError);
  try {
    l.Add("C");
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "String list does not allow duplicates");
  }
  EXPECT_THROW(l.Insert(0, "x"), EStringListError);

  l.SetCaseSensitive(true);
  l.SetDuplicates(dupIgnore);
  l.Add("C");
  EXPECT_EQ(l.IndexOf("C"), l.IndexOf("c") + 1);  // lower case sorts first
}

TEST(StringList, UnsortedListsKeepOrderAndDuplicates) {
  TStringList l{"z", "a", "z"};
  EXPECT_EQ(Lines(l), (V{"z", "a", "z"}));
  EXPECT_EQ(l.IndexOf("Z"), 0);  // ignoring case by default
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.IndexOf("Z"), -1);
  l.SetSorted(true);
  EXPECT_EQ(Lines(l), (V{"a", "z", "z"}));
  int index = -1;
  EXPECT_FALSE(l.Find("m", index));
  EXPECT_EQ(index, 1);
}

TEST(StringList, ObjectsTravelWithTheirLines) {
  TStringList l;
  l.AddObject("second", 2);
  l.AddObject("first", 1);
  l.SetSorted(true);
  EXPECT_EQ(l[0], "first");
  EXPECT_EQ(std::any_cast<int>(l.Objects(0)), 1);
  EXPECT_EQ(std::any_cast<int>(l.Objects(1)), 2);
  EXPECT_THROW(l.Objects(2), EStringListError);
}

TEST(StringList, NameValueLines) {
  TStringList l{"Path=C:\\x", "novalue", "Key=a=b"};
  EXPECT_EQ(l.Names(0), "Path");
  EXPECT_EQ(l.Names(1), "");
  EXPECT_EQ(l.Values("key"), "a=b");
  EXPECT_EQ(l.ValueFromIndex(2), "a=b");
  l.SetValue("path", "D:");
  EXPECT_EQ(l[0], "path=D:");
  l.SetValue("New", "1");
  EXPECT_EQ(l[3], "New=1");
  l.SetValue("Key", "");
  EXPECT_EQ(l.Count(), 3u);
  l.SetNameValueSeparator(':');
  l.Add("a:b");
  EXPECT_EQ(l.Values("a"), "b");
}

TEST(StringList, DelimitedTextWithStrictDelimiter) {
  TStringList l;
  l.SetDelimiter(';');
  l.SetQuoteChar('"');
  l.SetStrictDelimiter(true);
  struct Case {
    const char* text;
    V items;
  };
  const Case reads[] = {
      {".doc;.xls", {".doc", ".xls"}},
      {";.doc;", {"", ".doc", ""}},
      {".pdf; .XLS;;", {".pdf", " .XLS", "", ""}},
      {"\"a;b\";c", {"a;b", "c"}},
      {"\"say \"\"hi\"\"\";x", {"say \"hi\"", "x"}},
      {"\"open", {"open"}},
      {"", {}},
  };
  for (const auto& c : reads) {
    l.SetDelimitedText(c.text);
    EXPECT_EQ(Lines(l), c.items) << c.text;
  }
  l.Clear();
  l.Add("a b");
  l.Add("x;y");
  l.Add("q\"");
  EXPECT_EQ(l.DelimitedText(), "a b;\"x;y\";\"q\"\"\"");
  TStringList back;
  back.SetDelimiter(';');
  back.SetStrictDelimiter(true);
  back.SetDelimitedText(l.DelimitedText());
  EXPECT_EQ(back, l);
}

TEST(StringList, CommaTextQuotesBlanks) {
  TStringList l{"a b", "c", ""};
  EXPECT_EQ(l.CommaText(), "\"a b\",c,");
  TStringList single{""};
  EXPECT_EQ(single.CommaText(), "\"\"");
  TStringList r;
  r.SetCommaText("a b, \"c d\" ,e");
  EXPECT_EQ(Lines(r), (V{"a", "b", "c d", "e"}));
}

TEST(StringList, TextUsesCrLfAndReadsAnyLineBreak) {
  TStringList l{"one", "two"};
  EXPECT_EQ(l.Text(), "one\r\ntwo\r\n");
  l.SetText("a\r\nb\nc\rd\r\n");
  EXPECT_EQ(Lines(l), (V{"a", "b", "c", "d"}));
  l.SetText("a\n\nb");
  EXPECT_EQ(Lines(l), (V{"a", "", "b"}));
}

TEST(StringList, StreamsHonourByteOrderMarks) {
  TBytesStream utf16({0xFF, 0xFE, 0x1A, 0x04, 0x0A, 0x00, 'x', 0x00});
  TStringList l;
  l.LoadFromStream(utf16);
  EXPECT_EQ(Lines(l), (V{"К", "x"}));
  TBytesStream out;
  l.SaveToStream(out);
  out.SetPosition(0);
  TStringList back;
  back.LoadFromStream(out);
  EXPECT_EQ(back, l);
}
