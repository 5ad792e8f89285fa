#pragma once
// Where the product's code gets its options readers and writers: on the client's XML options files.

#include <memory>
#include <string>

#include "Common.OptionsStorage.h"

class TOptionsStorageFactory {
 public:
  TOptionsStorageFactory() = delete;

  // The root section of the file. A missing file reads as empty; one that cannot be loaded
  // raises EInvalidXMLFile.
  static std::shared_ptr<IOptionsReader> CreateReader(const std::string& XmlFileName);
  // The root section of the file; a missing or broken file starts as a new document. With
  // RewriteMode everything below the root is erased at once, so that the file will hold only
  // what is written from now on (the root element and the XML declaration stay).
  static std::shared_ptr<IOptionsWriter> CreateWriter(const std::string& XmlFileName, bool RewriteMode = false);
};
