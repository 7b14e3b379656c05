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
    case kInOutHardLinked:
      return "The file has other names (hard links) that a save would split from it. Copy it to a file "
             "of its own, then save.";
    case kInOutBackupProtected:
      return "The backup file (the file's name with .bak added) is a folder, or is read-only, hidden or a "
             "system file, so it was left as it is. Move it away or clear those attributes, then save.";
    case kInOutBrokenLink:
      return "The file's name is a link to a file that no longer exists. Open the file again, then save.";
    case kInOutNameLeadsElsewhere:
      return "The file's name, as Windows spells it, leads to another file. Give the file a name Windows "
             "can spell (no dot or space at its end), then open it again.";
    case kInOutTemporaryNamesTaken:
      return "Every name a save could write through (the file's name with .~vm or .~v and one letter or "
             "digit added) is taken. Move those files away, then save.";
    case kInOutBackupNameTooLong:
      return "The backup file's name would be too long. Give the file a shorter name, then save.";
    default:
      return InOutOtherMessage(code);
  }
}

EInOutError::EInOutError(int code) : std::runtime_error(InOutMessage(code)), code_(code) {}
