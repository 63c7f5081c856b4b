#include <windows.h>
#include <winspool.h>

// winspool names these functions by macro; the interface's methods share
// their plain names.
#undef EnumPrinters
#undef EnumPorts
#undef EnumMonitors

#include "platform/win32/win32_spooler.h"

#include <cstring>
#include <string>

namespace zc::win32 {
namespace {

constexpr DWORD kDirectoryBufferBytes = 520;

// The environment the 32-bit program means by none (see the header).
std::wstring ProgramEnvironment() {
#ifdef _WIN64
  return L"Windows NT x86";
#else
  return {};
#endif
}

// A text argument the spooler's functions take as a writable pointer; an
// empty text is passed as null.
class MutableText {
 public:
  explicit MutableText(std::wstring_view text) : text_(text) {}
  wchar_t* get() { return text_.empty() ? nullptr : text_.data(); }

 private:
  std::wstring text_;
};

std::optional<std::wstring> Text(const wchar_t* text) {
  if (text == nullptr) return std::nullopt;
  return std::wstring(text);
}

HANDLE ToHandle(PrinterHandleValue value) { return reinterpret_cast<HANDLE>(value); }

// The two-step enumeration: without a buffer it reports the bytes needed
// (122), or success with nothing to list; with a buffer it fills `records`
// from the level-2 structures the spooler wrote into it.
template <typename Info, typename Record, typename Call, typename Convert>
WinError Enumerate(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<Record>* records, Call call,
                   Convert convert) {
  records->clear();
  DWORD bytesNeeded = 0;
  DWORD returned = 0;
  if (bufferSize == 0) {
    const BOOL ok = call(nullptr, 0, &bytesNeeded, &returned);
    *needed = bytesNeeded;
    return ok ? err::kSuccess : ::GetLastError();
  }
  std::vector<BYTE> buffer(bufferSize);
  if (!call(buffer.data(), bufferSize, &bytesNeeded, &returned)) {
    *needed = bytesNeeded;
    return ::GetLastError();
  }
  *needed = bytesNeeded;
  if (static_cast<std::size_t>(returned) * sizeof(Info) > buffer.size()) return err::kInvalidData;
  records->reserve(returned);
  for (DWORD i = 0; i < returned; ++i) {
    Info info;
    std::memcpy(&info, buffer.data() + static_cast<std::size_t>(i) * sizeof(Info), sizeof(Info));
    records->push_back(convert(info));
  }
  return err::kSuccess;
}

WinError Result(BOOL ok) { return ok ? err::kSuccess : ::GetLastError(); }

}  // namespace

WinError Win32Spooler::EnumPrinters(std::uint32_t bufferSize, std::uint32_t* needed,
                                    std::vector<PrinterRecord>* records) {
  return Enumerate<PRINTER_INFO_2W>(
      bufferSize, needed, records,
      [](BYTE* buffer, DWORD size, DWORD* bytes, DWORD* count) {
        return ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, size, bytes, count);
      },
      [](const PRINTER_INFO_2W& info) {
        return PrinterRecord{Text(info.pPrinterName), Text(info.pPortName), Text(info.pDriverName),
                             Text(info.pPrintProcessor)};
      });
}

WinError Win32Spooler::EnumPorts(std::uint32_t bufferSize, std::uint32_t* needed, std::vector<PortRecord>* records) {
  return Enumerate<PORT_INFO_2W>(
      bufferSize, needed, records,
      [](BYTE* buffer, DWORD size, DWORD* bytes, DWORD* count) {
        return ::EnumPortsW(nullptr, 2, buffer, size, bytes, count);
      },
      [](const PORT_INFO_2W& info) {
        return PortRecord{Text(info.pPortName), Text(info.pMonitorName)};
      });
}

