// Reading a PE image's version resource without loading the image.
//
// Path: DOS header -> "PE\0\0" -> COFF header -> optional header (PE32 or PE32+) -> data
// directory 2 (resources) -> section table, which maps relative virtual addresses (RVAs) to file
// offsets -> resource directory: type RT_VERSION, first name, first language -> data entry ->
// VS_VERSIONINFO. Every number read from the file is untrusted: offsets are 64-bit sums checked
// against the image, the only allocation sized by the file is the version block (at most 64 KiB,
// and only when the image holds that many bytes), and the directory walk has exactly three levels,
// so a directory that points back at itself ends the walk instead of looping.

#include "platform/VersionResource.h"

#include <algorithm>
#include <array>
#include <memory>
#include <type_traits>

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "platform/FileStream.h"

namespace platform {

std::string TVersionTranslation::Key() const { return IntToHex(Language, 4) + IntToHex(CodePage, 4); }

std::optional<std::string> TVersionInfo::QueryString(std::string_view table, std::string_view name) const {
  for (const auto& t : StringTables) {
    if (!SameText(t.Key, table)) continue;
    for (const auto& [key, value] : t.Strings)
      if (SameText(key, name)) return value;
    return std::nullopt;
  }
  return std::nullopt;
}

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kMaxVersionBlock = 0x10000;  // the block's length field is 16 bits
constexpr std::uint32_t kMaxDirectoryEntries = 0x10000;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The image, read by ranges; a range that is not wholly inside the image is refused.
class TImageSource {
 public:
  virtual ~TImageSource() = default;
  virtual std::uint64_t Size() const = 0;
  bool Read(std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset > Size() || count > Size() - offset) return false;
    return ReadRange(offset, buffer, count);
  }

 private:
  virtual bool ReadRange(std::uint64_t offset, void* buffer, std::size_t count) = 0;
};

class TMemorySource : public TImageSource {
 public:
  explicit TMemorySource(std::string_view image) : FImage(image) {}
  std::uint64_t Size() const override { return FImage.size(); }

 private:
  bool ReadRange(std::uint64_t offset, void* buffer, std::size_t count) override {
    std::copy_n(FImage.data() + offset, count, static_cast<char*>(buffer));
    return true;
  }
  std::string_view FImage;
};

class TFileSource : public TImageSource {
 public:
  explicit TFileSource(const std::string& fileName)
      : FFile(fileName, fmOpenRead | fmShareDenyWrite), FSize(static_cast<std::uint64_t>(FFile.Size())) {}
  std::uint64_t Size() const override { return FSize; }

 private:
  bool ReadRange(std::uint64_t offset, void* buffer, std::size_t count) override {
    FFile.Seek(static_cast<std::int64_t>(offset), soBeginning);
    return FFile.Read(buffer, static_cast<std::int32_t>(count)) == static_cast<std::int32_t>(count);
  }
  TFileStream FFile;
  std::uint64_t FSize;
};

struct TSection {
  std::uint32_t VirtualAddress = 0;
  std::uint32_t Span = 0;  // bytes of the section that the file holds
  std::uint32_t RawOffset = 0;
};

class TPeImage {
 public:
  explicit TPeImage(TImageSource& source) : FSource(source) {}

  // The version block's bytes, or nothing.
  std::optional<std::string> VersionBlock() {
    if (!ReadHeaders()) return std::nullopt;
    auto typeDirectory = SubDirectory(0, [](std::uint32_t id) { return id == kRtVersion; });
    if (!typeDirectory) return std::nullopt;
    auto nameDirectory = SubDirectory(*typeDirectory, nullptr);
    if (!nameDirectory) return std::nullopt;
    auto dataEntry = FirstEntry(*nameDirectory, nullptr);
    if (!dataEntry || (*dataEntry & 0x80000000u)) return std::nullopt;  // must be data, not a directory
    std::array<std::uint8_t, 8> entry{};
    if (!ReadResource(*dataEntry, entry.data(), entry.size())) return std::nullopt;
    std::uint32_t size = std::min<std::uint32_t>(U32(&entry[4]), kMaxVersionBlock);
    auto offset = MapRva(U32(&entry[0]), size);
    if (!offset) return std::nullopt;
    std::string block(size, '\0');
    if (!FSource.Read(*offset, block.data(), size)) return std::nullopt;
    return block;
  }

