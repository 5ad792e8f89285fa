#include "Common.Net.WebDAV.h"

#include <array>

#include "Common.Net.WinInet.h"
#include "Common.Net.h"
#include "Common.SysUtils.h"
#include "Runtime.Strings.h"
#include "platform/Clock.h"

namespace {
constexpr std::string_view kDavNamespace = "xmlns:d=\"DAV:\"";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a number of up to Width digits at the next digit from Pos on.
bool ReadNumber(std::string_view text, std::size_t& pos, std::size_t width, int& value) {
  while (pos < text.size() && !IsDigit(text[pos])) ++pos;
  if (text.size() - pos < width) return false;
  value = 0;
  std::size_t taken = 0;
  while (taken < width && pos < text.size() && IsDigit(text[pos])) {
    value = value * 10 + (text[pos++] - '0');
    ++taken;
  }
  return taken > 0;
}

bool IsOffset(std::string_view rest) {
  return rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && IsDigit(rest[1]) && IsDigit(rest[2]) &&
         rest[3] == ':' && IsDigit(rest[4]) && IsDigit(rest[5]);
}

// Nothing, a fraction, an offset, or a fraction followed by an offset.
bool IsValidTail(std::string_view rest) {
  if (rest.empty() || IsOffset(rest)) return true;
  if (rest[0] != '.') return false;
  std::size_t digits = 1;
  while (digits < rest.size() && IsDigit(rest[digits])) ++digits;
  if (digits == 1) return false;
  rest.remove_prefix(digits);
  return rest.empty() || IsOffset(rest);
}

// Days from 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
}  // namespace

bool TryISO8601ToDateTime(std::string_view Text, TDateTime& Value) {
  if (Text.find('P') != std::string_view::npos) throw Exception("Не поддерживаются промежутки времени");
  if (Text.empty()) return false;
  std::size_t pos = 0;
  int year = 0;
  std::array<int, 5> fields = {1, 1, 0, 0, 0};  // month, day, hour, minute, second
  if (!ReadNumber(Text, pos, 4, year)) return false;
  for (int& field : fields) {
    if (pos >= Text.size()) break;
    int value = 0;
    if (!ReadNumber(Text, pos, 2, value)) break;
    field = value;
  }
  if (!IsValidTail(Text.substr(std::min(pos, Text.size())))) return false;
  Value = EncodeDateTime(year, fields[0], fields[1], fields[2], fields[3], fields[4], 0);
  return true;
}

TDateTime ISO8601ToDateTimeDef(std::string_view Text, TDateTime Default) {
  TDateTime value = 0;
  return TryISO8601ToDateTime(Text, value) ? value : Default;
}

bool TryHttpDateToDateTime(std::string_view Text, TDateTime& Value) {
  static constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // "Tue, 07 Jul 2015 07:33:23 GMT": fixed positions.
  const std::string text = Trim(Text);
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' || text[16] != ' ' ||
      text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT")
    return false;
  if (std::find(kDays.begin(), kDays.end(), text.substr(0, 3)) == kDays.end()) return false;
  const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
  if (month == kMonths.end()) return false;
  auto number = [&](std::size_t at, std::size_t width, int& value) {
    value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
      if (!IsDigit(text[i])) return false;
      value = value * 10 + (text[i] - '0');
    }
    return true;
  };
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (!number(5, 2, day) || !number(12, 4, year) || !number(17, 2, hour) || !number(20, 2, minute) ||
      !number(23, 2, second))
    return false;
  const int monthNumber = static_cast<int>(month - kMonths.begin()) + 1;
  // A leap second reads as the last second of its minute.
  if (day < 1 || day > DaysInAMonth(year, monthNumber) || hour > 23 || minute > 59 || second > 60) return false;
  const std::int64_t unix = DaysFromCivil(year, monthNumber, day) * 86400 + hour * 3600 + minute * 60 + std::min(second, 59);
  Value = platform::UnixTimeToLocalDateTime(unix);
  return true;
}

TPropFindEntry::TPropFindEntry(const TXMLNode& ResponseXML) : FXML(ResponseXML) {
  FUrl = SelectNodeStrict(ResponseXML, "d:href", kDavNamespace).Text();
  if (TXMLNode date = SelectNode(ResponseXML, "d:propstat/d:prop/d:getlastmodified", kDavNamespace)) {
    // Servers write the HTTP date form; the ISO forms are read first, as they always were.
    const std::string text = date.Text();
    TDateTime value = 0;
    if (TryISO8601ToDateTime(text, value) || TryHttpDateToDateTime(text, value)) FChangeDate = value;
  }
  if (TXMLNode size = SelectNode(ResponseXML, "d:propstat/d:prop/d:getcontentlength", kDavNamespace)) {
    std::int64_t value = 0;
    const std::string text = size.Text();
    // Decimal only: the integer reader would take "$1F" or "0x1F" as well.
    const bool decimal = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    FContentSize = decimal && TryStrToInt64(text, value) ? value : 0;
  }
  if (TXMLNode status = SelectNode(ResponseXML, "d:propstat/d:status", kDavNamespace)) FStatus = status.Text();
  FIsContainer = static_cast<bool>(SelectNode(ResponseXML, "d:propstat/d:prop/d:resourcetype/d:collection", kDavNamespace));
  FEntryName = UrlDecode(ExtractUrlFileName(TStringUtils::DropLastChar(FUrl, U'/')));
}

TPropFind::TPropFind(const TXMLNode& AResponse) : FXML(AResponse) {
  for (const TXMLNode& node : EnumerateNodes(SelectNodes(AResponse, "//d:response", kDavNamespace)))
    FEntries.push_back(std::make_unique<TPropFindEntry>(node));
}

TSharedPtr<TPropFind> RequestPropFind(TWinInetWebClient& Client, const std::string& Url) {
  // Without a depth a server must take "infinity", which servers refuse or answer with the tree.
  Client.Headers()["Depth"] = "1";
  TMemoryStream response;
  Client.SendRequest(Url, "PROPFIND", nullptr, &response);
  response.SetPosition(0);
  TXMLDocument document = LoadXmlFromStream(response);
  return TSharedPtr<TPropFind>(new TPropFind(document.DocumentElement()));
}

TSharedPtr<TPropFind> RequestPropFind(const std::string& Url) {
  TWinInetWebClient client;
  return RequestPropFind(client, Url);
}
