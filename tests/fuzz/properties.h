// What each fuzz target checks of one input, shared with the regression
// test that replays every input a fuzzer ever found. Each returns false
// when the input breaks a promise; a crash or a sanitizer report is a
// failure of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "app/command_line.h"
#include "catalogue/version.h"
#include "platform/argv.h"
#include "platform/sim/attribute_table.h"
#include "platform/sim/machine_config.h"
#include "platform/sim/reg_file.h"
#include "platform/text.h"

namespace zc::fuzz {

// Any text parses; quoting the split arguments gives them back unchanged.
inline bool CommandLineHolds(const std::uint8_t* data, std::size_t size) {
  const std::wstring line = FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
  CCustomCommandLineInfo info;
  info.ParseCommandLine(line);
  if (!info.m_bLogFile && !info.m_strLogFile.empty()) return false;

  const auto args = SplitCommandLine(line);
  if (args.empty()) return false;  // the program's name is always there
  std::wstring rejoined = L"program";
  for (std::size_t i = 1; i < args.size(); ++i) rejoined += L" " + QuoteArgument(args[i]);
  const auto again = SplitCommandLine(rejoined);
  if (again.size() != args.size()) return false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (again[i] != args[i]) return false;
  }
  return true;
}

// Any two texts give versions that order consistently.
inline bool VersionHolds(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto cut = text.find('\n');
  const CVersion a(FromUtf8(text.substr(0, cut)));
  const CVersion b(FromUtf8(cut == std::string::npos ? std::string() : text.substr(cut + 1)));
  if (!a.m_bValid && (a.m_nMajor || a.m_nMinor || a.m_nRevision || a.m_nBuild)) return false;
  if (!a.Equals(a) || a.IsGreaterThan(a)) return false;
  if (a.IsGreaterThan(b) && (a.IsLessThan(b) || a.Equals(b))) return false;
  // The printed form of a valid version parses back to it.
  if (a.m_bValid && !CVersion(a.ToString()).Equals(a)) return false;
  return true;
}

// Any bytes are read or refused. A refusal names the file and a line and
// leaves the store (and an import's store) as it was. What is read writes
// out in the form it was read in (or regedit's, when that form cannot carry
// it), reads back in that form, and writes out byte for byte the same; a
// read under a small line limit agrees with one under the usual limit.
inline bool RegFileHolds(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  sim::RegStore store;
  store.CreateKey(sim::Hive::kCurrentUser, L"Before")->SetDword(L"v", 1);
  const auto before = sim::WriteRegText(store);
  sim::RegFileFormat form;
  if (auto error = sim::LoadRegText(bytes, "fuzz.reg", store, &form)) {
    if (error->file != "fuzz.reg" || error->line == 0 || error->message.empty()) return false;
    if (sim::WriteRegText(store) != before) return false;
    if (!sim::ImportRegText(bytes, "fuzz.reg", store)) return false;
    return sim::WriteRegText(store) == before;
  }
  sim::RegFileFormat used;
  const auto first = sim::WriteRegText(store, form, &used);
  if (used != form && used != sim::RegFileFormat::Regedit()) return false;
  sim::RegStore again;
  sim::RegFileFormat againForm;
  if (sim::LoadRegText(first, "written.reg", again, &againForm) || againForm != used) return false;
  if (sim::WriteRegText(again, used) != first) return false;
  const auto regedit = sim::WriteRegText(store);
  if (sim::WriteRegText(again) != regedit) return false;

  sim::RegReadOptions small;
  small.maxLineLength = 64;
  sim::RegStore limited;
  if (auto error = sim::LoadRegText(bytes, "fuzz.reg", limited, nullptr, small)) return error->line != 0;
  return sim::WriteRegText(limited) == regedit;
}

// Any text is read or refused with a line; what is read writes out and
// reads back to the same text.
inline bool MachineIniHolds(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sim::MachineConfig config;
  sim::ConfigError error;
  if (!sim::ParseMachineConfig(text, "machine.ini", &config, &error)) return error.line >= 0;
  const std::string written = sim::WriteMachineConfig(config);
  sim::MachineConfig again;
  if (!sim::ParseMachineConfig(written, "written.ini", &again, &error)) return false;
  return sim::WriteMachineConfig(again) == written;
}

// Any text is read or refused with its line, and a refused text leaves the
// table as it was; what is read writes out and reads back to the same text.
inline bool AttributesHold(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto drives = [](wchar_t drive) { return drive == L'C' || drive == L'D'; };
  sim::AttributeTable table;
  table.Store(L"C:\\BEFORE", 1);
  const std::string before = table.Text();
  std::string error;
  if (!table.Parse(text, "file-attributes.txt", drives, &error)) {
    return error.rfind("file-attributes.txt:", 0) == 0 && error.find(": ", 20) != std::string::npos &&
           table.Text() == before;
  }
  const std::string written = table.Text();
  sim::AttributeTable again;
  if (!again.Parse(written, "written.txt", drives, &error)) return false;
  return again.Text() == written;
}

}  // namespace zc::fuzz
