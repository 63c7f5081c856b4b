// The simulated registry at machine scale: loading and writing back a .reg
// file of 1.2 million values (1000 keys of 1000 values, and a SharedDlls key
// of 200,000), and the SharedDlls walk (enumerate by index, delete as you go)
// over 200,000 values. Peak RSS is reported with each result.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/registry.h"
#include "platform/sim/reg_file.h"
#include "platform/sim/reg_store.h"
#include "platform/sim/sim_registry.h"
#include "platform/text.h"

namespace {

using zc::sim::Hive;
using zc::sim::RegStore;

constexpr int kKeys = 1000;
constexpr int kValuesPerKey = 1000;
constexpr int kSharedDlls = 200000;
constexpr wchar_t kSharedDllsPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

std::wstring DllName(int i) {
  return L"C:\\Program Files\\Vendor\\Product" + std::to_wstring(i % 97) + L"\\bin\\file" + std::to_wstring(i) +
         L".dll";
}

void FillSharedDlls(zc::sim::RegKey& key, int count) {
  for (int i = 0; i < count; ++i) key.SetDword(DllName(i), static_cast<std::uint32_t>(i % 5 + 1));
}

void FillMachine(RegStore& store) {
  for (int k = 0; k < kKeys; ++k) {
    zc::sim::RegKey* key = store.CreateKey(Hive::kLocalMachine,
                                           L"SOFTWARE\\Vendor\\Products\\Product" + std::to_wstring(k) + L"\\Settings");
    for (int v = 0; v < kValuesPerKey; ++v) {
      const std::wstring name = L"Setting" + std::to_wstring(v);
      switch (v % 4) {
        case 0:
        case 1: key->SetDword(name, static_cast<std::uint32_t>(v)); break;
        case 2: key->SetString(name, L"C:\\Program Files\\Vendor\\Product" + std::to_wstring(k) + L"\\data"); break;
        default: key->SetValue(name, zc::regtype::kBinary, std::vector<std::uint8_t>(16, static_cast<std::uint8_t>(v)));
      }
    }
  }
  FillSharedDlls(*store.CreateKey(Hive::kLocalMachine, kSharedDllsPath), kSharedDlls);
}

// A machine folder with the generated registry.reg, made once.
class MachineFile {
 public:
  static const std::filesystem::path& Get() {
    static MachineFile file;
    return file.path_;
  }

 private:
  MachineFile() {
    char pattern[] = "/tmp/zc_regbench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    folder_ = pattern;
    path_ = folder_ / "registry.reg";
    RegStore store;
    FillMachine(store);
    if (auto error = zc::sim::SaveRegFile(path_, store)) {
      std::fprintf(stderr, "%s\n", error->ToString().c_str());
      std::abort();
    }
  }
  ~MachineFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::filesystem::path folder_;
  std::filesystem::path path_;
};

void Report(benchmark::State& state) {
  state.counters["peak_rss_MiB"] = PeakRssMiB();
  state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(MachineFile::Get())) / (1024.0 * 1024.0);
}

void BM_LoadRegFile(benchmark::State& state) {
  const auto& file = MachineFile::Get();
  for (auto _ : state) {
    RegStore store;
    if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
    benchmark::DoNotOptimize(store.FindKey(Hive::kLocalMachine, kSharedDllsPath));
    state.PauseTiming();
    { RegStore discard = std::move(store); }
    state.ResumeTiming();
  }
  Report(state);
}

void BM_SaveRegFile(benchmark::State& state) {
  const auto& file = MachineFile::Get();
  RegStore store;
  if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
  const auto target = file.parent_path() / "written.reg";
  for (auto _ : state) {
    if (auto error = zc::sim::SaveRegFile(target, store)) state.SkipWithError(error->ToString().c_str());
  }
  Report(state);
}

// What a run does with the machine's registry: read it at start, write it
// back at the end.
void BM_LoadAndWriteBack(benchmark::State& state) {
  const auto& file = MachineFile::Get();
  const auto target = file.parent_path() / "written.reg";
  for (auto _ : state) {
    RegStore store;
    if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
    if (auto error = zc::sim::SaveRegFile(target, store)) state.SkipWithError(error->ToString().c_str());
    state.PauseTiming();
    { RegStore discard = std::move(store); }
    state.ResumeTiming();
  }
  Report(state);
}

// The SharedDlls walk through the registry interface: RegEnumValue by index,
// RegDeleteValue on a match (every other value), the index kept after a
// deletion.
void BM_EnumerateWithDeletions(benchmark::State& state) {
  std::int64_t deleted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RegStore store;
    FillSharedDlls(*store.CreateKey(Hive::kLocalMachine, kSharedDllsPath), kSharedDlls);
    zc::sim::SimRegistry registry(store, false);
    zc::UniqueRegKey key(registry);
    registry.OpenKey(zc::kHkeyLocalMachine, kSharedDllsPath, zc::RegAccess::kAllAccess, key.put());
    state.ResumeTiming();

    std::uint32_t index = 0;
    std::wstring name;
    std::uint8_t data[4];
    std::uint32_t size = sizeof data;
    bool remove = false;
    while (registry.EnumValue(key.get(), index, 16384, &name, nullptr, data, &size) == 0) {
      if (remove) {
        registry.DeleteValue(key.get(), name);
        ++deleted;
      } else {
        ++index;
      }
      remove = !remove;
      size = sizeof data;
    }
    benchmark::DoNotOptimize(index);
  }
  state.counters["deleted_per_walk"] = static_cast<double>(deleted) / static_cast<double>(state.iterations());
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

BENCHMARK(BM_EnumerateWithDeletions)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadRegFile)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveRegFile)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadAndWriteBack)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
