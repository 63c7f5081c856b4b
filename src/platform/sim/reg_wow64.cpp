#include "platform/sim/reg_wow64.h"

#include <string_view>

#include "platform/text.h"

namespace zc::sim {
namespace {

// The keys below HKLM\SOFTWARE that Windows 7 (and Windows Server 2008 R2)
// shares between the 32-bit and 64-bit views, from the table of registry
// keys affected by WOW64 in the Windows 64-bit programming documentation.
// A listed key's sub-keys are shared too.
//
// Deliberate simplifications and readings of that table:
//  - Classes is shared as a whole. Windows redirects Classes\CLSID,
//    DirectShow, Interface, Media Type and MediaFoundation; nothing this
//    tool touches lies there, and HKEY_CLASSES_ROOT stays one key this way.
//  - The table lists "Microsoft\SOFTWARE\Microsoft\Shared Tools\MSInfo",
//    a doubled path; the key Windows has is Microsoft\Shared Tools\MSInfo.
//  - The table spells "TransactionServer" and "Language Pack"; the keys
//    Windows has are "Transaction Server" and "LanguagePack". Both
//    spellings are listed.
//  - SharedDlls (Microsoft\Windows\CurrentVersion\SharedDlls) is not in the
//    table: it is redirected. Windows Installer's own keys
//    (Microsoft\Windows\CurrentVersion\Installer) are not either; the
//    simulated Windows Installer reads them from the store directly.
constexpr std::wstring_view kSharedKeys[] = {
    L"Classes",
    L"Clients",
    L"Microsoft\\COM3",
    L"Microsoft\\Cryptography\\Calais\\Current",
    L"Microsoft\\Cryptography\\Calais\\Readers",
    L"Microsoft\\Cryptography\\Services",
    L"Microsoft\\CTF\\SystemShared",
    L"Microsoft\\CTF\\TIP",
    L"Microsoft\\DFS",
    L"Microsoft\\Driver Signing",
    L"Microsoft\\EnterpriseCertificates",
    L"Microsoft\\EventSystem",
    L"Microsoft\\MSMQ",
    L"Microsoft\\Non-Driver Signing",
    L"Microsoft\\Notepad\\DefaultFonts",
    L"Microsoft\\OLE",
    L"Microsoft\\RAS",
    L"Microsoft\\RPC",
    L"Microsoft\\Shared Tools\\MSInfo",
    L"Microsoft\\SystemCertificates",
    L"Microsoft\\TermServLicensing",
    L"Microsoft\\TransactionServer",
    L"Microsoft\\Transaction Server",
    L"Microsoft\\Windows\\CurrentVersion\\App Paths",
    L"Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    L"Microsoft\\Windows\\CurrentVersion\\Group Policy",
    L"Microsoft\\Windows\\CurrentVersion\\Policies",
    L"Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    L"Microsoft\\Windows\\CurrentVersion\\Setup",
    L"Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    L"Microsoft\\Windows NT\\CurrentVersion\\Console",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    L"Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    L"Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    L"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    L"Microsoft\\Windows NT\\CurrentVersion\\Language Pack",
    L"Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
    L"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    L"Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    L"Microsoft\\Windows NT\\CurrentVersion\\Ports",
    L"Microsoft\\Windows NT\\CurrentVersion\\Print",
    L"Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    L"Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
    L"Policies",
    L"RegisteredApplications",
};

constexpr std::wstring_view kWow64Node = L"WOW6432Node";

// True when `entry` ("A\B\C") names the first names of `names`.
bool IsPrefix(std::wstring_view entry, std::span<const std::wstring> names) {
  std::size_t index = 0;
  std::size_t start = 0;
  while (start <= entry.size()) {
    const std::size_t end = entry.find(L'\\', start);
    const std::wstring_view part = entry.substr(start, end == std::wstring_view::npos ? entry.npos : end - start);
    if (index >= names.size() || !EqualsNoCase(part, names[index])) return false;
    ++index;
    if (end == std::wstring_view::npos) return true;
    start = end + 1;
  }
  return true;
}

}  // namespace

bool IsSharedBetweenViews(std::span<const std::wstring> belowSoftware) {
  if (belowSoftware.empty()) return false;
  for (std::wstring_view entry : kSharedKeys) {
    if (IsPrefix(entry, belowSoftware)) return true;
  }
  return false;
}

std::vector<std::wstring> RedirectTo32BitView(const std::vector<std::wstring>& names) {
  if (names.empty() || !EqualsNoCase(names[0], L"SOFTWARE")) return names;
  if (names.size() >= 2 && EqualsNoCase(names[1], kWow64Node)) return names;
  const std::span<const std::wstring> below(names.data() + 1, names.size() - 1);
  if (IsSharedBetweenViews(below)) return names;
  std::vector<std::wstring> redirected;
  redirected.reserve(names.size() + 1);
  redirected.push_back(names[0]);
  redirected.emplace_back(kWow64Node);
  redirected.insert(redirected.end(), names.begin() + 1, names.end());
  return redirected;
}

}  // namespace zc::sim
