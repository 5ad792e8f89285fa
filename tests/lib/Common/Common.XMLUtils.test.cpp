#include "Common.XMLUtils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Runtime.Streams.h"
#include "platform/CodePages.h"
#include "platform/FileStream.h"
#include "platform/FormatSettings.h"
#include "support/TempDir.h"

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {
TXMLDocument FromXml(std::string_view xml) {
  TXMLDocument doc;
  doc.LoadFromXML(xml);
  return doc;
}

TXMLNode Root(std::string_view xml) { return FromXml(xml).DocumentElement(); }

std::vector<std::string> Names(const TXMLNodeList& list) {
  std::vector<std::string> names;
  for (TXMLNode node : EnumerateNodes(list)) names.push_back(node.NodeName());
  return names;
}

using V = std::vector<std::string>;

constexpr const char* kDavListing = R"(<?xml version="1.0" encoding="utf-8"?>
<d:multistatus xmlns:d="DAV:" xmlns:x="urn:other">
  <d:response><d:href>/a/</d:href><x:href>not this</x:href></d:response>
  <d:response><d:href>/a/b.txt</d:href>
    <d:propstat><d:prop><d:getlastmodified>Mon, 01 Jan 2024 10:00:00 GMT</d:getlastmodified></d:prop></d:propstat>
  </d:response>
</d:multistatus>)";
}  // namespace

// --- document and nodes ---------------------------------------------------------------------------

TEST(XMLDocument, NewDocumentIsBuiltIndentedAndSavedInWindows1251) {
  TTempDir dir;
  TXMLDocument doc;
  EXPECT_FALSE(doc.DocumentElement());
  EXPECT_EQ(doc.Encoding(), "");

  TXMLNode root = doc.AddChild("Options");
  TXMLNode connections = root.AddChild("Connections");
  connections.SetAttribute("Count", "2");
  connections.AddChild("Item").SetText("a < b & c");
  root.AddChild("Empty");
  EXPECT_EQ(doc.DocumentElement(), root);
  EXPECT_THROW(doc.AddChild("Second"), EXMLDocError);

  EXPECT_EQ(doc.XML(),
            "<?xml version=\"1.0\"?>\n"
            "<Options>\n"
            "  <Connections Count=\"2\">\n"
            "    <Item>a &lt; b &amp; c</Item>\n"
            "  </Connections>\n"
            "  <Empty/>\n"
            "</Options>\n");

  doc.SaveToFile(dir.File("new.xml"));
  EXPECT_THAT(dir.ReadFile("new.xml"), StartsWith("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Options>\n"));
}

TEST(XMLDocument, NodesNavigateElementChildrenOnly) {
  TXMLNode root = Root("<r><a/>text<!--c--><b x='1'/><a n='2'/><A/></r>");
  EXPECT_EQ(Names(root.ChildNodes()), (V{"a", "b", "a", "A"}));
  EXPECT_EQ(root.ChildNodes().Count(), 4);
  EXPECT_THROW(root.ChildNodes()[4], EListError);
  EXPECT_THROW(root.ChildNodes()[-1], EListError);

  TXMLNode a = root.FindNode("a");
  EXPECT_EQ(a, root.ChildNodes()[0]);  // the first of that name
  EXPECT_FALSE(root.FindNode("B"));     // exact name
  EXPECT_EQ(a.ParentNode(), root);
  EXPECT_FALSE(root.ParentNode());
  EXPECT_EQ(root.OwnerDocument().DocumentElement(), root);
  EXPECT_EQ(root.Text(), "text");
  EXPECT_EQ(root.NodeType(), ntElement);

  TXMLNode none;
  EXPECT_FALSE(none);
  EXPECT_EQ(none.NodeName(), "");
  EXPECT_EQ(none.Text(), "");
  EXPECT_FALSE(none.FindNode("a"));
  EXPECT_EQ(none.ChildNodes().Count(), 0);
  EXPECT_FALSE(none.Attribute("a"));
  EXPECT_THROW(none.AddChild("a"), EAssertionFailed);
}

