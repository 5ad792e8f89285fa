#include "Setup.ExternalFileExts.h"

#include "Common.XMLUtils.h"
#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "Runtime.Streams.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

namespace {
const char OptionsElement[] = "Options";
const char ExtensionsAttribute[] = "ExternalFileExts";

void UseListSyntax(TStringList& list) {
  list.SetDelimiter(';');
  list.SetQuoteChar('"');
  list.SetStrictDelimiter(true);
}

// Through the update's one writer, so the client never finds half a file, nor an empty one after
// a power cut.
void SaveWhole(const TXMLDocument& document, const std::string& file) {
  TMemoryStream bytes;
  document.SaveToStream(bytes);
  platform::WriteFileAtomically(
      file, std::string_view(reinterpret_cast<const char*>(bytes.Memory()), static_cast<std::size_t>(bytes.GetSize())));
}
}  // namespace

std::string FindCommonSettingFile(const std::string& SettingsFolder) {
  const std::string folder = IncludeTrailingPathDelimiter(SettingsFolder);
  const std::string exact = folder + CommonSettingFileName;
  if (platform::FileOrLinkExists(exact) || !platform::DirectoryExists(folder)) return exact;
  for (const platform::TFileEntry& entry : platform::ListDirectory(folder))
    if (!entry.IsDirectory && SameText(entry.Name, CommonSettingFileName)) return folder + entry.Name;
  return exact;
}

void MergeExternalFileExts(const std::string& SettingsFolder, const std::string& Extensions) {
  if (Extensions.empty()) return;
  const std::string file = FindCommonSettingFile(SettingsFolder);
  TXMLDocument document;
  if (platform::FileExists(file)) document.LoadFromFile(file);
  TXMLNode options = document.DocumentElement();
  if (!options || options.NodeName() != OptionsElement) options = document.AddChild(OptionsElement);

  const std::string current = Trim(options.Attribute(ExtensionsAttribute).value_or(""));
  std::string combined = current;
  if (!combined.empty()) combined += ';';
  combined += Trim(Extensions);
  if (combined.empty()) return;

  TStringList items;
  UseListSyntax(items);
  items.SetDelimitedText(combined);
  TStringList merged;
  UseListSyntax(merged);
  merged.SetCaseSensitive(false);
  merged.SetDuplicates(dupIgnore);
  merged.SetSorted(true);
  for (const std::string& item : items)
    if (std::string trimmed = Trim(item); !trimmed.empty()) merged.Add(trimmed);
  options.SetAttribute(ExtensionsAttribute, merged.DelimitedText());
  SaveWhole(document, file);
}
