#pragma once
// The XML document binding (documents, nodes, node lists) and the helpers every XML user shares:
// XPath selection with caller-declared namespace prefixes, typed attribute access with defaults,
// loading of files with parser failures translated into readable messages, the XML exceptions.
//
// Documents and nodes are handles: copying one shares the same document, and a node keeps its
// document alive. Strings are UTF-8 in memory whatever encoding a file is in.

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Common.ExceptionEx.h"
#include "Runtime.Exceptions.h"

class TStream;
struct _xmlNode;
class TXMLDocumentImpl;  // owns the parsed tree; defined with the binding

// --- exceptions -------------------------------------------------------------------------------

// Misuse of the document binding by data: an invalid element or attribute name, text with
// characters XML cannot hold, an unknown encoding, an XPath query the engine rejects.
KV_DECLARE_EXCEPTION(EXMLDocError, Exception);

// The parser's own failure: its reason text with line and column.
class EXMLParseError : public EXMLDocError {
 public:
  EXMLParseError(std::string Reason, int Line, int Column);
  const std::string& Reason() const { return FReason; }
  int Line() const { return FLine; }
  int Column() const { return FColumn; }

 private:
  std::string FReason;
  int FLine;
  int FColumn;
};

KV_DECLARE_EXCEPTION(EInvalidXMLData, ExceptionEx);
KV_DECLARE_EXCEPTION(EXMLNodeNotFound, EInvalidXMLData);

class EInvalidXMLFile : public ExceptionEx {
 public:
  using ExceptionEx::ExceptionEx;
  static EInvalidXMLFile Create4FileName(std::string_view FileName);
  static EInvalidXMLFile InvalidRootNodeName(std::string_view FactNodeName, std::string_view ExpectedNodeName);
  static EInvalidXMLFile EmptyData();
  // Raises InvalidRootNodeName unless the names are equal ignoring the case of A to Z.
  static void CheckValidXMLRoot(std::string_view FactNodeName, std::string_view ExpectedNodeName);
};

// The parser is too old for the system. No parser of this build is, so nothing raises it.
class EWrongMSXML : public Exception {
 public:
  using Exception::Exception;
  std::string ClassNameAndMessage() const { return FormatClassNameAndMessage(*this); }
  void IncludeOperationNameAsFirst(std::string_view OpName) { PrefixOperationName(*this, OpName); }
};

// --- the document binding ---------------------------------------------------------------------

class TXMLDocument;
class TXMLNodeList;

enum TXMLNodeType : int { ntElement, ntAttribute, ntText, ntCData, ntComment, ntProcessingInstruction, ntOther };

// A node of a document, or none. Element nodes are what the system works with; XPath queries
// may also select attributes, text, comments and processing instructions, which answer
// NodeName, Text and ParentNode and have no attributes or children.
//
// Nodes removed from their document (RemoveChild, ClearChildNodes, SetText, attribute removal)
// stay valid, detached, until the document itself goes.
class TXMLNode {
 public:
  TXMLNode() = default;  // none
  explicit operator bool() const { return FNode != nullptr; }
  // The same node of the same document.
  bool operator==(const TXMLNode& Other) const { return FNode == Other.FNode; }

  TXMLNodeType NodeType() const;
  // The qualified name as written ("d:href"); "#text", "#cdata-section", "#comment" for those
  // kinds; "" for none.
  std::string NodeName() const;
  std::string LocalName() const;
  std::string NamespaceURI() const;  // "" without namespace

  // The concatenated text of the node and its descendants (an attribute's value); "" for none.
  std::string Text() const;
  // Replaces the children of an element by one text node (none for ""), or sets the value of
  // an attribute or text node. EXMLDocError for text XML cannot hold (see IsValidXmlText).
  void SetText(std::string_view Value);

  // Attributes by qualified name; "xmlns" and "xmlns:p" read the namespace declarations.
  bool HasAttribute(std::string_view Name) const;
  std::optional<std::string> Attribute(std::string_view Name) const;  // nullopt when missing
  // Creates or replaces an attribute. A prefixed name needs its prefix declared in scope;
  // "xmlns:p" declares a namespace. EXMLDocError for an invalid name or text.
  void SetAttribute(std::string_view Name, std::string_view Value);
  void RemoveAttribute(std::string_view Name);  // nothing when missing
  std::vector<std::string> AttributeNames() const;  // in document order
  void ClearAttributes();  // namespace declarations stay

