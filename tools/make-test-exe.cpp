// Writes a small Windows executable with a version resource, for tests and the demo's client:
//
//   make-test-exe --out OKvelo.exe --version 7.2.0.15 --string-table 041904E3
//                 --string "FileDescription=Орвел Квело Клиент" --string CompanyName=Orvel
//
// Options: --out FILE (required); --64 (a PE32+ image); --version A.B.C.D (file version, also the
// product version unless --product-version A.B.C.D follows); --string-table KEY, then
// --string NAME=VALUE for that table (repeatable, several tables); --translation KEY (repeatable;
// default: one per table); --no-translation (no VarFileInfo block); --no-resources.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "platform/FileStream.h"
#include "tools/PeWriter.h"

namespace {
KV_DECLARE_EXCEPTION(EUsage, Exception);

std::array<std::uint16_t, 4> ParseVersion(const std::string& text) {
  std::vector<std::string> parts = SplitString(text, '.');
  std::array<std::uint16_t, 4> version{};
  if (parts.size() != 4) throw EUsage("a version is four numbers separated by dots: " + text);
  for (std::size_t i = 0; i < 4; ++i) {
    std::int32_t n = 0;
    if (!TryStrToInt(parts[i], n) || n < 0 || n > 0xFFFF) throw EUsage("a version number is 0 to 65535: " + text);
    version[i] = static_cast<std::uint16_t>(n);
  }
  return version;
}

TPeImageOptions ParseArguments(int argc, char** argv, std::string& out) {
  TPeImageOptions options;
  bool productVersionGiven = false;
  auto next = [&](int& i) -> std::string {
    if (i + 1 >= argc) throw EUsage(std::string(argv[i]) + " needs a value");
    return argv[++i];
  };
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--out") {
      out = next(i);
    } else if (arg == "--64") {
      options.Is64Bit = true;
    } else if (arg == "--version") {
      options.FileVersion = ParseVersion(next(i));
      if (!productVersionGiven) options.ProductVersion = options.FileVersion;
    } else if (arg == "--product-version") {
      options.ProductVersion = ParseVersion(next(i));
      productVersionGiven = true;
    } else if (arg == "--string-table") {
      options.StringTables.push_back({next(i), {}});
    } else if (arg == "--string") {
      std::string pair = next(i);
      std::size_t eq = pair.find('=');
      if (options.StringTables.empty()) throw EUsage("--string needs a --string-table before it");
      if (eq == std::string::npos || eq == 0) throw EUsage("--string takes NAME=VALUE: " + pair);
      options.StringTables.back().Strings.emplace_back(pair.substr(0, eq), pair.substr(eq + 1));
    } else if (arg == "--translation") {
      options.Translations.push_back(next(i));
    } else if (arg == "--no-translation") {
      options.WithTranslation = false;
    } else if (arg == "--no-resources") {
      options.WithResources = false;
    } else {
      throw EUsage("unknown option " + std::string(arg));
    }
  }
  if (out.empty()) throw EUsage("--out FILE is required");
  return options;
}
}  // namespace

int main(int argc, char** argv) {
  std::string out;
  TPeImageOptions options;
  try {
    options = ParseArguments(argc, argv, out);
  } catch (const EUsage& e) {
    std::fprintf(stderr, "make-test-exe: %s\n", e.Message().c_str());
    return 2;
  }
  try {
    TPeImage image = BuildPeImage(options);
    TFileStream file(out, fmCreate);
    file.WriteBuffer(image.Bytes.data(), static_cast<std::int32_t>(image.Bytes.size()));
  } catch (const Exception& e) {
    std::fprintf(stderr, "make-test-exe: %s\n", e.Message().c_str());
    return 1;
  }
  return 0;
}
