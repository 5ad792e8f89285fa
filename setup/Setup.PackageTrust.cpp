#include "Setup.PackageTrust.h"

#include "Runtime.Strings.h"
#include "Setup.CompiledKey.inc"
#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace {

constexpr std::size_t KeyFileLimit = 4096;
constexpr std::size_t SignatureFileLimit = 4096;
constexpr std::size_t ManifestFileLimit = 256u << 20;

const char NotVerifiedLine[] = "Пакет обновления не проверен: на компьютере нет доверенных ключей.";
const char VerifiedLine[] = "Пакет обновления проверен: подписан доверенным ключом %s, версия пакета %s.";
const char RefusalText[] =
    "Пакет обновления поврежден или не подписан доверенным ключом: %s.\r\nОбновление не выполнено, файлы не изменены.";

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string DifferenceText(const TPackageDifference& d) {
  switch (d.Kind) {
    case TPackageDifference::pdMissing: return "нет файла " + Quoted(d.Path);
    case TPackageDifference::pdUnlisted: return "файл " + Quoted(d.Path) + " не указан в описи пакета";
    case TPackageDifference::pdNotAFile: return Quoted(d.Path) + " не является файлом";
    case TPackageDifference::pdNotAFolder: return Quoted(d.Path) + " не является папкой";
    case TPackageDifference::pdSize: return "изменен размер файла " + Quoted(d.Path);
    case TPackageDifference::pdContent: return "изменено содержимое файла " + Quoted(d.Path);
    case TPackageDifference::pdUnreadable: return "не удается прочитать файл " + Quoted(d.Path) + " (" + d.Detail + ")";
  }
  return Quoted(d.Path);
}

TPackageCheck Refusal(const std::string& reason) {
  TPackageCheck check;
  check.Outcome = TPackageCheck::pcRefused;
  check.Refusal = Format(RefusalText, reason);
  return check;
}

TTrustedKey KeyOf(const std::string& source, const std::function<std::string()>& text) {
  TTrustedKey key;
  key.Source = source;
  try {
    key.Key = ReadMinisignPublicKey(text());
  } catch (const Exception& e) {
    key.Fault = e.Message();
  }
  return key;
}

}  // namespace

std::string PackageRefusalText(const TPackageDifference& Difference) { return Format(RefusalText, DifferenceText(Difference)); }

std::vector<TTrustedKey> TrustedKeys() {
  std::vector<TTrustedKey> keys;
  if (*CompiledTrustedKey) keys.push_back(KeyOf("built in", [] { return std::string(CompiledTrustedKey); }));
  const std::string folder =
      IncludeTrailingPathDelimiter(platform::GetEnvironmentVariableOr(TrustedKeysFolderVariable, DefaultTrustedKeysFolder));
  if (!platform::DirectoryExists(folder)) return keys;
  std::vector<platform::TFileEntry> entries;
  try {
    entries = platform::ListDirectory(folder);
  } catch (const Exception& e) {
    keys.push_back({folder, std::nullopt, e.Message()});
    return keys;
  }
  for (const platform::TFileEntry& entry : entries)
    if (!entry.IsDirectory && entry.Name.ends_with(".pub") && !entry.Name.starts_with("."))
      keys.push_back(KeyOf(folder + entry.Name, [&] { return ReadSmallFile(folder + entry.Name, KeyFileLimit); }));
  return keys;
}

TPackageCheck CheckPackageWith(const std::vector<TTrustedKey>& Keys, const std::string& BaseFolder, bool CompareContents) {
  if (Keys.empty()) return {};
  const std::string base = IncludeTrailingPathDelimiter(BaseFolder);
  if (!platform::FileExists(base + ManifestFileName)) return Refusal("нет описи пакета " + Quoted(ManifestFileName));
  if (!platform::FileExists(base + ManifestSignatureFileName))
    return Refusal("нет подписи " + Quoted(ManifestSignatureFileName));
  std::string manifestText;
  TMinisignSignature signature;
  try {
    manifestText = ReadSmallFile(base + ManifestFileName, ManifestFileLimit);
  } catch (const Exception& e) {
    return Refusal("не удается прочитать опись пакета (" + e.Message() + ")");
  }
  try {
    signature = ReadMinisignSignature(ReadSmallFile(base + ManifestSignatureFileName, SignatureFileLimit));
  } catch (const Exception& e) {
    return Refusal("подпись повреждена (" + e.Message() + ")");
  }
  const TTrustedKey* signer = nullptr;
  for (const TTrustedKey& key : Keys)
    if (key.Key && key.Key->Id == signature.KeyId) signer = &key;
  if (!signer) return Refusal("подписан ключом " + KeyIdText(signature.KeyId) + ", которому нет доверия");
  if (!VerifyMinisignSignature(*signer->Key, signature, manifestText))
    return Refusal("подпись не соответствует описи пакета");

  TPackageCheck check;
  try {
    check.Manifest = TPackageManifest::Parse(manifestText);
    if (const auto difference = FindPackageDifference(*check.Manifest, BaseFolder, CompareContents))
      return Refusal(DifferenceText(*difference));  // the same text as PackageRefusalText
  } catch (const Exception& e) {
    return Refusal("опись пакета не прочитана (" + e.Message() + ")");
  }
  check.Outcome = TPackageCheck::pcVerified;
  check.SignerKeyId = KeyIdText(signature.KeyId);
  return check;
}

TPackageCheck CheckPackage(ISetupHost& Host, const std::string& BaseFolder, bool CompareContents) {
  const std::vector<TTrustedKey> keys = TrustedKeys();
  const TPackageCheck check = CheckPackageWith(keys, BaseFolder, CompareContents);
  switch (check.Outcome) {
    case TPackageCheck::pcNotVerified: Host.Log(NotVerifiedLine); break;
    case TPackageCheck::pcVerified: Host.Log(Format(VerifiedLine, check.SignerKeyId, check.Manifest->Version)); break;
    case TPackageCheck::pcRefused:
      Host.ShowError(check.Refusal);
      break;
  }
  return check;
}
