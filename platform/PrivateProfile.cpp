#include "platform/PrivateProfile.h"

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/NameFolding.h"

namespace platform {

namespace {
std::string ReadFileBytes(const std::string& fileName) {
  if (!FileExists(fileName)) return std::string();
  try {
    TMemoryStream stream;
    LoadStreamFromFile(stream, fileName);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
  } catch (const Exception&) {
    return std::string();
  }
}

std::string ProfileValue(std::string_view raw) {
  std::string value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return Utf16Left(value, kProfileValueMaxLength);
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}
}  // namespace

TIniFileReader::TIniFileReader(std::string fileName) : FFileName(std::move(fileName)) {
  Parse(DecodeText(ReadFileBytes(FFileName)));
}

void TIniFileReader::Parse(std::string_view text) {
  TSection* current = nullptr;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::size_t close = line.rfind(']');
      if (close == std::string::npos) continue;
      std::string name = Trim(std::string_view(line).substr(1, close - 1));
      std::string key = FoldName(name);
      auto it = FSectionIndex.find(key);
      if (it == FSectionIndex.end()) {
        it = FSectionIndex.emplace(std::move(key), FSections.size()).first;
        FSections.push_back({std::move(name), {}, {}});
      }
      current = &FSections[it->second];
      continue;
    }
    std::size_t eq = line.find('=');
    if (!current || eq == std::string::npos) continue;
    std::string name = Trim(std::string_view(line).substr(0, eq));
    if (name.empty()) continue;
    if (current->Index.emplace(FoldName(name), current->Keys.size()).second)
      current->Keys.emplace_back(std::move(name), ProfileValue(std::string_view(line).substr(eq + 1)));
  }
}

const TIniFileReader::TSection* TIniFileReader::FindSection(std::string_view section) const {
  auto it = FSectionIndex.find(FoldName(section));
  return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

const std::string* TIniFileReader::FindValue(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  if (!s) return nullptr;
  auto it = s->Index.find(FoldName(key));
  return it == s->Index.end() ? nullptr : &s->Keys[it->second].second;
}

bool TIniFileReader::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFileReader::ValueExists(std::string_view section, std::string_view key) const {
  return FindValue(section, key) != nullptr;
}

std::vector<std::string> TIniFileReader::ReadSections() const {
  std::vector<std::string> names;
  for (const auto& s : FSections) names.push_back(s.Name);
  return names;
}

std::vector<std::string> TIniFileReader::ReadSection(std::string_view section) const {
  std::vector<std::string> names;
  if (const TSection* s = FindSection(section))
    for (const auto& [name, value] : s->Keys) names.push_back(name);
  return names;
}

std::string TIniFileReader::ReadString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
  if (const std::string* value = FindValue(section, key)) return *value;
  return Utf16Left(TrimRight(defaultValue), kProfileValueMaxLength);
}

std::int32_t TIniFileReader::ReadInteger(std::string_view section, std::string_view key,
                                         std::int32_t defaultValue) const {
  const std::string* value = FindValue(section, key);
  std::int32_t number = 0;
  return value && TryStrToInt(*value, number) ? number : defaultValue;
}

bool TIniFileReader::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::int32_t TIniFileReader::GetPrivateProfileInt(std::string_view section, std::string_view key,
                                                  std::int32_t defaultValue) const {
  const std::string* value = FindValue(section, key);
  if (!value || value->empty()) return defaultValue;
  std::string_view s = *value;
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int base = 10;
  if (i + 1 < s.size() && s[i] == '0') {
    char prefix = s[i + 1];
    base = prefix == 'x' || prefix == 'X' ? 16 : prefix == 'o' || prefix == 'O' ? 8 : prefix == 'b' || prefix == 'B' ? 2 : 10;
    if (base != 10) i += 2;
  }
  std::uint32_t number = 0;
  for (; i < s.size() && DigitValue(s[i]) < base; ++i)
    number = number * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(DigitValue(s[i]));
  if (negative) number = 0u - number;
  return static_cast<std::int32_t>(number);
}

}  // namespace platform
