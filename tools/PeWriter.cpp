#include "tools/PeWriter.h"

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"

namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kPeOffset = 0x80;
constexpr std::uint32_t kCodeRva = 0x1000;
constexpr std::uint32_t kResourceRva = 0x2000;

std::uint32_t AlignUp(std::uint32_t n, std::uint32_t alignment) { return (n + alignment - 1) / alignment * alignment; }

class TBytes {
 public:
  void U8(std::uint8_t v) { FData += static_cast<char>(v); }
  void U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v));
    U8(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Append(std::string_view bytes) { FData += bytes; }
  void PadTo(std::size_t size) { FData.resize(std::max(FData.size(), size), '\0'); }
  void Align(std::size_t alignment) { PadTo((FData.size() + alignment - 1) / alignment * alignment); }
  std::size_t Size() const { return FData.size(); }
  std::string& Data() { return FData; }

 private:
  std::string FData;
};

std::string Utf16Z(std::string_view utf8) {
  TBytes out;
  for (char16_t c : Utf8ToUtf16(utf8)) out.U16(c);
  out.U16(0);
  return out.Data();
}

// One version block: header, key, value and children, each part aligned to 4 bytes. The length
// covers everything but the padding after the last child.
std::string VersionBlock(std::string_view key, std::string_view value, std::uint16_t valueLength, bool text,
                         const std::vector<std::string>& children) {
  TBytes block;
  block.U16(0);  // length, set below
  block.U16(valueLength);
  block.U16(text ? 1 : 0);
  block.Append(Utf16Z(key));
  block.Align(4);
  block.Append(value);
  for (const auto& child : children) {
    block.Align(4);
    block.Append(child);
  }
  std::string bytes = block.Data();
  bytes[0] = static_cast<char>(bytes.size() & 0xFF);
  bytes[1] = static_cast<char>(bytes.size() >> 8);
  return bytes;
}

std::uint32_t TranslationFromKey(const std::string& key) {
  std::uint32_t value = 0;
  bool valid = key.size() == 8;
  for (char c : key) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    valid = valid && d >= 0;
    value = value << 4 | static_cast<std::uint32_t>(d < 0 ? 0 : d);
  }
  if (!valid) throw EConvertError(Format("'%s' is not a translation key of 8 hexadecimal digits", key));
  return value;  // language in the high word, code page in the low word
}

std::string VersionInfo(const TPeImageOptions& options) {
  TBytes fixed;
  auto& f = options.FileVersion;
  auto& p = options.ProductVersion;
  fixed.U32(0xFEEF04BD);
  fixed.U32(0x00010000);
  fixed.U32(std::uint32_t{f[0]} << 16 | f[1]);
  fixed.U32(std::uint32_t{f[2]} << 16 | f[3]);
  fixed.U32(std::uint32_t{p[0]} << 16 | p[1]);
  fixed.U32(std::uint32_t{p[2]} << 16 | p[3]);
  fixed.U32(0x3F);     // flags mask
  fixed.U32(0);        // flags
  fixed.U32(0x40004);  // VOS_NT_WINDOWS32
  fixed.U32(1);        // VFT_APP
  fixed.U32(0);
  fixed.U32(0);
  fixed.U32(0);

  std::vector<std::string> children;
  if (!options.StringTables.empty()) {
    std::vector<std::string> tables;
    for (const auto& table : options.StringTables) {
      std::vector<std::string> strings;
      for (const auto& [name, value] : table.Strings) {
        std::string text = Utf16Z(value);
        strings.push_back(VersionBlock(name, text, static_cast<std::uint16_t>(text.size() / 2), true, {}));
      }
      tables.push_back(VersionBlock(table.Key, "", 0, true, strings));
    }
    children.push_back(VersionBlock("StringFileInfo", "", 0, true, tables));
  }
  std::vector<std::string> keys = options.Translations;
  if (keys.empty())
    for (const auto& table : options.StringTables) keys.push_back(table.Key);
  if (options.WithTranslation && !keys.empty()) {
    TBytes value;
    for (const auto& key : keys) {
      std::uint32_t translation = TranslationFromKey(key);
      value.U16(static_cast<std::uint16_t>(translation >> 16));
      value.U16(static_cast<std::uint16_t>(translation));
    }
    std::string var = VersionBlock("Translation", value.Data(), static_cast<std::uint16_t>(value.Size()), false, {});
    children.push_back(VersionBlock("VarFileInfo", "", 0, true, {var}));
  }
  return VersionBlock("VS_VERSION_INFO", fixed.Data(), 52, false, children);
}

// Root -> RT_VERSION -> name 1 -> one language -> the data entry -> VS_VERSIONINFO.
std::string ResourceSection(const TPeImageOptions& options, std::uint32_t& versionOffset) {
  std::uint16_t language = 0;
  if (!options.StringTables.empty() && options.StringTables.front().Key.size() == 8)
    language = static_cast<std::uint16_t>(TranslationFromKey(options.StringTables.front().Key) >> 16);
  TBytes section;
  auto directory = [&section](std::uint32_t id, std::uint32_t target) {
    for (int i = 0; i < 3; ++i) section.U32(0);  // characteristics, time stamp, version
    section.U16(0);                              // named entries
    section.U16(1);                              // id entries
    section.U32(id);
    section.U32(target);
  };
  directory(16, 0x80000000u | 24);
  directory(1, 0x80000000u | 48);
  directory(language, 72);
  const std::string info = VersionInfo(options);
  versionOffset = 88;
  section.U32(kResourceRva + versionOffset);
  section.U32(static_cast<std::uint32_t>(info.size()));
  section.U32(0);  // code page
  section.U32(0);
  section.Append(info);
  return section.Data();
}

}  // namespace

