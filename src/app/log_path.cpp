#include "app/log_path.h"

#include <cstdio>

#include "platform/text.h"

namespace zc {

namespace {

bool PathExists(FileSystem& fs, const std::wstring& path) {
  std::uint32_t attributes = 0;
  return fs.GetAttributes(path, &attributes) == err::kSuccess;
}

// A name is free only when the file system says plainly that it is not
// there; a name it cannot check (access denied, ...) is skipped.
bool NameIsFree(FileSystem& fs, const std::wstring& path) {
  std::uint32_t attributes = 0;
  const WinError error = fs.GetAttributes(path, &attributes);
  return error == err::kFileNotFound || error == err::kPathNotFound;
}

// The C runtime tries this many numbers before it gives up.
constexpr int kMaxTempNumber = 32767;

}  // namespace

std::wstring MakeTempBaseName(FileSystem& fs, SystemInfo& system, std::wstring_view prefix) {
  std::wstring directory;
  if (auto tmp = system.GetEnvironmentValue(L"TMP"); tmp && !tmp->empty() && PathExists(fs, *tmp)) {
    directory = *tmp;
  } else if (PathExists(fs, L"\\")) {
    directory = L"\\";
  } else {
    directory = L".";
  }
  if (!EndsWith(directory, L'\\') && !EndsWith(directory, L'/')) directory += L'\\';

  const std::wstring stem = directory + std::wstring(prefix);
  for (int number = 2; number <= kMaxTempNumber; ++number) {
    std::wstring candidate = stem + std::to_wstring(number);
    if (NameIsFree(fs, candidate)) return candidate;
  }
  // Every number is taken: the log then shares the first name; the time
  // suffix still keeps it apart from the names that exist.
  return stem + L"2";
}

std::wstring FormatFileNameSuffix(const LocalTime& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "_%d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return Widen(buffer);
}

std::wstring FormatTimestamp(const LocalTime& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%d %02d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                t.second);
  return Widen(buffer);
}

}  // namespace zc