 private:
  bool ReadHeaders() {
    std::array<std::uint8_t, 64> dos{};
    if (!FSource.Read(0, dos.data(), dos.size()) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint64_t pe = U32(&dos[0x3C]);
    std::array<std::uint8_t, 24> header{};  // signature and COFF header
    if (!FSource.Read(pe, header.data(), header.size())) return false;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return false;
    const std::uint32_t sectionCount = U16(&header[6]);
    const std::uint32_t optionalSize = U16(&header[20]);
    const std::uint64_t optional = pe + 24;

    std::array<std::uint8_t, 2> magic{};
    if (!FSource.Read(optional, magic.data(), magic.size())) return false;
    std::uint32_t countOffset, directories;
    switch (U16(magic.data())) {
      case 0x10B: countOffset = 92, directories = 96; break;    // PE32
      case 0x20B: countOffset = 108, directories = 112; break;  // PE32+
      default: return false;
    }
    if (optionalSize < directories + 3 * 8) return false;  // directory 2 lies inside the header
    std::array<std::uint8_t, 4> count{};
    if (!FSource.Read(optional + countOffset, count.data(), count.size()) || U32(count.data()) < 3) return false;
    std::array<std::uint8_t, 8> resources{};
    if (!FSource.Read(optional + directories + 2 * 8, resources.data(), resources.size())) return false;
    FResourceRva = U32(&resources[0]);
    if (FResourceRva == 0) return false;

    // The table's size is checked against the image before anything is allocated for it.
    const std::uint64_t tableOffset = optional + optionalSize;
    const std::uint64_t tableSize = std::uint64_t{sectionCount} * 40;
    if (tableOffset > FSource.Size() || tableSize > FSource.Size() - tableOffset) return false;
    std::vector<std::uint8_t> table(static_cast<std::size_t>(tableSize));
    if (!FSource.Read(tableOffset, table.data(), table.size())) return false;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
      const std::uint8_t* s = &table[i * 40];
      std::uint32_t virtualSize = U32(s + 8), rawSize = U32(s + 16);
      // Past its virtual size a section is not mapped, past its raw size it is zeros, not file data.
      FSections.push_back({U32(s + 12), virtualSize ? std::min(virtualSize, rawSize) : rawSize, U32(s + 20)});
    }
    return true;
  }

  // The file offset of `count` bytes at an RVA, all inside one section's file data.
  std::optional<std::uint64_t> MapRva(std::uint64_t rva, std::uint64_t count) const {
    for (const auto& s : FSections) {
      if (rva < s.VirtualAddress) continue;
      const std::uint64_t into = rva - s.VirtualAddress;
      if (into > s.Span || count > s.Span - into) continue;
      return std::uint64_t{s.RawOffset} + into;
    }
    return std::nullopt;
  }

  // Bytes at an offset from the start of the resource directory.
  bool ReadResource(std::uint64_t offset, void* buffer, std::size_t count) {
    auto fileOffset = MapRva(std::uint64_t{FResourceRva} + offset, count);
    return fileOffset && FSource.Read(*fileOffset, buffer, count);
  }

  // The OffsetToData of the first entry of a directory whose id matches (any entry without a
  // filter; named entries never match a filter), or nothing.
  template <class Filter>
  std::optional<std::uint32_t> FirstEntry(std::uint32_t directory, Filter filter) {
    std::array<std::uint8_t, 16> header{};
    if (!ReadResource(directory, header.data(), header.size())) return std::nullopt;
    const std::uint32_t named = U16(&header[12]);
    const std::uint32_t total = std::min(named + U16(&header[14]), kMaxDirectoryEntries);
    for (std::uint32_t i = 0; i < total; ++i) {
      std::array<std::uint8_t, 8> entry{};
      if (!ReadResource(std::uint64_t{directory} + 16 + std::uint64_t{i} * 8, entry.data(), entry.size()))
        return std::nullopt;
      if constexpr (std::is_same_v<Filter, std::nullptr_t>) {
        return U32(&entry[4]);
      } else {
        const std::uint32_t id = U32(&entry[0]);
        if (!(id & 0x80000000u) && filter(id)) return U32(&entry[4]);
      }
    }
    return std::nullopt;
  }

  template <class Filter>
  std::optional<std::uint32_t> SubDirectory(std::uint32_t directory, Filter filter) {
    auto target = FirstEntry(directory, filter);
    if (!target || !(*target & 0x80000000u)) return std::nullopt;
    return *target & 0x7FFFFFFFu;
  }

  TImageSource& FSource;
  std::uint32_t FResourceRva = 0;
  std::vector<TSection> FSections;
};

// --- VS_VERSIONINFO ----------------------------------------------------------------------------
// Every block: WORD wLength, WORD wValueLength, WORD wType (1 text, 0 binary), the NUL-terminated
// UTF-16 key, padding to 4 bytes, the value, padding, the child blocks. Offsets are relative to the
// start of the resource data, which is where the padding is counted from.

struct TBlock {
  std::u16string Key;
  std::size_t ValueStart = 0;
  std::size_t ValueBytes = 0;  // as declared, cut at the block's end
  std::size_t ChildrenStart = 0;
  std::size_t End = 0;
  std::size_t Next = 0;  // where the next sibling starts
};

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

const std::uint8_t* Bytes(std::string_view data, std::size_t pos) {
  return reinterpret_cast<const std::uint8_t*>(data.data()) + pos;
}

