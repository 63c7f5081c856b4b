#include "platform/sim/attribute_table.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/filesystem.h"
#include "platform/sim/host_file.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace zc::sim {

namespace {

constexpr std::size_t kMaxSideFileBytes = std::size_t{64} << 20;

std::wstring Upper(std::wstring text) {
  for (auto& c : text) c = UpcaseChar(c);
  return text;
}

}  // namespace

bool AttributeTable::NoCaseLess::operator()(std::wstring_view a, std::wstring_view b) const {
  return CompareNoCase(a, b) < 0;
}

std::uint32_t AttributeTable::Stored(const std::wstring& windowsPath, bool directory) const {
  if (!lengths_.contains(windowsPath.size())) return directory ? 0u : fileattr::kArchive;
  const auto it = attributes_.find(std::wstring_view(windowsPath));
  if (it == attributes_.end()) return directory ? 0u : fileattr::kArchive;
  return it->second;
}

void AttributeTable::Store(const std::wstring& windowsPath, std::uint32_t attributes) {
  const auto [it, added] = attributes_.insert_or_assign(Upper(windowsPath), attributes);
  if (added) ++lengths_[it->first.size()];
  changed_ = true;
}

void AttributeTable::Forget(const std::wstring& windowsPath) {
  if (!lengths_.contains(windowsPath.size())) return;
  const auto it = attributes_.find(std::wstring_view(windowsPath));
  if (it == attributes_.end()) return;
  const auto length = lengths_.find(it->first.size());
  if (--length->second == 0) lengths_.erase(length);
  attributes_.erase(it);
  changed_ = true;
}

bool AttributeTable::Load(const std::filesystem::path& file, const std::function<bool(wchar_t)>& driveExists,
                          std::string* error) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) return true;
  std::string text;
  if (auto e = ReadHostFile(file, kMaxSideFileBytes, &text)) {
    if (error) *error = e->ToString();
    return false;
  }
  std::istringstream in(text);
  std::string line;
  int number = 0;
  const std::string name = file.filename().string();
  auto fail = [&](const std::string& message) {
    if (error) *error = name + ":" + std::to_string(number) + ": " + message;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    const auto tab = line.find('\t');
    unsigned long value = 0;
    char* end = nullptr;
    if (tab != std::string::npos) value = std::strtoul(line.c_str() + tab + 1, &end, 16);
    if (tab == std::string::npos || end == line.c_str() + tab + 1 || *end != '\0') {
      return fail("expected 'PATH<TAB>HEX'");
    }
    // The path as Windows reads it: a doubled or trailing backslash, a
    // forward slash or a trailing period name the same entry.
    const std::string pathText = line.substr(0, tab);
    const std::wstring wide = FromUtf8(pathText);
    const winpath::PathView path = winpath::Parse(wide);
    if (pathText.find('\0') != std::string::npos || path.form != winpath::Form::kDrive || path.literal ||
        path.error != err::kSuccess || (driveExists && !driveExists(path.drive))) {
      return fail("expected a full path on one of the machine's drives");
    }
    Store(winpath::ToText(path), static_cast<std::uint32_t>(value) & kSettableAttributes);
  }
  changed_ = false;
  return true;
}

bool AttributeTable::Save(const std::filesystem::path& file, std::string* error) {
  if (!changed_) return true;
  std::error_code ec;
  if (attributes_.empty()) {
    // Nothing to keep: the side file goes (a link there goes as a link).
    std::filesystem::remove(file, ec);
    if (ec) {
      if (error) *error = file.filename().string() + ": cannot be removed: " + ec.message();
      return false;
    }
    changed_ = false;
    return true;
  }
  std::ostringstream out;
  out << "; attributes the host cannot hold: canonical path, tab, hexadecimal attributes\n";
  for (const auto& [path, value] : attributes_) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", value);
    out << ToUtf8(path) << '\t' << hex << '\n';
  }
  const std::string bytes = out.str();
  if (auto e = ReplaceHostFile(file, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))) {
    if (error) *error = e->ToString();
    return false;
  }
  changed_ = false;
  return true;
}

}  // namespace zc::sim
