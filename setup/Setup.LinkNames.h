#pragma once
// The display names of desktop shortcuts. A package folder may carry a "linkname.txt" whose first
// line names the shortcut of its installed copy; any other item is named as it is called on disk.

#include <string>
#include <string_view>

inline constexpr char LinkNameFileName[] = "linkname.txt";

// The text up to the first line break (CR, LF or CR LF); the whole text when it has none.
std::string FirstLineOf(std::string_view Text);

// The shortcut name of an installed item. Target is the installed path (file or folder, without
// trailing separator), PackagePath the item's path inside the package. A Target that is an existing
// folder takes the first line of PackagePath + "/linkname.txt" when that file exists; a missing or
// empty first line gives the folder's own name. Anything else (a file, or a folder that was never
// created) takes the name part of Target, extension included ("Readme.txt").
// EFOpenError or EOSError when the name file exists but cannot be read.
std::string ShortcutName(const std::string& Target, const std::string& PackagePath);
