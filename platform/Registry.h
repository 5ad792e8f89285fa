#pragma once
// The system registry, read only.
//
// The POSIX backend reads each hive from a text file in the registry export format:
//   rhLocalMachine (HKEY_LOCAL_MACHINE)  $ORVEL_REGISTRY_DIR/HKLM.reg, by default /etc/orvel/registry/HKLM.reg
//   rhCurrentUser (HKEY_CURRENT_USER)    $ORVEL_REGISTRY_DIR/HKCU.reg, by default
//                                        $XDG_CONFIG_HOME/orvel/registry/HKCU.reg (KnownFolders.h)
// A missing file, or a file without any line, is an empty hive. Accepted forms: "Windows Registry
// Editor Version 5.00" in UTF-16LE with byte-order mark or in UTF-8 (mark optional), and "REGEDIT4"
// in Windows-1251 (RegistryFile.h has the details). The file holds the keys as this program sees
// them: there is no separate view for 32-bit programs. Each file is parsed once per process, on first
// use; ReloadRegistry drops what was read, so that tests can change files and the variable.
//
// Key paths are relative to the hive's root, with "\" between the names ("Software\Orvel");
// leading, trailing and doubled "\" are ignored. Key and value names compare without regard to
// letter case (NameFolding.h). The value name "" is the key's default value ("@=" in the file).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Runtime.Exceptions.h"

// Registry failures: malformed hive files, values of an unexpected type.
KV_DECLARE_EXCEPTION(ERegistryException, Exception);

namespace platform {

enum TRegistryHive { rhLocalMachine, rhCurrentUser };

// The system's value type numbers.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegString = 1;
inline constexpr std::uint32_t kRegExpandString = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiString = 7;
inline constexpr std::uint32_t kRegQword = 11;

struct TRegistryValue {
  std::string Name;   // as first written in the file; "" for the default value
  std::uint32_t Type = kRegString;
  std::string Text;   // kRegString and kRegExpandString: the text (UTF-8), up to its first NUL
  std::vector<std::uint8_t> Data;  // every other type: the bytes (kRegDword: 4 bytes, little-endian)
};

struct TRegistryNode;  // one key of a parsed hive

// An opened key. It keeps its hive alive, also across ReloadRegistry.
class TRegistryKey {
 public:
  explicit TRegistryKey(std::shared_ptr<const TRegistryNode> node) : FNode(std::move(node)) {}

  bool ValueExists(std::string_view name) const;
  // The value, or nullptr when the key has no value of that name.
  const TRegistryValue* FindValue(std::string_view name) const;
  // A string value (kRegString or kRegExpandString, the latter not expanded); "" when there is no
  // such value. ERegistryException "Invalid data type for '%s'" (the name) for a value of any other type.
  std::string ReadString(std::string_view name) const;
  // Names of the subkeys and of the values, in file order.
  std::vector<std::string> GetKeyNames() const;
  std::vector<std::string> GetValueNames() const;
  bool HasSubKeys() const;

 private:
  std::shared_ptr<const TRegistryNode> FNode;
};

// Opens an existing key of a hive, or nothing when it does not exist. "" opens the hive's root.
// ERegistryException naming the file and line when the hive file is malformed; EFOpenError or
// EOSError when it exists but cannot be read.
std::optional<TRegistryKey> OpenKeyReadOnly(TRegistryHive hive, std::string_view path);

// The file a hive is read from; "" for rhCurrentUser when neither ORVEL_REGISTRY_DIR nor a home
// folder is known (the hive is then empty).
std::string RegistryFileName(TRegistryHive hive);

// Forgets every parsed hive; the next access reads the files again.
void ReloadRegistry();

}  // namespace platform
