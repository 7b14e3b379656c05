#include "ui/save_rule.h"

const char* SaveRefusalText(SaveRefusal refusal) {
  switch (refusal) {
    case SaveRefusal::NothingOpened:
      return "Open a file first: there is nothing to save yet.";
    case SaveRefusal::OpenFailed:
      return "The file you chose last could not be opened, so nothing was saved. Open it again, or "
             "open another file, then save.";
    case SaveRefusal::None:
      break;
  }
  return "";
}
