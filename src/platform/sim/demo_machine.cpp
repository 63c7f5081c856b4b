#include "platform/sim/demo_machine.h"

#include <fstream>

#include "catalogue/families.h"
#include "platform/sim/machine.h"
#include "platform/sim/registry_util.h"
#include "platform/sim/sim_spooler.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace zc::sim {

namespace {

constexpr const wchar_t* kVendor = L"ZENTA Technologies Inc";
constexpr const wchar_t* kPrograms = L"C:\\Program Files";
constexpr const wchar_t* kVendorFolder = L"C:\\Program Files\\ZENTA Technologies";

struct DemoProduct {
  FamilyIndex family;  // kFamilyCount: not one of the eight families
  const wchar_t* productCode;
  const wchar_t* name;
  const wchar_t* version;
  const wchar_t* folder;    // under the programs folder
  const wchar_t* files[3];  // the package's files, in that folder
};

// Product codes of the demo products that are not in a fallback table.
const DemoProduct kDemoProducts[] = {
    {kFamilyQuillo,
     L"{4233A874-F8D9-4777-B94C-432B2889509D}",
     L"Quillo Software 10.8",
     L"10.8.0.0",
     L"ZENTA Technologies\\Quillo Software",
     {L"Quillo.exe", L"QuilloCore.dll", L"QuilloPrint.dll"}},
    {kFamilyTavloDrivers,
     L"{4C7DD64A-AE81-4F12-A9A9-49FA563C7086}",
     L"Product Drivers 10.8",
     L"10.8.0.0",
     L"ZENTA Technologies\\ZENTA Product Drivers",
     {L"ZENTATavloService.exe", L"ZTavUsb.sys", nullptr}},
    {kFamilyQuorix,
     L"{C5FCEA76-5728-4F57-9BEF-A12844413281}",
     L"ZENTA Quorix 4.5",
     L"4.5.120.0",
     L"ZENTA Technologies\\ZENTA Quorix",
     {L"QuorixTools.exe", L"QuorixData.dll", nullptr}},
    {kFamilyVexil,
     L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}",
     L"ZENTA Vexil 1.5",
     L"1.5.0.0",
     L"ZENTA Technologies\\ZENTA Vexil",
     {L"Vexil.exe", nullptr, nullptr}},
    {kFamilyConvexa,
     L"{12BEC5AF-5E98-48E9-8774-F67C4A0B8585}",
     L"ZENTA Convexa 3.1 SP1",
     L"3.1.10.0",
     L"ZENTA Technologies\\ZENTA Convexa",
     {L"Convexa.exe", L"ConvexaMath.dll", nullptr}},
    {kFamilyConvexaPE,
     L"{2F0B9C61-77D4-4E0A-9C3B-5A1E6D2B8F40}",
     L"ZENTA Convexa PE 1.0",
     L"1.0.0.0",
     L"ZENTA Technologies\\ZENTA Convexa PE",
     {L"ConvexaPE.exe", nullptr, nullptr}},
    {kFamilyCommonFiles,
     L"{40F6AC18-40D2-46B4-803A-BDC96B8F1E9E}",
     L"ZENTA Common Files 11.2",
     L"11.2.0.0",
     L"Common Files\\ZENTA Technologies\\Shared",
     {L"ZentaShared.dll", L"ZentaUI.dll", nullptr}},
    {kFamilyTavloSoftware,
     L"{C58288BE-29CA-4CBA-A599-B1418A95CCD7}",
     L"ZENTA Tavlo Software 9.7",
     L"9.7.0.0",
     L"ZENTA Technologies Inc\\ZENTA Tavlo Software",
     {L"Tavlo.exe", nullptr, nullptr}},
    {kFamilyCount,
     L"{8D3E5A20-6B1C-4F7E-A2D9-3C4B5E6F7A81}",
     L"ZENTA Brevano Suite 3.0",
     L"3.0.0.0",
     L"ZENTA Technologies\\Brevano Suite",
     {L"Brevano.exe", L"gallery setup.exe", nullptr}},
    {kFamilyCount,
     L"{1B7C9E42-3D5F-4A68-8B0C-D2E4F6A8C0B1}",
     L"ZENTA Platform 2.0",
     L"2.0.0.0",
     L"ZENTA Technologies\\Platform",
     {L"PlatformHost.exe", nullptr, nullptr}},
};

