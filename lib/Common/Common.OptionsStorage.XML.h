#pragma once
// Options storage in an XML file: the root element is the top section, a section is an element,
// its values are the element's attributes and its child sections are child elements. Sections are
// addressed by element names joined with "\" below the root ("Connections\Connection_1"); empty
// parts are skipped, and a name addresses the first child element of that name.
//
// A missing file reads as empty; readers and writers of one file share its document, and nothing
// reaches the disk before Save.

#include <string>

#include "Common.OptionsStorage.h"
#include "Common.XMLUtils.h"

class TCustomXMLOptionsStorage {
 public:
  virtual ~TCustomXMLOptionsStorage() = default;
  TCustomXMLOptionsStorage(const TCustomXMLOptionsStorage&) = delete;
  TCustomXMLOptionsStorage& operator=(const TCustomXMLOptionsStorage&) = delete;

  // A reader stops at the first section that is not there; a writer creates what is missing.
  virtual bool IsReadOnly() const = 0;

  const std::string& FileName() const { return FFileName; }
  const std::string& Subkey() const { return FSubkey; }

 protected:
  // Opens the file for reading, on the root section. A file that exists and cannot be loaded
  // raises EInvalidXMLFile with the parser's failure as inner exception.
  explicit TCustomXMLOptionsStorage(const std::string& AFileName);
  // A section of an open document. The current element is found by LocateNode, which the derived
  // constructor calls, as finding it depends on IsReadOnly.
  TCustomXMLOptionsStorage(TXMLDocument ADoc, std::string ASubkey, std::string AFileName = {});

  void LocateNode();
  // An empty document, with the file loaded when it exists; the root element is created in
  // memory when there is none.
  static TXMLDocument OpenDocument(const std::string& AFileName, bool IgnoreInvalidFile);

  TXMLDocument FDoc;
  TXMLNode FNode;  // none when the section is not there (readers only)
  std::string FSubkey;
  std::string FFileName;
};

class TXmlOptionsReader final : public TCustomXMLOptionsStorage, public IOptionsReader {
 public:
  explicit TXmlOptionsReader(const std::string& AFileName);
  TXmlOptionsReader(TXMLDocument ADoc, std::string ASubkey);

  bool IsReadOnly() const override { return true; }

  std::int32_t ReadInteger(std::string_view Name, std::int32_t Default) const override;
  std::string ReadString(std::string_view Name, std::string_view Default) const override;
  bool ReadBool(std::string_view Name, bool Default) const override;
  double ReadFloat(std::string_view Name, double Default) const override;
  std::vector<std::string> GetSubkeyNames() const override;
  bool ValueExists(std::string_view Name) const override;
  // Below a section that is not there, a TFakeOptionsReader.
  std::shared_ptr<IOptionsReader> OpenSubkey(std::string_view Name) const override;
  bool IsMissing() const override { return !FNode; }
};

class TXmlOptionsWriter final : public TCustomXMLOptionsStorage, public IOptionsWriter {
 public:
  // A file that cannot be loaded is treated as empty and replaced on Save.
  explicit TXmlOptionsWriter(const std::string& AFileName);
  TXmlOptionsWriter(TXMLDocument ADoc, std::string ASubkey, std::string AFileName);

  bool IsReadOnly() const override { return false; }

  void WriteInteger(std::string_view Name, std::int32_t Value, std::int32_t Default) override;
  // Control characters other than tab, line feed and carriage return are left out.
  void WriteString(std::string_view Name, std::string_view Value, std::string_view Default) override;
  void WriteBool(std::string_view Name, bool Value) override;  // "true" / "false"
  void WriteFloat(std::string_view Name, double Value, double Default) override;
  std::shared_ptr<IOptionsWriter> OpenSubkey(std::string_view Name) override;
  void EraseSection() override;
  // Creates the file's folder when needed. A document without declared encoding is written in
  // "windows-1251"; a declared one is kept. The file is replaced whole through a temporary file
  // beside it, so a failed save leaves the old file as it was.
  void Save() override;
};
