// Tells support staff where the update wizard finds the estimating client, and why: one line
// Name=Value for each of the client's class operations, in a fixed order; or the client's
// diagnostic reports that support asks users for. See --help.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Common.XMLUtils.h"
#include "Runtime.Strings.h"
#include "SysInfo.Core.CommonUtils.h"
#include "SysInfo.Core.Kvelo7.h"
#include "platform/CommandLine.h"
#include "platform/Registry.h"

namespace {
const char* const kHelp =
    "Usage: kvelo-info [--client 6|7] [-portable] [--report | --report-xml]\n"
    "\n"
    "Prints where the update wizard finds the estimating client (version 7 unless --client 6) and\n"
    "why: first the install mode and the registry file read, then one line Name=Value for each of\n"
    "the client's operations (paths, names, numbers, true or false), always in the same order. An\n"
    "operation that fails prints Name=! followed by the error's message, and the next line follows.\n"
    "Printing NetworkIniPath brings the user's onclient.ini up to date with the common one, as the\n"
    "client does.\n"
    "\n"
    "It reads the same environment as the wizard:\n"
    "  ORVEL_REGISTRY_DIR    the folder of HKLM.reg, the machine's registry with the client's\n"
    "                        uninstall entry and its InstallLocation (default /etc/orvel/registry)\n"
    "  ORVEL_COMMON_APPDATA  the application data of all users (default /var/lib)\n"
    "  XDG_DATA_HOME         the user's application data (default $HOME/.local/share)\n"
    "  XDG_CONFIG_HOME       holds user-dirs.dirs, whose XDG_DOCUMENTS_DIR is the user's documents\n"
    "                        folder (default $HOME/.config; documents default $HOME/Documents)\n"
    "  HOME                  the user's home folder\n"
    "The client counts as installed when InstallLocation + \"Client/OKvelo.exe\" exists and its\n"
    "version resource carries the client's major version. With -portable (or /portable) the client\n"
    "is looked for in the folder of this program instead, as it is for a wizard started so.\n"
    "\n"
    "--report prints the client's diagnostic reports instead, as the client words them (lines end\n"
    "with CR LF): the auto-save folder with the count and size of its *.tmp files, then every\n"
    "normative base (*.oxd5) below the client's Data folder with its name, version, code, date,\n"
    "publisher, type and district; a base that cannot be read shows the error. --report-xml\n"
    "prints the bases of the Data folder itself as XML: <report><dbase><item .../></dbase></report>.\n"
    "Exit code 1 when a report cannot be made at all.\n";

using TClient = TKvelo6Information::TMetaClass;

std::string Text(const std::string& value) { return value; }
std::string Text(bool value) { return value ? "true" : "false"; }
std::string Text(std::int32_t value) { return IntToStr(value); }
std::string Text(std::uint32_t value) { return IntToStr(value); }
std::string Text(const TDigitalFileVersionInfo& value) { return value.VerAsString(); }

struct TLine {
  const char* Name;
  std::function<std::string(const TClient&)> Value;
};

// clang-format off
#define KV_LINE(Operation) TLine{#Operation, [](const TClient& c) { return Text(c.Operation()); }}
// clang-format on

// The application's operations first, then the client's roots and the paths derived from them.
const std::vector<TLine>& Lines() {
  static const std::vector<TLine> lines = {
      KV_LINE(RegistryKey),
      KV_LINE(ApplicationDisplayName),
      KV_LINE(ApplicationExeName),
      KV_LINE(ApplicationPath),
      KV_LINE(DBaseFolder),
      KV_LINE(InstallFolder),
      KV_LINE(IsApplicationInstalled),
      KV_LINE(IsApplicationRuning),
      KV_LINE(MutexName),
      KV_LINE(PortableRelativePath),
      KV_LINE(MajorVersionDigit),
      KV_LINE(ApplicationVersion),
      KV_LINE(ApplicationVersionInt),
      KV_LINE(IsApplicationPresent),
      KV_LINE(AppDataFolder),
      KV_LINE(CustomLocalSetting),
      KV_LINE(CommonDataFolder),
      KV_LINE(CustomKveloPropsFolder),
      KV_LINE(MyFolderRoot),
      KV_LINE(AutoSaveFoder),
      KV_LINE(HistoryFolder),
      KV_LINE(RecentDocsSettingFilename),
      KV_LINE(LocalHistorySettingFilename),
      KV_LINE(CreateHistoryFilename),
      KV_LINE(ExportHistoryFilename),
      KV_LINE(CommonSettingFolder),
      KV_LINE(CommonSettingFilename),
      KV_LINE(ConnectionOptionsFilename),
      KV_LINE(SessionSettingFilename),
      KV_LINE(RibbonSettingFilename),
      KV_LINE(LoginHostSettingFilename),
      KV_LINE(NbDataSearchParamSettingFilename),
      KV_LINE(PriceTransferSettingFilename),
      KV_LINE(NBFavoriteListSettingFilename),
      KV_LINE(ElementsComparerSettingFilename),
      KV_LINE(UserDataFolderSettingFilename),
      KV_LINE(NetworkIniPath),
      KV_LINE(RootNetworkIniPath),
      KV_LINE(NormBasesFolder),
      KV_LINE(NBCacheFolder),
      KV_LINE(BootLogFolder),
      KV_LINE(DefaultNewDocsFolder),
      KV_LINE(DocTemplatesFolder),
      KV_LINE(ExpTemplatesFolder),
      KV_LINE(DefaultExpSettingFile),
      KV_LINE(TemplatesFolder),
      KV_LINE(TemplateItogFilename),
      KV_LINE(UserParamFilename),
      KV_LINE(UserTemplatesFolder),
      KV_LINE(LocalSetting),
      KV_LINE(SignRootXMLFileName),
      KV_LINE(OrgRootXMLFileName),
      KV_LINE(SignTypesXMLFileName),
      KV_LINE(CrossrkFileName),
      KV_LINE(WintersFileName),
      KV_LINE(CodeReplacementsFileName),
      KV_LINE(KveloPropsFolder),
      KV_LINE(MyDocuments),
      KV_LINE(MyDocTemplates),
      KV_LINE(MyExpTemplates),
      KV_LINE(MyNBTemplatesFolder),
      KV_LINE(IsAppDataFolderHasWritePrivilege),
      KV_LINE(IsNBDataFolderHasWritePrivilege),
      KV_LINE(IsNBCacheFolderHasWritePrivilege),
  };
  return lines;
}

void PrintLine(std::string_view name, const std::string& value) {
  std::printf("%.*s=%s\n", static_cast<int>(name.size()), name.data(), value.c_str());
}

void PrintReport(const TClient& client) {
  PrintLine("PortableMode", std::string(GetEnumName(GetPortableMode())));
  PrintLine("RegistryFile", platform::RegistryFileName(platform::rhLocalMachine));
  for (const TLine& line : Lines()) {
    std::string value;
    try {
      value = line.Value(client);
    } catch (const std::exception& e) {
      value = std::string("!") + e.what();
    }
    PrintLine(line.Name, value);
  }
}
enum class TOutput { Names, Report, ReportXml };

void PrintTextReport(const TClient& client) {
  std::string text;
  client.GetAutoSaveFolderInfo(text);
  client.GetModulesState(text);
  text += "\r\n";
  std::fputs(text.c_str(), stdout);
}

void PrintXmlReport(const TClient& client) {
  TXMLDocument document;
  document.SetEncoding("UTF-8");  // what goes to stdout
  client.GetModulesState(document.AddChild("report"));
  std::fputs(document.XML().c_str(), stdout);
}

// The library reads the switch from the command line itself; here it is only let through.
bool IsPortableSwitch(std::string_view arg) {
  return arg.size() > 1 && (arg[0] == '-' || arg[0] == '/') && SameText(arg.substr(1), "portable");
}
}  // namespace

int main(int argc, char** argv) {
  platform::SetCommandLine(argc, argv);
  InitializeKveloFolderOverrides();

  int version = 7;
  TOutput output = TOutput::Names;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--client" && i + 1 < argc &&
        (std::string_view(argv[i + 1]) == "6" || std::string_view(argv[i + 1]) == "7")) {
      version = argv[++i][0] - '0';
    } else if (arg == "--report") {
      output = TOutput::Report;
    } else if (arg == "--report-xml") {
      output = TOutput::ReportXml;
    } else if (!IsPortableSwitch(arg)) {
      std::fprintf(stderr, "kvelo-info: unknown argument %s (see --help)\n", argv[i]);
      return 2;
    }
  }
  const TClient& client = version == 6 ? static_cast<const TClient&>(TKvelo6Information::MetaClass())
                                        : TKvelo7Information::MetaClass();
  try {
    switch (output) {
      case TOutput::Names: PrintReport(client); break;
      case TOutput::Report: PrintTextReport(client); break;
      case TOutput::ReportXml: PrintXmlReport(client); break;
    }
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "kvelo-info: %s\n", e.what());
    return 1;
  }
  return 0;
}
