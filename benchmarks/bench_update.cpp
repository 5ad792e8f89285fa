// The update's copy with backup against "cp -r" of the same package onto a fresh copy of the same
// destination, in one run: a package of 1 GiB in 16 files and one of 10,000 files of 4 KiB, each
// over a destination where every file exists, so the update backs up every one of them.
// BM_CpRNewFiles copies the package into a new folder of that destination, so every file is a new
// one, as every copy the update writes is: where creating a file costs much more than overwriting
// one (a file system that hunts for free inodes it may reuse), it tells that cost from the update's.
// Throughput counts the package's bytes. peak_rss_growth_MiB is the process's peak resident size
// after the case minus before it: the copy holds one block, whatever the file size.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Runtime.StringList.h"
#include "Setup.FileUpdate.h"
#include "Setup.Host.h"
#include "Setup.PackageScan.h"

namespace fs = std::filesystem;

namespace {

class TQuietHost : public ISetupHost {
 public:
  void Log(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void SetOverallMaximum(int) override {}
  void StepOverall() override {}
  void SetFileProgress(int) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& Text) override { std::fprintf(stderr, "box: %s\n", Text.c_str()); }
  void ShowError(const std::string& Text) override { std::fprintf(stderr, "error: %s\n", Text.c_str()); }
  bool CancelRequested() const override { return false; }
};

struct TPackageShape {
  int Files;
  std::size_t FileSize;
};

fs::path Scratch() {
  const char* dir = std::getenv("TMPDIR");
  return fs::path(dir && *dir ? dir : "/tmp") / "quenta-bench-update";
}

void WriteFile(const fs::path& path, std::size_t size, char fill) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  std::string block(1 << 20, fill);
  for (std::size_t left = size; left > 0;) {
    std::size_t n = std::min(left, block.size());
    out.write(block.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

// package/ and original/ (the destination before the update), made once per shape.
fs::path Prepare(const TPackageShape& shape) {
  fs::path root = Scratch() / (std::to_string(shape.Files) + "x" + std::to_string(shape.FileSize));
  if (fs::exists(root / "ready")) return root;
  fs::remove_all(root);
  for (int i = 0; i < shape.Files; ++i) {
    std::string rel = "Папка " + std::to_string(i % 16) + "/файл " + std::to_string(i) + ".dat";
    WriteFile(root / "package" / rel, shape.FileSize, 'n');
    WriteFile(root / "original" / rel, shape.FileSize, 'o');
  }
  std::ofstream(root / "ready") << "";
  return root;
}

// On disk, as a client's files are: otherwise overwriting them (cp) lets the system drop their
// unwritten pages, where keeping them as backups (the update) has them written.
void FreshDestination(const fs::path& root) {
  fs::remove_all(root / "dest");
  fs::copy(root / "original", root / "dest", fs::copy_options::recursive);
  ::sync();
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Report(benchmark::State& state, const TPackageShape& shape, long rssBefore) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(shape.Files) *
                          static_cast<std::int64_t>(shape.FileSize));
  state.counters["files_per_second"] =
      benchmark::Counter(static_cast<double>(shape.Files), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_rss_growth_MiB"] = static_cast<double>(PeakRssKiB() - rssBefore) / 1024.0;
}

void BM_Update(benchmark::State& state, TPackageShape shape) {
  const fs::path root = Prepare(shape);
  const long rssBefore = PeakRssKiB();
  for (auto _ : state) {
    state.PauseTiming();
    FreshDestination(root);
    TStringList dataList;
    const std::string package = (root / "package").string() + "/";
    ScanFolder(package, "", package, nullptr, 0, dataList, nullptr);
    TQuietHost host;
    TFileUpdate update(host, {package, (root / "dest").string() + "/", (root / "dest/QuentaBackup/bench/").string()},
                       {});
    state.ResumeTiming();
    if (!update.Run(dataList)) state.SkipWithError("the update stopped");
  }
  Report(state, shape, rssBefore);
}

// Times one shell command against a fresh destination per iteration.
void TimeCommand(benchmark::State& state, TPackageShape shape, const fs::path& root, const std::string& command) {
  const long rssBefore = PeakRssKiB();
  for (auto _ : state) {
    state.PauseTiming();
    FreshDestination(root);
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  Report(state, shape, rssBefore);
}

void BM_CpR(benchmark::State& state, TPackageShape shape) {
  const fs::path root = Prepare(shape);
  TimeCommand(state, shape, root, "cp -r '" + (root / "package").string() + "/.' '" + (root / "dest").string() + "/'");
}

void BM_CpRNewFiles(benchmark::State& state, TPackageShape shape) {
  const fs::path root = Prepare(shape);
  TimeCommand(state, shape, root, "cp -r '" + (root / "package").string() + "' '" + (root / "dest/new").string() + "'");
}

constexpr TPackageShape OneGiB{16, 64u << 20};
constexpr TPackageShape TenThousandSmall{10000, 4096};

}  // namespace

BENCHMARK_CAPTURE(BM_Update, 1GiB_16_files, OneGiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_CpR, 1GiB_16_files, OneGiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_Update, 10000_files_of_4KiB, TenThousandSmall)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_CpR, 10000_files_of_4KiB, TenThousandSmall)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_CpRNewFiles, 10000_files_of_4KiB, TenThousandSmall)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
