#include "Common.XMLUtils.h"

#include <libxml/encoding.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <new>

#include "Runtime.Format.h"
#include "Runtime.Streams.h"
#include "Runtime.Strings.h"
#include "Runtime.Utf8.h"
#include "platform/FileStream.h"
#include "platform/FormatSettings.h"

namespace {
constexpr const char* SInvalidXMLFileFormat = "Файл \"%s\" имеет некорректный формат";
constexpr const char* SInvalidRootNodeName = "Считано имя корневого узла \"%s\", ожидалось \"%s\"";
constexpr const char* SEmptyXMLData = "Отсутствуют данные в XML-документе";
constexpr const char* SNodeNotFound = "Не найден узел по XPath запросу \"%s\"";
constexpr const char* SRequiredAttrMissing = "Обязательный параметр \"%s\" отсутствует в узле \"%s\"";
constexpr const char* SErrorLoadingFile = "Ошибка при загрузке файла \"%s\"";
constexpr const char* SErrorLoadingFileWithReason = "Ошибка при загрузке файла \"%s\"\r\n%s";

// Encoding of saved documents that declare none: the system's ANSI code page.
constexpr const char* kDefaultSaveEncoding = "windows-1251";

void EnsureParserInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

const xmlChar* X(const std::string& s) { return reinterpret_cast<const xmlChar*>(s.c_str()); }
std::string FromXml(const xmlChar* s) { return s ? reinterpret_cast<const char*>(s) : std::string(); }
std::string TakeXml(xmlChar* s) {
  std::string result = FromXml(s);
  xmlFree(s);
  return result;
}

template <class T>
T* Check(T* p) {
  if (!p) throw std::bad_alloc();
  return p;
}

#if LIBXML_VERSION >= 21200
using TXmlErrorArg = const xmlError*;
#else
using TXmlErrorArg = xmlError*;
#endif

// libxml2 reports errors through per-thread handlers whose default prints them to stderr. Every
// call into the parser, the serializer and the XPath engine runs under one of these scopes: it
// keeps the first error for the exception, prints nothing, and puts the old handlers back.
class TLibxmlErrors {
 public:
  TLibxmlErrors()
      : FSavedStructured(xmlStructuredError),
        FSavedStructuredContext(xmlStructuredErrorContext),
        FSavedGeneric(xmlGenericError),
        FSavedGenericContext(xmlGenericErrorContext),
        FOuter(tActive) {
    tActive = this;
    xmlSetStructuredErrorFunc(nullptr, &OnError);
    xmlSetGenericErrorFunc(nullptr, &OnGenericError);
  }
  ~TLibxmlErrors() {
    xmlSetStructuredErrorFunc(FSavedStructuredContext, FSavedStructured);
    xmlSetGenericErrorFunc(FSavedGenericContext, FSavedGeneric);
    tActive = FOuter;
  }
  TLibxmlErrors(const TLibxmlErrors&) = delete;
  TLibxmlErrors& operator=(const TLibxmlErrors&) = delete;

  bool Failed() const { return FFailed; }
  const std::string& Message() const { return FMessage; }
  int Line() const { return FLine; }
  int Column() const { return FColumn; }

 private:
  static void OnError(void*, TXmlErrorArg error) {
    if (tActive) tActive->Record(error);
  }
  static void OnGenericError(void*, const char*, ...) {}

  void Record(TXmlErrorArg error) {
    if (FFailed || !error || error->level < XML_ERR_ERROR) return;
    FFailed = true;
    FMessage = Trim(error->message ? error->message : "");
    if (FMessage.empty()) FMessage = Format("XML error %d", error->code);
    FLine = error->line;
    FColumn = error->int2;
  }