constexpr const wchar_t* kOtherPublisherCode = L"{6E2A8C40-1F3B-4D5E-9A7C-B8D0E2F4A6C8}";

// A reader installed per user, by the administrator and by a second
// account: the administrator's is removed, the other's only named.
constexpr const wchar_t* kPerUserCode = L"{5A1D3C7E-2B4F-4E69-8C0A-1D2E3F4A5B6C}";
constexpr const wchar_t* kSecondUserSid = L"S-1-5-21-1004336348-1177238915-682003330-1002";
struct PerUserInstall {
  const wchar_t* sid;
  const wchar_t* profile;
};
const PerUserInstall kPerUserInstalls[] = {{kDemoAdministratorSid, L"C:\\Users\\Admin"},
                                           {kSecondUserSid, L"C:\\Users\\Pat"}};

std::wstring NewComponentCode(int n) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"{D3E0C0DE-0000-4000-8000-%012X}", n);
  return buffer;
}

bool WriteHostFile(SimFileSystem& fs, const std::wstring& path, const std::string& content) {
  const auto host = fs.HostPath(path);
  if (host.empty()) return false;
  std::error_code ec;
  fs::create_directories(host.parent_path(), ec);
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

void MakeFolder(SimFileSystem& fs, const std::wstring& path) {
  std::error_code ec;
  fs::create_directories(fs.HostPath(path), ec);
}

}  // namespace

