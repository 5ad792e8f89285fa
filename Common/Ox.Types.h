#pragma once
// Names shared by the product modules and the wizard.

#include <string_view>

#include "Common.EnumInfo.h"

// The host of the maker's web document service. It is the reserved value of the "connections"
// section of the wizard's "settings.ini", the text of the wizard's web-service node and the caption
// of the web-service connection.
inline constexpr std::string_view WebServiceHost = "docs.orvel-kvelo.ru";

// The service's domain: its host without the first label.
inline constexpr std::string_view WebServiceDomain = WebServiceHost.substr(WebServiceHost.find('.') + 1);

// The namespace of the estimate properties that the web document service keeps on its WebDAV
// resources (the document type "KveloDocType", ...). Fixed by the service, so any server holding
// estimate documents for the client uses it too.
inline constexpr std::string_view EstimateNamespaceUri = "http://docs.orvel-kvelo.ru/ns/estimate/";

// What an estimate document is. Servers and files store the ordinal as a number; the properties
// text stores the name.
enum TKveloDocumentType : int {
  sdtKvelo,          // estimate
  sdtObjKvelo,       // object estimate
  sdtConsCalc,       // consolidated calculation
  sdtCennik,         // price list
  sdtIndexes,        // indexes
  sdtNBDoc,          // normative-base document
  sdtResSummary,     // resource summary
  sdtUserNBDoc,      // user's normative-base document
  sdtNBDocArticle,   // article of a normative-base document
  sdtProjectKvelo,   // project estimate
  sdtWorksVolumes,   // bill of work volumes
};
KV_ENUM_INFO(TKveloDocumentType, sdtKvelo, sdtObjKvelo, sdtConsCalc, sdtCennik, sdtIndexes, sdtNBDoc,
             sdtResSummary, sdtUserNBDoc, sdtNBDocArticle, sdtProjectKvelo, sdtWorksVolumes);
