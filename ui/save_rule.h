// Whether Save may write, and what to tell the user when it may not; no <windows.h>, so the host
// build tests it. Save never writes over a file whose record was not loaded: the image would
// hold zeros, or another file's record, and would go to that file and its backup.
#pragma once

enum class SaveRefusal { None, NothingOpened, OpenFailed };

class SaveRule {
 public:
  // Runs load for a file the user has just chosen. Save may go ahead afterwards only if load
  // returned; whatever it throws passes on and leaves Save refused.
  template <typename Load>
  void Open(Load&& load) {
    state_ = SaveRefusal::OpenFailed;
    load();
    state_ = SaveRefusal::None;
  }

  SaveRefusal Check() const { return state_; }

 private:
  SaveRefusal state_ = SaveRefusal::NothingOpened;
};

// The guidance shown for a refusal; empty for None.
const char* SaveRefusalText(SaveRefusal refusal);
