// The WebDAV multistatus reader on arbitrary server answers. An answer is either refused by an
// exception or read into entries whose names are whole UTF-8 text and whose sizes are never
// negative.

#include <cstdint>

#include "Common.Net.WebDAV.h"
#include "FuzzSupport.h"
#include "Runtime.Strings.h"

std::vector<std::string> FuzzSeeds() {
  const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  return {
      head + "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/dav/</D:href><D:propstat><D:prop>"
             "<D:resourcetype><D:collection/></D:resourcetype><D:getlastmodified>Tue, 07 Jul 2015 07:33:23 GMT"
             "</D:getlastmodified></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>"
             "<D:response><D:href>/dav/%D0%B8%20x.xml</D:href><D:propstat><D:prop><D:getcontentlength>5368709120"
             "</D:getcontentlength><D:getlastmodified>2015-07-07T07:33:23.120+03:00</D:getlastmodified></D:prop>"
             "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response></D:multistatus>",
      head + "<multistatus xmlns=\"DAV:\"><response><href>a%2Fb</href><propstat><prop><getcontentlength/></prop>"
             "<status>HTTP/1.1 404 Not Found</status></propstat><propstat><prop><getcontentlength>7</getcontentlength>"
             "<getlastmodified>2015</getlastmodified></prop></propstat></response></multistatus>",
      "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>/</d:href></d:response></d:multistatus>",
  };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    TXMLDocument document;
    document.LoadFromXML(std::string_view(reinterpret_cast<const char*>(data), size));
    const TPropFind listing(document.DocumentElement());
    for (const auto& entry : listing.Entries()) {
      if (entry->ContentSize() < 0) FuzzFailure("negative size");
      const std::string& name = entry->EntryName();
      if (Utf16ToUtf8(Utf8ToUtf16(name)) != name) FuzzFailure("entry name is no UTF-8 text");
    }
  } catch (const EAssertionFailed&) {
    FuzzFailure("assertion on input data");
  } catch (const Exception&) {
    // A malformed answer is refused by an exception: the expected outcome.
  }
  return 0;
}