  static thread_local TLibxmlErrors* tActive;
  xmlStructuredErrorFunc FSavedStructured;
  void* FSavedStructuredContext;
  xmlGenericErrorFunc FSavedGeneric;
  void* FSavedGenericContext;
  TLibxmlErrors* FOuter;
  bool FFailed = false;
  std::string FMessage;
  int FLine = 0;
  int FColumn = 0;
};
thread_local TLibxmlErrors* TLibxmlErrors::tActive = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding the XML declaration names, "" when there is none. The declaration is ASCII, in
// every other byte for UTF-16 text.
std::string DeclaredEncoding(std::string_view bytes) {
  const std::size_t n = std::min<std::size_t>(bytes.size(), 1024);
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  std::string head;
  if (n >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == '<' && b(1) == 0))) {
    for (std::size_t i = b(0) == 0xFF ? 2 : 0; i + 1 < n; i += 2) head += bytes[i];
  } else if (n >= 2 && ((b(0) == 0xFE && b(1) == 0xFF) || (b(0) == 0 && b(1) == '<'))) {
    for (std::size_t i = b(0) == 0xFE ? 3 : 1; i < n; i += 2) head += bytes[i];
  } else {
    head.assign(bytes.substr(0, n));
    if (head.starts_with("\xEF\xBB\xBF")) head.erase(0, 3);
  }
  if (head.size() < 6 || !head.starts_with("<?xml") || !IsBlank(head[5])) return {};
  std::string_view decl(head);
  decl = decl.substr(0, decl.find("?>"));
  std::size_t i = decl.find("encoding");
  if (i == std::string_view::npos) return {};
  i += 8;
  while (i < decl.size() && IsBlank(decl[i])) ++i;
  if (i >= decl.size() || decl[i] != '=') return {};
  ++i;
  while (i < decl.size() && IsBlank(decl[i])) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return {};
  std::size_t close = decl.find(decl[i], i + 1);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(i + 1, close - i - 1));
}

// Files come from outside: no network, no external DTD or entities, no entity substitution,
// and the parser's own size and depth limits stay on. Blank text between elements is dropped so
// that saving indents a loaded document like a new one.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

xmlDocPtr Parse(std::string_view bytes, const std::string& url, const char* forcedEncoding, bool ignoreDeclaredEncoding) {
  if (bytes.empty()) throw EXMLParseError("Document is empty", 1, 1);
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) throw EXMLParseError("Document is too large", 0, 0);
  EnsureParserInitialised();
  TLibxmlErrors errors;
  int options = kParseOptions | (ignoreDeclaredEncoding ? XML_PARSE_IGNORE_ENC : 0);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), url.empty() ? nullptr : url.c_str(),
                                forcedEncoding, options);
  if (doc && !errors.Failed()) return doc;
  xmlFreeDoc(doc);
  if (!errors.Failed()) throw EXMLParseError("The XML parser failed", 0, 0);
  throw EXMLParseError(errors.Message(), errors.Line(), errors.Column());
}

std::string Serialize(xmlDocPtr doc, const std::string& encoding, bool declaration) {
  TLibxmlErrors errors;
  std::unique_ptr<xmlBuffer, void (*)(xmlBufferPtr)> buffer(Check(xmlBufferCreate()), xmlBufferFree);
  xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), encoding.c_str(), XML_SAVE_FORMAT | (declaration ? 0 : XML_SAVE_NO_DECL));
  if (!save) throw EXMLDocError(Format("Unsupported encoding \"%s\"", encoding));
  long written = xmlSaveDoc(save, doc);
  int closed = xmlSaveClose(save);
  if (written < 0 || closed < 0 || errors.Failed())
    throw EXMLDocError(errors.Failed() ? errors.Message() : "The XML document could not be written");
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())), xmlBufferLength(buffer.get()));
}

std::string ReadToEnd(TStream& stream) {
  std::string bytes;
  char chunk[65536];
  while (std::int32_t got = stream.Read(chunk, sizeof chunk)) bytes.append(chunk, static_cast<std::size_t>(got));
  return bytes;
}

bool IsNamespaceDeclaration(std::string_view name) { return name == "xmlns" || name.starts_with("xmlns:"); }

// "p:local" -> ("p", "local"); "local" -> ("", "local").
std::pair<std::string, std::string> SplitQName(std::string_view name) {
  auto colon = name.find(':');
  if (colon == std::string_view::npos) return {std::string(), std::string(name)};
  return {std::string(name.substr(0, colon)), std::string(name.substr(colon + 1))};
}

void CheckQName(std::string_view name) {
  std::string n(name);
  if (n.empty() || xmlValidateQName(X(n), 0) != 0) throw EXMLDocError(Format("Invalid XML name \"%s\"", name));
}

void CheckText(std::string_view text, std::string_view where) {
  if (!IsValidXmlText(text)) throw EXMLDocError(Format("The value of \"%s\" holds characters XML cannot hold", where));
}

bool HasQName(const xmlNode* node, std::string_view name) {
  const char* local = reinterpret_cast<const char*>(node->name);
  if (!local) return false;
  if (node->ns && node->ns->prefix) {
    std::string_view prefix = reinterpret_cast<const char*>(node->ns->prefix);
    return name.size() == prefix.size() + 1 + std::char_traits<char>::length(local) && name.starts_with(prefix) &&
           name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local;
  }
  return name == local;
}

