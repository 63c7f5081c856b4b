// Windows paths as Windows reads them: one module that parses, normalises
// and compares them, for the scope guard, the simulated file system and the
// readers of a machine's side files alike. Pure code: no file is touched.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win_error.h"

namespace zc::winpath {

enum class Form {
  kRelative,       // "a\b": against the current directory
  kDriveRelative,  // "C:a": against the drive's current directory
  kRooted,         // "\a": from the root of the current drive
  kDrive,          // "C:\a", "\\.\C:\a", "\\?\C:\a"
  kUnc,            // "\\server\share\a", "\\?\UNC\server\share\a"
  kOtherDevice,    // "\\.\pipe\x", "\\?\Volume{...}\": no drive, no share
};

// A parsed path whose texts are views of the text it was parsed from (and
// of the current directory it was completed from): no copy of any name.
// Those texts must outlive it.
struct PathView {
  Form form = Form::kRelative;
  wchar_t drive = 0;         // upper case, for kDrive and kDriveRelative
  std::wstring_view server;  // kUnc
  std::wstring_view share;   // kUnc
  std::wstring_view device;  // kOtherDevice: the name after the prefix
  // The names below the root, normalised as Win32 normalises them (unless
  // `literal`): "." dropped, ".." takes the name before it but never climbs
  // above the root, a single trailing period of a name and the trailing
  // periods and blanks of the last name dropped.
  std::vector<std::wstring_view> names;
  // Spelled with "\\?\" or "\??\": Windows passes the names on as they are.
  // A "." or ".." among them is an invalid name (the file system refuses it),
  // so such a path never climbs either.
  bool literal = false;
  // 0, or 123 (ERROR_INVALID_NAME) for a name with a character no Windows
  // file name may hold, or a literal "." or "..".
  WinError error = err::kSuccess;

  bool IsAbsolute() const { return form == Form::kDrive || form == Form::kUnc; }
};

// Parses `text` as the Win32 file functions read a path.
PathView Parse(std::wstring_view text);

// GetFullPathNameW: a relative, drive-relative or rooted path completed from
// `currentDirectory` (a full drive or network path). Forms that are already
// absolute are returned as parsed.
PathView MakeAbsolute(std::wstring_view text, std::wstring_view currentDirectory);

// "C:\a\b", "C:\" for a drive root, "\\server\share\a"; for relative forms
// their own spelling ("C:a", "\a", "a"). Letters keep their case.
std::wstring ToText(const PathView& path);

// Parse and print again: the spelling Windows would use for `text`, or an
// empty text when it is no absolute path.
std::wstring Normalise(std::wstring_view text, std::wstring_view currentDirectory = {});

// Whether a name holds a character that no Windows file name may hold
// (control characters, < > : " | ? * and, where separators are not, / \).
bool HasInvalidCharacter(std::wstring_view name);

// Comparisons of two absolute paths in their normalised spelling (as ToText
// writes them), case-insensitively, at component boundaries.
bool SamePath(std::wstring_view a, std::wstring_view b);
// `path` is `folder` or lies below it.
bool IsSameOrBelow(std::wstring_view path, std::wstring_view folder);
// `path` lies below `folder` (not the folder itself).
bool IsBelow(std::wstring_view path, std::wstring_view folder);
// The folder that holds `path` (its text without the last name); `path`
// itself for a root.
std::wstring ParentOf(std::wstring_view path);
// The last name of `path`; empty for a root.
std::wstring LastName(std::wstring_view path);
// `folder` and `name` joined with one backslash.
std::wstring Join(std::wstring_view folder, std::wstring_view name);
// Whether `path` is the root of a drive or a share.
bool IsRoot(std::wstring_view path);

// Where the last name of `path` (a search pattern's pattern) begins: after
// its last separator, or 0 when it has none.
std::size_t LastNameStart(std::wstring_view path);

// The longest plain (not \\?\) path the file calls take, its terminating
// NUL included: MAX_PATH.
inline constexpr std::size_t kMaxPath = 260;

// "X:\..." and nothing else: not relative, not drive-relative ("C:x"),
// not a network path. A relative path means whatever folder a program
// happens to run in, never a product's folder.
bool IsFullyQualified(std::wstring_view path);

}  // namespace zc::winpath
