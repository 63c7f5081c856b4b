// What the .reg reader and writer share: the error they report and the
// form a file takes (its text encoding, byte-order mark, header version and
// end of line), so that a machine's registry.reg is written back in the
// form it was read in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zc::sim {

struct RegFileError {
  std::string file;
  std::size_t line = 0;  // 1-based; 0 when no line is to blame (reading or writing the file failed)
  std::string message;   // UTF-8

  // "FILE, line N: MESSAGE" (or "FILE: MESSAGE").
  std::string ToString() const;
};

enum class RegEncoding {
  kUtf16Le,  // what regedit writes for version 5.00
  kUtf8,
  kAnsi,  // 8-bit text taken as Latin-1: what regedit writes for REGEDIT4
};

struct RegFileFormat {
  RegEncoding encoding = RegEncoding::kUtf16Le;
  bool bom = true;
  // "REGEDIT4": its hex(1), hex(2) and hex(7) data are 8-bit strings.
  bool version4 = false;
  bool crlf = true;  // lines end with CR LF (else LF)

  // Version 5.00, UTF-16LE with BOM, CR LF: regedit's export.
  static RegFileFormat Regedit() { return {}; }
  // REGEDIT4, 8-bit, CR LF: regedit's "Win9x/NT4" export.
  static RegFileFormat Regedit4() { return {RegEncoding::kAnsi, false, true, true}; }

  bool operator==(const RegFileFormat&) const = default;
};

inline constexpr std::wstring_view kRegHeader5 = L"Windows Registry Editor Version 5.00";
inline constexpr std::wstring_view kRegHeader4 = L"REGEDIT4";

// The longest physical line read, in characters: 64 MiB of regedit's
// UTF-16, far past the lines of any real export. A longer line is refused
// rather than read on.
inline constexpr std::size_t kMaxRegLineLength = 32u * 1024 * 1024;

}  // namespace zc::sim