std::string QName(const xmlNode* node) {
  std::string name = FromXml(node->name);
  if (node->ns && node->ns->prefix) return FromXml(node->ns->prefix) + ":" + name;
  return name;
}

xmlAttrPtr FindAttribute(xmlNodePtr element, std::string_view name) {
  for (xmlAttrPtr a = element->properties; a; a = a->next)
    if (HasQName(reinterpret_cast<xmlNodePtr>(a), name)) return a;
  return nullptr;
}

// The declaration behind "xmlns" or "xmlns:p" on the element itself.
xmlNsPtr FindNamespaceDeclaration(xmlNodePtr element, std::string_view name) {
  std::string_view prefix = name == "xmlns" ? std::string_view() : name.substr(6);
  for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next) {
    std::string_view p = ns->prefix ? reinterpret_cast<const char*>(ns->prefix) : "";
    if (p == prefix) return ns;
  }
  return nullptr;
}

// The namespace a prefixed name refers to in the element's scope; EXMLDocError when undeclared.
xmlNsPtr NamespaceOfPrefix(xmlNodePtr element, const std::string& prefix) {
  xmlNsPtr ns = xmlSearchNs(element->doc, element, X(prefix));
  if (!ns) throw EXMLDocError(Format("Undeclared namespace prefix \"%s\"", prefix));
  return ns;
}

bool IsSelectable(xmlElementType type) {
  switch (type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
      return true;
    default:
      return false;
  }
}

struct TNamespaceDeclaration {
  std::string Prefix;
  std::string Uri;
};

// "xmlns:d=\"DAV:\" xmlns:e='urn:e'"; a default declaration "xmlns=..." is accepted and has no
// effect, as XPath 1.0 names without prefix never take a namespace.
std::vector<TNamespaceDeclaration> ParseNamespaces(std::string_view text) {
  auto fail = [&]() -> EXMLDocError { return EXMLDocError(Format("Invalid namespace declarations \"%s\"", text)); };
  std::vector<TNamespaceDeclaration> result;
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  for (skipBlanks(); i < text.size(); skipBlanks()) {
    if (text.substr(i, 5) != "xmlns") throw fail();
    i += 5;
    std::string prefix;
    if (i < text.size() && text[i] == ':') {
      std::size_t start = ++i;
      while (i < text.size() && text[i] != '=' && !IsBlank(text[i])) ++i;
      prefix.assign(text.substr(start, i - start));
      if (prefix.empty() || xmlValidateNCName(X(prefix), 0) != 0) throw fail();
    }
    skipBlanks();
    if (i >= text.size() || text[i] != '=') throw fail();
    ++i;
    skipBlanks();
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) throw fail();
    std::size_t close = text.find(text[i], i + 1);
    if (close == std::string_view::npos) throw fail();
    std::string uri(text.substr(i + 1, close - i - 1));
    i = close + 1;
    if (i < text.size() && !IsBlank(text[i])) throw fail();
    if (!prefix.empty()) result.push_back({std::move(prefix), std::move(uri)});
  }
  return result;
}

using TXPathResult = std::unique_ptr<xmlXPathObject, void (*)(xmlXPathObjectPtr)>;

// A node set selected relative to node, with the declared prefixes registered on a context of
// this query only.
TXPathResult EvaluateNodeSet(xmlNodePtr node, std::string_view xpath, std::string_view namespaces) {
  std::vector<TNamespaceDeclaration> declarations = ParseNamespaces(namespaces);
  TLibxmlErrors errors;
  std::unique_ptr<xmlXPathContext, void (*)(xmlXPathContextPtr)> context(Check(xmlXPathNewContext(node->doc)),
                                                                          xmlXPathFreeContext);
  context->node = node;
  for (const auto& d : declarations)
    if (xmlXPathRegisterNs(context.get(), X(d.Prefix), X(d.Uri)) != 0) throw std::bad_alloc();
  std::string query(xpath);
  TXPathResult result(xmlXPathEvalExpression(X(query), context.get()), xmlXPathFreeObject);
  if (!result || errors.Failed())
    throw EXMLDocError(
        Format("XPath query \"%s\": %s", xpath, errors.Failed() ? errors.Message() : std::string("evaluation failed")));
  if (result->type != XPATH_NODESET) throw EXMLDocError(Format("XPath query \"%s\" selects no nodes", xpath));
  return result;
}

void FreeDetached(xmlNodePtr node) {
  if (node->type == XML_ATTRIBUTE_NODE)
    xmlFreeProp(reinterpret_cast<xmlAttrPtr>(node));
  else
    xmlFreeNode(node);
}
}  // namespace

// --- the document behind the handles -----------------------------------------------------------

