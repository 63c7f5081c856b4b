// Reading a Windows volume of real size: the demo machine grown to the
// registry of a used Windows 7 PC (a SOFTWARE hive of tens of MB with tens
// of thousands of COM classes, interfaces and Windows Installer components;
// a SYSTEM hive with two control sets of services and devices), written as
// a volume, then loaded and dry-run. One case per process, so that each
// peak RSS is its own.
//
//   hive_bench make DIR [SCALE]   writes DIR/folder (the machine) and DIR/volume/drive_c (the volume)
//   hive_bench load DIR           LoadWindowsVolume on DIR/volume/drive_c
//   hive_bench dryrun DIR         load, then the tool's -all -dryrun -folder over it
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/application.h"
#include "platform/sim/demo_machine.h"
#include "hive/volume_from_machine.h"
#include "platform/sim/machine.h"
#include "platform/text.h"
#include "platform/volume/windows_volume.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using zc::sim::Hive;
using zc::sim::RegKey;

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "hive_bench: %s\n", message.c_str());
  return 1;
}

std::wstring Guid(unsigned kind, unsigned i) {
  wchar_t text[64];
  std::swprintf(text, 64, L"{%08X-%04X-4%03X-8%03X-%012X}", i * 2654435761u, kind, i % 4096, (i / 7) % 4096,
                i * 40503u + kind);
  return text;
}

std::wstring Packed(unsigned kind, unsigned i) {
  wchar_t text[40];
  std::swprintf(text, 40, L"%08X%08X%08X%08X", kind * 97u + i, i * 2654435761u, i ^ 0x5A5A5A5Au, i * 40503u);
  return text;
}

