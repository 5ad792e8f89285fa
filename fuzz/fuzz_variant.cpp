// ReadVariant on arbitrary bytes. A variant that was read either writes and reads back as the
// same variant, or is refused by WriteVariant before anything is written.

#include <cstdint>

#include "Common.Helpers.Classes.h"
#include "FuzzSupport.h"

namespace {
void CheckRoundTrip(const Variant& value) {
  TMemoryStream out;
  TStreamHelper helper(out);
  try {
    helper.WriteVariant(value);
  } catch (const EAssertionFailed&) {
    throw;
  } catch (const Exception&) {
    if (out.Size() != 0) FuzzFailure("a refused variant left bytes behind");
    return;  // e.g. a single-byte string comes back as a UTF-16 string, which has no encoding
  }
  out.SetPosition(0);
  if (!(helper.ReadVariant() == value) || !helper.EOS()) FuzzFailure("variant does not read back");
}

std::string Encoded(const Variant& value) {
  TMemoryStream stream;
  TStreamHelper(stream).WriteVariant(value);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
  Variant ints = Variant::CreateArray({{1, 3}, {0, 1}}, varInteger);
  ints.PutElement({2, 1}, Variant(21));
  Variant strings = Variant::CreateArray({{0, 1}}, varOleStr);
  strings.PutElement({0}, Variant::FromOleStr("Пр"));
  Variant mixed = Variant::CreateArray({{0, 1}, {-1, 0}}, varVariant);
  mixed.PutElement({0, -1}, Variant(1.5));
  mixed.PutElement({0, 0}, strings);
  mixed.PutElement({1, -1}, Variant::Null());
  mixed.PutElement({1, 0}, Variant::FromAnsiString("ab"));
  return {
      Encoded(Variant(7)) + Encoded(Variant::FromOleStr("текст")) + Encoded(Variant(true)),
      Encoded(Variant::FromAnsiString("Привет")) + Encoded(Variant::Null()) + Encoded(Variant()),
      Encoded(Variant(Currency::FromScaled(15000))) + Encoded(Variant::FromDate(45000.25)) +
          Encoded(Variant(std::int64_t{-1})) + Encoded(Variant(std::uint8_t{1})),
      Encoded(ints),
      Encoded(mixed),
  };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  stream.SetPosition(0);
  TStreamHelper helper(stream);
  try {
    while (!helper.EOS()) CheckRoundTrip(helper.ReadVariant());
  } catch (const EAssertionFailed&) {
    FuzzFailure("assertion on input data");
  } catch (const Exception&) {
    // Malformed input is reported by an exception: that is the expected outcome.
  }
  return 0;
}
