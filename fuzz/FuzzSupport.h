#pragma once
// What every fuzz_<name>.cpp provides besides LLVMFuzzerTestOneInput.

#include <string>
#include <vector>

// A few valid inputs that start the fuzzer's corpus. With KV_FUZZ_SEED_DIR set, the program writes
// them there as seed_<n> and exits (./run.sh fuzz does this before each run).
std::vector<std::string> FuzzSeeds();

// Stops the run as a finding: a property that must hold did not.
[[noreturn]] void FuzzFailure(const char* what);
