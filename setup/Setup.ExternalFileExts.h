#pragma once
// The merge of an update's file extensions into the client's list of extensions it opens with
// other programs: the attribute "ExternalFileExts" of the element "Options" of the client's
// "CommonSetting.xml". The result is the union, trimmed, without empty items or duplicates that
// differ only in letter case (the stored spelling wins), sorted by the user's locale ignoring
// case, as ";"-separated items quoted where they hold ";" or a double quote.

#include <string>

inline constexpr char CommonSettingFileName[] = "CommonSetting.xml";

// The client's settings file in SettingsFolder: "CommonSetting.xml", or an existing file whose
// name differs from it only in letter case.
std::string FindCommonSettingFile(const std::string& SettingsFolder);

// Nothing happens for an empty Extensions, or when nothing at all would be stored. A file that is
// not well-formed XML, one whose document element is not "Options", or a save that fails raise;
// the file is then unchanged. The file is replaced whole, never left half-written.
void MergeExternalFileExts(const std::string& SettingsFolder, const std::string& Extensions);
