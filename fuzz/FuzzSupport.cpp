#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Environment.h"
#include "platform/FileStream.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  auto dir = platform::GetEnvironmentVariable("KV_FUZZ_SEED_DIR");
  if (!dir) return 0;
  std::vector<std::string> seeds = FuzzSeeds();
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    TFileStream file(*dir + "/seed_" + std::to_string(i), fmCreate);
    file.WriteBuffer(seeds[i].data(), static_cast<std::int64_t>(seeds[i].size()));
  }
  std::exit(0);
}

void FuzzFailure(const char* what) {
  std::fprintf(stderr, "fuzz property failed: %s\n", what);
  std::abort();
}
