#include "Common.OptionsStorage.XML.h"

#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"
#include "Runtime.Strings.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace {
constexpr const char* kRootName = "Options";
constexpr const char* kNewFileEncoding = "windows-1251";
constexpr char kSectionDelimiter = '\\';

std::string JoinSubkey(const std::string& Path, std::string_view Name) {
  std::string result = Path;
  result += kSectionDelimiter;
  result += Name;
  return result;
}
}  // namespace

// --- TCustomXMLOptionsStorage -----------------------------------------------------------------

TCustomXMLOptionsStorage::TCustomXMLOptionsStorage(const std::string& AFileName)
    : FDoc(OpenDocument(AFileName, false)), FNode(FDoc.DocumentElement()), FFileName(AFileName) {}

TCustomXMLOptionsStorage::TCustomXMLOptionsStorage(TXMLDocument ADoc, std::string ASubkey, std::string AFileName)
    : FDoc(std::move(ADoc)), FSubkey(std::move(ASubkey)), FFileName(std::move(AFileName)) {}

TXMLDocument TCustomXMLOptionsStorage::OpenDocument(const std::string& AFileName, bool IgnoreInvalidFile) {
  TXMLDocument doc;
  if (platform::FileExists(AFileName)) {
    try {
      LoadDocumentFromFile(doc, AFileName);
    } catch (const EInvalidXMLFile&) {
      if (!IgnoreInvalidFile) throw;
      doc = TXMLDocument();  // loading may have failed half-way
    }
  }
  if (!doc.DocumentElement()) doc.AddChild(kRootName);
  return doc;
}

void TCustomXMLOptionsStorage::LocateNode() {
  FNode = FDoc.DocumentElement();
  ASSERT(FNode, "LocateNode: the document has no root element");
  for (const std::string& part : SplitString(FSubkey, kSectionDelimiter)) {
    if (part.empty()) continue;
    TXMLNode child = FNode.FindNode(part);
    if (!child) {
      if (IsReadOnly()) {
        FNode = TXMLNode();
        return;
      }
      child = FNode.AddChild(part);
    }
    FNode = child;
  }
}

// --- TXmlOptionsReader ------------------------------------------------------------------------

TXmlOptionsReader::TXmlOptionsReader(const std::string& AFileName) : TCustomXMLOptionsStorage(AFileName) {}

TXmlOptionsReader::TXmlOptionsReader(TXMLDocument ADoc, std::string ASubkey)
    : TCustomXMLOptionsStorage(std::move(ADoc), std::move(ASubkey)) {
  LocateNode();
}

std::int32_t TXmlOptionsReader::ReadInteger(std::string_view Name, std::int32_t Default) const {
  return FNode ? GetIntAttrDef(FNode, Name, Default) : Default;
}

std::string TXmlOptionsReader::ReadString(std::string_view Name, std::string_view Default) const {
  return FNode ? GetAttrDef(FNode, Name, Default) : std::string(Default);
}

bool TXmlOptionsReader::ReadBool(std::string_view Name, bool Default) const {
  return FNode ? GetBoolAttrDef(FNode, Name, Default) : Default;
}

double TXmlOptionsReader::ReadFloat(std::string_view Name, double Default) const {
  return FNode ? GetFloatAttrDef(FNode, Name, Default) : Default;
}

std::vector<std::string> TXmlOptionsReader::GetSubkeyNames() const {
  std::vector<std::string> names;
  if (FNode)
    for (TXMLNode child : EnumerateNodes(FNode.ChildNodes())) names.push_back(child.NodeName());
  return names;
}

bool TXmlOptionsReader::ValueExists(std::string_view Name) const { return FNode && FNode.HasAttribute(Name); }

std::shared_ptr<IOptionsReader> TXmlOptionsReader::OpenSubkey(std::string_view Name) const {
  ASSERT(!Name.empty(), "OpenSubkey: пустое имя раздела");
  if (!FNode) return std::make_shared<TFakeOptionsReader>();
  return std::make_shared<TXmlOptionsReader>(FDoc, JoinSubkey(FSubkey, Name));
}

// --- TXmlOptionsWriter ------------------------------------------------------------------------

TXmlOptionsWriter::TXmlOptionsWriter(const std::string& AFileName)
    : TXmlOptionsWriter(OpenDocument(AFileName, true), std::string(), AFileName) {}

TXmlOptionsWriter::TXmlOptionsWriter(TXMLDocument ADoc, std::string ASubkey, std::string AFileName)
    : TCustomXMLOptionsStorage(std::move(ADoc), std::move(ASubkey), std::move(AFileName)) {
  LocateNode();
}

void TXmlOptionsWriter::WriteInteger(std::string_view Name, std::int32_t Value, std::int32_t Default) {
  if (Value != Default && Value != 0) SetIntAttr(FNode, Name, Value, Default);
}

void TXmlOptionsWriter::WriteString(std::string_view Name, std::string_view Value, std::string_view Default) {
  if (Value != Default) SetAttrValue(FNode, Name, Value);
}

void TXmlOptionsWriter::WriteBool(std::string_view Name, bool Value) { SetBoolAttr(FNode, Name, Value); }

void TXmlOptionsWriter::WriteFloat(std::string_view Name, double Value, double /*Default*/) {
  SetFloatAttr(FNode, Name, Value);
}

std::shared_ptr<IOptionsWriter> TXmlOptionsWriter::OpenSubkey(std::string_view Name) {
  return std::make_shared<TXmlOptionsWriter>(FDoc, JoinSubkey(FSubkey, Name), FFileName);
}

void TXmlOptionsWriter::EraseSection() {
  FNode.ClearChildNodes();
  FNode.ClearAttributes();
}

void TXmlOptionsWriter::Save() {
  if (std::string folder = ExtractFileDir(FFileName); !folder.empty()) platform::ForceDirectories(folder);
  if (FDoc.Encoding().empty()) FDoc.SetEncoding(kNewFileEncoding);
  // The client's settings must survive a failed save (a full disk, say): the old file is replaced
  // only by a complete new one.
  TMemoryStream bytes;
  FDoc.SaveToStream(bytes);
  platform::WriteFileAtomically(FFileName, std::string_view(reinterpret_cast<const char*>(bytes.Memory()),
                                                            static_cast<std::size_t>(bytes.Size())));
}
