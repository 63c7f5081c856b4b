// The attributes a host cannot hold (read-only, hidden, system, archive),
// kept for the simulated machine's paths, and their side file
// file-attributes.txt: one line a path, "PATH<TAB>HEXADECIMAL".
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zc::sim {

// The attributes SetFileAttributes keeps (the rest come from the host).
inline constexpr std::uint32_t kSettableAttributes = 0x1 | 0x2 | 0x4 | 0x20 | 0x2000;  // +not content-indexed

class AttributeTable {
 public:
  // The attributes stored for a canonical Windows path: for a path without
  // any, a folder's are 0 and a file's archive.
  std::uint32_t Stored(const std::wstring& windowsPath, bool directory) const;
  void Store(const std::wstring& windowsPath, std::uint32_t attributes);
  void Forget(const std::wstring& windowsPath);
  bool empty() const { return attributes_.empty(); }

  // Reads the side file (none: no attributes). Each path must be a full
  // path on one of the machine's drives (`driveExists`); it is kept as
  // Windows spells it. False with "FILE:LINE: message" otherwise.
  bool Load(const std::filesystem::path& file, const std::function<bool(wchar_t)>& driveExists, std::string* error);
  // The same, from the file's text; a text refused at any line leaves the
  // table as it was.
  bool Parse(std::string_view text, const std::string& fileName, const std::function<bool(wchar_t)>& driveExists,
             std::string* error);
  // The side file's text for what the table holds.
  std::string Text() const;
  // Writes the side file when the table changed since it was loaded or
  // last saved (replacing it; an empty table removes it).
  bool Save(const std::filesystem::path& file, std::string* error);

 private:
  // Orders paths as their upper-cased forms compare, so that a path is
  // looked up in any case without making its upper-cased copy.
  struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const;
  };
  std::map<std::wstring, std::uint32_t, NoCaseLess> attributes_;  // by upper-cased canonical path
  // How many paths of each length the table holds: most paths asked about
  // have none stored, and are told so without comparing any text.
  std::unordered_map<std::size_t, std::size_t> lengths_;
  bool changed_ = false;
};

}  // namespace zc::sim