// The block at `pos`, which must end by `limit`; nothing when it does not fit or is malformed.
std::optional<TBlock> ReadBlock(std::string_view data, std::size_t pos, std::size_t limit) {
  if (limit > data.size() || pos > limit || limit - pos < 6) return std::nullopt;
  const std::size_t length = U16(Bytes(data, pos));
  const std::size_t valueLength = U16(Bytes(data, pos + 2));
  const bool text = U16(Bytes(data, pos + 4)) == 1;
  if (length < 6 || length > limit - pos) return std::nullopt;
  TBlock block;
  block.End = pos + length;
  std::size_t p = pos + 6;
  for (;; p += 2) {
    if (p + 2 > block.End) return std::nullopt;  // a key without its NUL
    char16_t c = U16(Bytes(data, p));
    if (c == 0) break;
    block.Key += c;
  }
  block.ValueStart = std::min(Align4(p + 2), block.End);
  block.ValueBytes = std::min(text ? valueLength * 2 : valueLength, block.End - block.ValueStart);
  block.ChildrenStart = std::min(Align4(block.ValueStart + block.ValueBytes), block.End);
  block.Next = Align4(block.End);
  return block;
}

// The child blocks; a malformed child ends the list.
std::vector<TBlock> Children(std::string_view data, const TBlock& parent) {
  std::vector<TBlock> children;
  for (std::size_t pos = parent.ChildrenStart; pos < parent.End;) {
    auto child = ReadBlock(data, pos, parent.End);
    if (!child) break;
    pos = child->Next;  // > pos: every block is at least 6 bytes long
    children.push_back(std::move(*child));
  }
  return children;
}

bool KeyIs(const std::u16string& key, std::string_view name) { return SameText(Utf16ToUtf8(key), name); }

// A string's value: UTF-16 text up to its NUL or the block's end. Writers disagree on whether
// wValueLength counts characters or bytes, so only "0 = empty" is taken from it.
std::string StringValue(std::string_view data, const TBlock& block) {
  if (block.ValueBytes == 0) return std::string();
  std::u16string value;
  for (std::size_t p = block.ValueStart; p + 2 <= block.End; p += 2) {
    char16_t c = U16(Bytes(data, p));
    if (c == 0) break;
    value += c;
  }
  return Utf16ToUtf8(value);
}

TVersionNumbers Numbers(const std::uint8_t* mostSignificant) {
  std::uint32_t ms = U32(mostSignificant), ls = U32(mostSignificant + 4);
  return {static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms), static_cast<std::uint16_t>(ls >> 16),
          static_cast<std::uint16_t>(ls)};
}

std::optional<TVersionInfo> ParseVersionBlock(std::string_view data) {
  auto root = ReadBlock(data, 0, data.size());
  if (!root || !KeyIs(root->Key, "VS_VERSION_INFO")) return std::nullopt;
  TVersionInfo info;
  if (root->ValueBytes >= 52 && U32(Bytes(data, root->ValueStart)) == kFixedInfoSignature) {
    const std::uint8_t* fixed = Bytes(data, root->ValueStart);
    info.Fixed = TVersionFixedInfo{Numbers(fixed + 8), Numbers(fixed + 16)};
  }
  for (const TBlock& child : Children(data, *root)) {
    if (KeyIs(child.Key, "StringFileInfo")) {
      for (const TBlock& table : Children(data, child)) {
        TVersionStringTable strings{Utf16ToUtf8(table.Key), {}};
        for (const TBlock& s : Children(data, table)) strings.Strings.emplace_back(Utf16ToUtf8(s.Key), StringValue(data, s));
        info.StringTables.push_back(std::move(strings));
      }
    } else if (KeyIs(child.Key, "VarFileInfo")) {
      for (const TBlock& var : Children(data, child)) {
        if (!KeyIs(var.Key, "Translation") || !info.Translations.empty()) continue;
        for (std::size_t p = var.ValueStart; p + 4 <= var.ValueStart + var.ValueBytes; p += 4)
          info.Translations.push_back({U16(Bytes(data, p)), U16(Bytes(data, p + 2))});
      }
    }
  }
  return info;
}

std::optional<TVersionInfo> Parse(TImageSource& source) {
  auto block = TPeImage(source).VersionBlock();
  if (!block) return std::nullopt;
  return ParseVersionBlock(*block);
}

}  // namespace

std::optional<TVersionInfo> ParseVersionResource(std::string_view image) {
  TMemorySource source(image);
  return Parse(source);
}

std::optional<TVersionInfo> ReadVersionResource(const std::string& fileName) {
  try {
    TFileSource source(fileName);
    return Parse(source);
  } catch (const Exception&) {
    return std::nullopt;  // missing, unreadable or vanished: no version, as the system answers
  }
}

}  // namespace platform