TEST(XMLDocument, AttributesReadMissingAsNullAndWriteEscaped) {
  TXMLDocument doc = FromXml(R"(<r empty="" b="2" a="1"/>)");
  TXMLNode r = doc.DocumentElement();
  EXPECT_EQ(r.Attribute("missing"), std::nullopt);
  EXPECT_EQ(r.Attribute("empty"), std::optional<std::string>(""));
  EXPECT_TRUE(r.HasAttribute("empty"));
  EXPECT_EQ(r.AttributeNames(), (V{"empty", "b", "a"}));

  const std::string awkward = "<\"quoted\" & 'single'>\ttab\nline\rcr Кириллица";
  r.SetAttribute("b", awkward);
  r.SetAttribute("new", "x");
  r.RemoveAttribute("a");
  r.RemoveAttribute("not-there");
  EXPECT_EQ(r.AttributeNames(), (V{"empty", "b", "new"}));

  TXMLNode back = FromXml(doc.XML()).DocumentElement();
  EXPECT_EQ(back.Attribute("b"), awkward);
  EXPECT_FALSE(back.HasAttribute("a"));

  r.ClearAttributes();
  EXPECT_TRUE(r.AttributeNames().empty());
}

TEST(XMLDocument, RejectsNamesAndTextThatXmlCannotHold) {
  TXMLNode r = TXMLDocument().AddChild("r");
  for (const char* name : {"", "1abc", "a b", "a<b", "p:", ":a"}) {
    EXPECT_THROW(r.AddChild(name), EXMLDocError) << name;
    EXPECT_THROW(r.SetAttribute(name, "v"), EXMLDocError) << name;
  }
  EXPECT_NO_THROW(r.AddChild("Раздел_1.x-y"));
  EXPECT_THROW(r.AddChild("u:child"), EXMLDocError);  // undeclared prefix

  for (std::string text : {std::string("a\x01"), std::string("a\0b", 3), std::string("\xD0"), std::string("\xC0\xAF"),
                           std::string("\xED\xA0\x80"), std::string("\xEF\xBF\xBF")}) {
    EXPECT_FALSE(IsValidXmlText(text));
    EXPECT_THROW(r.SetText(text), EXMLDocError);
    EXPECT_THROW(r.SetAttribute("a", text), EXMLDocError);
  }
  EXPECT_TRUE(IsValidXmlText("tab\tlf\ncr\r Ёж 😀"));
  EXPECT_FALSE(r.HasAttribute("a"));
}

TEST(XMLDocument, NodesKeepTheirDocumentAliveAndSurviveRemoval) {
  TXMLNode kept;
  TXMLNode removed;
  {
    TXMLDocument doc = FromXml("<r><a>one</a><b>two</b></r>");
    kept = doc.DocumentElement().FindNode("b");
    removed = doc.DocumentElement().FindNode("a");
    doc.DocumentElement().RemoveChild(removed);
    EXPECT_EQ(Names(doc.DocumentElement().ChildNodes()), (V{"b"}));
    EXPECT_THROW(doc.DocumentElement().RemoveChild(removed), EAssertionFailed);  // no child any more
  }
  EXPECT_EQ(kept.Text(), "two");
  EXPECT_EQ(kept.ParentNode().NodeName(), "r");
  EXPECT_EQ(removed.Text(), "one");  // detached, still valid
  EXPECT_FALSE(removed.ParentNode());

  TXMLNode parent = kept.ParentNode();
  TXMLNode child = kept;
  parent.ClearChildNodes();
  EXPECT_EQ(child.Text(), "two");
  EXPECT_EQ(parent.ChildNodes().Count(), 0);
}

TEST(XMLDocument, ReloadingKeepsOldHandlesValid) {
  TTempDir dir;
  std::string file = dir.WriteFile("b.xml", "<second/>");
  TXMLDocument doc = FromXml("<first><child>text</child></first>");
  TXMLNode old = doc.DocumentElement().FindNode("child");
  doc.LoadFromFile(file);
  EXPECT_EQ(doc.DocumentElement().NodeName(), "second");
  EXPECT_EQ(old.Text(), "text");
}

TEST(XMLDocument, LoadedIndentationIsRedoneOnSave) {
  TXMLDocument doc = FromXml("<r>\n\t<a/>\n\n      <b> </b>\n</r>");
  doc.DocumentElement().FindNode("a").AddChild("c");
  EXPECT_EQ(doc.XML(),
            "<?xml version=\"1.0\"?>\n"
            "<r>\n"
            "  <a>\n"
            "    <c/>\n"
            "  </a>\n"
            "  <b> </b>\n"
            "</r>\n");
}

