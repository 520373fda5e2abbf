// The exit codes of an unattended run, as Windows Installer gives them (deployment systems know
// them), and those of its check of a package.
#pragma once

namespace orvandi {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDiffers = 1;            // /CHECK: the PC differs from the record
inline constexpr int kExitBadCommandLine = 87;    // ERROR_INVALID_PARAMETER
inline constexpr int kExitFailed = 1603;          // ERROR_INSTALL_FAILURE
inline constexpr int kExitUnknownPackage = 1605;  // ERROR_UNKNOWN_PRODUCT
inline constexpr int kExitAnotherRun = 1618;      // ERROR_INSTALL_ALREADY_RUNNING
inline constexpr int kExitLogFailed = 1622;       // ERROR_INSTALL_LOG_FAILURE
inline constexpr int kExitRestart = 3010;         // ERROR_SUCCESS_REBOOT_REQUIRED

}  // namespace orvandi
