#pragma once
// A list of strings with an object attached to each line: sorted or not, with or without case,
// with a duplicates rule for sorted lists, name-value lines and a delimited-text form.

#include <any>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TStream;

enum TDuplicates : int { dupIgnore, dupAccept, dupError };

class TStringList {
 public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> lines);

  std::size_t Count() const { return FItems.size(); }
  bool IsEmpty() const { return FItems.empty(); }
  const std::string& operator[](std::size_t index) const { return Strings(index); }
  const std::string& Strings(std::size_t index) const;
  void SetString(std::size_t index, std::string value);  // not on a sorted list
  const std::any& Objects(std::size_t index) const;
  void SetObject(std::size_t index, std::any object);

  // Returns the index of the new line; on a sorted list the duplicates rule applies:
  // dupIgnore returns the index of the existing line, dupError raises EStringListError.
  int Add(std::string s);
  int AddObject(std::string s, std::any object);
  void AddStrings(const TStringList& other);
  void Insert(std::size_t index, std::string s);  // EStringListError on a sorted list
  void InsertObject(std::size_t index, std::string s, std::any object);
  void Delete(std::size_t index);
  void Clear();
  void Exchange(std::size_t a, std::size_t b);
  void Assign(const TStringList& other);  // lines, objects and settings

  int IndexOf(std::string_view s) const;  // -1 when absent; compares by CaseSensitive
  int IndexOfName(std::string_view name) const;
  // Binary search on a sorted list: true when found; index is the match (the first of equal
  // lines) or the insertion point.
  bool Find(std::string_view s, int& index) const;

  bool Sorted() const { return FSorted; }
  void SetSorted(bool value);
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates value) { FDuplicates = value; }
  void Sort();
  // Sorts with a comparison of two lines by index (< 0, 0, > 0).
  void CustomSort(const std::function<int(const TStringList&, std::size_t, std::size_t)>& compare);
  // Locale-aware comparison, ignoring case unless CaseSensitive.
  int CompareStrings(std::string_view a, std::string_view b) const;

  // Name-value lines "name=value".
  char NameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(char value) { FNameValueSeparator = value; }
  std::string Names(std::size_t index) const;  // "" for a line without separator
  std::string ValueFromIndex(std::size_t index) const;
  std::string Values(std::string_view name) const;
  // An empty value deletes the line; a new name is added.
  void SetValue(std::string_view name, std::string_view value);

  // Delimited text: items joined by Delimiter, quoted with QuoteChar when they hold the quote
  // character, the delimiter (or, without StrictDelimiter, a blank or control character).
  char Delimiter() const { return FDelimiter; }
  void SetDelimiter(char value) { FDelimiter = value; }
  char QuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(char value) { FQuoteChar = value; }
  bool StrictDelimiter() const { return FStrictDelimiter; }
  void SetStrictDelimiter(bool value) { FStrictDelimiter = value; }
  std::string DelimitedText() const;
  void SetDelimitedText(std::string_view text);
  std::string CommaText() const;  // "," and '"', not strict
  void SetCommaText(std::string_view text);

  // Every line followed by LineBreak (CR LF); setting splits at CR LF, CR or LF.
  const std::string& LineBreak() const { return FLineBreak; }
  void SetLineBreak(std::string value) { FLineBreak = std::move(value); }
  std::string Text() const;
  void SetText(std::string_view text);

  // UTF-8 text; a UTF-8 or UTF-16LE byte-order mark on loading is honoured.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  std::vector<std::string> ToStringArray() const;
  bool operator==(const TStringList& other) const;  // same lines in the same order

 private:
  struct Item {
    std::string Text;
    std::any Object;
  };

 public:
  // Range-for over the lines.
  class const_iterator {
   public:
    explicit const_iterator(std::vector<Item>::const_iterator it) : FIt(it) {}
    const std::string& operator*() const { return FIt->Text; }
    const_iterator& operator++() {
      ++FIt;
      return *this;
    }
    bool operator!=(const const_iterator& other) const { return FIt != other.FIt; }

   private:
    std::vector<Item>::const_iterator FIt;
  };
  const_iterator begin() const { return const_iterator(FItems.begin()); }
  const_iterator end() const { return const_iterator(FItems.end()); }

 private:
  void InsertItem(std::size_t index, std::string s, std::any object);
  void CheckIndex(std::size_t index) const;

  std::vector<Item> FItems;
  bool FSorted = false;
  bool FCaseSensitive = false;
  TDuplicates FDuplicates = dupIgnore;
  char FNameValueSeparator = '=';
  char FDelimiter = ',';
  char FQuoteChar = '"';
  bool FStrictDelimiter = false;
  std::string FLineBreak = "\r\n";
};

using TStrings = TStringList;
