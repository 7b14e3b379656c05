#include "record/in_out_error.h"

std::string InOutOtherMessage(int code) {
  std::string message = "I/O error ";
  message += std::to_string(code);
  return message;
}

std::string InOutMessage(int code) {
  switch (code) {
    case kInOutFileNotFound:
      return "File not found";
    case kInOutInvalidFilename:
      return "Invalid filename";
    case kInOutTooManyOpenFiles:
      return "Too many open files";
    case kInOutAccessDenied:
      return "File access denied";
    case kInOutEmptyPath:
      return "No file name was given";
    case kInOutFileTooShort:
      return "File is too short to be an audio configuration file";
    case kInOutFileTooLarge:
      return "File is too large to be an audio configuration file";
    case kInOutFileEmpty:
      return "The file is empty";
    case kInOutFileChanged:
      return "The file was changed by another program after it was opened. Open it again, then save.";
    case kInOutBackupProtected:
      return "The backup file (the file's name with .bak added) is a folder, or is read-only, hidden or a "
             "system file, so it was left as it is. Move it away or clear those attributes, then save.";
    case kInOutBrokenLink:
      return "The file's name is a link to a file that no longer exists. Open the file again, then save.";
    case kInOutTemporaryNamesTaken:
      return "The names the backup is written through (the file's name with .~b0, .~b1 and .~b2 added) "
             "are all taken. Move those files away, then save.";
    case kInOutBackupCaseTwin:
      return "Beside the file stands a backup whose name differs from this file's backup only in letter "
             "case; it belongs to another file, so it was left as it is. Rename one of them, then save.";
    default:
      return InOutOtherMessage(code);
  }
}

EInOutError::EInOutError(int code) : std::runtime_error(InOutMessage(code)), code_(code) {}