class TXMLDocumentImpl {
 public:
  TXMLDocumentImpl() {
    EnsureParserInitialised();
    FDoc = Check(xmlNewDoc(BAD_CAST "1.0"));
  }
  ~TXMLDocumentImpl() { FreeAll(); }
  TXMLDocumentImpl(const TXMLDocumentImpl&) = delete;
  TXMLDocumentImpl& operator=(const TXMLDocumentImpl&) = delete;

  xmlDocPtr Doc() const { return FDoc; }

  // Installs a newly parsed tree. Node handles into the old one stay valid: with handles around
  // (more owners than the one document object) the old tree is kept until the document goes.
  void ReplaceTree(xmlDocPtr doc, bool otherOwners) {
    if (otherOwners) {
      FRetired.reserve(FRetired.size() + 1);
      FRetired.push_back(FDoc);
    } else {
      FreeAll();
      FRetired.clear();
      FDetached.clear();
    }
    FDoc = doc;
  }

  // Takes a node out of its tree without freeing it, as handles to it may exist.
  void Detach(xmlNodePtr node) {
    FDetached.reserve(FDetached.size() + 1);
    xmlUnlinkNode(node);
    FDetached.push_back(node);
  }

  std::string Encoding;

 private:
  // Detached nodes first: they use the dictionaries of their documents.
  void FreeAll() {
    for (xmlNodePtr node : FDetached) FreeDetached(node);
    for (xmlDocPtr doc : FRetired) xmlFreeDoc(doc);
    xmlFreeDoc(FDoc);
    FDoc = nullptr;
  }

  xmlDocPtr FDoc = nullptr;
  std::vector<xmlDocPtr> FRetired;
  std::vector<xmlNodePtr> FDetached;
};

struct TXMLAccess {
  static xmlNodePtr Raw(const TXMLNode& node) { return node.FNode; }
  static TXMLNode Node(const std::shared_ptr<TXMLDocumentImpl>& document, xmlNodePtr node) {
    return node ? TXMLNode(document, node) : TXMLNode();
  }
  static TXMLNode Node(const TXMLNode& sibling, xmlNodePtr node) { return Node(sibling.FDocument, node); }
  static TXMLDocumentImpl& Impl(const TXMLNode& node) { return *node.FDocument; }
  static TXMLNodeList List(const std::shared_ptr<TXMLDocumentImpl>& document, std::vector<xmlNodePtr> nodes) {
    TXMLNodeList list;
    list.FDocument = document;
    list.FNodes = std::move(nodes);
    list.FAssigned = true;
    return list;
  }
  static TXMLNodeList List(const TXMLNode& owner, std::vector<xmlNodePtr> nodes) {
    return List(owner.FDocument, std::move(nodes));
  }
  static TXMLDocument Document(const TXMLNode& node) { return TXMLDocument(node.FDocument); }
  static TXMLDocumentImpl& Impl(const TXMLDocument& document) { return *document.FDocument; }
  static bool HasOtherOwners(const TXMLDocument& document) { return document.FDocument.use_count() > 1; }
  static const std::shared_ptr<TXMLDocumentImpl>& Shared(const TXMLDocument& document) { return document.FDocument; }
};

// --- exceptions ---------------------------------------------------------------------------------

EXMLParseError::EXMLParseError(std::string Reason, int Line, int Column)
    : EXMLDocError(Format("%s (line %d, column %d)", Reason, Line, Column)),
      FReason(std::move(Reason)),
      FLine(Line),
      FColumn(Column) {}

EInvalidXMLFile EInvalidXMLFile::Create4FileName(std::string_view FileName) {
  return EInvalidXMLFile(Format(SInvalidXMLFileFormat, FileName));
}

EInvalidXMLFile EInvalidXMLFile::InvalidRootNodeName(std::string_view FactNodeName, std::string_view ExpectedNodeName) {
  return EInvalidXMLFile(Format(SInvalidRootNodeName, FactNodeName, ExpectedNodeName));
}

EInvalidXMLFile EInvalidXMLFile::EmptyData() { return EInvalidXMLFile(SEmptyXMLData); }

void EInvalidXMLFile::CheckValidXMLRoot(std::string_view FactNodeName, std::string_view ExpectedNodeName) {
  if (!SameText(FactNodeName, ExpectedNodeName)) throw InvalidRootNodeName(FactNodeName, ExpectedNodeName);
}

// --- TXMLNode -------------------------------------------------------------------------------------

