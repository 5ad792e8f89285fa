#include "Runtime.StringList.h"

#include <algorithm>

#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"
#include "Runtime.Strings.h"

TStringList::TStringList(std::initializer_list<std::string> lines) {
  for (const auto& line : lines) Add(line);
}

void TStringList::CheckIndex(std::size_t index) const {
  if (index >= FItems.size()) throw EStringListError(Format("List index out of bounds (%d)", index));
}

const std::string& TStringList::Strings(std::size_t index) const {
  CheckIndex(index);
  return FItems[index].Text;
}

void TStringList::SetString(std::size_t index, std::string value) {
  if (FSorted) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  FItems[index].Text = std::move(value);
}

const std::any& TStringList::Objects(std::size_t index) const {
  CheckIndex(index);
  return FItems[index].Object;
}

void TStringList::SetObject(std::size_t index, std::any object) {
  CheckIndex(index);
  FItems[index].Object = std::move(object);
}

int TStringList::Add(std::string s) { return AddObject(std::move(s), {}); }

int TStringList::AddObject(std::string s, std::any object) {
  int index = static_cast<int>(FItems.size());
  if (FSorted && Find(s, index)) {
    if (FDuplicates == dupIgnore) return index;
    if (FDuplicates == dupError) throw EStringListError("String list does not allow duplicates");
  }
  InsertItem(static_cast<std::size_t>(index), std::move(s), std::move(object));
  return index;
}

void TStringList::AddStrings(const TStringList& other) {
  for (const auto& item : other.FItems) AddObject(item.Text, item.Object);
}

void TStringList::Insert(std::size_t index, std::string s) { InsertObject(index, std::move(s), {}); }

void TStringList::InsertObject(std::size_t index, std::string s, std::any object) {
  if (FSorted) throw EStringListError("Operation not allowed on sorted list");
  if (index > FItems.size()) throw EStringListError(Format("List index out of bounds (%d)", index));
  InsertItem(index, std::move(s), std::move(object));
}

void TStringList::InsertItem(std::size_t index, std::string s, std::any object) {
  FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(index), Item{std::move(s), std::move(object)});
}

void TStringList::Delete(std::size_t index) {
  CheckIndex(index);
  FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
}

void TStringList::Clear() { FItems.clear(); }

void TStringList::Exchange(std::size_t a, std::size_t b) {
  CheckIndex(a);
  CheckIndex(b);
  std::swap(FItems[a], FItems[b]);
}

void TStringList::Assign(const TStringList& other) {
  if (this != &other) *this = other;
}

int TStringList::CompareStrings(std::string_view a, std::string_view b) const {
  return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

int TStringList::IndexOf(std::string_view s) const {
  if (FSorted) {
    int index;
    return Find(s, index) ? index : -1;
  }
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (CompareStrings(FItems[i].Text, s) == 0) return static_cast<int>(i);
  return -1;
}

int TStringList::IndexOfName(std::string_view name) const {
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    const std::string& text = FItems[i].Text;
    auto sep = text.find(FNameValueSeparator);
    if (sep != std::string::npos && CompareStrings(std::string_view(text).substr(0, sep), name) == 0)
      return static_cast<int>(i);
  }
  return -1;
}

bool TStringList::Find(std::string_view s, int& index) const {
  bool found = false;
  int low = 0;
  int high = static_cast<int>(FItems.size()) - 1;
  while (low <= high) {
    int mid = (low + high) / 2;
    int c = CompareStrings(FItems[static_cast<std::size_t>(mid)].Text, s);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != dupAccept) low = mid;
      }
    }
  }
  index = low;
  return found;
}

void TStringList::SetSorted(bool value) {
  if (value && !FSorted) {
    FSorted = true;  // sort first so that a failing comparison leaves the flag consistent
    Sort();
  }
  FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == FCaseSensitive) return;
  FCaseSensitive = value;
  if (FSorted) Sort();
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.Text, b.Text) < 0; });
}

