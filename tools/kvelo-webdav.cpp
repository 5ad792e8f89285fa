// Lists a WebDAV folder as the client sees it: one row per entry of the server's answer (the
// folder itself first), with name, folder mark or size, change date and status. See --help.

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Common.ExceptionEx.h"
#include "Common.Net.WebDAV.h"
#include "Common.Net.WinInet.h"
#include "Runtime.DateTime.h"
#include "Runtime.Strings.h"
#include "platform/Terminal.h"

namespace {
const char* const kHelp =
    "Usage: kvelo-webdav URL\n"
    "\n"
    "Lists the WebDAV folder at URL (http://[user[:password]@]host[:port]/path/) as the estimating\n"
    "client lists it: a PROPFIND of the folder and its direct members, one row per entry with its\n"
    "name, <DIR> for a folder or the size in bytes, the change date in local time (- when the\n"
    "server gives none it can read) and the status the server reported. When the server asks for a\n"
    "login and standard input is a terminal, login and password are asked for there.\n"
    "The proxy comes from the environment (http_proxy, all_proxy, no_proxy).\n"
    "Exit code: 0 listed, 1 the listing failed (the reason on standard error), 2 wrong usage.\n";

std::string ReadLine(bool echo) {
  std::unique_ptr<platform::TTerminalEchoOff> quiet;
  if (!echo) quiet = std::make_unique<platform::TTerminalEchoOff>();
  std::string line;
  const bool ok = static_cast<bool>(std::getline(std::cin, line));
  if (quiet && quiet->Hidden()) {
    quiet.reset();
    std::fputs("\n", stderr);
  }
  if (!ok) throw EAbort("Operation aborted");
  return line;
}

// The credential dialog of a terminal; without one there is nobody to ask.
TCredentialsAnswer AskOnTerminal(TCredentialsQuery& Query) {
  if (!platform::StandardInputIsTerminal()) return caNoRetry;
  std::fprintf(stderr, "%s asks for a login%s%s%s.\n", Query.ForProxy ? "The proxy" : Query.Url.c_str(),
               Query.Realm.empty() ? "" : " (", Query.Realm.c_str(), Query.Realm.empty() ? "" : ")");
  std::fputs("Login (empty to give up): ", stderr);
  Query.Login = ReadLine(true);
  if (Query.Login.empty()) return caCancel;
  std::fputs("Password: ", stderr);
  Query.Password = ReadLine(false);
  return caRetry;
}

std::string Pad(const std::string& text, std::size_t width) {
  const std::size_t length = Utf16Length(text);
  return length >= width ? text : text + std::string(width - length, ' ');
}

void PrintTable(const TPropFind& listing) {
  std::vector<std::vector<std::string>> rows = {{"Name", "Size", "Changed", "Status"}};
  for (const auto& entry : listing.Entries()) {
    rows.push_back({entry->EntryName().empty() ? "/" : entry->EntryName(),
                    entry->IsContainer() ? "<DIR>" : IntToStr(entry->ContentSize()),
                    entry->ChangeDate() == 0 ? "-" : FormatDateTime("yyyy-mm-dd hh:nn:ss", entry->ChangeDate(), TFormatSettings::Invariant()),
                    entry->Status()});
  }
  std::vector<std::size_t> widths(4, 0);
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Utf16Length(row[i]));
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) line += i + 1 < row.size() ? Pad(row[i], widths[i] + 2) : row[i];
    std::cout << TrimRight(line) << "\n";
  }
}
}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kHelp;
    return 0;
  }
  if (args.size() != 1 || args[0].starts_with("-")) {
    std::cerr << kHelp;
    return 2;
  }
  SetCredentialsDialog(AskOnTerminal);
  try {
    TWinInetWebClient client;
    client.SetLoginPromt(true);
    const TSharedPtr<TPropFind> listing = RequestPropFind(client, args[0]);
    PrintTable(*listing);
    return 0;
  } catch (const EAbort&) {
    return 1;
  } catch (const ExceptionEx& e) {
    std::cerr << "kvelo-webdav: " << TrimRight(e.GetMessageList()) << "\n";
  } catch (const std::exception& e) {
    std::cerr << "kvelo-webdav: " << e.what() << "\n";
  }
  return 1;
}
