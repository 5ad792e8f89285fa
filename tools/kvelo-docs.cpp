// The read-only document storage as a person uses it from a terminal: the tree of folders,
// estimate documents and other files below a WebDAV address, or one document downloaded.
// See --help.

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "Common.ExceptionEx.h"
#include "Common.Net.WinInet.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Runtime.DateTime.h"
#include "Runtime.Strings.h"
#include "platform/AtomicFile.h"

namespace {
const char* const kHelp =
    "Usage: kvelo-docs URL [PATH]\n"
    "       kvelo-docs URL --get NAME DEST\n"
    "\n"
    "Shows the WebDAV folder at URL (http://host[:port]/path/) as the estimating client's read-only\n"
    "document storage shows it: every folder below it, or below PATH inside it (folder names\n"
    "separated by \"/\"), with one row per entry: its name indented by depth, its kind (folder,\n"
    "the document type of an estimate document, or external document) and its change date in\n"
    "local time (- when the server gives none).\n"
    "With --get, the document or file NAME (a path inside URL) is downloaded into the file DEST,\n"
    "which is replaced only once the download is complete.\n"
    "The proxy comes from the environment (http_proxy, all_proxy, no_proxy).\n"
    "Exit code: 0 done, 1 the storage failed (the reason on standard error), 2 wrong usage.\n";

struct TRow {
  std::string Name;
  std::string Kind;
  std::string Date;
};

std::string KindOf(const TInterfacePtr<IKveloStorageEntry>& Entry) {
  TInterfacePtr<IKveloStorageFolder> folder;
  TInterfacePtr<IKveloStorageDocument> document;
  if (Supports(Entry, folder)) return "folder";
  if (Supports(Entry, document)) return DocTypeName(document->GetProperties().DocType);
  return "external document";
}

std::string DateOf(const TInterfacePtr<IKveloStorageEntry>& Entry) {
  const TDateTime date = Entry->GetDateChange();
  return date == 0 ? "-" : FormatDateTime("yyyy-mm-dd hh:nn:ss", date, TFormatSettings::Invariant());
}

void CollectTree(const TInterfacePtr<IKveloStorageFolder>& Folder, const std::string& Indent, std::vector<TRow>& Rows) {
  for (const TInterfacePtr<IKveloStorageEntry>& entry : Folder->LoadChildItems()) {
    TInterfacePtr<IKveloStorageFolder> subFolder;
    const bool isFolder = Supports(entry, subFolder);
    Rows.push_back({Indent + entry->GetTitle() + (isFolder ? "/" : ""), KindOf(entry), DateOf(entry)});
    if (isFolder) CollectTree(subFolder, Indent + "  ", Rows);
  }
}

std::string Pad(const std::string& Text, std::size_t Width) {
  const std::size_t length = Utf16Length(Text);
  return length >= Width ? Text : Text + std::string(Width - length, ' ');
}

void PrintRows(const std::vector<TRow>& Rows) {
  std::size_t nameWidth = 4, kindWidth = 4;
  for (const TRow& row : Rows) {
    nameWidth = std::max(nameWidth, Utf16Length(row.Name));
    kindWidth = std::max(kindWidth, Utf16Length(row.Kind));
  }
  std::cout << Pad("Name", nameWidth + 2) << Pad("Kind", kindWidth + 2) << "Changed\n";
  for (const TRow& row : Rows) std::cout << Pad(row.Name, nameWidth + 2) << Pad(row.Kind, kindWidth + 2) << row.Date << "\n";
}

// The entry at Path (names separated by "/") below Folder; EKveloStorageError when there is none.
TInterfacePtr<IKveloStorageEntry> EntryAt(TInterfacePtr<IKveloStorageFolder> Folder, const std::string& Path) {
  TInterfacePtr<IKveloStorageEntry> found(Folder);
  for (const std::string& name : SplitString(Path, '/')) {
    if (name.empty()) continue;
    if (!Folder) throw EKveloStorageError::ItemNotFound(Path);
    found = nullptr;
    for (const TInterfacePtr<IKveloStorageEntry>& entry : Folder->LoadChildItems())
      if (entry->GetTitle() == name) found = entry;
    if (!found) throw EKveloStorageError::ItemNotFound(Path);
    Supports(found, Folder);
  }
  return found;
}

void Download(const TInterfacePtr<IKveloStorageEntry>& Entry, const std::string& Name, const std::string& Dest) {
  TBytesStream data;
  TInterfacePtr<IKveloStorageDocument> document;
  TInterfacePtr<IKveloStorageExternalDocument> external;
  if (Supports(Entry, document))
    document->ReadData(data);
  else if (Supports(Entry, external))
    external->ReadData(data);
  else
    throw Exception("\"" + Name + "\" is a folder");
  const std::vector<std::uint8_t> bytes = data.Bytes();
  platform::WriteFileAtomically(Dest, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << kHelp;
    return 0;
  }
  std::string getName, getDest;
  bool get = false;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--get" && i + 2 < args.size() && !get) {
      get = true;
      getName = args[++i];
      getDest = args[++i];
    } else if (args[i].starts_with("-")) {
      positional.clear();
      break;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.empty() || positional.size() > (get ? 1u : 2u)) {
    std::cerr << kHelp;
    return 2;
  }
  try {
    InitializeConnectionClasses();
    TWebDAVConnection connection;
    connection.SetCaption(positional[0]);
    connection.SetAddress(positional[0]);
    TKveloStoragePtr storage(NewObject<TWebDAVReadOnlyKveloStorage>(connection));
    auto& webStorage = static_cast<TWebDAVReadOnlyKveloStorage&>(*storage);
    if (get) {
      Download(EntryAt(webStorage.GetRoot(), getName), getName, getDest);
      return 0;
    }
    TInterfacePtr<IKveloStorageFolder> start;
    if (!Supports(EntryAt(webStorage.GetRoot(), positional.size() > 1 ? positional[1] : ""), start))
      throw Exception("\"" + positional[1] + "\" is no folder");
    std::vector<TRow> rows;
    CollectTree(start, "", rows);
    PrintRows(rows);
    return 0;
  } catch (const ExceptionEx& e) {
    std::cerr << "kvelo-docs: " << TrimRight(e.GetMessageList()) << "\n";
  } catch (const std::exception& e) {
    std::cerr << "kvelo-docs: " << e.what() << "\n";
  }
  return 1;
}
