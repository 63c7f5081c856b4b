// Windows error codes shared by both backends, so that the logic sees the
// same numbers on the simulated machine as on Windows.
#pragma once

#include <cstdint>

namespace zc {

using WinError = std::uint32_t;

namespace err {
inline constexpr WinError kSuccess = 0;
inline constexpr WinError kFileNotFound = 2;
inline constexpr WinError kPathNotFound = 3;
inline constexpr WinError kAccessDenied = 5;
inline constexpr WinError kInvalidHandle = 6;
inline constexpr WinError kNotEnoughMemory = 8;
inline constexpr WinError kInvalidData = 13;
inline constexpr WinError kNoMoreFiles = 18;
inline constexpr WinError kWriteProtect = 19;  // ERROR_WRITE_PROTECT: the medium is write-protected
inline constexpr WinError kSharingViolation = 32;
inline constexpr WinError kNotSupported = 50;
inline constexpr WinError kBadNetPath = 53;
inline constexpr WinError kInvalidParameter = 87;
inline constexpr WinError kCallNotImplemented = 120;  // ERROR_CALL_NOT_IMPLEMENTED
inline constexpr WinError kInsufficientBuffer = 122;
inline constexpr WinError kInvalidName = 123;
inline constexpr WinError kBadPathname = 161;
inline constexpr WinError kDirNotEmpty = 145;
inline constexpr WinError kFilenameTooLong = 206;
inline constexpr WinError kAlreadyExists = 183;
inline constexpr WinError kMoreData = 234;
inline constexpr WinError kWaitTimeout = 258;  // WAIT_TIMEOUT: a wait ended before its object
inline constexpr WinError kNoMoreItems = 259;
inline constexpr WinError kDirectory = 267;  // ERROR_DIRECTORY: not a folder
inline constexpr WinError kServiceRequestTimeout = 1053;
inline constexpr WinError kServiceAlreadyRunning = 1056;
inline constexpr WinError kServiceDoesNotExist = 1060;
inline constexpr WinError kServiceCannotAcceptCtrl = 1061;
inline constexpr WinError kServiceNotActive = 1062;
inline constexpr WinError kKeyDeleted = 1018;
inline constexpr WinError kUnknownProduct = 1605;
inline constexpr WinError kInstallInProgress = 1618;
inline constexpr WinError kProductVersionUnknown = 1614;
inline constexpr WinError kInvalidCommandLine = 1639;
inline constexpr WinError kUnknownProperty = 1608;
inline constexpr WinError kBadConfiguration = 1610;
inline constexpr WinError kNotAllAssigned = 1300;
inline constexpr WinError kUnknownPort = 1796;
inline constexpr WinError kUnknownPrinterDriver = 1797;
inline constexpr WinError kUnknownPrintProcessor = 1798;
inline constexpr WinError kInvalidPrinterName = 1801;
inline constexpr WinError kPrinterDriverInUse = 3001;
inline constexpr WinError kUnknownPrintMonitor = 3000;
inline constexpr WinError kSuccessRebootRequired = 3010;
}  // namespace err

}  // namespace zc
