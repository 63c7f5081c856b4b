// The simulated registry at machine scale: loading and writing back a .reg
// file of 1.2 million values (1000 keys of 1000 values, and a SharedDlls key
// of 200,000); loading a 100 MB UTF-16 export shaped like a whole machine's
// (class registrations, uninstall entries, installer data: many keys of few
// values); and the SharedDlls walk (enumerate by index, delete as you go)
// over 200,000 values. Peak RSS is reported with each result.
//
// The files are made in a child process, so that the peak RSS of a case is
// what the case itself costs. Run one case a process
// (--benchmark_filter=BM_LoadRegFile$) for its own peak.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::wstring Guid(int i) {
  wchar_t text[40];
  std::swprintf(text, 40, L"{%08X-%04X-4%03X-8%03X-%012X}", static_cast<unsigned>(i * 2654435761u), i & 0xFFFF,
                i % 0xFFF, (i * 7) % 0xFFF, static_cast<unsigned>(i));
  return text;
}

// A whole machine's export of about 100 MB of UTF-16: COM class
// registrations (a key and a sub-key of one to three values each), uninstall
// entries and Windows Installer product keys of a dozen values, and their
// components.
void FillExport(RegStore& store) {
  const std::wstring classes = L"SOFTWARE\\Classes\\CLSID\\";
  for (int i = 0; i < 72000; ++i) {
    const std::wstring guid = Guid(i);
    zc::sim::RegKey* clsid = store.CreateKey(Hive::kLocalMachine, classes + guid);
    clsid->SetString(L"", L"Component " + std::to_wstring(i) + L" Class");
    zc::sim::RegKey* server = clsid->CreateSubKey(L"InprocServer32");
    server->SetString(L"", L"%SystemRoot%\\System32\\component" + std::to_wstring(i % 977) + L".dll",
                      zc::regtype::kExpandSz);
    server->SetString(L"ThreadingModel", i % 3 == 0 ? L"Apartment" : L"Both");
  }
  for (int i = 0; i < 9600; ++i) {
    const std::wstring guid = Guid(1000000 + i);
    zc::sim::RegKey* entry =
        store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + guid);
    const std::wstring folder =
        L"C:\\Program Files\\Vendor " + std::to_wstring(i % 300) + L"\\Product " + std::to_wstring(i) + L"\\";
    entry->SetString(L"DisplayName", L"Product " + std::to_wstring(i) + L" of Vendor " + std::to_wstring(i % 300));
    entry->SetString(L"DisplayVersion", L"1." + std::to_wstring(i % 20) + L"." + std::to_wstring(i));
    entry->SetString(L"Publisher", L"Vendor " + std::to_wstring(i % 300));
    entry->SetString(L"InstallLocation", folder);
    entry->SetString(L"InstallSource", L"C:\\Users\\admin\\Downloads\\setup" + std::to_wstring(i) + L"\\");
    entry->SetString(L"InstallDate", L"20130412");
    entry->SetString(L"ModifyPath", L"MsiExec.exe /I" + guid, zc::regtype::kExpandSz);
    entry->SetString(L"UninstallString", L"MsiExec.exe /X" + guid, zc::regtype::kExpandSz);
    entry->SetDword(L"EstimatedSize", static_cast<std::uint32_t>(i * 13));
    entry->SetDword(L"NoModify", 1);
    entry->SetDword(L"WindowsInstaller", 1);
    entry->SetDword(L"Language", 1033);
    zc::sim::RegKey* product =
        store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Classes\\Installer\\Products\\" + guid.substr(1, 32));
    product->SetString(L"ProductName", L"Product " + std::to_wstring(i));
    product->SetString(L"PackageCode", guid.substr(1, 32));
    product->SetDword(L"Version", static_cast<std::uint32_t>(0x01000000 + i));
    product->SetValue(L"Clients", zc::regtype::kMultiSz, std::vector<std::uint8_t>{':', 0, 0, 0, 0, 0});
    zc::sim::RegKey* components =
        store.CreateKey(Hive::kLocalMachine,
                        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\" +
                            Guid(2000000 + i).substr(1, 32));
    components->SetString(guid.substr(1, 32), folder + L"bin\\product.exe");
  }
}