bool WriteDemoMachine(const fs::path& folder, std::string* error) {
  MachineConfig config;
  config.bits = 32;
  config.version = OsVersion{6, 1};
  config.currentDirectory = L"C:\\Tools";
  config.environment = {{L"TMP", L"C:\\Temp"}, {L"TEMP", L"C:\\Temp"}};
  config.services[L"spooler"] = ServiceBehaviour{4, 2, 2};
  config.ApplyDefaults();

  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    if (error) *error = folder.string() + ": " + ec.message();
    return false;
  }
  {
    std::ofstream ini(folder / kConfigFile, std::ios::binary | std::ios::trunc);
    ini << "; The demo machine of the ZENTA Cleanup Tool: a 32-bit Windows 7 PC.\n" << WriteMachineConfig(config);
  }
  auto machine = SimMachine::Create(folder, config);
  auto& fs = machine->fs();
  auto& reg = machine->nativeRegistry();
  const HKey hklm = kHkeyLocalMachine;

  // Windows itself.
  for (const wchar_t* dir :
       {L"C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3", L"C:\\WINDOWS\\system32\\spool\\PRTPROCS\\W32X86",
        L"C:\\WINDOWS\\winsxs\\Manifests", L"C:\\WINDOWS\\winsxs\\Policies", L"C:\\Temp"}) {
    MakeFolder(fs, dir);
  }
  WriteHostFile(fs, L"C:\\WINDOWS\\system32\\msiexec.exe", "MZ");
  WriteHostFile(fs, L"C:\\WINDOWS\\system32\\msvcr90.dll", "MZ");
  WriteHostFile(fs, L"C:\\Tools\\MSIZap.exe", "MZ");
  WriteText(reg, hklm, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentVersion", L"6.1");
  WriteText(reg, hklm, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", L"LPT1:", L"");
  WriteText(reg, hklm, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", L"FILE:", L"");
  WriteText(reg, hklm, L"SYSTEM\\CurrentControlSet\\Services\\Spooler", L"DisplayName", L"Print Spooler");

  // The vendor's products.
  int component = 1;
  for (const auto& p : kDemoProducts) {
    ProductSpec spec;
    spec.productCode = p.productCode;
    spec.upgradeCode = p.family == kFamilyCount ? L"" : kProductFamilies[p.family].upgradeCode;
    spec.name = p.name;
    spec.publisher = kVendor;
    spec.version = p.version;
    const std::wstring location = std::wstring(kPrograms) + L"\\" + p.folder + L"\\";
    spec.installLocation = location;
    for (const wchar_t* file : p.files) {
      if (file) spec.components.push_back(ComponentSpec{NewComponentCode(component++), location + file, "MZ"});
    }
    machine->msi().Register(spec);
    // What the products leave behind once their own uninstallers are done.
    WriteHostFile(fs, location + L"Settings\\user.config", "<settings/>");
    WriteHostFile(fs, location + L"Logs\\install.log", "installed\r\n");
    WriteDword(reg, hklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
               location + (p.files[0] ? p.files[0] : L"x.dll"), 1);
  }
  for (const auto& install : kPerUserInstalls) {
    ProductSpec spec;
    spec.productCode = kPerUserCode;
    spec.name = L"ZENTA Lumio Reader 2.0";
    spec.publisher = kVendor;
    spec.version = L"2.0.0.0";
    spec.installLocation = std::wstring(install.profile) + L"\\AppData\\Local\\Programs\\ZENTA Lumio Reader\\";
    spec.components.push_back(ComponentSpec{NewComponentCode(component++), spec.installLocation + L"Lumio.exe", "MZ"});
    spec.place = msilayout::Place::Unmanaged(install.sid);
    machine->msi().Register(spec);
    WriteHostFile(fs, spec.installLocation + L"Settings\\user.config", "<settings/>");
    WriteText(reg, hklm, std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") + install.sid,
              L"ProfileImagePath", install.profile, regtype::kExpandSz);
  }
  // App Paths of the families' programs, as their installers register them.
  WriteText(reg, hklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quillo.exe", L"",
            L"C:\\Program Files\\ZENTA Technologies\\Quillo Software\\Quillo.exe");
  WriteText(reg, hklm, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuorixTools.exe", L"",
            L"C:\\Program Files\\ZENTA Technologies\\ZENTA Quorix\\QuorixTools.exe");

  // A read-only leftover and a second vendor folder with a leftover tree.
  const std::wstring readOnly = std::wstring(kVendorFolder) + L"\\Quillo Software\\Settings\\license.dat";
  WriteHostFile(fs, readOnly, "licence");
  fs.SetAttributes(readOnly, fileattr::kReadOnly | fileattr::kArchive);
  WriteHostFile(fs, L"C:\\Program Files\\ZENTA Technologies Inc\\Tavlo Drivers\\old\\tavlo.inf", "[Version]");
  WriteHostFile(fs, L"C:\\Program Files\\Common Files\\ZENTA Technologies Inc\\Runtime\\zrt.dll", "MZ");

  // SharedDlls: vendor files, and files of Windows and others that stay.
  const wchar_t* kSharedDlls = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
  WriteDword(reg, hklm, kSharedDlls, L"C:\\Program Files\\Common Files\\ZENTA Technologies\\Shared\\ZentaUI.dll", 3);
  WriteDword(reg, hklm, kSharedDlls, L"C:\\Program Files\\Common Files\\ZENTA Technologies Inc\\Runtime\\zrt.dll", 2);
  WriteDword(reg, hklm, kSharedDlls, L"C:\\WINDOWS\\system32\\msvcr90.dll", 7);
  WriteDword(reg, hklm, kSharedDlls, L"C:\\Program Files\\Harbor Lane\\Notes\\hlcore.dll", 1);

  // The gallery content of the Brevano Suite.
  const std::wstring gallery = std::wstring(kVendorFolder) + L"\\Brevano Suite\\Gallery Content\\";
  WriteHostFile(fs, gallery + L"imsmanifest.xml", "<manifest/>");
  WriteHostFile(fs, gallery + L"Lessons\\lesson1.flp", "lesson");
  WriteText(reg, hklm, std::wstring(L"SOFTWARE\\ZENTA Technologies Inc.\\Gallery\\TeamContent\\") + kGalleryServerHost,
            L"imsmanifestxml", gallery + L"imsmanifest.xml");

  // The driver key of the Tavlo drivers.
  WriteText(reg, hklm, L"SOFTWARE\\ZENTA Technologies\\ZNTTavDriver", L"Version", L"10.8");

  // The print-capture printer with its five pieces and the outside vendor's keys.
  const std::wstring print = kPrintKey;
  const std::wstring settings = L"SOFTWARE\\Black Ice Software Inc\\EMFNT\\PrinterVariablesValues";
  const std::pair<const wchar_t*, const wchar_t*> kSettings[] = {
      {L"DRIVER_CONFIG_INI_MSI", L"BuEIniNT.ini"},
      {L"DRIVER_FILE_MSI", L"BuEDrvNT.dll"},
      {L"DRIVER_NAME_MSI", L"ZENTA Print Capture Driver"},
      {L"MONITOR_FILE_MSI", L"BuEMonNT.dll"},
      {L"MONITOR_NAME_MSI", L"Ice Monitor E"},
      {L"PORT_NAME_MSI", L"IcePortER:"},
      {L"PRINTER_NAME_MSI", L"ZENTA Quillo Print Capture"},
      {L"PROCESSOR_FILE_MSI", L"BuEProNT.dll"},
      {L"PROCESSOR_NAME_MSI", L"EMF Print Processor"},
      {L"RESOURCE_DLL_MSI", L"BuEResNT.DLL"},
      {L"USER_INTERFACE_NAME_MSI", L"BuEUifNT.dll"},
  };
  for (const auto& [name, value] : kSettings) WriteText(reg, hklm, settings, name, value);
  WriteText(reg, hklm, L"SOFTWARE\\Black Ice Software, Inc.\\EMF", L"Installed", L"1");
  const std::wstring printer = print + L"\\Printers\\ZENTA Quillo Print Capture";
  WriteText(reg, hklm, printer, L"Name", L"ZENTA Quillo Print Capture");
  WriteText(reg, hklm, printer, L"Port", L"IcePortER:");
  WriteText(reg, hklm, printer, L"Printer Driver", L"ZENTA Print Capture Driver");
  WriteText(reg, hklm, printer, L"Print Processor", L"EMF Print Processor");
  WriteText(reg, hklm, print + L"\\Monitors\\Ice Monitor E", L"Driver", L"BuEMonNT.dll");
  EnsureKey(reg, hklm, print + L"\\Monitors\\Ice Monitor E\\Ports\\IcePortER:");
  WriteText(reg, hklm, print + L"\\Monitors\\Local Port", L"Driver", L"localspl.dll");
  const std::wstring x86 = print + L"\\Environments\\Windows NT x86";
  WriteText(reg, hklm, x86 + L"\\Drivers\\Version-3\\ZENTA Print Capture Driver", L"Driver", L"BuEDrvNT.dll");
  WriteText(reg, hklm, x86 + L"\\Drivers\\Version-3\\ZENTA Print Capture Driver", L"Data File", L"BuEIniNT.ini");
  WriteText(reg, hklm, x86 + L"\\Drivers\\Version-3\\ZENTA Print Capture Driver", L"Configuration File",
            L"BuEUifNT.dll");
  WriteText(reg, hklm, x86 + L"\\Print Processors\\EMF Print Processor", L"Driver", L"BuEProNT.dll");
  WriteText(reg, hklm, x86 + L"\\Print Processors\\winprint", L"Driver", L"winprint.dll");
  for (const wchar_t* file : {L"BuEDrvNT.dll", L"BuEIniNT.ini", L"BuEUifNT.dll"}) {
    WriteHostFile(fs, std::wstring(L"C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\") + file, "MZ");
  }

  // One product of another publisher, and the user's own documents.
  ProductSpec other;
  other.productCode = kOtherPublisherCode;
  other.name = L"Harbor Lane Notes 5.2";
  other.publisher = L"Harbor Lane Software";
  other.version = L"5.2.0.0";
  other.installLocation = L"C:\\Program Files\\Harbor Lane\\Notes\\";
  other.components.push_back(ComponentSpec{NewComponentCode(component++), other.installLocation + L"hlcore.dll", "MZ"});
  machine->msi().Register(other);
  WriteHostFile(fs, L"C:\\Users\\Admin\\Documents\\Quarterly report.docx", "report");
  WriteHostFile(fs, L"C:\\Users\\Admin\\Documents\\ZENTA Technologies\\My lessons\\lesson notes.txt", "notes");

  return machine->Save(error);
}

}  // namespace zc::sim
