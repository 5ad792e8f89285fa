#pragma once
// The registry export format, as the system's registry editor writes it:
//
//   Windows Registry Editor Version 5.00        (or REGEDIT4)
//
//   [HKEY_LOCAL_MACHINE\Software\Orvel]         a key; "[-...]" deletes a key with its subkeys
//   "InstallLocation"="C:\\Orvel\\"             a string, with the escapes \\ and \"
//   @="default value"                           the key's default value
//   "Count"=dword:0000002a                      a 32-bit number
//   "Path"=hex(2):25,00,41,00,00,00             any type by number, bytes in hexadecimal; hex: is binary;
//     the strings of hex(1) and hex(2) are UTF-16LE in version 5.00 and Windows-1251 in REGEDIT4
//   "Old"=-                                     deletes a value
//   ; a comment
//
// Hexadecimal lists continue on the next line after a final "\". The text is UTF-16LE after a
// UTF-16LE byte-order mark, UTF-8 after a UTF-8 one; without a mark, version 5.00 is UTF-8 and
// REGEDIT4 is Windows-1251. A later value or key of the same name replaces or extends an earlier one.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace platform {

struct TRegistryNode {
  std::string Name;  // as first written in the file
  std::vector<std::unique_ptr<TRegistryNode>> SubKeys;
  std::map<std::string, TRegistryNode*> SubKeyIndex;  // by FoldName
  std::vector<TRegistryValue> Values;
  std::map<std::string, std::size_t> ValueIndex;  // by FoldName, index into Values

  const TRegistryNode* FindSubKey(std::string_view name) const;
  const TRegistryValue* FindValue(std::string_view name) const;
};

// Parses an export whose keys must all lie below `rootName` ("HKEY_LOCAL_MACHINE"). Malformed
// content raises ERegistryException "Registry file \"<fileName>\", line <n>: <what>".
std::unique_ptr<TRegistryNode> ParseRegistryFile(std::string_view bytes, std::string_view fileName,
                                                 std::string_view rootName);

}  // namespace platform