TXMLNodeType TXMLNode::NodeType() const {
  if (!FNode) return ntOther;
  switch (FNode->type) {
    case XML_ELEMENT_NODE:
      return ntElement;
    case XML_ATTRIBUTE_NODE:
      return ntAttribute;
    case XML_TEXT_NODE:
      return ntText;
    case XML_CDATA_SECTION_NODE:
      return ntCData;
    case XML_COMMENT_NODE:
      return ntComment;
    case XML_PI_NODE:
      return ntProcessingInstruction;
    default:
      return ntOther;
  }
}

std::string TXMLNode::NodeName() const {
  switch (NodeType()) {
    case ntElement:
    case ntAttribute:
      return QName(FNode);
    case ntText:
      return "#text";
    case ntCData:
      return "#cdata-section";
    case ntComment:
      return "#comment";
    case ntProcessingInstruction:
      return FromXml(FNode->name);
    case ntOther:
      break;
  }
  return {};
}

std::string TXMLNode::LocalName() const {
  auto type = NodeType();
  return type == ntElement || type == ntAttribute ? FromXml(FNode->name) : std::string();
}

std::string TXMLNode::NamespaceURI() const {
  auto type = NodeType();
  return (type == ntElement || type == ntAttribute) && FNode->ns ? FromXml(FNode->ns->href) : std::string();
}

std::string TXMLNode::Text() const { return FNode ? TakeXml(xmlNodeGetContent(FNode)) : std::string(); }

void TXMLNode::SetText(std::string_view Value) {
  ASSERT(FNode != nullptr, "SetText of a none node");
  CheckText(Value, NodeName());
  const auto* text = reinterpret_cast<const xmlChar*>(Value.data());
  const int length = static_cast<int>(Value.size());
  switch (NodeType()) {
    case ntElement:
      ClearChildNodes();
      if (!Value.empty()) xmlAddChild(FNode, Check(xmlNewDocTextLen(FNode->doc, text, length)));
      break;
    case ntAttribute: {
      // Attribute children are never handed out, so they can be freed at once.
      xmlFreeNodeList(FNode->children);
      FNode->children = FNode->last = nullptr;
      if (!Value.empty()) {
        xmlNodePtr child = Check(xmlNewDocTextLen(FNode->doc, text, length));
        child->parent = FNode;
        FNode->children = FNode->last = child;
      }
      break;
    }
    default:
      xmlNodeSetContentLen(FNode, text, length);
      break;
  }
}

bool TXMLNode::HasAttribute(std::string_view Name) const { return Attribute(Name).has_value(); }

std::optional<std::string> TXMLNode::Attribute(std::string_view Name) const {
  if (NodeType() != ntElement) return std::nullopt;
  if (IsNamespaceDeclaration(Name)) {
    if (xmlNsPtr ns = FindNamespaceDeclaration(FNode, Name)) return FromXml(ns->href);
    return std::nullopt;
  }
  if (xmlAttrPtr a = FindAttribute(FNode, Name)) return TakeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a)));
  return std::nullopt;
}

void TXMLNode::SetAttribute(std::string_view Name, std::string_view Value) {
  ASSERT(NodeType() == ntElement, "SetAttribute of a node that is no element");
  CheckText(Value, Name);
  std::string value(Value);
  if (IsNamespaceDeclaration(Name)) {
    std::string prefix(Name == "xmlns" ? std::string_view() : Name.substr(6));
    if (!prefix.empty() && xmlValidateNCName(X(prefix), 0) != 0) throw EXMLDocError(Format("Invalid XML name \"%s\"", Name));
    if (xmlNsPtr ns = FindNamespaceDeclaration(FNode, Name)) {
      xmlChar* href = Check(xmlStrdup(X(value)));
      xmlFree(const_cast<xmlChar*>(ns->href));
      ns->href = href;
    } else if (!xmlNewNs(FNode, X(value), prefix.empty() ? nullptr : X(prefix))) {
      throw EXMLDocError(Format("Invalid namespace declaration \"%s\"", Name));
    }
    return;
  }
  CheckQName(Name);
  auto [prefix, local] = SplitQName(Name);
  xmlNsPtr ns = prefix.empty() ? nullptr : NamespaceOfPrefix(FNode, prefix);
  Check(xmlSetNsProp(FNode, ns, X(local), X(value)));
}

void TXMLNode::RemoveAttribute(std::string_view Name) {
  ASSERT(NodeType() == ntElement, "RemoveAttribute of a node that is no element");
  // Elements of the subtree may use the declaration; removing it would change their names.
  if (IsNamespaceDeclaration(Name)) throw EXMLDocError(Format("A namespace declaration cannot be removed: \"%s\"", Name));
  if (xmlAttrPtr a = FindAttribute(FNode, Name)) FDocument->Detach(reinterpret_cast<xmlNodePtr>(a));
}

