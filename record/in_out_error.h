#pragma once

#include <stdexcept>
#include <string>

// Codes are Windows error numbers: 2 to 5 name the four conditions with messages of their own,
// and every other one is reported as it is.
constexpr int kInOutFileNotFound = 2;
constexpr int kInOutInvalidFilename = 3;
constexpr int kInOutTooManyOpenFiles = 4;
constexpr int kInOutAccessDenied = 5;
// A save of the same file is under way (Windows' sharing violation).
constexpr int kInOutSharingViolation = 32;
// A name longer than the file system allows.
constexpr int kInOutNameTooLong = 206;

// Refusals of our own. Bit 29 marks application-defined codes on Windows, so these can never
// be mistaken for a Windows error number.
constexpr int kInOutEmptyPath = 0x20000001;
constexpr int kInOutFileTooShort = 0x20000002;
constexpr int kInOutFileTooLarge = 0x20000003;
constexpr int kInOutFileChanged = 0x20000004;
constexpr int kInOutFileEmpty = 0x20000007;
constexpr int kInOutBackupProtected = 0x20000008;
constexpr int kInOutBrokenLink = 0x20000009;
constexpr int kInOutTemporaryNameTaken = 0x2000000B;
constexpr int kInOutBackupCaseTwin = 0x2000000C;
constexpr int kInOutBackupLoneTwin = 0x2000000D;
constexpr int kInOutFileReplaced = 0x2000000E;
constexpr int kInOutNotAFile = 0x2000000F;

// The message the user sees for a code. It never names the file; where the user has to move
// something else away, name is that thing's name (UTF-8), which ends the message.
std::string InOutMessage(int code, const std::string& name = {});
// "I/O error <code>": how a platform error with no row of its own is reported.
std::string InOutOtherMessage(int code);

class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(int code, const std::string& name = {});

  int Code() const noexcept { return code_; }

 private:
  int code_;
};
