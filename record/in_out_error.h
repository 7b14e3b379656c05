#pragma once

#include <stdexcept>
#include <string>

// Codes 2 to 5 are the Windows error numbers of the four named conditions; the POSIX back-end
// maps its errno values onto them. Every other platform error number is reported as it is.
constexpr int kInOutFileNotFound = 2;
constexpr int kInOutInvalidFilename = 3;
constexpr int kInOutTooManyOpenFiles = 4;
constexpr int kInOutAccessDenied = 5;
// Another save of the same file is under way (Windows' sharing violation, on every platform).
constexpr int kInOutSharingViolation = 32;

// Refusals of our own. Bit 29 marks application-defined codes on Windows, so these can never
// be mistaken for an error number of either platform.
constexpr int kInOutEmptyPath = 0x20000001;
constexpr int kInOutFileTooShort = 0x20000002;
constexpr int kInOutFileTooLarge = 0x20000003;
constexpr int kInOutFileChanged = 0x20000004;
constexpr int kInOutHardLinked = 0x20000005;
constexpr int kInOutBackupNameTooLong = 0x20000006;
constexpr int kInOutFileEmpty = 0x20000007;

// The message the user sees for a code; it never names the file.
std::string InOutMessage(int code);
// "I/O error <code>": how a platform error with no row of its own is reported.
std::string InOutOtherMessage(int code);

class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(int code);
  // For a platform error number that collides with one of the named codes (EIO is 5 on Linux).
  EInOutError(int code, const std::string& message);

  int Code() const noexcept { return code_; }

 private:
  int code_;
};
