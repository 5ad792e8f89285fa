// Fetching the last item of a 100,000-item version 5 database by name: FastGetItemData, which
// scans the names through a small buffer and jumps to the offset table, against constructing the
// full reader (the whole index loaded) and reading the same item through it.
//
// Goal: FastGetItemData at most 1/10 of the full reader's time.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "Common.OXSimpleDBase64.h"
#include "Runtime.Format.h"
#include "platform/FileSystem.h"
#include "platform/TempFolder.h"
#include "support/ItemDatabaseWriter.h"

namespace {
constexpr int kItems = 100000;

std::string ItemName(int i) { return Format("Расценка %06d", i); }

// The database, written once per run and removed at exit: sorted names of equal length (so that
// no name can be passed over by its length alone), short work texts and 16-byte items.
class TDatabaseFile {
 public:
  TDatabaseFile()
      : FName(platform::TempFolder() + "/kv-bench-item-database-" + std::to_string(std::random_device{}()) +
              ".oxd5") {
    std::vector<TItemDatabaseItem> items;
    items.reserve(kItems);
    for (int i = 0; i < kItems; ++i)
      items.push_back({ItemName(i), Format("Работа %d: монтаж конструкций", i), std::string(16, static_cast<char>(i))});
    WriteItemDatabase(FName, items, {.Version = 5, .Sorted = true});
  }
  ~TDatabaseFile() { platform::DeleteFile(FName); }
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

const std::string& DatabaseFile() {
  static TDatabaseFile file;
  return file.Name();
}

void BM_FastGetItemData(benchmark::State& state) {
  const std::string& path = DatabaseFile();
  const std::string name = ItemName(kItems - 1);
  for (auto _ : state) {
    TMemoryStream stream;
    if (!TOXSimpleDBaseReader64::FastGetItemData(path, name, stream)) state.SkipWithError("item not found");
    benchmark::DoNotOptimize(stream.Memory());
  }
}
BENCHMARK(BM_FastGetItemData)->Unit(benchmark::kMillisecond);

void BM_FullReaderGetItemData(benchmark::State& state) {
  const std::string& path = DatabaseFile();
  const std::string name = ItemName(kItems - 1);
  for (auto _ : state) {
    TOXSimpleDBaseReader64 reader(path);
    TMemoryStream stream;
    reader.GetItemData(name, stream);
    benchmark::DoNotOptimize(stream.Memory());
  }
}
BENCHMARK(BM_FullReaderGetItemData)->Unit(benchmark::kMillisecond);
}  // namespace
