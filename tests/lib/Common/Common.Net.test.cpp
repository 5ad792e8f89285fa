#include "Common.Net.h"

#include <gtest/gtest.h>

#include "support/MessageOf.h"

namespace {
using TParams = TUri::TParams;

struct TParseCase {
  const char* Uri;
  const char* Protocol;
  const char* UserName;
  const char* Password;
  const char* Host;
  int Port;
  const char* Path;
  TParams Params;
  const char* PathAndQuery;
};
}  // namespace

TEST(TUri, ParseSplitsEveryPart) {
  const TParseCase cases[] = {
      {"HTTP://User:Pa:ss@WWW.Host.RU:8080/Dir/File.txt?a=1&b=%D0%B0", "http", "User", "Pa:ss", "www.host.ru", 8080,
       "Dir/File.txt", {{"a", "1"}, {"b", "а"}}, "Dir/File.txt?a=1&b=%D0%B0"},
      {"h/x", "", "", "", "h", 0, "x", {}, "x"},
      {"http://h", "http", "", "", "h", 0, "", {}, ""},
      {"http://h/", "http", "", "", "h", 0, "", {}, ""},
      {"http://h/a@b", "http", "h/a", "", "b", 0, "", {}, ""},
      {"http://u@h?q", "http", "u", "", "h", 0, "", {{"", ""}}, "?q"},
      {"http://", "http", "", "", "", 0, "", {}, ""},
      {"http://h:81?x=1", "http", "", "", "h", 81, "", {{"x", "1"}}, "?x=1"},
  };
  for (const TParseCase& c : cases) {
    SCOPED_TRACE(c.Uri);
    const TUri uri(c.Uri);
    EXPECT_EQ(uri.SourceUri(), c.Uri);
    EXPECT_EQ(uri.Protocol(), c.Protocol);
    EXPECT_EQ(uri.UserName(), c.UserName);
    EXPECT_EQ(uri.Password(), c.Password);
    EXPECT_EQ(uri.Host(), c.Host);
    EXPECT_EQ(uri.Port(), c.Port);
    EXPECT_EQ(uri.Path(), c.Path);
    EXPECT_EQ(uri.Params(), c.Params);
    EXPECT_EQ(uri.PathAndQuery(), c.PathAndQuery);
  }
}

