#include "platform/sim/attribute_table.h"

#include <cstdio>
#include <cstdlib>

#include "platform/filesystem.h"
#include "platform/sim/host_file.h"
#include "platform/sim/machine_path.h"
#include "platform/text.h"

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
  return Parse(text, file.filename().string(), driveExists, error);
}

bool AttributeTable::Parse(std::string_view text, const std::string& fileName,
                           const std::function<bool(wchar_t)>& driveExists, std::string* error) {
  // Read into a table of its own: a file refused at any line leaves this one as it was.
  AttributeTable read;
  int number = 0;
  auto fail = [&](const std::string& message) {
    if (error) *error = fileName + ":" + std::to_string(number) + ": " + message;
    return false;
  };
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t newline = text.find('\n', start);
    const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';') continue;
    const auto tab = line.find('\t');
    if (tab == std::string_view::npos) return fail("expected 'PATH<TAB>HEX'");
    // Up to eight hexadecimal digits, nothing else: no sign, blank or prefix.
    const std::string_view hex = line.substr(tab + 1);
    if (hex.empty() || hex.size() > 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
      return fail("expected 'PATH<TAB>HEX' (up to eight hexadecimal digits)");
    }
    const auto value = static_cast<std::uint32_t>(std::strtoul(std::string(hex).c_str(), nullptr, 16));
    // The path as Windows reads it: a doubled or trailing backslash, a
    // forward slash or a trailing period name the same entry.
    const std::wstring path = MachinePath(line.substr(0, tab), driveExists);
    if (path.empty()) return fail("expected a full path on one of the machine's drives");
    read.Store(path, value & kSettableAttributes);
  }
  attributes_ = std::move(read.attributes_);
  lengths_ = std::move(read.lengths_);
  changed_ = false;
  return true;
}

std::string AttributeTable::Text() const {
  std::string out = "; attributes the host cannot hold: canonical path, tab, hexadecimal attributes\n";
  for (const auto& [path, value] : attributes_) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", value);
    out += ToUtf8(path);
    out += '\t';
    out += hex;
    out += '\n';
  }
  return out;
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
  const std::string bytes = Text();
  if (auto e = ReplaceHostFile(file, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))) {
    if (error) *error = e->ToString();
    return false;
  }
  changed_ = false;
  return true;
}

}  // namespace zc::sim