  // The element children, in document order, as they are now.
  TXMLNodeList ChildNodes() const;
  // Appends a new child element. A prefixed name needs its prefix declared in scope; an
  // unprefixed one takes the default namespace in scope. EXMLDocError for an invalid name.
  TXMLNode AddChild(std::string_view Name);
  // The first child element whose qualified name is exactly Name, or none.
  TXMLNode FindNode(std::string_view Name) const;
  void RemoveChild(const TXMLNode& Child);  // Child must be a child of this node
  void ClearChildNodes();  // every child: elements, text, comments
  // The parent element (an attribute's owner element); none for the document element.
  TXMLNode ParentNode() const;
  TXMLDocument OwnerDocument() const;  // the node must not be none

 private:
  friend struct TXMLAccess;
  TXMLNode(std::shared_ptr<TXMLDocumentImpl> Document, _xmlNode* Node)
      : FDocument(std::move(Document)), FNode(Node) {}

  std::shared_ptr<TXMLDocumentImpl> FDocument;
  _xmlNode* FNode = nullptr;
};

// A list of nodes taken at one moment; a none list (from SelectNodes on a none node) is empty.
class TXMLNodeList {
 public:
  TXMLNodeList() = default;  // none
  explicit operator bool() const { return FAssigned; }
  int Count() const { return static_cast<int>(FNodes.size()); }
  // EListError for an index outside 0 .. Count-1.
  TXMLNode operator[](int Index) const;
  TXMLNode Nodes(int Index) const { return (*this)[Index]; }

 private:
  friend struct TXMLAccess;
  std::shared_ptr<TXMLDocumentImpl> FDocument;
  std::vector<_xmlNode*> FNodes;
  bool FAssigned = false;
};

// How the bytes of a stream are read: xetUnknown follows the byte-order mark and the declared
// encoding; the others force their encoding and ignore the declaration.
enum TXMLEncodingType : int { xetUnknown, xetUTF_8, xetUTF_16LE, xetUTF_16BE };

// An XML 1.0 document. A new one is empty: no document element, no declared encoding.
// Loading keeps nothing of the old contents; files are parsed without network access, without
// loading external DTDs or entities, and without substituting entities. Saving indents.
class TXMLDocument {
 public:
  TXMLDocument();

  // Parser failures raise EXMLParseError; file failures the platform's file errors.
  void LoadFromFile(const std::string& FileName);
  // Reads from the stream's position to its end.
  void LoadFromStream(TStream& Stream, TXMLEncodingType EncodingType = xetUnknown);
  // UTF-8 text; a declared encoding is kept as the document's Encoding but not applied.
  void LoadFromXML(std::string_view Xml);

  // Written in Encoding, or in "windows-1251" when the document declares none.
  void SaveToFile(const std::string& FileName) const;
  void SaveToStream(TStream& Stream) const;
  // The document as UTF-8 text, indented, with a declaration naming Encoding (none if empty).
  std::string XML() const;

  // The declared encoding of a loaded document ("" when it declares none), or the one set.
  const std::string& Encoding() const;
  void SetEncoding(std::string_view Value);  // EXMLDocError for an encoding the system lacks

  TXMLNode DocumentElement() const;  // none when the document has none
  // Creates the document element. EXMLDocError when there is one already.
  TXMLNode AddChild(std::string_view Name);

  // The same document.
  bool operator==(const TXMLDocument& Other) const { return FDocument == Other.FDocument; }

 private:
  friend struct TXMLAccess;
  explicit TXMLDocument(std::shared_ptr<TXMLDocumentImpl> Document) : FDocument(std::move(Document)) {}

  std::shared_ptr<TXMLDocumentImpl> FDocument;
};

// Valid UTF-8 made only of characters XML 1.0 allows (no control characters but tab, line feed
// and carriage return; no U+FFFE, U+FFFF).
bool IsValidXmlText(std::string_view S);

// --- enumeration ------------------------------------------------------------------------------

// for (TXMLNode node : EnumerateNodes(SelectNodes(...)))
struct TXMLNodeListEnumerable {
  TXMLNodeList FList;

  struct TEnumerator {
    TXMLNodeList FList;
    int FIndex;
    explicit TEnumerator(TXMLNodeList List) : FList(std::move(List)), FIndex(-1) {}
    bool MoveNext() { return ++FIndex < FList.Count(); }
    TXMLNode Current() const { return FList[FIndex]; }
  };
  TEnumerator GetEnumerator() const { return TEnumerator(FList); }

