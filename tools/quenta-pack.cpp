// The vendor's signing tool: a key pair, a package's signed manifest, and the check of a package
// against its manifest, in the file formats of minisign. See --help.

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Runtime.DateTime.h"
#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "Setup.Manifest.h"
#include "Setup.Minisign.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Terminal.h"

namespace {

const char* const kHelp =
    "Usage: quenta-pack keygen DIR\n"
    "       quenta-pack sign -s KEY [-V VERSION] PACKAGE_DIR\n"
    "       quenta-pack verify -p PUB PACKAGE_DIR\n"
    "\n"
    "keygen writes a new key pair: DIR/quenta.pub (give it to the workstations' trusted keys folder)\n"
    "and DIR/quenta.key (keep it secret; not protected by a password, as minisign -G -W writes it).\n"
    "Existing files are not replaced.\n"
    "\n"
    "sign lists every file and folder of PACKAGE_DIR/QuentaSetupData/Client/,\n"
    "PACKAGE_DIR/QuentaSetupData/Орвел-Квело/ and PACKAGE_DIR/settings.ini with size and SHA-256 in\n"
    "PACKAGE_DIR/QuentaSetupData.manifest and signs it into QuentaSetupData.manifest.minisig. KEY is a\n"
    "minisign secret key; for one protected by a password the password is read from standard input.\n"
    "VERSION is the package's version (default: the date and time of signing).\n"
    "The signature verifies with: minisign -Vm QuentaSetupData.manifest -p quenta.pub\n"
    "\n"
    "verify checks the signature with the minisign public key PUB, then that the package holds exactly\n"
    "the listed files with their sizes and SHA-256. It prints the first difference.\n"
    "\n"
    "Exit code: 0 done (verify: the package is intact and signed by PUB), 1 it failed or the package\n"
    "differs (the reason on standard error), 2 wrong usage.\n";

constexpr std::size_t KeyFileLimit = 4096;

struct TUsageError {};

std::string ReadPassword() {
  auto quiet = std::make_unique<platform::TTerminalEchoOff>();
  if (quiet->Hidden()) std::fputs("Password: ", stderr);
  std::string line;
  const bool ok = static_cast<bool>(std::getline(std::cin, line));
  if (quiet->Hidden()) {
    quiet.reset();
    std::fputs("\n", stderr);
  }
  if (!ok) throw Exception("no password given for the protected secret key");
  return line;
}

// "-x VALUE" options and the one operand of a command.
struct TArguments {
  std::string Key, Version, Operand;
};

TArguments ParseArguments(int first, const std::string& options) {
  TArguments args;
  for (int i = first; i <= platform::ParamCount(); ++i) {
    const std::string arg = platform::ParamStr(i);
    if (arg.size() == 2 && arg[0] == '-' && options.find(arg[1]) != std::string::npos) {
      if (i == platform::ParamCount()) throw TUsageError();
      (arg[1] == 'V' ? args.Version : args.Key) = platform::ParamStr(++i);
    } else if (arg.starts_with('-') || !args.Operand.empty()) {
      throw TUsageError();
    } else {
      args.Operand = arg;
    }
  }
  if (args.Operand.empty() || args.Key.empty()) throw TUsageError();
  return args;
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

int Keygen(const std::string& folder) {
  const std::string dir = IncludeTrailingPathDelimiter(folder);
  for (const char* name : {"quenta.pub", "quenta.key"})
    if (platform::FileOrLinkExists(dir + name)) throw Exception("\"" + dir + name + "\" exists; not replaced");
  platform::ForceDirectories(dir);
  const TMinisignKeyPair keys = NewMinisignKeyPair();
  platform::WriteFileAtomically(dir + "quenta.key", MinisignSecretKeyText(keys.Secret), 0600);
  platform::WriteFileAtomically(dir + "quenta.pub", MinisignPublicKeyText(keys.Public));
  std::printf("Key %s written: %squenta.pub (public), %squenta.key (secret)\n", KeyIdText(keys.Public.Id).c_str(),
              dir.c_str(), dir.c_str());
  return 0;
}

int Sign(const TArguments& args) {
  const TMinisignSecretKey key = ReadMinisignSecretKey(ReadSmallFile(args.Key, KeyFileLimit), ReadPassword);
  const TDateTime now = platform::Now();
  const TDateParts t = DecodeDateTime(now);
  const std::string version = !args.Version.empty() ? args.Version
                                                    : std::to_string(t.Year) + "." + TwoDigits(t.Month) + "." +
                                                          TwoDigits(t.Day) + "." + TwoDigits(t.Hour) + TwoDigits(t.Minute);
  const std::string dir = IncludeTrailingPathDelimiter(args.Operand);
  if (!platform::DirectoryExists(dir + "QuentaSetupData")) throw Exception("\"" + dir + "QuentaSetupData\" does not exist");
  const std::string manifest = BuildPackageManifest(dir, version).Text();
  const std::string comment = "timestamp:" + std::to_string(platform::LocalDateTimeToUnixTime(now)) +
                              "\tfile:" + ManifestFileName + "\thashed";
  const std::string signature = MinisignSignatureText(key, manifest, comment);
  platform::WriteFileAtomically(dir + ManifestFileName, manifest);
  platform::WriteFileAtomically(dir + ManifestSignatureFileName, signature);
  std::printf("Signed %s%s (version %s) with key %s\n", dir.c_str(), ManifestFileName, version.c_str(),
              KeyIdText(key.Id).c_str());
  return 0;
}

std::string DifferenceText(const TPackageDifference& d) {
  switch (d.Kind) {
    case TPackageDifference::pdMissing: return "missing: " + d.Path;
    case TPackageDifference::pdUnlisted: return "not in the manifest: " + d.Path;
    case TPackageDifference::pdNotAFile: return "not a file: " + d.Path;
    case TPackageDifference::pdNotAFolder: return "not a folder: " + d.Path;
    case TPackageDifference::pdSize: return "size differs: " + d.Path;
    case TPackageDifference::pdContent: return "contents differ: " + d.Path;
    case TPackageDifference::pdUnreadable: return "cannot be read: " + d.Path + " (" + d.Detail + ")";
  }
  return d.Path;
}

int Verify(const TArguments& args) {
  const TMinisignPublicKey key = ReadMinisignPublicKey(ReadSmallFile(args.Key, KeyFileLimit));
  const std::string dir = IncludeTrailingPathDelimiter(args.Operand);
  const std::string manifestText = ReadSmallFile(dir + ManifestFileName, 256u << 20);
  const TMinisignSignature signature = ReadMinisignSignature(ReadSmallFile(dir + ManifestSignatureFileName, KeyFileLimit));
  if (signature.KeyId != key.Id)
    throw Exception("the manifest is signed by key " + KeyIdText(signature.KeyId) + ", not by " + KeyIdText(key.Id));
  if (!VerifyMinisignSignature(key, signature, manifestText)) throw Exception("the signature does not match the manifest");
  const TPackageManifest manifest = TPackageManifest::Parse(manifestText);
  if (const auto difference = FindPackageDifference(manifest, dir, true)) throw Exception(DifferenceText(*difference));
  std::printf("Intact and signed by key %s: %zu items, version %s\n", KeyIdText(key.Id).c_str(), manifest.Entries.size(),
              manifest.Version.c_str());
  return 0;
}

int Run() {
  const std::string command = platform::ParamStr(1);
  if (command == "--help" || command == "-h") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == "keygen" && platform::ParamCount() == 2) return Keygen(platform::ParamStr(2));
  if (command == "sign") return Sign(ParseArguments(2, "sV"));
  if (command == "verify") return Verify(ParseArguments(2, "p"));
  throw TUsageError();
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetCommandLine(argc, argv);
  try {
    return Run();
  } catch (const TUsageError&) {
    std::fputs(kHelp, stderr);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quenta-pack: %s\n", ExceptionText(e).c_str());
    return 1;
  }
}
