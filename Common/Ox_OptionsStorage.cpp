#include "Ox_OptionsStorage.h"

#include "Common.OptionsStorage.XML.h"

std::shared_ptr<IOptionsReader> TOptionsStorageFactory::CreateReader(const std::string& XmlFileName) {
  return std::make_shared<TXmlOptionsReader>(XmlFileName);
}

std::shared_ptr<IOptionsWriter> TOptionsStorageFactory::CreateWriter(const std::string& XmlFileName, bool RewriteMode) {
  auto writer = std::make_shared<TXmlOptionsWriter>(XmlFileName);
  if (RewriteMode) writer->EraseSection();
  return writer;
}