  // Range-for over the enumerator.
  class iterator {
   public:
    using value_type = TXMLNode;
    using difference_type = std::ptrdiff_t;
    explicit iterator(TEnumerator Enumerator) : FEnumerator(std::move(Enumerator)) { FValid = FEnumerator.MoveNext(); }
    TXMLNode operator*() const { return FEnumerator.Current(); }
    iterator& operator++() {
      FValid = FEnumerator.MoveNext();
      return *this;
    }
    bool operator==(std::default_sentinel_t) const { return !FValid; }

   private:
    TEnumerator FEnumerator;
    bool FValid;
  };
  iterator begin() const { return iterator(GetEnumerator()); }
  std::default_sentinel_t end() const { return {}; }
};

TXMLNodeListEnumerable EnumerateNodes(const TXMLNodeList& List);

// --- XPath ------------------------------------------------------------------------------------
// XPath 1.0 relative to Node. Namespaces declares the prefixes the query may use, in the form
// "xmlns:d=\"DAV:\"", several separated by blanks; a prefix matches by namespace URI, not by the
// prefix the document happens to use. EXMLDocError for a malformed declaration list or a query
// the engine rejects (syntax, undeclared prefix, a result that is no node set).

// The first matching node, or none (also for a none Node).
TXMLNode SelectNode(const TXMLNode& Node, std::string_view XPath, std::string_view Namespaces = {});
// The first matching node; EXMLNodeNotFound when there is none.
TXMLNode SelectNodeStrict(const TXMLNode& Node, std::string_view XPath, std::string_view Namespaces = {});
// Every matching node in document order (an empty list for no match); a none list for a none Node.
TXMLNodeList SelectNodes(const TXMLNode& Node, std::string_view XPath, std::string_view Namespaces = {});

// --- attributes and text ----------------------------------------------------------------------

// Node's text, or Default when Node is none.
std::string GetNodeText(const TXMLNode& Node, std::string_view Default);
// The attribute's text ("" when Node is none or the attribute missing). With Required an empty
// result raises EInvalidXMLData naming the attribute and the element.
std::string GetAttrValue(const TXMLNode& Node, std::string_view AttrName, bool Required);
std::string GetAttrDef(const TXMLNode& Node, std::string_view AttrName, std::string_view Default);
// Decimal (or "$"/"0x" hexadecimal) integer text; anything else gives Default.
std::int32_t GetIntAttrDef(const TXMLNode& Node, std::string_view AttrName, std::int32_t Default);
// "true"/"false" in any case, or a number where 0 is false; other text raises EConvertError.
bool GetBoolAttrDef(const TXMLNode& Node, std::string_view AttrName, bool Default);
// A number with the decimal separator of the user's format settings; anything else gives Default.
double GetFloatAttrDef(const TXMLNode& Node, std::string_view AttrName, double Default);

// Nothing for an empty Value (an attribute there keeps its value); otherwise the value without
// the control characters XML cannot hold, even if nothing is left of it.
void SetAttrValue(const TXMLNode& Node, std::string_view AttrName, std::string_view Value);
// Written only when Value differs from Default.
void SetIntAttr(const TXMLNode& Node, std::string_view AttrName, std::int32_t Value, std::int32_t Default);
void SetBoolAttr(const TXMLNode& Node, std::string_view AttrName, bool Value);  // "true"/"false"
// The user's number format, so that GetFloatAttrDef reads it back.
void SetFloatAttr(const TXMLNode& Node, std::string_view AttrName, double Value);

// S without the characters 0-8, 11, 12 and 14-31 (tab, line feed, carriage return stay).
std::string RemoveInvalidXmlChars(std::string_view S);

// --- loading with translated failures ---------------------------------------------------------

// For handlers around XML parsing; asserts that an exception is being handled. Raises
// EWrongMSXML when the handled exception says the parser is too old; none of this build does.
void HandleInvalidMSXMLVersionError();
// For handlers around loading a file; asserts that an exception is being handled. Raises
// EInvalidXMLFile "Ошибка при загрузке файла \"<FileName>\"\r\n<message>" with the handled
// exception as its inner exception.
[[noreturn]] void HandleLoadXmlFileError(std::string_view FileName);

// The file as a new document; any failure raises EInvalidXMLFile (or EWrongMSXML).
TXMLDocument LoadXmlFile(const std::string& FileName);
// Loads the file into Doc, with the same translation of failures.
void LoadDocumentFromFile(TXMLDocument& Doc, const std::string& FileName);
// The stream as a new document; failures pass through untranslated (EXMLParseError, ...).
TXMLDocument LoadXmlFromStream(TStream& Stream, TXMLEncodingType EncodingType = xetUnknown);
