#include "platform/sim/machine_path.h"

#include "platform/text.h"
#include "platform/win_error.h"
#include "safety/win_path.h"

namespace zc::sim {

std::wstring MachinePath(std::string_view text, const std::function<bool(wchar_t)>& driveExists) {
  // No NUL, and no network or device path (\\server, \\.\, \\?\).
  if (text.find('\0') != std::string_view::npos) return {};
  if (text.size() >= 2 && (text[0] == '\\' || text[0] == '/') && (text[1] == '\\' || text[1] == '/')) return {};
  const std::wstring wide = FromUtf8(text);
  const winpath::PathView path = winpath::Parse(wide);
  if (path.form != winpath::Form::kDrive || path.literal || path.error != err::kSuccess) return {};
  if (driveExists && !driveExists(path.drive)) return {};
  std::wstring normal = winpath::ToText(path);
  // Win32 cannot make a name that ends in a blank or a dot, and such a name
  // would not read back the same: the value's trimming, or the stripping of
  // a last name's trailing blanks, would change it.
  for (std::size_t end = normal.find(L'\\'); end != std::wstring::npos;) {
    const std::size_t next = normal.find(L'\\', end + 1);
    const std::size_t last = (next == std::wstring::npos ? normal.size() : next);
    if (last > end + 1 && (normal[last - 1] == L' ' || normal[last - 1] == L'.')) return {};
    end = next;
  }
  return normal;
}

}  // namespace zc::sim
