#include "platform/RegistryFile.h"

#include <algorithm>
#include <optional>

#include "Runtime.Format.h"
#include "platform/CodePages.h"
#include "platform/NameFolding.h"

namespace platform {

const TRegistryNode* TRegistryNode::FindSubKey(std::string_view name) const {
  auto it = SubKeyIndex.find(FoldName(name));
  return it == SubKeyIndex.end() ? nullptr : it->second;
}

const TRegistryValue* TRegistryNode::FindValue(std::string_view name) const {
  auto it = ValueIndex.find(FoldName(name));
  return it == ValueIndex.end() ? nullptr : &Values[it->second];
}

namespace {
constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view kVersion4Header = "REGEDIT4";

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hexadecimal digits, the whole text.
std::optional<std::uint32_t> ParseHexNumber(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(d);
  }
  return value;
}

class TParser {
 public:
  TParser(std::string_view fileName, std::string_view rootName) : FFileName(fileName), FRootName(rootName) {}

  std::unique_ptr<TRegistryNode> Parse(std::string_view bytes) {
    auto root = std::make_unique<TRegistryNode>();
    root->Name = std::string(FRootName);
    FRoot = root.get();
    std::string text = DecodeText(bytes);
    FLines = SplitLines(text);
    FLine = 0;
    while (FLine < FLines.size() && TrimBlanks(FLines[FLine]).empty()) ++FLine;
    if (FLine == FLines.size()) return root;  // no line at all: an empty hive
    std::string_view header = TrimBlanks(FLines[FLine]);
    if (header == kVersion5Header) {
      FStringCodePage = kUtf16LECodePage;
    } else if (header == kVersion4Header) {
      FStringCodePage = kAnsiCodePage;
    } else {
      Fail(Format("the file does not start with \"%s\" or \"%s\"", kVersion5Header, kVersion4Header));
    }
    for (++FLine; FLine < FLines.size(); ++FLine) ParseLine(TrimBlanks(FLines[FLine]));
    return root;
  }

 private:
  [[noreturn]] void Fail(std::string_view what) const {
    throw ERegistryException(Format("Registry file \"%s\", line %d: %s", FFileName, static_cast<int>(FLine + 1), what));
  }

  // The whole file as UTF-8. The header line is ASCII in every accepted form, so it can be told
  // before the text is decoded.
  std::string DecodeText(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
      return ConvertCodePage(bytes.substr(2), kUtf16LECodePage, kUtf8CodePage);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    std::size_t first = bytes.find_first_not_of("\r\n \t");
    std::string_view start = first == std::string_view::npos ? std::string_view() : bytes.substr(first);
    if (start.substr(0, kVersion4Header.size()) == kVersion4Header) return AnsiToUtf8(bytes);
    return std::string(bytes);
  }

  void ParseLine(std::string_view line) {
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') return ParseKeyLine(line);
    if (line.front() == '"' || line.front() == '@') return ParseValueLine(line);
    Fail("a line that is neither a key nor a value");
  }

  void ParseKeyLine(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') Fail("a key without its closing \"]\"");
    std::string_view path = line.substr(1, line.size() - 2);
    bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start <= path.size();) {
      std::size_t end = std::min(path.find('\\', start), path.size());
      if (end > start) names.push_back(path.substr(start, end - start));
      start = end + 1;
    }
    if (names.empty() || !SameName(names.front(), FRootName))
      Fail(Format("the key \"%s\" is not below %s", path, FRootName));
    names.erase(names.begin());
    FCurrent = nullptr;
    if (remove) {
      RemoveKey(names);
    } else {
      FCurrent = FRoot;
      for (auto name : names) FCurrent = SubKeyOf(*FCurrent, name);
    }
    FInsideKey = true;
  }

  static TRegistryNode* SubKeyOf(TRegistryNode& parent, std::string_view name) {
    std::string key = FoldName(name);
    if (auto it = parent.SubKeyIndex.find(key); it != parent.SubKeyIndex.end()) return it->second;
    auto node = std::make_unique<TRegistryNode>();
    node->Name = std::string(name);
    TRegistryNode* raw = node.get();
    parent.SubKeys.push_back(std::move(node));
    parent.SubKeyIndex.emplace(std::move(key), raw);
    return raw;
  }