TEST(XMLDocument, NamespacedElementsAndAttributes) {
  TXMLDocument doc;
  TXMLNode root = doc.AddChild("multistatus");
  root.SetAttribute("xmlns:d", "DAV:");
  EXPECT_EQ(root.Attribute("xmlns:d"), "DAV:");
  TXMLNode href = root.AddChild("d:href");
  href.SetAttribute("d:kind", "file");
  EXPECT_EQ(href.NodeName(), "d:href");
  EXPECT_EQ(href.LocalName(), "href");
  EXPECT_EQ(href.NamespaceURI(), "DAV:");
  EXPECT_EQ(href.Attribute("d:kind"), "file");
  EXPECT_EQ(root.FindNode("d:href"), href);
  EXPECT_THROW(root.RemoveAttribute("xmlns:d"), EXMLDocError);

  TXMLNode back = FromXml(doc.XML()).DocumentElement().FindNode("d:href");
  EXPECT_EQ(back.NamespaceURI(), "DAV:");
  EXPECT_EQ(back.Attribute("d:kind"), "file");
}

// --- encodings ------------------------------------------------------------------------------------

TEST(XMLDocument, Windows1251FileIsWrittenInItsBytesAndReadBack) {
  TTempDir dir;
  TXMLDocument doc;
  doc.AddChild("Options").SetAttribute("Name", "Привет");
  doc.DocumentElement().SetText("Ёлка €");
  doc.SaveToFile(dir.File("cp.xml"));

  std::string bytes = dir.ReadFile("cp.xml");
  EXPECT_THAT(bytes, HasSubstr("Name=\"\xCF\xF0\xE8\xE2\xE5\xF2\""));
  EXPECT_THAT(bytes, Not(HasSubstr("Привет")));

  TXMLDocument back = LoadXmlFile(dir.File("cp.xml"));
  EXPECT_EQ(back.Encoding(), "windows-1251");
  EXPECT_EQ(back.DocumentElement().Attribute("Name"), "Привет");
  EXPECT_EQ(back.DocumentElement().Text(), "Ёлка €");
}

