// The removal engine's registry walks at machine scale, through the
// application object as a run makes them:
//   - the SharedDlls clean-up of one folder in removal mode, over a key of
//     N values of which one in ten lie under the folder (and are deleted);
//   - the same walk where no value lies under the folder: a run makes it
//     once for every other folder it cleans;
//   - the discovery of installed products over N registered products of
//     which one in ten are the vendor's.
// Each is run at two sizes, so that growth can be read off the figures.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/application.h"
#include "platform/sim/machine.h"
#include "platform/sim/registry_util.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr wchar_t kFolder[] = L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\";
constexpr wchar_t kLog[] = L"C:\\Temp\\engine_bench.log";

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A 32-bit Windows 7 machine in a temporary folder, removed at the end.
class BenchMachine {
 public:
  BenchMachine() {
    std::string pattern = (fs::temp_directory_path() / "zc-enginebench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
    zc::sim::MachineConfig config;
    config.currentDirectory = L"C:\\Tools";
    config.environment = {{L"TMP", L"C:\\Temp"}};
    config.ApplyDefaults();
    machine_ = zc::sim::SimMachine::Create(folder_, std::move(config));
    for (const wchar_t* dir : {L"C:\\Temp", L"C:\\Tools", L"C:\\WINDOWS\\system32", kFolder}) {
      std::error_code ec;
      fs::create_directories(machine_->fs().HostPath(dir), ec);
    }
  }
  ~BenchMachine() {
    machine_.reset();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  zc::sim::SimMachine& operator*() { return *machine_; }
  zc::sim::SimMachine* operator->() { return machine_.get(); }

 private:
  fs::path folder_;
  std::unique_ptr<zc::sim::SimMachine> machine_;
};

// The application object with its log open and its catalogue built, as a
// run has it when it reaches a removal step.
std::unique_ptr<zc::VEZEZERidivorOde> MakeApp(zc::sim::SimMachine& machine) {
  auto app = std::make_unique<zc::VEZEZERidivorOde>(machine.platform());
  app->m_log.Open(machine.fs(), kLog);
  app->BuildProductCodeLists(true);
  return app;
}

// One value in ten under kFolder, or none when `matching` is false.
void FillSharedDlls(zc::sim::SimMachine& machine, int values, bool matching = true) {
  auto& reg = machine.nativeRegistry();
  for (int i = 0; i < values; ++i) {
    std::wstring name;
    if (matching && i % 10 == 0) {
      name = std::wstring(kFolder) + L"bin\\shared" + std::to_wstring(i) + L".dll";
    } else {
      name = L"C:\\Program Files\\Harbor Lane\\Product" + std::to_wstring(i % 97) + L"\\bin\\file" +
             std::to_wstring(i) + L".dll";
    }
    zc::sim::WriteDword(reg, zc::kHkeyLocalMachine, kSharedDlls, name, static_cast<std::uint32_t>(i % 5 + 1));
  }
}

void BM_SharedDllsRemoval(benchmark::State& state) {
  const int values = static_cast<int>(state.range(0));
  std::int64_t left = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto machine = std::make_unique<BenchMachine>();
    FillSharedDlls(**machine, values);
    auto app = MakeApp(**machine);
    state.ResumeTiming();

    app->CleanSharedDlls(kSharedDlls, kFolder, true);

    state.PauseTiming();
    left = static_cast<std::int64_t>(
        zc::sim::ValueNames((*machine)->nativeRegistry(), zc::kHkeyLocalMachine, kSharedDlls).size());
    app.reset();
    machine.reset();
    state.ResumeTiming();
  }
  state.counters["values"] = values;
  state.counters["values_left"] = static_cast<double>(left);
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_SharedDllsUnmatched(benchmark::State& state) {
  const int values = static_cast<int>(state.range(0));
  BenchMachine machine;
  FillSharedDlls(*machine, values, false);
  auto app = MakeApp(*machine);
  for (auto _ : state) {
    app->CleanSharedDlls(kSharedDlls, kFolder, true);
  }
  state.counters["values"] = values;
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void RegisterProducts(zc::sim::SimMachine& machine, int products) {
  for (int i = 0; i < products; ++i) {
    wchar_t code[40];
    std::swprintf(code, 40, L"{%08X-1111-4222-8333-%012X}", i + 1, i + 1);
    zc::sim::ProductSpec spec;
    spec.productCode = code;
    const bool vendor = i % 10 == 0;
    spec.name = (vendor ? L"ZENTA Quillo Component " : L"Harbor Lane Tool ") + std::to_wstring(i);
    spec.publisher = vendor ? L"ZENTA Technologies Inc" : L"Harbor Lane Software";
    spec.version = L"1.0." + std::to_wstring(i % 100) + L".0";
    spec.installLocation = L"C:\\Program Files\\Product " + std::to_wstring(i) + L"\\";
    machine.msi().Register(spec);
  }
}

void BM_Discovery(benchmark::State& state) {
  const int products = static_cast<int>(state.range(0));
  BenchMachine machine;
  RegisterProducts(*machine, products);
  auto app = MakeApp(*machine);
  for (auto _ : state) {
    app->DiscoverInstalledProducts(L"zenta technologies");
  }
  state.counters["products"] = products;
  state.counters["vendor_found"] = static_cast<double>(app->m_installedProducts.size());
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

BENCHMARK(BM_SharedDllsRemoval)->Arg(200000)->Arg(400000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SharedDllsUnmatched)->Arg(180000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Discovery)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