  void RemoveKey(const std::vector<std::string_view>& names) {
    if (names.empty()) Fail("the root key cannot be deleted");
    TRegistryNode* parent = FRoot;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
      auto it = parent->SubKeyIndex.find(FoldName(names[i]));
      if (it == parent->SubKeyIndex.end()) return;
      parent = it->second;
    }
    auto it = parent->SubKeyIndex.find(FoldName(names.back()));
    if (it == parent->SubKeyIndex.end()) return;
    TRegistryNode* doomed = it->second;
    parent->SubKeyIndex.erase(it);
    std::erase_if(parent->SubKeys, [doomed](const auto& node) { return node.get() == doomed; });
  }

  // A quoted string starting at text[pos] == '"', with the escapes \\ and \"; pos ends after it.
  // Another backslash stays as written, as hand-written files often hold plain Windows paths.
  std::string QuotedString(std::string_view text, std::size_t& pos) const {
    std::string out;
    for (++pos; pos < text.size(); ++pos) {
      char c = text[pos];
      if (c == '"') {
        ++pos;
        return out;
      }
      if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) c = text[++pos];
      out += c;
    }
    Fail("a string without its closing quote");
  }

  void ParseValueLine(std::string_view line) {
    if (!FInsideKey) Fail("a value before the first key");
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      name = QuotedString(line, pos);
    }
    std::string_view rest = TrimBlanks(line.substr(pos));
    if (rest.empty() || rest.front() != '=') Fail(Format("no \"=\" after the value name \"%s\"", name));
    rest = TrimBlanks(rest.substr(1));

    std::optional<TRegistryValue> value = ParseData(rest);
    if (!FCurrent) return;  // inside a deleted key: parsed, then dropped
    if (!value) return RemoveValue(name);
    value->Name = name;
    std::string key = FoldName(name);
    if (auto it = FCurrent->ValueIndex.find(key); it != FCurrent->ValueIndex.end()) {
      value->Name = FCurrent->Values[it->second].Name;
      FCurrent->Values[it->second] = std::move(*value);
    } else {
      FCurrent->ValueIndex.emplace(std::move(key), FCurrent->Values.size());
      FCurrent->Values.push_back(std::move(*value));
    }
  }

  void RemoveValue(const std::string& name) {
    auto it = FCurrent->ValueIndex.find(FoldName(name));
    if (it == FCurrent->ValueIndex.end()) return;
    FCurrent->Values.erase(FCurrent->Values.begin() + static_cast<std::ptrdiff_t>(it->second));
    FCurrent->ValueIndex.clear();
    for (std::size_t i = 0; i < FCurrent->Values.size(); ++i)
      FCurrent->ValueIndex.emplace(FoldName(FCurrent->Values[i].Name), i);
  }

  // The value after "=", or nothing for "-" (delete the value).
  std::optional<TRegistryValue> ParseData(std::string_view data) {
    TRegistryValue value;
    if (data == "-") return std::nullopt;
    if (!data.empty() && data.front() == '"') {
      std::size_t pos = 0;
      value.Type = kRegString;
      value.Text = QuotedString(data, pos);
      if (!TrimBlanks(data.substr(pos)).empty()) Fail("characters after the closing quote of a string");
      return value;
    }
    if (data.rfind("dword:", 0) == 0) {
      auto number = ParseHexNumber(TrimBlanks(data.substr(6)));
      if (!number) Fail("a dword value that is not 1 to 8 hexadecimal digits");
      value.Type = kRegDword;
      for (int i = 0; i < 4; ++i) value.Data.push_back(static_cast<std::uint8_t>(*number >> (8 * i)));
      return value;
    }
    if (data.rfind("hex:", 0) == 0) {
      value.Type = kRegBinary;
      data.remove_prefix(4);
    } else if (data.rfind("hex(", 0) == 0) {
      std::size_t close = data.find("):");
      auto type = close == std::string_view::npos ? std::nullopt : ParseHexNumber(data.substr(4, close - 4));
      if (!type) Fail("a hex(n) type that is not a hexadecimal number");
      value.Type = *type;
      data.remove_prefix(close + 2);
    } else {
      Fail("a value that is neither a string, dword: nor hex:");
    }
    value.Data = HexBytes(data);
    if (value.Type == kRegString || value.Type == kRegExpandString) {
      value.Text = DecodeStringBytes(value.Data);
      value.Data.clear();
    }
    return value;
  }

  // Comma-separated bytes, continued on the following lines while a line ends with "\".
  std::vector<std::uint8_t> HexBytes(std::string_view first) {
    std::string list;
    std::string_view part = TrimBlanks(first);
    for (;;) {
      bool continued = !part.empty() && part.back() == '\\';
      if (continued) part.remove_suffix(1);
      list += part;
      if (!continued || FLine + 1 >= FLines.size()) break;
      part = TrimBlanks(FLines[++FLine]);
    }
    std::vector<std::uint8_t> bytes;
    if (TrimBlanks(list).empty()) return bytes;
    bytes.reserve(list.size() / 3 + 1);
    for (std::size_t start = 0; start <= list.size();) {
      std::size_t end = std::min(list.find(',', start), list.size());
      std::string_view item = TrimBlanks(std::string_view(list).substr(start, end - start));
      auto byte = item.size() <= 2 ? ParseHexNumber(item) : std::nullopt;
      if (!byte) Fail(Format("\"%s\" is not a hexadecimal byte", item));
      bytes.push_back(static_cast<std::uint8_t>(*byte));
      start = end + 1;
    }
    return bytes;
  }

  // hex(1) and hex(2) bytes: the text up to its first NUL, in the string encoding of the format.
  std::string DecodeStringBytes(const std::vector<std::uint8_t>& data) const {
    std::string bytes(data.begin(), data.end());
    if (FStringCodePage == kUtf16LECodePage) {
      std::size_t length = 0;
      while (length + 1 < bytes.size() && (bytes[length] != '\0' || bytes[length + 1] != '\0')) length += 2;
      return ConvertCodePage(std::string_view(bytes).substr(0, length), kUtf16LECodePage, kUtf8CodePage);
    }
    bytes.resize(std::min(bytes.find('\0'), bytes.size()));
    return AnsiToUtf8(bytes);
  }

  std::string_view FFileName;
  std::string_view FRootName;
  std::vector<std::string_view> FLines;
  std::size_t FLine = 0;
  int FStringCodePage = kUtf16LECodePage;
  TRegistryNode* FRoot = nullptr;
  TRegistryNode* FCurrent = nullptr;  // null inside a deleted key
  bool FInsideKey = false;
};
}  // namespace

std::unique_ptr<TRegistryNode> ParseRegistryFile(std::string_view bytes, std::string_view fileName,
                                                 std::string_view rootName) {
  return TParser(fileName, rootName).Parse(bytes);
}

}  // namespace platform