TEST(XMLDocument, LoadedEncodingIsKeptOnSave) {
  TTempDir dir;
  struct Case {
    std::string name;
    std::string contents;
    std::string encoding;       // as declared, "" for none
    std::string savedPrefix;    // start of the saved file
    std::string savedText;      // how "Щука" is written
  };
  const std::vector<Case> cases = {
      {"utf8.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>Щука</r>", "UTF-8",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "Щука"},
      {"cp.xml", "<?xml version='1.0' encoding='windows-1251'?><r>" + platform::Utf8ToAnsi("Щука") + "</r>",
       "windows-1251", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>", platform::Utf8ToAnsi("Щука")},
      {"bom.xml", "\xEF\xBB\xBF<r>Щука</r>", "", "<?xml version=\"1.0\" encoding=\"windows-1251\"?>",
       platform::Utf8ToAnsi("Щука")},
  };
  for (const Case& c : cases) {
    std::string file = dir.WriteFile(c.name, c.contents);
    TXMLDocument doc = LoadXmlFile(file);
    EXPECT_EQ(doc.Encoding(), c.encoding) << c.name;
    EXPECT_EQ(doc.DocumentElement().Text(), "Щука") << c.name;
    doc.SaveToFile(file);
    std::string saved = ReadWholeFile(file);
    EXPECT_THAT(saved, StartsWith(c.savedPrefix)) << c.name;
    EXPECT_THAT(saved, HasSubstr("<r>" + c.savedText + "</r>")) << c.name;
  }
}

TEST(XMLDocument, EncodingCanBeSetToWhatTheSystemHas) {
  TXMLDocument doc = FromXml("<r>Ω</r>");
  doc.SetEncoding("UTF-8");
  TBytesStream out;
  doc.SaveToStream(out);
  auto bytes = out.Bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>Ω</r>\n");

  EXPECT_THROW(doc.SetEncoding("no-such-encoding"), EXMLDocError);
  EXPECT_EQ(doc.Encoding(), "UTF-8");

  doc.SetEncoding("windows-1251");  // Ω is not in the code page: written as a character reference
  TBytesStream cp;
  doc.SaveToStream(cp);
  cp.SetPosition(0);
  TXMLDocument back = LoadXmlFromStream(cp);
  EXPECT_EQ(back.DocumentElement().Text(), "Ω");
}

TEST(XMLDocument, TextInMemoryIsUtf8WhateverTheDeclarationSays) {
  TXMLDocument doc = FromXml("<?xml version=\"1.0\" encoding=\"windows-1251\"?><r a=\"Юг\"/>");
  EXPECT_EQ(doc.Encoding(), "windows-1251");
  EXPECT_EQ(doc.DocumentElement().Attribute("a"), "Юг");
  EXPECT_EQ(doc.XML(), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<r a=\"Юг\"/>\n");
  EXPECT_EQ(FromXml(doc.XML()).DocumentElement().Attribute("a"), "Юг");
}

TEST(XMLDocument, StreamsAreReadFromTheirPositionInTheGivenEncoding) {
  TBytesStream stream;
  std::string junk = "junk";
  stream.WriteBuffer(junk.data(), 4);
  std::string xml = "<r>Да</r>";
  stream.WriteBuffer(xml.data(), static_cast<std::int64_t>(xml.size()));
  stream.SetPosition(4);
  EXPECT_EQ(LoadXmlFromStream(stream).DocumentElement().Text(), "Да");

  // UTF-16LE without byte-order mark, declared as windows-1251: the forced encoding wins.
  std::u16string wide = u"<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>Да</r>";
  TBytesStream utf16(std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(wide.data()),
                                               reinterpret_cast<const std::uint8_t*>(wide.data() + wide.size())));
  TXMLDocument doc = LoadXmlFromStream(utf16, xetUTF_16LE);
  EXPECT_EQ(doc.DocumentElement().Text(), "Да");
  EXPECT_EQ(doc.Encoding(), "windows-1251");

  // With a byte-order mark the encoding is found without help.
  std::string bom = "\xFF\xFE";
  std::u16string body = u"<r>Да</r>";
  bom.append(reinterpret_cast<const char*>(body.data()), body.size() * 2);
  TBytesStream marked(std::vector<std::uint8_t>(bom.begin(), bom.end()));
  EXPECT_EQ(LoadXmlFromStream(marked).DocumentElement().Text(), "Да");
}

// --- parser failures and hostile input ------------------------------------------------------------

