#include "safety/win_path.h"

#include "platform/text.h"

namespace zc::winpath {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

wchar_t UpperDrive(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// "X:" followed by a separator or the end.
bool StartsWithDrive(std::wstring_view t, bool slashSeparates) {
  if (t.size() < 2 || !IsDriveLetter(t[0]) || t[1] != L':') return false;
  if (t.size() == 2) return true;
  return t[2] == L'\\' || (slashSeparates && t[2] == L'/');
}

// Splits at separators; empty names are kept, for the literal form to refuse.
std::vector<std::wstring_view> Split(std::wstring_view t, bool slashSeparates) {
  std::vector<std::wstring_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= t.size(); ++i) {
    if (i == t.size() || t[i] == L'\\' || (slashSeparates && t[i] == L'/')) {
      parts.push_back(t.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// Names as Win32 normalises them. `keepLeadingDotDot`: a relative form keeps
// the ".." it cannot resolve yet, for MakeAbsolute to resolve.
void AppendNormalised(std::wstring_view rest, bool keepLeadingDotDot, PathView* path) {
  const bool trailingSeparator = !rest.empty() && IsSeparator(rest.back());
  auto parts = Split(rest, true);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::wstring_view part = parts[i];
    if (part.empty() || part == L".") continue;
    if (part == L"..") {
      if (!path->names.empty() && path->names.back() != L"..") {
        path->names.pop_back();
      } else if (keepLeadingDotDot) {
        path->names.push_back(part);
      }
      continue;
    }
    const bool last = i + 1 == parts.size() && !trailingSeparator;
    // A name ending in one period loses it; the last name loses all its
    // trailing periods and blanks.
    if (part.size() >= 2 && part.back() == L'.' && part[part.size() - 2] != L'.') part.remove_suffix(1);
    if (last) {
      while (!part.empty() && (part.back() == L'.' || part.back() == L' ')) part.remove_suffix(1);
    }
    if (part.empty()) continue;
    if (HasInvalidCharacter(part)) path->error = err::kInvalidName;
    path->names.push_back(part);
  }
}

// Names of a literal path: as spelled; what the file system would refuse
// makes the path invalid.
void AppendLiteral(std::wstring_view rest, PathView* path) {
  if (rest.empty()) return;
  auto parts = Split(rest, false);
  if (!parts.empty() && parts.back().empty()) parts.pop_back();  // "\\?\C:\a\" names the folder a
  for (auto part : parts) {
    if (part.empty() || part == L"." || part == L".." || HasInvalidCharacter(part)) path->error = err::kInvalidName;
    path->names.push_back(part);
  }
}

// "server\share\rest" of a network path.
void ParseUnc(std::wstring_view t, bool literal, PathView* path) {
  path->form = Form::kUnc;
  std::size_t at = 0;
  auto nextName = [&]() {
    std::size_t end = at;
    while (end < t.size() && !(t[end] == L'\\' || (!literal && t[end] == L'/'))) ++end;
    const std::wstring_view name = t.substr(at, end - at);
    at = end < t.size() ? end + 1 : end;
    return name;
  };
  path->server = nextName();
  path->share = nextName();
  if (path->server.empty() || path->share.empty() || HasInvalidCharacter(path->server) ||
      HasInvalidCharacter(path->share)) {
    path->error = err::kInvalidName;
  }
  if (literal) {
    AppendLiteral(t.substr(at), path);
  } else {
    AppendNormalised(t.substr(at), false, path);
  }
}

// What follows "\\.\" or "\\?\" (`literal` for the latter).
void ParseDevicePath(std::wstring_view t, bool literal, PathView* path) {
  path->literal = literal;
  if (StartsWithDrive(t, !literal)) {
    path->form = Form::kDrive;
    path->drive = UpperDrive(t[0]);
    const std::wstring_view rest = t.size() > 3 ? t.substr(3) : std::wstring_view();
    if (literal) {
      AppendLiteral(rest, path);
    } else {
      AppendNormalised(rest, false, path);
    }
    return;
  }
  if (t.size() >= 4 && StartsWithNoCase(t, L"UNC") && (t[3] == L'\\' || (!literal && t[3] == L'/'))) {
    ParseUnc(t.substr(4), literal, path);
    return;
  }
  path->form = Form::kOtherDevice;
  std::size_t end = 0;
  while (end < t.size() && t[end] != L'\\' && (literal || t[end] != L'/')) ++end;
  path->device = t.substr(0, end);
  if (end < t.size()) AppendLiteral(t.substr(end + 1), path);
}

bool EqualsNoCaseAt(std::wstring_view text, std::size_t at, std::wstring_view part) {
  return text.size() >= at + part.size() && EqualsNoCase(text.substr(at, part.size()), part);
}

// Where the names of a normalised absolute path begin: after "C:\" or
// after "\\server\share\".
std::size_t RootLength(std::wstring_view path) {
  if (path.size() >= 3 && path[1] == L':') return 3;
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    std::size_t at = path.find(L'\\', 2);  // after the server
    if (at == std::wstring_view::npos) return path.size();
    at = path.find(L'\\', at + 1);  // after the share
    return at == std::wstring_view::npos ? path.size() : at + 1;
  }
  return 0;
}

}  // namespace

bool HasInvalidCharacter(std::wstring_view name) {
  for (wchar_t c : name) {
    if (c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' || c == L'*' ||
        c == L'/' || c == L'\\') {
      return true;
    }
  }
  return false;
}

PathView Parse(std::wstring_view text) {
  PathView path;
  if (text.empty()) {
    path.error = err::kPathNotFound;  // GetFullPathNameW refuses an empty path
    return path;
  }
  if (text.size() >= 4 && (text.substr(0, 4) == L"\\\\?\\" || text.substr(0, 4) == L"\\??\\")) {
    ParseDevicePath(text.substr(4), true, &path);
    return path;
  }
  if (text.size() >= 4 && IsSeparator(text[0]) && IsSeparator(text[1]) && (text[2] == L'.' || text[2] == L'?') &&
      IsSeparator(text[3])) {
    ParseDevicePath(text.substr(4), false, &path);
    return path;
  }
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    ParseUnc(text.substr(2), false, &path);
    return path;
  }
  if (text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == L':') {
    path.drive = UpperDrive(text[0]);
    if (text.size() > 2 && IsSeparator(text[2])) {
      path.form = Form::kDrive;
      AppendNormalised(text.substr(3), false, &path);
    } else {
      path.form = Form::kDriveRelative;
      AppendNormalised(text.substr(2), true, &path);
    }
    return path;
  }
  if (!text.empty() && IsSeparator(text[0])) {
    path.form = Form::kRooted;
    AppendNormalised(text.substr(1), false, &path);
    return path;
  }
  path.form = Form::kRelative;
  AppendNormalised(text, true, &path);
  return path;
}

PathView MakeAbsolute(std::wstring_view text, std::wstring_view currentDirectory) {
  PathView path = Parse(text);
  if (path.form != Form::kRelative && path.form != Form::kDriveRelative && path.form != Form::kRooted) return path;
  PathView current = Parse(currentDirectory);
  if (!current.IsAbsolute()) {
    // No usable current directory: the relative path stays relative.
    return path;
  }
  PathView full = current;
  full.error = path.error == err::kSuccess ? current.error : path.error;
  if (path.form == Form::kRooted) {
    full.names.clear();
  } else if (path.form == Form::kDriveRelative && (current.form != Form::kDrive || path.drive != current.drive)) {
    // Another drive's current directory is not known here: its root.
    full.form = Form::kDrive;
    full.drive = path.drive;
    full.server = {};
    full.share = {};
    full.names.clear();
  }
  for (const auto& name : path.names) {
    if (name == L"..") {
      if (!full.names.empty()) full.names.pop_back();
    } else {
      full.names.push_back(name);
    }
  }
  return full;
}

std::wstring ToText(const PathView& path) {
  std::wstring text;
  auto appendNames = [&](bool leadingSeparator) {
    for (std::size_t i = 0; i < path.names.size(); ++i) {
      if (i > 0 || leadingSeparator) text += L'\\';
      text += path.names[i];
    }
  };
  switch (path.form) {
    case Form::kDrive:
      text = {path.drive, L':', L'\\'};
      appendNames(false);
      return text;
    case Form::kUnc:
      text = L"\\\\";
      text += path.server;
      text += L'\\';
      text += path.share;
      appendNames(true);
      return text;
    case Form::kDriveRelative:
      text = {path.drive, L':'};
      appendNames(false);
      return text;
    case Form::kRooted:
      text = L"\\";
      appendNames(false);
      return text;
    case Form::kOtherDevice:
      text = L"\\\\.\\";
      text += path.device;
      appendNames(true);
      return text;
    case Form::kRelative: appendNames(false); return text;
  }
  return text;
}

std::wstring Normalise(std::wstring_view text, std::wstring_view currentDirectory) {
  const PathView path = currentDirectory.empty() ? Parse(text) : MakeAbsolute(text, currentDirectory);
  if (path.error != err::kSuccess || !path.IsAbsolute()) return {};
  return ToText(path);
}

bool SamePath(std::wstring_view a, std::wstring_view b) { return EqualsNoCase(a, b); }

bool IsSameOrBelow(std::wstring_view path, std::wstring_view folder) {
  if (folder.empty() || !EqualsNoCaseAt(path, 0, folder)) return false;
  if (path.size() == folder.size()) return true;
  // "C:\" holds every path of the drive; other folders end at a separator.
  return folder.back() == L'\\' || path[folder.size()] == L'\\';
}

bool IsBelow(std::wstring_view path, std::wstring_view folder) {
  return IsSameOrBelow(path, folder) && path.size() > folder.size();
}

std::wstring ParentOf(std::wstring_view path) {
  const std::size_t root = RootLength(path);
  if (path.size() <= root) return std::wstring(path);
  const std::size_t cut = path.rfind(L'\\');
  if (cut == std::wstring_view::npos || cut + 1 < root) return std::wstring(path.substr(0, root));
  if (cut + 1 == root) {
    // The root itself: "C:\" keeps its separator, "\\server\share" has none.
    return std::wstring(path.substr(0, path[1] == L':' ? root : cut));
  }
  return std::wstring(path.substr(0, cut));
}

std::wstring LastName(std::wstring_view path) {
  const std::size_t root = RootLength(path);
  if (path.size() <= root) return {};
  const std::size_t cut = path.rfind(L'\\');
  return std::wstring(cut == std::wstring_view::npos || cut + 1 < root ? path.substr(root) : path.substr(cut + 1));
}

std::wstring Join(std::wstring_view folder, std::wstring_view name) {
  std::wstring out(folder);
  if (!out.empty() && out.back() != L'\\') out += L'\\';
  out += name;
  return out;
}

bool IsRoot(std::wstring_view path) {
  const std::size_t root = RootLength(path);
  return root > 0 && path.size() <= root;
}

std::size_t LastNameStart(std::wstring_view path) {
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  return cut;
}

bool IsFullyQualified(std::wstring_view path) {
  return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2]);
}

}  // namespace zc::winpath