void TStringList::CustomSort(const std::function<int(const TStringList&, std::size_t, std::size_t)>& compare) {
  // Sort a permutation so that the comparison always sees the list as it was.
  std::vector<std::size_t> order(FItems.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(FItems.size());
  for (std::size_t i : order) sorted.push_back(std::move(FItems[i]));
  FItems = std::move(sorted);
}

std::string TStringList::Names(std::size_t index) const {
  const std::string& text = Strings(index);
  auto sep = text.find(FNameValueSeparator);
  return sep == std::string::npos ? std::string() : text.substr(0, sep);
}

std::string TStringList::ValueFromIndex(std::size_t index) const {
  const std::string& text = Strings(index);
  auto sep = text.find(FNameValueSeparator);
  return sep == std::string::npos ? std::string() : text.substr(sep + 1);
}

std::string TStringList::Values(std::string_view name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(static_cast<std::size_t>(i));
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
  int i = IndexOfName(name);
  std::string line = std::string(name) + FNameValueSeparator + std::string(value);
  if (value.empty()) {
    if (i >= 0) Delete(static_cast<std::size_t>(i));
  } else if (i < 0) {
    Add(std::move(line));
  } else if (FSorted) {
    std::any object = FItems[static_cast<std::size_t>(i)].Object;
    Delete(static_cast<std::size_t>(i));
    AddObject(std::move(line), std::move(object));
  } else {
    FItems[static_cast<std::size_t>(i)].Text = std::move(line);
  }
}

std::string TStringList::DelimitedText() const {
  if (FItems.size() == 1 && FItems[0].Text.empty()) return std::string(2, FQuoteChar);
  std::string result;
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    const std::string& s = FItems[i].Text;
    bool quote = std::any_of(s.begin(), s.end(), [this](char c) {
      return c == FQuoteChar || c == FDelimiter || c == '\0' || (!FStrictDelimiter && static_cast<unsigned char>(c) <= ' ');
    });
    if (i > 0) result += FDelimiter;
    result += quote ? QuotedStr(s, FQuoteChar) : s;
  }
  return result;
}

void TStringList::SetDelimitedText(std::string_view text) {
  Clear();
  auto isBlank = [](char c) { return c >= 1 && static_cast<unsigned char>(c) <= ' '; };
  std::size_t p = 0;
  const std::size_t n = text.size();
  if (!FStrictDelimiter)
    while (p < n && isBlank(text[p])) ++p;
  while (p < n) {
    std::string item;
    if (text[p] == FQuoteChar) {
      // A quoted item: a doubled quote stands for one; an unterminated one runs to the end.
      ++p;
      while (p < n) {
        if (text[p] == FQuoteChar) {
          if (p + 1 < n && text[p + 1] == FQuoteChar) {
            item += FQuoteChar;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      std::size_t start = p;
      while (p < n && text[p] != FDelimiter && (FStrictDelimiter || static_cast<unsigned char>(text[p]) > ' ')) ++p;
      item.assign(text.substr(start, p - start));
    }
    Add(std::move(item));
    if (!FStrictDelimiter)
      while (p < n && isBlank(text[p])) ++p;
    if (p < n && text[p] == FDelimiter) {
      if (p + 1 == n) Add(std::string());  // a trailing delimiter ends with an empty item
      ++p;
      if (!FStrictDelimiter)
        while (p < n && isBlank(text[p])) ++p;
    }
  }
}

std::string TStringList::CommaText() const {
  TStringList copy;
  copy.FItems = FItems;
  return copy.DelimitedText();  // the defaults are ",", '"' and not strict
}

void TStringList::SetCommaText(std::string_view text) {
  char delimiter = FDelimiter, quote = FQuoteChar;
  bool strict = FStrictDelimiter;
  FDelimiter = ',';
  FQuoteChar = '"';
  FStrictDelimiter = false;
  SetDelimitedText(text);
  FDelimiter = delimiter;
  FQuoteChar = quote;
  FStrictDelimiter = strict;
}

std::string TStringList::Text() const {
  std::string result;
  for (const auto& item : FItems) {
    result += item.Text;
    result += FLineBreak;
  }
  return result;
}

void TStringList::SetText(std::string_view text) {
  Clear();
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t start = p;
    while (p < text.size() && text[p] != '\r' && text[p] != '\n') ++p;
    Add(std::string(text.substr(start, p - start)));
    if (p < text.size() && text[p] == '\r') ++p;
    if (p < text.size() && text[p] == '\n') ++p;
  }
}

void TStringList::LoadFromStream(TStream& stream) {
  std::int64_t size = stream.Size() - stream.Position();
  std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), '\0');
  stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bytes.erase(0, 3);
  } else if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    std::u16string units((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                       (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    bytes = Utf16ToUtf8(units);
  }
  SetText(bytes);
}

void TStringList::SaveToStream(TStream& stream) const {
  std::string text = Text();
  stream.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

std::vector<std::string> TStringList::ToStringArray() const {
  std::vector<std::string> out;
  out.reserve(FItems.size());
  for (const auto& item : FItems) out.push_back(item.Text);
  return out;
}

bool TStringList::operator==(const TStringList& other) const {
  return FItems.size() == other.FItems.size() &&
         std::equal(FItems.begin(), FItems.end(), other.FItems.begin(),
                    [](const Item& a, const Item& b) { return a.Text == b.Text; });
}