TEST(XMLDocument, ParserFailuresCarryTheParsersTextAndPrintNothing) {
  struct Case {
    std::string xml;
    std::string reason;  // part of libxml2's own text
    int line;
  };
  const std::vector<Case> cases = {
      {"<r>\n  <a>\n</r>", "Opening and ending tag mismatch", 3},
      {"<r>", "Premature end of data", 1},
      {"", "Document is empty", 1},
      {"<r/><s/>", "Extra content at the end of the document", 1},
      {"<r>&undefined;</r>", "Entity 'undefined' not defined", 1},
      {"<d:r/>", "Namespace prefix d on r is not defined", 1},
      {"<?xml version=\"1.0\" encoding=\"no-such\"?><r/>", "Unsupported encoding", 1},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    try {
      TBytesStream bytes(std::vector<std::uint8_t>(c.xml.begin(), c.xml.end()));
      LoadXmlFromStream(bytes);
      ADD_FAILURE() << c.xml;
    } catch (const EXMLParseError& e) {
      EXPECT_THAT(e.Reason(), HasSubstr(c.reason)) << c.xml;
      EXPECT_EQ(e.Line(), c.line) << c.xml;
      EXPECT_EQ(e.Message(), Format("%s (line %d, column %d)", e.Reason(), e.Line(), e.Column()));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.xml;
  }
}

TEST(XMLDocument, ExternalEntitiesAndDtdsAreNotLoaded) {
  TTempDir dir;
  std::string secret = dir.WriteFile("secret.txt", "SECRET");
  dir.WriteFile("evil.dtd", "<!ENTITY leak SYSTEM \"file://" + secret + "\">");
  std::string xml = "<!DOCTYPE r [<!ENTITY ext SYSTEM \"file://" + secret + "\">]><r a='1'>&ext;</r>";
  TXMLDocument doc = FromXml(xml);
  EXPECT_THAT(doc.DocumentElement().Text(), Not(HasSubstr("SECRET")));
  EXPECT_THAT(doc.XML(), Not(HasSubstr("SECRET")));

  std::string external = "<!DOCTYPE r SYSTEM \"file://" + dir.File("evil.dtd") + "\"><r>&leak;</r>";
  std::string file = dir.WriteFile("r.xml", external);
  try {
    LoadXmlFile(file);  // the DTD is not read, so its entity is undefined
    FAIL();
  } catch (const EInvalidXMLFile& e) {
    EXPECT_THAT(e.Message(), HasSubstr("Entity 'leak' not defined"));
  }
}

TEST(XMLDocument, EntityExpansionBombIsRefused) {
  // Ten levels of ten references each: 10^10 copies of the innermost text if expanded.
  std::string xml = "<!DOCTYPE r [<!ENTITY a \"" + std::string(50, 'a') + "\">";
  for (char c = 'b'; c <= 'k'; ++c) {
    std::string refs;
    for (int i = 0; i < 10; ++i) refs += std::string("&") + static_cast<char>(c - 1) + ";";
    xml += std::string("<!ENTITY ") + c + " \"" + refs + "\">";
  }
  xml += "]><r>&k;</r>";
  EXPECT_THROW(FromXml(xml), EXMLParseError);
}

// --- XPath ----------------------------------------------------------------------------------------

TEST(XMLUtilsXPath, PrefixesMatchByNamespaceUriNotBySpelling) {
  TXMLNode root = Root(kDavListing);
  const std::string dav = "xmlns:D=\"DAV:\"";
  TXMLNode response = SelectNode(root, "D:response", dav);
  ASSERT_TRUE(response);
  EXPECT_EQ(SelectNode(response, "D:href", dav).Text(), "/a/");
  EXPECT_EQ(SelectNode(response, "D:href", "xmlns:D='DAV:'   xmlns:x=\"urn:nothing\"").Text(), "/a/");
  EXPECT_EQ(SelectNode(response, "x:href", "xmlns:x=\"urn:other\"").Text(), "not this");
  EXPECT_EQ(SelectNode(response, "D:href", "xmlns:D=\"urn:other\"").Text(), "not this");
  EXPECT_FALSE(SelectNode(response, "D:href", "xmlns:D=\"urn:nothing\""));

  TXMLNodeList all = SelectNodes(root, "//d:response", "xmlns:d=\"DAV:\"");
  ASSERT_EQ(all.Count(), 2);
  EXPECT_EQ(SelectNode(all[1], "d:propstat/d:prop/d:getlastmodified", "xmlns:d=\"DAV:\"").Text(),
            "Mon, 01 Jan 2024 10:00:00 GMT");
  V hrefs;
  for (TXMLNode n : EnumerateNodes(SelectNodes(root, "//D:href", dav))) hrefs.push_back(n.Text());
  EXPECT_EQ(hrefs, (V{"/a/", "/a/b.txt"}));

  // Declarations live for one query only: the document's own prefix is unknown without one.
  EXPECT_THROW(SelectNode(response, "D:href"), EXMLDocError);
  EXPECT_THROW(SelectNode(response, "d:href"), EXMLDocError);
}

TEST(XMLUtilsXPath, NoMatchGivesAnEmptyListAndNoneNodeGivesNone) {
  TXMLNode root = Root("<r><a/><a/></r>");
  TXMLNodeList empty = SelectNodes(root, "b");
  EXPECT_TRUE(empty);
  EXPECT_EQ(empty.Count(), 0);
  TXMLNodeListEnumerable::TEnumerator it = EnumerateNodes(empty).GetEnumerator();
  EXPECT_EQ(it.FIndex, -1);
  EXPECT_FALSE(it.MoveNext());
  for (TXMLNode n : EnumerateNodes(empty)) ADD_FAILURE() << n.NodeName();

  EXPECT_FALSE(SelectNodes(TXMLNode(), "a"));
  EXPECT_FALSE(SelectNode(TXMLNode(), "a", "xmlns:d=\"DAV:\""));
  EXPECT_FALSE(SelectNode(root, "b"));
  EXPECT_EQ(SelectNodes(root, "a").Count(), 2);

  try {
    SelectNodeStrict(root, "b/c");
    FAIL();
  } catch (const EInvalidXMLData& e) {
    EXPECT_NE(dynamic_cast<const EXMLNodeNotFound*>(&e), nullptr);
    EXPECT_EQ(e.Message(), "Не найден узел по XPath запросу \"b/c\"");
  }
  EXPECT_EQ(SelectNodeStrict(root, "a"), root.ChildNodes()[0]);
}

TEST(XMLUtilsXPath, AttributesAndTextCanBeSelected) {
  TXMLNode root = Root("<r><a href='x'>t</a></r>");
  TXMLNode attr = SelectNode(root, "a/@href");
  EXPECT_EQ(attr.NodeType(), ntAttribute);
  EXPECT_EQ(attr.NodeName(), "href");
  EXPECT_EQ(attr.Text(), "x");
  EXPECT_EQ(attr.ParentNode().NodeName(), "a");
  attr.SetText("y & z");
  EXPECT_EQ(GetAttrDef(root.FindNode("a"), "href", ""), "y & z");

  TXMLNode text = SelectNode(root, "a/text()");
  EXPECT_EQ(text.NodeType(), ntText);
  EXPECT_EQ(text.Text(), "t");
  EXPECT_FALSE(SelectNode(root, "/"));  // the document node is no node of the binding
}

TEST(XMLUtilsXPath, RejectedQueriesAndDeclarationsRaise) {
  TXMLNode root = Root("<r/>");
  for (const char* query : {"a[", "///", "count(a)", "undeclared:a"})
    EXPECT_THROW(SelectNode(root, query), EXMLDocError) << query;
  for (const char* ns : {"xmlns:d", "xmlns:d=DAV:", "xmlns:d=\"DAV:", "d=\"DAV:\"", "xmlns:=\"x\"",
                         "xmlns:d=\"a\"xmlns:e=\"b\""})
    EXPECT_THROW(SelectNode(root, "a", ns), EXMLDocError) << ns;
  EXPECT_NO_THROW(SelectNode(root, "a", "xmlns=\"urn:default\""));
  testing::internal::CaptureStderr();
  EXPECT_THROW(SelectNodes(root, "a[", ""), EXMLDocError);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// --- attribute helpers ----------------------------------------------------------------------------

TEST(XMLUtilsAttributes, ReadersFallBackToTheirDefaults) {
  TXMLNode n = Root(R"(<n s="text" e="" i="42" neg="-7" hex="$1F" trail="12ab" t="TRUE" f="false" one="1"
                         zero="0" bad="yes" dot="1.5" comma="1,5"/>)");
  TXMLNode none;

  EXPECT_EQ(GetAttrDef(n, "s", "d"), "text");
  EXPECT_EQ(GetAttrDef(n, "e", "d"), "");
  EXPECT_EQ(GetAttrDef(n, "missing", "d"), "d");
  EXPECT_EQ(GetAttrDef(none, "s", "d"), "d");

  struct IntCase {
    const char* attr;
    std::int32_t expected;
  };
  for (IntCase c : {IntCase{"i", 42}, {"neg", -7}, {"hex", 31}, {"trail", 5}, {"e", 5}, {"missing", 5}, {"s", 5}})
    EXPECT_EQ(GetIntAttrDef(n, c.attr, 5), c.expected) << c.attr;
  EXPECT_EQ(GetIntAttrDef(none, "i", 5), 5);

  EXPECT_TRUE(GetBoolAttrDef(n, "t", false));
  EXPECT_FALSE(GetBoolAttrDef(n, "f", true));
  EXPECT_TRUE(GetBoolAttrDef(n, "one", false));
  EXPECT_FALSE(GetBoolAttrDef(n, "zero", true));
  EXPECT_TRUE(GetBoolAttrDef(n, "missing", true));
  EXPECT_TRUE(GetBoolAttrDef(none, "t", true));
  EXPECT_THROW(GetBoolAttrDef(n, "bad", true), EConvertError);
  EXPECT_THROW(GetBoolAttrDef(n, "e", true), EConvertError);

  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  {
    platform::ScopedFormatSettings settings(comma);
    EXPECT_DOUBLE_EQ(GetFloatAttrDef(n, "comma", 9), 1.5);
    EXPECT_DOUBLE_EQ(GetFloatAttrDef(n, "dot", 9), 9);
    EXPECT_DOUBLE_EQ(GetFloatAttrDef(n, "missing", 9), 9);
  }
  {
    platform::ScopedFormatSettings settings(TFormatSettings::Invariant());
    EXPECT_DOUBLE_EQ(GetFloatAttrDef(n, "dot", 9), 1.5);
    EXPECT_DOUBLE_EQ(GetFloatAttrDef(n, "comma", 9), 9);
    EXPECT_DOUBLE_EQ(GetFloatAttrDef(none, "dot", 9), 9);
  }

  EXPECT_EQ(GetNodeText(Root("<n>body</n>"), "d"), "body");
  EXPECT_EQ(GetNodeText(none, "d"), "d");
}

TEST(XMLUtilsAttributes, RequiredValuesMustBeThereAndNotEmpty) {
  TXMLNode n = Root(R"(<Connection Address="srv" Empty=""/>)");
  EXPECT_EQ(GetAttrValue(n, "Address", true), "srv");
  EXPECT_EQ(GetAttrValue(n, "Missing", false), "");
  EXPECT_EQ(GetAttrValue(TXMLNode(), "Address", false), "");
  for (const char* attr : {"Empty", "Missing"}) {
    try {
      GetAttrValue(n, attr, true);
      FAIL() << attr;
    } catch (const EInvalidXMLData& e) {
      EXPECT_EQ(e.Message(), Format("Обязательный параметр \"%s\" отсутствует в узле \"Connection\"", attr));
    }
  }
}

TEST(XMLUtilsAttributes, WritersFollowTheirRules) {
  TXMLDocument doc;
  TXMLNode n = doc.AddChild("n");
  n.SetAttribute("kept", "old");
  SetAttrValue(n, "kept", "");
  EXPECT_EQ(n.Attribute("kept"), "old");
  SetAttrValue(n, "absent", "");
  EXPECT_FALSE(n.HasAttribute("absent"));
  SetAttrValue(n, "controls", std::string("\x01\x02\x1F\x0B\x0C", 5));
  EXPECT_EQ(n.Attribute("controls"), "");
  SetAttrValue(n, "mixed", "a\tb\nc\rd\x07 Я");
  EXPECT_EQ(n.Attribute("mixed"), "a\tb\nc\rd Я");

  SetIntAttr(n, "same", 5, 5);
  EXPECT_FALSE(n.HasAttribute("same"));
  SetIntAttr(n, "int", -1, 0);
  EXPECT_EQ(n.Attribute("int"), "-1");

  SetBoolAttr(n, "yes", true);
  SetBoolAttr(n, "no", false);
  EXPECT_EQ(n.Attribute("yes"), "true");
  EXPECT_EQ(n.Attribute("no"), "false");

  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  platform::ScopedFormatSettings settings(comma);
  SetFloatAttr(n, "f", 1.5);
  EXPECT_EQ(n.Attribute("f"), "1,5");
  SetFloatAttr(n, "g", 0.1);
  EXPECT_DOUBLE_EQ(GetFloatAttrDef(FromXml(doc.XML()).DocumentElement(), "g", 7), 0.1);
}

TEST(XMLUtilsAttributes, RemoveInvalidXmlChars) {
  struct Case {
    std::string in;
    std::string out;
  };
  std::string all;
  for (int c = 0; c < 32; ++c) all += static_cast<char>(c);
  const std::vector<Case> cases = {
      {"plain", "plain"},
      {"", ""},
      {all, "\t\n\r"},
      {"Ж\x01Ж\x1F", "ЖЖ"},
      {"\x7F\xC2\x80", "\x7F\xC2\x80"},  // above 31 nothing is touched
  };
  for (const Case& c : cases) EXPECT_EQ(RemoveInvalidXmlChars(c.in), c.out);
}

// --- loading with translated failures -------------------------------------------------------------

TEST(XMLUtilsLoading, BrokenFileBecomesInvalidXMLFileOverTheParsersException) {
  TTempDir dir;
  std::string file = dir.WriteFile("broken.xml", "<Options>\n<a></b>\n</Options>");
  try {
    LoadXmlFile(file);
    FAIL();
  } catch (const EInvalidXMLFile& e) {
    auto* parser = dynamic_cast<const EXMLParseError*>(&e.BaseException());
    ASSERT_NE(parser, nullptr);
    EXPECT_EQ(e.InnerException(), parser);
    EXPECT_EQ(parser->Line(), 2);
    EXPECT_EQ(e.Message(), "Ошибка при загрузке файла \"" + file + "\"\r\n" + parser->Message());
    EXPECT_EQ(e.GetMessageList(), e.Message() + "\r\n" + parser->Message() + "\r\n");
  }
}

TEST(XMLUtilsLoading, MissingFileBecomesInvalidXMLFileOverTheFileError) {
  TTempDir dir;
  std::string file = dir.File("missing.xml");
  try {
    LoadXmlFile(file);
    FAIL();
  } catch (const EInvalidXMLFile& e) {
    const std::exception& base = e.BaseException();
    EXPECT_NE(dynamic_cast<const EFOpenError*>(&base), nullptr);
    EXPECT_EQ(e.Message(), "Ошибка при загрузке файла \"" + file + "\"\r\n" + base.what());
  }

  TXMLDocument doc = FromXml("<keep/>");
  EXPECT_THROW(LoadDocumentFromFile(doc, file), EInvalidXMLFile);
  EXPECT_EQ(doc.DocumentElement().NodeName(), "keep");  // a failed load changes nothing
  LoadDocumentFromFile(doc, dir.WriteFile("ok.xml", "<ok/>"));
  EXPECT_EQ(doc.DocumentElement().NodeName(), "ok");
}

TEST(XMLUtilsLoading, StreamFailuresPassUntranslated) {
  TBytesStream stream(std::vector<std::uint8_t>{'<', 'r', '>'});
  EXPECT_THROW(LoadXmlFromStream(stream), EXMLParseError);
}

TEST(XMLUtilsLoading, HandlersWorkOnlyInsideAHandler) {
  try {
    HandleInvalidMSXMLVersionError();
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Функцию HandleInvalidMSXMLVersionError нужно вызывать ТОЛЬКО в except блоке");
  }
  try {
    HandleLoadXmlFileError("f.xml");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Text(), "Функцию HandleLoadXmlFileError нужно вызывать ТОЛЬКО в except блоке");
  }

  try {
    throw std::runtime_error("parser says no");
  } catch (...) {
    EXPECT_NO_THROW(HandleInvalidMSXMLVersionError());
  }

  try {
    try {
      throw 7;
    } catch (...) {
      HandleLoadXmlFileError("f.xml");
    }
  } catch (const EInvalidXMLFile& e) {
    EXPECT_EQ(e.Message(), "Ошибка при загрузке файла \"f.xml\"");
    EXPECT_EQ(e.InnerException(), nullptr);
  }
}

TEST(XMLUtilsLoading, InvalidXMLFileConstructorsAndRootCheck) {
  EXPECT_EQ(EInvalidXMLFile::Create4FileName("a.xml").Message(), "Файл \"a.xml\" имеет некорректный формат");
  EXPECT_EQ(EInvalidXMLFile::InvalidRootNodeName("A", "B").Message(),
            "Считано имя корневого узла \"A\", ожидалось \"B\"");
  EXPECT_EQ(EInvalidXMLFile::EmptyData().Message(), "Отсутствуют данные в XML-документе");

  EXPECT_NO_THROW(EInvalidXMLFile::CheckValidXMLRoot("options", "Options"));
  EXPECT_NO_THROW(EInvalidXMLFile::CheckValidXMLRoot("", ""));
  for (auto [fact, expected] : {std::pair{"", "Options"}, {"Options", ""}, {"Опции", "ОПЦИИ"}, {"Option", "Options"}}) {
    try {
      EInvalidXMLFile::CheckValidXMLRoot(fact, expected);
      FAIL() << fact;
    } catch (const EInvalidXMLFile& e) {
      EXPECT_EQ(e.Message(), Format("Считано имя корневого узла \"%s\", ожидалось \"%s\"", fact, expected));
    }
  }
}

TEST(XMLUtilsLoading, WrongParserExceptionFormatsItsClassAndOperation) {
  EWrongMSXML e("нет парсера");
  EXPECT_EQ(e.ClassNameAndMessage(), "[EWrongMSXML]нет парсера");
  e.IncludeOperationNameAsFirst("Чтение");
  EXPECT_EQ(e.Message(), "Чтение: нет парсера");
}