WinError Win32Spooler::EnumMonitors(std::uint32_t bufferSize, std::uint32_t* needed,
                                    std::vector<MonitorRecord>* records) {
  return Enumerate<MONITOR_INFO_2W>(
      bufferSize, needed, records,
      [](BYTE* buffer, DWORD size, DWORD* bytes, DWORD* count) {
        return ::EnumMonitorsW(nullptr, 2, buffer, size, bytes, count);
      },
      [](const MONITOR_INFO_2W& info) {
        return MonitorRecord{Text(info.pName), Text(info.pEnvironment), Text(info.pDLLName)};
      });
}

WinError Win32Spooler::EnumDrivers(std::uint32_t bufferSize, std::uint32_t* needed,
                                   std::vector<DriverRecord>* records) {
  MutableText environment(ProgramEnvironment());
  return Enumerate<DRIVER_INFO_2W>(
      bufferSize, needed, records,
      [&environment](BYTE* buffer, DWORD size, DWORD* bytes, DWORD* count) {
        return ::EnumPrinterDriversW(nullptr, environment.get(), 2, buffer, size, bytes, count);
      },
      [](const DRIVER_INFO_2W& info) {
        return DriverRecord{Text(info.pName), Text(info.pEnvironment), Text(info.pDriverPath), Text(info.pDataFile),
                            Text(info.pConfigFile)};
      });
}

WinError Win32Spooler::OpenPrinterHandle(std::wstring_view name, PrinterHandleValue* handle) {
  *handle = 0;
  // A null name would open the print server itself.
  if (name.empty()) return err::kInvalidPrinterName;
  MutableText printer(name);
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE opened = nullptr;
  if (!::OpenPrinterW(printer.get(), &opened, &defaults)) return ::GetLastError();
  *handle = reinterpret_cast<PrinterHandleValue>(opened);
  return err::kSuccess;
}

WinError Win32Spooler::DeletePrinterAt(PrinterHandleValue handle) { return Result(::DeletePrinter(ToHandle(handle))); }

WinError Win32Spooler::ClosePrinterHandle(PrinterHandleValue handle) {
  if (handle == 0) return err::kInvalidHandle;
  return Result(::ClosePrinter(ToHandle(handle)));
}

WinError Win32Spooler::DeletePortNamed(std::wstring_view port) {
  MutableText name(port);
  return Result(::DeletePortW(nullptr, nullptr, name.get()));
}

WinError Win32Spooler::DeleteDriverNamed(std::wstring_view environment, std::wstring_view driver) {
  MutableText env(environment.empty() ? ProgramEnvironment() : std::wstring(environment));
  MutableText name(driver);
  return Result(::DeletePrinterDriverW(nullptr, env.get(), name.get()));
}

WinError Win32Spooler::DeleteMonitorNamed(std::wstring_view monitor) {
  MutableText name(monitor);
  return Result(::DeleteMonitorW(nullptr, nullptr, name.get()));
}

WinError Win32Spooler::DeleteProcessorNamed(std::wstring_view processor) {
  MutableText environment(ProgramEnvironment());
  MutableText name(processor);
  return Result(::DeletePrintProcessorW(nullptr, environment.get(), name.get()));
}

WinError Win32Spooler::GetDriverDirectory(std::wstring* directory) {
  MutableText environment(ProgramEnvironment());
  wchar_t buffer[kDirectoryBufferBytes / sizeof(wchar_t)] = {};
  DWORD needed = 0;
  if (!::GetPrinterDriverDirectoryW(nullptr, environment.get(), 1, reinterpret_cast<BYTE*>(buffer),
                                    kDirectoryBufferBytes, &needed)) {
    return ::GetLastError();
  }
  *directory = buffer;
  return err::kSuccess;
}

WinError Win32Spooler::GetProcessorDirectory(std::wstring* directory) {
  MutableText environment(ProgramEnvironment());
  wchar_t buffer[kDirectoryBufferBytes / sizeof(wchar_t)] = {};
  DWORD needed = 0;
  if (!::GetPrintProcessorDirectoryW(nullptr, environment.get(), 1, reinterpret_cast<BYTE*>(buffer),
                                     kDirectoryBufferBytes, &needed)) {
    return ::GetLastError();
  }
  *directory = buffer;
  return err::kSuccess;
}

}  // namespace zc::win32
