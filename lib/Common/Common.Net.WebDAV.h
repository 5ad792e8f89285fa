#pragma once
// WebDAV folder listings: a PROPFIND of one collection and its members, read from the server's
// multistatus answer into entries with URL, name, change date, size, status and kind.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Common.Classes.h"
#include "Common.XMLUtils.h"
#include "Runtime.DateTime.h"

class TWinInetWebClient;

// One d:response of a multistatus answer.
class TPropFindEntry {
 public:
  // EXMLNodeNotFound when the element has no d:href; the date readers' errors pass on.
  explicit TPropFindEntry(const TXMLNode& ResponseXML);

  // The last segment of the URL, without a trailing "/", percent-decoded.
  const std::string& EntryName() const { return FEntryName; }
  const std::string& Url() const { return FUrl; }
  TDateTime ChangeDate() const { return FChangeDate; }  // local time; 0 when unknown
  std::int64_t ContentSize() const { return FContentSize; }
  const std::string& Status() const { return FStatus; }
  bool IsContainer() const { return FIsContainer; }
  const TXMLNode& XML() const { return FXML; }

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 private:
  std::string FUrl;
  TDateTime FChangeDate = 0;
  std::int64_t FContentSize = 0;
  std::string FStatus;
  bool FIsContainer = false;
  std::string FEntryName;
  TXMLNode FXML;
};

// The entries of a multistatus answer in document order; the document lives as long as this.
class TPropFind {
 public:
  explicit TPropFind(const TXMLNode& AResponse);

  const TXMLNode& XML() const { return FXML; }
  const std::vector<std::unique_ptr<TPropFindEntry>>& Entries() const { return FEntries; }
  std::int32_t EntryCount() const { return static_cast<std::int32_t>(FEntries.size()); }

  TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }

 private:
  std::vector<std::unique_ptr<TPropFindEntry>> FEntries;
  TXMLNode FXML;
};

// The collection at Url and its direct members ("Depth: 1"), with a web client in its initial
// settings. Transport and status failures come from the web client; a body that is no XML raises
// the parser's error.
TSharedPtr<TPropFind> RequestPropFind(const std::string& Url);
// The same through a client the caller has set up (login, proxy, the credential dialog); its
// "Depth" header is set to 1.
TSharedPtr<TPropFind> RequestPropFind(TWinInetWebClient& Client, const std::string& Url);

// ISO 8601 date and time as written, local, without fraction or offset correction; false for
// text in no such form. Exception "Не поддерживаются промежутки времени" for a text with "P";
// EConvertError for impossible field values.
bool TryISO8601ToDateTime(std::string_view Text, TDateTime& Value);
TDateTime ISO8601ToDateTimeDef(std::string_view Text, TDateTime Default);
// The HTTP date of RFC 1123 ("Tue, 07 Jul 2015 07:33:23 GMT") as local time; false otherwise.
bool TryHttpDateToDateTime(std::string_view Text, TDateTime& Value);
