#include "platform/sim/short_names.h"

#include <algorithm>
#include <set>

#include "platform/text.h"

namespace zc::sim {

namespace {

// Characters an 8.3 name may hold besides letters and digits.
bool IsShortNameCharacter(wchar_t c) {
  if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9')) return true;
  return std::wstring_view(L"!#$%&'()-@^_`{}~").find(c) != std::wstring_view::npos;
}

std::wstring Upper(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = UpcaseChar(c);
  return out;
}

// The name's characters as an 8.3 name may hold them: blanks and periods
// dropped, anything else it cannot hold made an underscore, upper case.
std::wstring ShortForm(std::wstring_view text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L' ' || c == L'.') continue;
    out.push_back(IsShortNameCharacter(c) ? UpcaseChar(c) : L'_');
  }
  return out;
}

struct NoCaseLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const { return CompareNoCase(a, b) < 0; }
};

}  // namespace

bool IsShortNameForm(std::wstring_view name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  const std::size_t dot = name.find(L'.');
  const std::wstring_view base = name.substr(0, dot);
  const std::wstring_view ext = dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::wstring_view::npos && ext.empty()) return false;
  for (wchar_t c : base) {
    if (!IsShortNameCharacter(c)) return false;
  }
  for (wchar_t c : ext) {
    if (!IsShortNameCharacter(c)) return false;
  }
  return true;
}

bool MayBeShortName(std::wstring_view name) {
  return name.find(L'~') != std::wstring_view::npos && IsShortNameForm(name);
}

std::vector<std::pair<std::wstring, std::wstring>> GenerateShortNames(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end(), NoCaseLess{});
  // Names taken: every 8.3 name of the folder, then each short name given.
  std::set<std::wstring, NoCaseLess> taken;
  for (const auto& name : names) {
    if (IsShortNameForm(name)) taken.insert(name);
  }
  std::vector<std::pair<std::wstring, std::wstring>> result;
  for (const auto& name : names) {
    if (IsShortNameForm(name)) continue;
    std::wstring_view stem = name;
    while (!stem.empty() && stem.front() == L'.') stem.remove_prefix(1);
    const std::size_t lastDot = stem.rfind(L'.');
    std::wstring base = ShortForm(stem.substr(0, lastDot));
    std::wstring ext = lastDot == std::wstring_view::npos ? std::wstring() : ShortForm(stem.substr(lastDot + 1));
    if (ext.size() > 3) ext.resize(3);
    if (base.empty()) base = ext.empty() ? std::wstring(L"_") : ext;
    for (int n = 1;; ++n) {
      const std::wstring number = L"~" + std::to_wstring(n);
      std::wstring candidate = base.substr(0, 8 - number.size() < 6 ? 8 - number.size() : 6) + number;
      if (!ext.empty()) candidate += L"." + ext;
      if (taken.insert(Upper(candidate)).second) {
        result.emplace_back(name, Upper(candidate));
        break;
      }
    }
  }
  return result;
}

std::optional<std::wstring> LongNameOf(std::wstring_view shortName, const std::vector<std::wstring>& names) {
  for (auto& [longName, shortOne] : GenerateShortNames(names)) {
    if (EqualsNoCase(shortOne, shortName)) return std::move(longName);
  }
  return std::nullopt;
}

}  // namespace zc::sim