std::vector<std::string> TXMLNode::AttributeNames() const {
  std::vector<std::string> names;
  if (NodeType() == ntElement)
    for (xmlAttrPtr a = FNode->properties; a; a = a->next) names.push_back(QName(reinterpret_cast<xmlNodePtr>(a)));
  return names;
}

void TXMLNode::ClearAttributes() {
  ASSERT(NodeType() == ntElement, "ClearAttributes of a node that is no element");
  while (FNode->properties) FDocument->Detach(reinterpret_cast<xmlNodePtr>(FNode->properties));
}

TXMLNodeList TXMLNode::ChildNodes() const {
  std::vector<xmlNodePtr> children;
  if (NodeType() == ntElement)
    for (xmlNodePtr c = FNode->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) children.push_back(c);
  return TXMLAccess::List(*this, std::move(children));
}

TXMLNode TXMLNode::AddChild(std::string_view Name) {
  ASSERT(NodeType() == ntElement, "AddChild of a node that is no element");
  CheckQName(Name);
  auto [prefix, local] = SplitQName(Name);
  // Without prefix the child takes the default namespace in scope, as it will when read back.
  xmlNsPtr ns = prefix.empty() ? xmlSearchNs(FNode->doc, FNode, nullptr) : NamespaceOfPrefix(FNode, prefix);
  xmlNodePtr child = Check(xmlNewDocNode(FNode->doc, ns, X(local), nullptr));
  xmlAddChild(FNode, child);
  return TXMLAccess::Node(*this, child);
}

TXMLNode TXMLNode::FindNode(std::string_view Name) const {
  if (NodeType() == ntElement)
    for (xmlNodePtr c = FNode->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE && HasQName(c, Name)) return TXMLAccess::Node(*this, c);
  return {};
}

void TXMLNode::RemoveChild(const TXMLNode& Child) {
  ASSERT(FNode != nullptr && Child.FNode != nullptr && Child.FNode->parent == FNode &&
             Child.NodeType() != ntAttribute,
         "RemoveChild of a node that is no child");
  FDocument->Detach(Child.FNode);
}

void TXMLNode::ClearChildNodes() {
  ASSERT(NodeType() == ntElement, "ClearChildNodes of a node that is no element");
  while (FNode->children) FDocument->Detach(FNode->children);
}

TXMLNode TXMLNode::ParentNode() const {
  if (!FNode || !FNode->parent) return {};
  if (FNode->type != XML_ATTRIBUTE_NODE && FNode->parent->type != XML_ELEMENT_NODE) return {};
  return TXMLAccess::Node(*this, FNode->parent);
}

TXMLDocument TXMLNode::OwnerDocument() const {
  ASSERT(FNode != nullptr, "OwnerDocument of a none node");
  return TXMLAccess::Document(*this);
}

// --- TXMLNodeList -------------------------------------------------------------------------------

TXMLNode TXMLNodeList::operator[](int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", Index));
  return TXMLAccess::Node(FDocument, FNodes[static_cast<std::size_t>(Index)]);
}

TXMLNodeListEnumerable EnumerateNodes(const TXMLNodeList& List) { return TXMLNodeListEnumerable{List}; }

// --- TXMLDocument -------------------------------------------------------------------------------

TXMLDocument::TXMLDocument() : FDocument(std::make_shared<TXMLDocumentImpl>()) {}

namespace {
const char* ForcedEncodingName(TXMLEncodingType type) {
  switch (type) {
    case xetUTF_8:
      return "UTF-8";
    case xetUTF_16LE:
      return "UTF-16LE";
    case xetUTF_16BE:
      return "UTF-16BE";
    case xetUnknown:
      break;
  }
  return nullptr;
}

void InstallTree(TXMLDocument& document, xmlDocPtr doc, std::string encoding) {
  TXMLAccess::Impl(document).ReplaceTree(doc, TXMLAccess::HasOtherOwners(document));
  TXMLAccess::Impl(document).Encoding = std::move(encoding);
}
}  // namespace

void TXMLDocument::LoadFromFile(const std::string& FileName) {
  std::string bytes;
  {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    bytes = ReadToEnd(file);
  }
  InstallTree(*this, Parse(bytes, FileName, nullptr, false), DeclaredEncoding(bytes));
}

void TXMLDocument::LoadFromStream(TStream& Stream, TXMLEncodingType EncodingType) {
  std::string bytes = ReadToEnd(Stream);
  const char* forced = ForcedEncodingName(EncodingType);
  InstallTree(*this, Parse(bytes, {}, forced, forced != nullptr), DeclaredEncoding(bytes));
}

