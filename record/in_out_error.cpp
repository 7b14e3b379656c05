#include "record/in_out_error.h"

std::string InOutOtherMessage(int code) {
  std::string message = "I/O error ";
  message += std::to_string(code);
  return message;
}

namespace {

std::string Quoted(const std::string& name) { return '"' + name + '"'; }

}  // namespace

std::string InOutMessage(int code, const std::string& name) {
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
      return "The file was changed or made by another program after it was opened. Open it again, then save.";
    case kInOutFileReplaced:
      return "Another program replaced or changed the file while it was being saved, so the new levels are "
             "not in it; the backup holds the record as it was opened. Open the file again, set the levels, "
             "then save.";
    case kInOutNotAFile:
      return "The name is not a file (it is a pipe, a device or the like), so it was left alone. Choose the "
             "audio configuration file itself.";
    case kInOutBackupProtected:
      return "The backup file (the file's name with .bak added) is a folder, or is read-only, hidden or a "
             "system file, so it was left as it is. Move it away or clear those attributes, then save.";
    case kInOutBrokenLink:
      return "The file's name is a link to a file that no longer exists. Open the file again, then save.";
    case kInOutTemporaryNameTaken:
      return "A folder, or a file another program holds open, stands at a name the backup is written "
             "through (the file's name with .~b and a number added), so nothing was changed. Move it away, "
             "then save. Its name: " +
             Quoted(name);
    case kInOutBackupCaseTwin:
      return "Beside the file stands a backup whose name differs from this file's backup only in letter "
             "case; it belongs to another file, so it was left as it is. Rename one of them, then save.";
    case kInOutBackupLoneTwin:
      return "Beside the file stands a backup whose name differs from this file's backup only in letter "
             "case, and no file of the name it backs up is there, so it was left as it is. Rename or move "
             "that backup, then save. Its name: " +
             Quoted(name);
    default:
      return InOutOtherMessage(code);
  }
}

EInOutError::EInOutError(int code, const std::string& name)
    : std::runtime_error(InOutMessage(code, name)), code_(code) {}
