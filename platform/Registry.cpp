#include "platform/Registry.h"
#include "platform/RegistrySys.h"

#include <map>
#include <mutex>

#include "platform/RegistryFile.h"

namespace platform {

bool TRegistryKey::ValueExists(std::string_view name) const { return FindValue(name) != nullptr; }

const TRegistryValue* TRegistryKey::FindValue(std::string_view name) const { return FNode->FindValue(name); }

std::string TRegistryKey::ReadString(std::string_view name) const {
  const TRegistryValue* value = FindValue(name);
  if (!value) return std::string();
  if (value->Type != kRegString && value->Type != kRegExpandString)
    throw ERegistryException(Format("Invalid data type for '%s'", name));
  return value->Text;
}

std::vector<std::string> TRegistryKey::GetKeyNames() const {
  std::vector<std::string> names;
  for (const auto& key : FNode->SubKeys) names.push_back(key->Name);
  return names;
}

std::vector<std::string> TRegistryKey::GetValueNames() const {
  std::vector<std::string> names;
  for (const auto& value : FNode->Values) names.push_back(value.Name);
  return names;
}

bool TRegistryKey::HasSubKeys() const { return !FNode->SubKeys.empty(); }

namespace {
struct THiveCache {
  std::mutex Lock;
  std::map<std::string, std::shared_ptr<const TRegistryNode>> Hives;  // by file name
};

THiveCache& Cache() {
  static THiveCache cache;
  return cache;
}

const char* RootName(TRegistryHive hive) {
  return hive == rhLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Keyed by file name, so that a changed ORVEL_REGISTRY_DIR reaches other files without a reload.
std::shared_ptr<const TRegistryNode> LoadHive(TRegistryHive hive) {
  std::string fileName = RegistryFileName(hive);
  THiveCache& cache = Cache();
  std::lock_guard lock(cache.Lock);
  if (auto it = cache.Hives.find(fileName); it != cache.Hives.end()) return it->second;
  std::optional<std::string> bytes = fileName.empty() ? std::nullopt : ReadRegistryFileSys(fileName);
  std::shared_ptr<const TRegistryNode> root;
  if (bytes) {
    root = ParseRegistryFile(*bytes, fileName, RootName(hive));
  } else {
    auto empty = std::make_shared<TRegistryNode>();
    empty->Name = RootName(hive);
    root = std::move(empty);
  }
  cache.Hives.emplace(fileName, root);
  return root;
}
}  // namespace

std::optional<TRegistryKey> OpenKeyReadOnly(TRegistryHive hive, std::string_view path) {
  std::shared_ptr<const TRegistryNode> root = LoadHive(hive);
  const TRegistryNode* node = root.get();
  for (std::size_t start = 0; start <= path.size() && node;) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) node = node->FindSubKey(path.substr(start, end - start));
    start = end + 1;
  }
  if (!node) return std::nullopt;
  return TRegistryKey(std::shared_ptr<const TRegistryNode>(root, node));
}

void ReloadRegistry() {
  THiveCache& cache = Cache();
  std::lock_guard lock(cache.Lock);
  cache.Hives.clear();
}

}  // namespace platform