TEST(TUri, QueryItemsSplitLikeADelimitedList) {
  const std::pair<const char*, TParams> cases[] = {
      {"a=1&&b=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
      {"a=1&", {{"a", "1"}, {"", ""}}},
      {"a=1 b=2", {{"a", "1"}, {"b", "2"}}},
      {"  a=1 & b=2  ", {{"a", "1"}, {"b", "2"}}},
      {"\"t=a b\"&\"q=say \"\"hi\"\"\"", {{"t", "a b"}, {"q", "say \"hi\""}}},
      {"A=1&a=2", {{"A", "1"}, {"a", "1"}}},  // a value belongs to the first name that matches ignoring case
      {"flag", {{"", ""}}},
      {"x=%41%42&y=a+b", {{"x", "AB"}, {"y", "a+b"}}},
  };
  for (const auto& [query, params] : cases) {
    SCOPED_TRACE(query);
    EXPECT_EQ(TUri(std::string("http://h/p?") + query).Params(), params);
  }
}

TEST(TUri, ParseFailuresLeaveTheStepsBeforeThemDone) {
  TUri uri("http://old/x?k=v");
  EXPECT_EQ(MessageOf<EConvertError>([&] { uri.Parse("http://h:/x"); }), "'' is not a valid integer value");
  EXPECT_EQ(uri.SourceUri(), "http://h:/x");
  EXPECT_EQ(uri.Host(), "h");
  EXPECT_TRUE(uri.Params().empty());
  EXPECT_EQ(MessageOf<EConvertError>([&] { uri.Parse("http://h:8o/x"); }), "'8o' is not a valid integer value");
  EXPECT_EQ(MessageOf<EListError>([&] { uri.Parse("http://h/x?a=1&a=2"); }), "Duplicates not allowed");
  EXPECT_EQ(MessageOf<EConvertError>([&] { uri.Parse("http://h/x?a=50%"); }), "'$' is not a valid integer value");
  EXPECT_EQ(uri.Path(), "");  // the path comes after the query
}

TEST(TUri, BuildPutsThePartsBackTogether) {
  TUri uri;
  uri.SetProtocol("HTTP");
  uri.SetHost("h");
  EXPECT_EQ(uri.Build(), "http://h");
  uri.SetPort(8080);
  uri.SetPath("dir/file.xml");
  EXPECT_EQ(uri.ToString(), "http://h:8080/dir/file.xml");
  uri.SetUserName("u");
  EXPECT_EQ(uri.Build(), "http://u:@h:8080/dir/file.xml");
  uri.Params()["b"] = "я ю";
  uri.Params()["a"] = "1.5";
  EXPECT_EQ(uri.Build(), "http://u:@h:8080/dir/file.xml?a=1%2E5&b=%D1%8F%20%D1%8E");
  EXPECT_EQ(TUri("h/x").Build(), "://h/x");
  EXPECT_EQ(TUri("http://h/").Build(), "http://h");
}

TEST(TUri, DefaultsAndParamLookup) {
  const TUri uri("h/x?Name=1&other=2");
  EXPECT_EQ(uri.ProtocolOrDefault("http"), "http");
  EXPECT_EQ(uri.PortOrDefault(80), 80);
  EXPECT_EQ(TUri("ftp://h:21").ProtocolOrDefault("http"), "ftp");
  EXPECT_EQ(TUri("ftp://h:21").PortOrDefault(80), 21);
  EXPECT_EQ(uri.ParamByName("Name", false), "1");
  EXPECT_EQ(uri.ParamByName("name", false), "");
  EXPECT_EQ(uri.ParamByName("NAME", true), "1");
  EXPECT_EQ(uri.ParamByName("missing", true), "");
}

TEST(UrlEncoding, EncodeAndDecodeTables) {
  const std::tuple<const char*, bool, const char*> encodings[] = {
      {"a b.c", false, "a%20b%2Ec"},
      {"a b.c", true, "a b.c"},
      {"я", false, "%D1%8F"},
      {"я", true, "я"},
      {"中", true, "中"},  // outside Windows-1251 and not unsafe
      {"\"%&<>[\\]^`{|}", true, "%22%25%26%3C%3E%5B%5C%5D%5E%60%7B%7C%7D"},
      {"Az09-_~", false, "Az09%2D%5F%7E"},
      {"😀", false, "%F0%9F%98%80"},
      {"a\xFF", true, "a%FF"},  // a byte that is no UTF-8 stays the byte it is
  };
  for (const auto& [text, onlyUnsafe, encoded] : encodings) {
    SCOPED_TRACE(text);
    EXPECT_EQ(UrlEncode(text, onlyUnsafe), encoded);
  }
  const std::pair<const char*, const char*> decodings[] = {
      {"%D0%B0+%41", "а+A"}, {"%d1%8f", "я"}, {"plain", "plain"}, {"%FF", "\xEF\xBF\xBD"}, {"", ""},
      {"%4", "\x04"}, {"a%41", "aA"}, {"%4a", "J"},
  };
  for (const auto& [text, decoded] : decodings) EXPECT_EQ(UrlDecode(text), decoded) << text;
  for (const char* bad : {"50%", "%G0", "%-1", "%4G", "a%G"})
    EXPECT_NE(MessageOf<EConvertError>([&] { UrlDecode(bad); }).find("is not a valid integer value"), std::string::npos) << bad;
}

TEST(UrlEncoding, ExtractUrlFileNameTakesTheLastSegment) {
  EXPECT_EQ(ExtractUrlFileName("dir/file.xml"), "file.xml");
  EXPECT_EQ(ExtractUrlFileName("dir\\name"), "name");
  EXPECT_EQ(ExtractUrlFileName("name"), "name");
  EXPECT_EQ(ExtractUrlFileName("dir/"), "");
}

TEST(CharInSet1251, TestsTheWindows1251Byte) {
  EXPECT_TRUE(CharInSet1251(U'я', TAnsiCharSet{0xFF}));
  EXPECT_TRUE(CharInSet1251(U'€', TAnsiCharSet{0x88}));
  EXPECT_TRUE(CharInSet1251(U'中', TAnsiCharSet{'?'}));  // no Windows-1251 form
  EXPECT_FALSE(CharInSet1251(U'a', UnsafeUrlChars));
  EXPECT_TRUE(CharInSet1251("%", UnsafeUrlChars));
}
