// Reading a 64 MiB file one 4-byte field at a time: through TBufferedStream, straight from
// TFileStream, and against one bulk read of the whole file (alone, and followed by the same field
// loop over memory).
//
// Goal: the buffered stream at least 20 times faster than the unbuffered small reads, and at
// most 2 times the bulk read.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Common.Classes.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"

namespace {
constexpr std::int32_t kFileSize = 64 << 20;
constexpr std::int32_t kFieldSize = 4;

// The data file, written once per run and removed at exit.
class TDataFile {
 public:
  TDataFile()
      : FName(platform::TempFolder() + "/kv-bench-buffered-stream-" + std::to_string(std::random_device{}()) +
              ".bin") {
    TFileStream file(FName, fmCreate);
    std::vector<std::uint8_t> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7 + 3);
    for (std::int32_t written = 0; written < kFileSize; written += static_cast<std::int32_t>(block.size()))
      file.WriteBuffer(block.data(), static_cast<std::int64_t>(block.size()));
  }
  ~TDataFile() { platform::DeleteFile(FName); }
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

const std::string& DataFile() {
  static TDataFile file;
  return file.Name();
}

template <class Stream>
[[gnu::noinline]] std::int64_t SumFields(Stream& stream) {
  std::int64_t sum = 0;
  std::int32_t field;
  while (stream.Read(&field, kFieldSize) == kFieldSize) sum += field;
  return sum;
}

// A reader that holds its TBufferedStream as such: the in-buffer read is inlined.
void BM_BufferedStreamFields(benchmark::State& state) {
  const std::string& name = DataFile();
  for (auto _ : state) {
    TBufferedStream stream(name, fmOpenRead | fmShareDenyWrite);
    TBufferedStream* held = &stream;
    benchmark::DoNotOptimize(held);
    benchmark::DoNotOptimize(SumFields(*held));
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

// A reader that only knows a TStream: one virtual call per field.
void BM_BufferedStreamFieldsThroughTStream(benchmark::State& state) {
  const std::string& name = DataFile();
  for (auto _ : state) {
    TBufferedStream stream(name, fmOpenRead | fmShareDenyWrite);
    TStream* held = &stream;
    benchmark::DoNotOptimize(held);
    benchmark::DoNotOptimize(SumFields(*held));
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_FileStreamFields(benchmark::State& state) {
  const std::string& name = DataFile();
  for (auto _ : state) {
    TFileStream stream(name, fmOpenRead | fmShareDenyWrite);
    TStream* held = &stream;
    benchmark::DoNotOptimize(held);
    benchmark::DoNotOptimize(SumFields(*held));
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_BulkReadThenFields(benchmark::State& state) {
  const std::string& name = DataFile();
  std::vector<std::uint8_t> data(kFileSize);
  for (auto _ : state) {
    TFileStream stream(name, fmOpenRead | fmShareDenyWrite);
    stream.ReadBuffer(data.data(), kFileSize);
    std::int64_t sum = 0;
    for (std::int32_t offset = 0; offset < kFileSize; offset += kFieldSize) {
      std::int32_t field;
      std::memcpy(&field, data.data() + offset, kFieldSize);
      sum += field;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_BulkReadOnly(benchmark::State& state) {
  const std::string& name = DataFile();
  std::vector<std::uint8_t> data(kFileSize);
  for (auto _ : state) {
    TFileStream stream(name, fmOpenRead | fmShareDenyWrite);
    stream.ReadBuffer(data.data(), kFileSize);
    benchmark::DoNotOptimize(data.data());
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}
}  // namespace

BENCHMARK(BM_BufferedStreamFields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BufferedStreamFieldsThroughTStream)->Unit(benchmark::kMillisecond);
// One system call per field: a single pass takes tens of seconds.
BENCHMARK(BM_FileStreamFields)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BulkReadThenFields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkReadOnly)->Unit(benchmark::kMillisecond);
