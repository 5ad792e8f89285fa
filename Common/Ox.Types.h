#pragma once
// Names shared by the product modules and the wizard.

#include <string_view>

// The host of the maker's web document service. It is the reserved value of the "connections"
// section of the wizard's "settings.ini", the text of the wizard's web-service node and the caption
// of the web-service connection.
inline constexpr std::string_view WebServiceHost = "docs.orvel-kvelo.ru";

// The service's domain: its host without the first label.
inline constexpr std::string_view WebServiceDomain = WebServiceHost.substr(WebServiceHost.find('.') + 1);