// Makes `file` with `fill` in a child process.
void MakeFile(const std::filesystem::path& file, void (*fill)(RegStore&)) {
  const pid_t child = ::fork();
  if (child < 0) std::abort();
  if (child == 0) {
    RegStore store;
    fill(store);
    if (auto error = zc::sim::SaveRegFile(file, store)) {
      std::fprintf(stderr, "%s\n", error->ToString().c_str());
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
}

// A folder with the generated files, made once.
class BenchFiles {
 public:
  static const BenchFiles& Get() {
    static BenchFiles files;
    return files;
  }
  const std::filesystem::path& machine() const {
    if (machine_.empty()) {
      machine_ = folder_ / "registry.reg";
      MakeFile(machine_, FillMachine);
    }
    return machine_;
  }
  const std::filesystem::path& export100() const {
    if (export_.empty()) {
      export_ = folder_ / "export.reg";
      MakeFile(export_, FillExport);
    }
    return export_;
  }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  BenchFiles() {
    char pattern[] = "/tmp/zc_regbench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    folder_ = pattern;
  }
  ~BenchFiles() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  std::filesystem::path folder_;
  mutable std::filesystem::path machine_;
  mutable std::filesystem::path export_;
};

void Report(benchmark::State& state, const std::filesystem::path& file) {
  state.counters["peak_rss_MiB"] = PeakRssMiB();
  state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0);
}

void BM_LoadRegFile(benchmark::State& state) {
  const auto& file = BenchFiles::Get().machine();
  for (auto _ : state) {
    RegStore store;
    if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
    benchmark::DoNotOptimize(store.FindKey(Hive::kLocalMachine, kSharedDllsPath));
    state.PauseTiming();
    { RegStore discard = std::move(store); }
    state.ResumeTiming();
  }
  Report(state, file);
}

// The 100 MB UTF-16 export of a whole machine.
void BM_LoadExport(benchmark::State& state) {
  const auto& file = BenchFiles::Get().export100();
  std::size_t values = 0;
  for (auto _ : state) {
    RegStore store;
    if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
    state.PauseTiming();
    values = 0;
    std::vector<const zc::sim::RegKey*> pending{&store.Root(Hive::kLocalMachine)};
    while (!pending.empty()) {
      const zc::sim::RegKey* key = pending.back();
      pending.pop_back();
      values += key->values().size();
      for (std::size_t i = 0; i < key->SubKeyCount(); ++i) pending.push_back(key->SubKeyAt(i));
    }
    { RegStore discard = std::move(store); }
    state.ResumeTiming();
  }
  state.counters["values"] = static_cast<double>(values);
  Report(state, file);
}

void BM_SaveRegFile(benchmark::State& state) {
  const auto& file = BenchFiles::Get().machine();
  RegStore store;
  if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
  const auto target = file.parent_path() / "written.reg";
  for (auto _ : state) {
    if (auto error = zc::sim::SaveRegFile(target, store)) state.SkipWithError(error->ToString().c_str());
  }
  Report(state, file);
}

// What a run does with the machine's registry: read it at start, write it
// back at the end.
void BM_LoadAndWriteBack(benchmark::State& state) {
  const auto& file = BenchFiles::Get().machine();
  const auto target = file.parent_path() / "written.reg";
  for (auto _ : state) {
    RegStore store;
    if (auto error = zc::sim::LoadRegFile(file, store)) state.SkipWithError(error->ToString().c_str());
    if (auto error = zc::sim::SaveRegFile(target, store)) state.SkipWithError(error->ToString().c_str());
    state.PauseTiming();
    { RegStore discard = std::move(store); }
    state.ResumeTiming();
  }
  Report(state, file);
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
BENCHMARK(BM_LoadExport)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
