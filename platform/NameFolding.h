#pragma once
// Names that the system compares without regard to letter case (registry keys and values, profile
// sections and keys, version-resource keys, command-line switches). Windows folds every character
// with one fixed upper-case table, whatever the user's locale; so do we, with the simple upper-case
// mapping of each code point. A locale-aware fold would break in a Turkish locale ("i" -> "İ").

#include <string>
#include <string_view>

namespace platform {
// The comparison key of a name: equal keys mean equal names.
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// The key of the order in which the Windows file system lists a folder: the name's UTF-16 code
// units, each upper-cased on its own (a surrogate stays as it is), so "a" and "B" come before "_"
// and every machine lists a package alike.
std::u16string FileSystemOrderKey(std::string_view name);
}  // namespace platform