TPeImage BuildPeImage(const TPeImageOptions& options) {
  const bool wide = options.Is64Bit;
  std::uint32_t versionOffset = 0;
  const std::string resources = options.WithResources ? ResourceSection(options, versionOffset) : std::string();
  const std::uint16_t sectionCount = options.WithResources ? 2 : 1;
  const std::uint16_t optionalSize = wide ? 240 : 224;
  const std::uint32_t codeOffset = kFileAlignment;  // the headers fit into the first 0x200 bytes
  const std::uint32_t resourceOffset = codeOffset + kFileAlignment;
  const std::uint32_t resourceRawSize = AlignUp(static_cast<std::uint32_t>(resources.size()), kFileAlignment);
  const std::uint32_t imageSize =
      AlignUp(options.WithResources ? kResourceRva + static_cast<std::uint32_t>(resources.size()) : kResourceRva,
              kSectionAlignment);

  TBytes image;
  // DOS header and the stub that tells DOS users that this is a Windows program.
  image.Append("MZ");
  image.U16(0x90);
  image.U16(3);
  image.U16(0);
  image.U16(4);
  image.U16(0);
  image.U16(0xFFFF);
  image.U16(0);
  image.U16(0xB8);
  image.PadTo(0x18);
  image.U16(0x40);
  image.PadTo(0x3C);
  image.U32(kPeOffset);
  image.Append(std::string_view("\x0E\x1F\xBA\x0E\x00\xB4\x09\xCD\x21\xB8\x01\x4C\xCD\x21", 14));
  image.Append("This program cannot be run in DOS mode.\r\r\n$");
  image.PadTo(kPeOffset);

  image.Append(std::string_view("PE\0\0", 4));
  image.U16(wide ? 0x8664 : 0x014C);  // machine
  image.U16(sectionCount);
  image.U32(0);  // time stamp
  image.U32(0);  // symbol table
  image.U32(0);
  image.U16(optionalSize);
  image.U16(wide ? 0x0023 : 0x0103);  // no relocations, executable; large-address-aware or 32-bit machine

  image.U16(wide ? 0x20B : 0x10B);
  image.U8(14);
  image.U8(0);
  image.U32(kFileAlignment);   // size of code
  image.U32(resourceRawSize);  // size of initialised data
  image.U32(0);
  image.U32(kCodeRva);  // entry point
  image.U32(kCodeRva);  // base of code
  if (wide) {
    image.U64(0x140000000ull);
  } else {
    image.U32(kResourceRva);  // base of data
    image.U32(0x400000);
  }
  image.U32(kSectionAlignment);
  image.U32(kFileAlignment);
  image.U16(6);  // operating system version
  image.U16(0);
  image.U16(0);  // image version
  image.U16(0);
  image.U16(6);  // subsystem version
  image.U16(0);
  image.U32(0);
  image.U32(imageSize);
  image.U32(kFileAlignment);  // size of headers
  image.U32(0);               // checksum
  image.U16(2);               // Windows GUI
  image.U16(0x0100);          // NX compatible
  for (std::uint64_t v : {0x100000ull, 0x1000ull, 0x100000ull, 0x1000ull}) wide ? image.U64(v) : image.U32(static_cast<std::uint32_t>(v));
  image.U32(0);   // loader flags
  image.U32(16);  // data directories
  for (int i = 0; i < 16; ++i) {
    bool resourceDirectory = i == 2 && options.WithResources;
    image.U32(resourceDirectory ? kResourceRva : 0);
    image.U32(resourceDirectory ? static_cast<std::uint32_t>(resources.size()) : 0);
  }

  auto sectionHeader = [&image](std::string_view name, std::uint32_t virtualSize, std::uint32_t rva,
                                std::uint32_t rawSize, std::uint32_t rawOffset, std::uint32_t characteristics) {
    std::string padded(name);
    padded.resize(8, '\0');
    image.Append(padded);
    image.U32(virtualSize);
    image.U32(rva);
    image.U32(rawSize);
    image.U32(rawOffset);
    image.U32(0);
    image.U32(0);
    image.U16(0);
    image.U16(0);
    image.U32(characteristics);
  };
  sectionHeader(".text", 1, kCodeRva, kFileAlignment, codeOffset, 0x60000020);
  if (options.WithResources)
    sectionHeader(".rsrc", static_cast<std::uint32_t>(resources.size()), kResourceRva, resourceRawSize, resourceOffset,
                  0x40000040);

  image.PadTo(codeOffset);
  image.U8(0xC3);  // ret
  image.PadTo(codeOffset + kFileAlignment);
  TPeImage result;
  if (options.WithResources) {
    image.Append(resources);
    image.PadTo(resourceOffset + resourceRawSize);
    result.ResourceOffset = resourceOffset;
    result.VersionOffset = resourceOffset + versionOffset;
  }
  result.Bytes = std::move(image.Data());
  return result;
}