// What a used Windows 7 PC keeps besides the demo's products.
void Grow(zc::sim::RegStore& store, int scale) {
  const auto n = [scale](int count) { return static_cast<unsigned>(count * scale); };
  RegKey* classes = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Classes");
  RegKey* clsid = classes->CreateSubKey(L"CLSID");
  for (unsigned i = 0; i < n(6000); ++i) {
    RegKey* key = clsid->CreateSubKey(Guid(1, i));
    key->SetString(L"", L"Component class " + std::to_wstring(i));
    RegKey* server = key->CreateSubKey(L"InprocServer32");
    server->SetString(L"", L"%SystemRoot%\\system32\\component" + std::to_wstring(i % 700) + L".dll",
                      zc::regtype::kExpandSz);
    server->SetString(L"ThreadingModel", i % 3 ? L"Both" : L"Apartment");
    key->CreateSubKey(L"ProgID")->SetString(L"", L"Component.Class." + std::to_wstring(i) + L".1");
    key->CreateSubKey(L"Version")->SetString(L"", L"1.0");
  }
  RegKey* interfaces = classes->CreateSubKey(L"Interface");
  for (unsigned i = 0; i < n(5000); ++i) {
    RegKey* key = interfaces->CreateSubKey(Guid(2, i));
    key->SetString(L"", L"IComponentInterface" + std::to_wstring(i));
    key->CreateSubKey(L"ProxyStubClsid32")->SetString(L"", L"{00020424-0000-0000-C000-000000000046}");
    key->CreateSubKey(L"NumMethods")->SetString(L"", std::to_wstring(3 + i % 40));
  }
  for (unsigned i = 0; i < n(2000); ++i) {
    RegKey* progId = classes->CreateSubKey(L"Component.Class." + std::to_wstring(i) + L".1");
    progId->SetString(L"", L"Component class " + std::to_wstring(i));
    progId->CreateSubKey(L"CLSID")->SetString(L"", Guid(1, i));
    progId->CreateSubKey(L"shell")
        ->CreateSubKey(L"open")
        ->CreateSubKey(L"command")
        ->SetString(L"", L"\"C:\\Program Files\\Vendor " + std::to_wstring(i % 50) + L"\\app.exe\" \"%1\"");
  }
  RegKey* components = store.CreateKey(
      Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components");
  for (unsigned i = 0; i < n(20000); ++i) {
    components->CreateSubKey(Packed(3, i))
        ->SetString(Packed(4, i % 300), L"C:\\Program Files\\Vendor " + std::to_wstring(i % 300) + L"\\file" +
                                            std::to_wstring(i) + L".dll");
  }
  RegKey* uninstall = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  for (unsigned i = 0; i < n(200); ++i) {
    RegKey* key = uninstall->CreateSubKey(Guid(5, i));
    key->SetString(L"DisplayName", L"Application " + std::to_wstring(i));
    key->SetString(L"Publisher", L"Publisher " + std::to_wstring(i % 40));
    key->SetString(L"DisplayVersion", L"1." + std::to_wstring(i % 10) + L".0");
    key->SetString(L"InstallLocation", L"C:\\Program Files\\Vendor " + std::to_wstring(i) + L"\\");
    key->SetString(L"UninstallString", L"MsiExec.exe /X" + Guid(5, i));
    key->SetDword(L"EstimatedSize", 1000 + i);
    key->SetDword(L"WindowsInstaller", 1);
  }
  RegKey* shared = store.CreateKey(Hive::kLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls");
  for (unsigned i = 0; i < n(2000); ++i) {
    shared->SetDword(
        L"C:\\Program Files\\Vendor " + std::to_wstring(i % 300) + L"\\file" + std::to_wstring(i) + L".dll", 1 + i % 4);
  }

  // The control set: services and devices.
  RegKey* set = store.CreateKey(Hive::kLocalMachine, L"SYSTEM\\CurrentControlSet");
  RegKey* services = set->CreateSubKey(L"Services");
  for (unsigned i = 0; i < n(300); ++i) {
    RegKey* key = services->CreateSubKey(L"Service" + std::to_wstring(i));
    key->SetString(L"DisplayName", L"@%SystemRoot%\\system32\\service" + std::to_wstring(i) + L".dll,-100");
    key->SetString(L"ImagePath", L"%SystemRoot%\\system32\\svchost.exe -k netsvcs", zc::regtype::kExpandSz);
    key->SetString(L"ObjectName", L"LocalSystem");
    key->SetDword(L"Start", 2 + i % 3);
    key->SetDword(L"Type", 32);
    key->SetDword(L"ErrorControl", 1);
    key->SetValue(L"FailureActions", zc::regtype::kBinary, std::vector<std::uint8_t>(44, 0x14));
    key->CreateSubKey(L"Parameters")
        ->SetString(L"ServiceDll", L"%SystemRoot%\\system32\\service.dll", zc::regtype::kExpandSz);
    key->CreateSubKey(L"Security")->SetValue(L"Security", zc::regtype::kBinary, std::vector<std::uint8_t>(120, 1));
  }
  RegKey* enumKey = set->CreateSubKey(L"Enum")->CreateSubKey(L"PCI");
  for (unsigned i = 0; i < n(2500); ++i) {
    RegKey* device = enumKey->CreateSubKey(L"VEN_8086&DEV_" + std::to_wstring(1000 + i))
                         ->CreateSubKey(L"3&11583659&0&" + std::to_wstring(i));
    device->SetString(L"DeviceDesc", L"@machine.inf,%pci\\device" + std::to_wstring(i) + L"%;PCI device");
    device->SetValue(L"HardwareID", zc::regtype::kMultiSz,
                     zc::ToUtf16Le(L"PCI\\VEN_8086&DEV_" + std::to_wstring(1000 + i) + std::wstring(L"\0\0", 2)));
    device->SetString(L"Service", L"Service" + std::to_wstring(i % 300));
    device->SetString(L"ClassGUID", L"{4d36e97d-e325-11ce-bfc1-08002be10318}");
    device->SetString(L"Driver", L"{4d36e97d-e325-11ce-bfc1-08002be10318}\\" + std::to_wstring(i));
    device->SetDword(L"ConfigFlags", 0);
    device->CreateSubKey(L"Device Parameters")->SetDword(L"InterruptManagement", 1);
  }
  // The last known good control set, as Windows keeps a second one.
  RegKey* second = store.CreateKey(Hive::kLocalMachine, L"SYSTEM\\ControlSet002");
  std::vector<std::pair<const RegKey*, RegKey*>> pending{{set, second}};
  while (!pending.empty()) {
    const RegKey* from = pending.back().first;
    RegKey* to = pending.back().second;
    pending.pop_back();
    from->values().ForEach([to](const zc::sim::RegValue& v) { to->SetValue(v.name, v.type, v.data); });
    for (std::size_t i = 0; i < from->SubKeyCount(); ++i) {
      pending.emplace_back(from->SubKeyAt(i), to->CreateSubKey(from->SubKeyAt(i)->name()));
    }
  }
}

int CmdMake(int argc, char** argv) {
  if (argc < 3) return Fail("make DIR [SCALE]");
  const fs::path dir = argv[2];
  const int scale = argc > 3 ? std::atoi(argv[3]) : 1;
  std::string error;
  if (!zc::sim::WriteDemoMachine(dir / "folder", &error)) return Fail(error);
  auto machine = zc::sim::SimMachine::Load(dir / "folder", &error);
  if (!machine) return Fail(error);
  zc::test::StateFactsInRegistry(*machine);
  Grow(machine->store(), scale);
  zc::test::WriteVolumeOfMachine(*machine, dir / "volume" / "drive_c");
  double software = 0, system = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir / "volume" / "drive_c" / "WINDOWS")) {
    if (entry.path().parent_path().filename() != "config") continue;
    const double mib = static_cast<double>(entry.file_size()) / 1048576.0;
    if (entry.path().filename() == "SOFTWARE") software = mib;
    if (entry.path().filename() == "SYSTEM") system = mib;
  }
  std::printf("software_mib=%.1f system_mib=%.1f\n", software, system);
  return 0;
}

