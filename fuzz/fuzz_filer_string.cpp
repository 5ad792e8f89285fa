// The filer's string reader on arbitrary bytes: the first byte picks the reader, the rest is the
// stream. Whatever is read must write and read back as the same text.

#include <cstdint>

#include "Common.Filer.h"
#include "FuzzSupport.h"

namespace {
enum Mode { kAnyForm, kAnsiForm, kUtf16Form, kListOfStrings, kModes };

void CheckRoundTrip(const std::string& text, bool ansiBytes) {
  TOrvelFiler out = TOrvelFiler::CreateWithMemoryStream();
  out.SetUseUnicodeStrings(true);
  if (ansiBytes)
    out.WriteStringA(text);
  else
    out.WriteString(text);
  out.SetPosition(0);
  std::string back = ansiBytes ? out.ReadStringA() : out.ReadString();
  if (back != text || !out.IsEndOfStream()) FuzzFailure("string does not read back");
}

std::string Seed(Mode mode, void (*write)(TOrvelFiler&)) {
  TMemoryStream stream;
  TOrvelFiler filer(stream);
  filer.Write_Byte(mode);
  write(filer);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
  return {
      Seed(kAnyForm, [](TOrvelFiler& f) { f.WriteString("Привет"); f.WriteString(""); }),
      Seed(kAnyForm, [](TOrvelFiler& f) { f.SetUseUnicodeStrings(true); f.WriteString(std::string(300, 'w')); }),
      Seed(kAnsiForm, [](TOrvelFiler& f) { f.WriteStringA(std::string(256, '\xC0')); }),
      Seed(kUtf16Form, [](TOrvelFiler& f) { f.WriteStringW("a😀б"); }),
      Seed(kListOfStrings, [](TOrvelFiler& f) {
        f.WriteListBegin();
        for (const char* s : {"один", "два"}) {
          f.NextListItem();
          f.WriteString(s);
        }
        f.WriteListEnd();
      }),
  };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  TMemoryStream stream;
  stream.WriteBuffer(data + 1, static_cast<std::int64_t>(size - 1));
  stream.SetPosition(0);
  TOrvelFiler filer(stream);
  auto mode = static_cast<Mode>(data[0] % kModes);
  try {
    while (!filer.IsEndOfStream()) {
      switch (mode) {
        case kAnyForm: CheckRoundTrip(filer.ReadString(), false); break;
        case kAnsiForm: CheckRoundTrip(filer.ReadStringA(), true); break;
        case kUtf16Form: CheckRoundTrip(filer.ReadStringW(), false); break;
        default:
          filer.ReadListBegin();
          while (!filer.EOL()) {
            CheckRoundTrip(filer.ReadString(), false);
            filer.ReadNextItem();
          }
          filer.ReadListEnd();
      }
    }
  } catch (const EAssertionFailed&) {
    FuzzFailure("assertion on input data");
  } catch (const Exception&) {
    // Malformed input is reported by an exception: that is the expected outcome.
  }
  return 0;
}