void TXMLDocument::LoadFromXML(std::string_view Xml) {
  // The text is UTF-8 already; a declared encoding only says how the document is to be saved.
  InstallTree(*this, Parse(Xml, {}, nullptr, true), DeclaredEncoding(Xml));
}

void TXMLDocument::SaveToFile(const std::string& FileName) const {
  // Serialized first, so that a failure leaves the file as it was.
  std::string bytes = Serialize(FDocument->Doc(), Encoding().empty() ? kDefaultSaveEncoding : Encoding(), true);
  TFileStream file(FileName, fmCreate);
  file.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

void TXMLDocument::SaveToStream(TStream& Stream) const {
  std::string bytes = Serialize(FDocument->Doc(), Encoding().empty() ? kDefaultSaveEncoding : Encoding(), true);
  Stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

std::string TXMLDocument::XML() const {
  xmlDocPtr doc = FDocument->Doc();
  std::string version = doc->version ? FromXml(doc->version) : "1.0";
  std::string declaration = Encoding().empty()
                                ? Format("<?xml version=\"%s\"?>\n", version)
                                : Format("<?xml version=\"%s\" encoding=\"%s\"?>\n", version, Encoding());
  return declaration + Serialize(doc, "UTF-8", false);
}

const std::string& TXMLDocument::Encoding() const { return FDocument->Encoding; }

void TXMLDocument::SetEncoding(std::string_view Value) {
  std::string name(Value);
  if (!name.empty()) {
    EnsureParserInitialised();
    TLibxmlErrors errors;
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(name.c_str());
    if (!handler) throw EXMLDocError(Format("Unsupported encoding \"%s\"", name));
    xmlCharEncCloseFunc(handler);
  }
  FDocument->Encoding = std::move(name);
}

TXMLNode TXMLDocument::DocumentElement() const {
  return TXMLAccess::Node(FDocument, xmlDocGetRootElement(FDocument->Doc()));
}

TXMLNode TXMLDocument::AddChild(std::string_view Name) {
  if (xmlDocGetRootElement(FDocument->Doc())) throw EXMLDocError("The document has a document element already");
  CheckQName(Name);
  auto [prefix, local] = SplitQName(Name);
  if (!prefix.empty()) throw EXMLDocError(Format("Undeclared namespace prefix \"%s\"", prefix));
  xmlNodePtr root = Check(xmlNewDocNode(FDocument->Doc(), nullptr, X(local), nullptr));
  xmlDocSetRootElement(FDocument->Doc(), root);
  return TXMLAccess::Node(FDocument, root);
}

// --- text ---------------------------------------------------------------------------------------

bool IsValidXmlText(std::string_view S) {
  for (std::size_t i = 0; i < S.size();) {
    const TDecodedChar c = DecodeUtf8Char(S, i);
    if (!c.Valid || c.Code == 0xFFFE || c.Code == 0xFFFF) return false;
    if (c.Code < 0x20 && c.Code != '\t' && c.Code != '\n' && c.Code != '\r') return false;
    i += c.Length;
  }
  return true;
}

std::string RemoveInvalidXmlChars(std::string_view S) {
  // Bytes below 0x20 never occur inside a multi-byte UTF-8 sequence, so they go byte by byte.
  auto invalid = [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 && u != '\t' && u != '\n' && u != '\r';
  };
  std::string result(S);
  if (std::none_of(S.begin(), S.end(), invalid)) return result;
  result.erase(std::remove_if(result.begin(), result.end(), invalid), result.end());
  return result;
}

// --- XPath --------------------------------------------------------------------------------------

TXMLNode SelectNode(const TXMLNode& Node, std::string_view XPath, std::string_view Namespaces) {
  xmlNodePtr node = TXMLAccess::Raw(Node);
  if (!node) return {};
  TXPathResult result = EvaluateNodeSet(node, XPath, Namespaces);
  if (xmlNodeSetPtr set = result->nodesetval)
    for (int i = 0; i < set->nodeNr; ++i)
      if (IsSelectable(set->nodeTab[i]->type)) return TXMLAccess::Node(Node, set->nodeTab[i]);
  return {};
}

TXMLNode SelectNodeStrict(const TXMLNode& Node, std::string_view XPath, std::string_view Namespaces) {
  TXMLNode found = SelectNode(Node, XPath, Namespaces);
  if (!found) throw EXMLNodeNotFound(Format(SNodeNotFound, XPath));
  return found;
}

TXMLNodeList SelectNodes(const TXMLNode& Node, std::string_view XPath, std::string_view Namespaces) {
  xmlNodePtr node = TXMLAccess::Raw(Node);
  if (!node) return {};
  TXPathResult result = EvaluateNodeSet(node, XPath, Namespaces);
  std::vector<xmlNodePtr> nodes;
  if (xmlNodeSetPtr set = result->nodesetval)
    for (int i = 0; i < set->nodeNr; ++i)
      if (IsSelectable(set->nodeTab[i]->type)) nodes.push_back(set->nodeTab[i]);
  return TXMLAccess::List(Node, std::move(nodes));
}

// --- attributes and text ------------------------------------------------------------------------

std::string GetNodeText(const TXMLNode& Node, std::string_view Default) {
  return Node ? Node.Text() : std::string(Default);
}

std::string GetAttrValue(const TXMLNode& Node, std::string_view AttrName, bool Required) {
  std::string value = Node.Attribute(AttrName).value_or(std::string());
  if (Required && value.empty()) throw EInvalidXMLData(Format(SRequiredAttrMissing, AttrName, Node.NodeName()));
  return value;
}

std::string GetAttrDef(const TXMLNode& Node, std::string_view AttrName, std::string_view Default) {
  return Node.Attribute(AttrName).value_or(std::string(Default));
}

std::int32_t GetIntAttrDef(const TXMLNode& Node, std::string_view AttrName, std::int32_t Default) {
  auto value = Node.Attribute(AttrName);
  return value ? StrToIntDef(*value, Default) : Default;
}

bool GetBoolAttrDef(const TXMLNode& Node, std::string_view AttrName, bool Default) {
  auto value = Node.Attribute(AttrName);
  return value ? StrToBool(*value) : Default;
}

double GetFloatAttrDef(const TXMLNode& Node, std::string_view AttrName, double Default) {
  auto value = Node.Attribute(AttrName);
  double result;
  return value && TryStrToFloat(*value, result, platform::FormatSettings()) ? result : Default;
}

void SetAttrValue(const TXMLNode& Node, std::string_view AttrName, std::string_view Value) {
  if (Value.empty()) return;
  TXMLNode(Node).SetAttribute(AttrName, RemoveInvalidXmlChars(Value));
}

void SetIntAttr(const TXMLNode& Node, std::string_view AttrName, std::int32_t Value, std::int32_t Default) {
  if (Value != Default) TXMLNode(Node).SetAttribute(AttrName, IntToStr(Value));
}

void SetBoolAttr(const TXMLNode& Node, std::string_view AttrName, bool Value) {
  TXMLNode(Node).SetAttribute(AttrName, Value ? "true" : "false");
}

void SetFloatAttr(const TXMLNode& Node, std::string_view AttrName, double Value) {
  TXMLNode(Node).SetAttribute(AttrName, FloatToStr(Value, platform::FormatSettings()));
}

// --- loading with translated failures -----------------------------------------------------------

void HandleInvalidMSXMLVersionError() {
  ASSERT(std::current_exception() != nullptr,
         "Функцию HandleInvalidMSXMLVersionError нужно вызывать ТОЛЬКО в except блоке");
  // The too-old-parser condition belongs to one platform parser; libxml2 has no such failure.
}

void HandleLoadXmlFileError(std::string_view FileName) {
  std::exception_ptr handled = std::current_exception();
  ASSERT(handled != nullptr, "Функцию HandleLoadXmlFileError нужно вызывать ТОЛЬКО в except блоке");
  // Raised inside the handlers below, EInvalidXMLFile takes the handled exception as its inner one.
  try {
    std::rethrow_exception(handled);
  } catch (const std::exception& e) {
    throw EInvalidXMLFile(Format(SErrorLoadingFileWithReason, FileName, e.what()));
  } catch (...) {
    throw EInvalidXMLFile(Format(SErrorLoadingFile, FileName));
  }
}

TXMLDocument LoadXmlFile(const std::string& FileName) {
  TXMLDocument document;
  LoadDocumentFromFile(document, FileName);
  return document;
}

void LoadDocumentFromFile(TXMLDocument& Doc, const std::string& FileName) {
  try {
    Doc.LoadFromFile(FileName);
  } catch (...) {
    HandleInvalidMSXMLVersionError();
    HandleLoadXmlFileError(FileName);
  }
}

TXMLDocument LoadXmlFromStream(TStream& Stream, TXMLEncodingType EncodingType) {
  TXMLDocument document;
  document.LoadFromStream(Stream, EncodingType);
  return document;
}