int CmdLoad(int argc, char** argv) {
  if (argc < 3) return Fail("load DIR");
  const double before = PeakRssMiB();
  const auto start = Clock::now();
  zc::volume::WindowsVolume volume;
  std::string error;
  if (!zc::volume::LoadWindowsVolume(fs::path(argv[2]) / "volume" / "drive_c", &volume, &error)) return Fail(error);
  const double seconds = Seconds(start);
  std::printf("seconds=%.4f peak_rss_mib=%.1f rss_before_mib=%.1f\n", seconds, PeakRssMiB(), before);
  for (const auto& note : volume.notes) {
    if (note.rfind("HKLM\\", 0) == 0) std::printf("   %s\n", note.c_str());
  }
  return 0;
}

int CmdDryRun(int argc, char** argv) {
  if (argc < 3) return Fail("dryrun DIR");
  const fs::path dir = argv[2];
  const auto start = Clock::now();
  zc::volume::WindowsVolume volume;
  std::string error;
  if (!zc::volume::LoadWindowsVolume(dir / "volume" / "drive_c", &volume, &error)) return Fail(error);
  const double loaded = Seconds(start);
  // As zentacleanup --windows makes it: drive C: is the volume, the log goes elsewhere.
  fs::create_directories(dir / "work");
  auto machine =
      zc::sim::SimMachine::OverVolume(dir / "work", volume.root, std::move(volume.config), std::move(volume.registry));
  zc::VEZEZERidivorOde app(machine->platform());
  app.InitInstance(L"ZENTACleanup.exe -all -dryrun -folder");
  const double seconds = Seconds(start);
  std::ifstream log(machine->fs().HostPath(app.LogPath()), std::ios::binary);
  std::string line;
  int found = 0;
  while (std::getline(log, line)) found += line.rfind("Found Product: ", 0) == 0;
  std::printf("seconds=%.4f load_seconds=%.4f peak_rss_mib=%.1f products_found=%d\n", seconds, loaded, PeakRssMiB(),
              found);
  return found > 0 ? 0 : Fail("the dry run found no product");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make") return CmdMake(argc, argv);
  if (command == "load") return CmdLoad(argc, argv);
  if (command == "dryrun") return CmdDryRun(argc, argv);
  return Fail("usage: hive_bench make|load|dryrun DIR ...");
}
