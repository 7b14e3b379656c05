#pragma once
// The window with a record folder of its own, driven as a user drives Open and Save.
#include <array>
#include <string>
#include <vector>

#include "tests/record_test_support.h"
#include "tests/window_test_support.h"

inline Bytes RecordWith(const VolumeLevels& levels) { return WithLevels(Pattern(kRecordSize, 3), levels); }

class Form1Commands : public Form1Test {
 protected:
  void SetUp() override {
    Form1Test::SetUp();
    static int counter = 0;
    dir_ = fs::temp_directory_path() / (L"velmora-commands-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                        std::to_wstring(++counter));
    fs::create_directories(dir_);
    file_ = dir_ / L"audio_cfg.db";
  }
  void TearDown() override {
    if (fs::exists(file_)) SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    Form1Test::TearDown();
  }

  // Open through the dialog; returns what the dialog showed.
  SeenDialog Open(const fs::path& path, std::vector<DialogScript::Step> after = {}) {
    std::vector<DialogScript::Step> steps{DialogScript::OpenWith(path.wstring())};
    steps.insert(steps.end(), after.begin(), after.end());
    DialogScript script(steps);
    Click(BitBtn1);
    EXPECT_EQ(script.Seen().size(), steps.size());
    seen_ = script.Seen();
    return seen_.empty() ? SeenDialog{} : seen_[0];
  }

  std::vector<SeenDialog> Save(std::vector<DialogScript::Step> steps = {}) {
    DialogScript script(steps);
    Click(BitBtn2);
    EXPECT_EQ(script.Seen().size(), steps.size());
    return script.Seen();
  }

  std::array<std::wstring, 4> Shown() const {
    return {TextOf(C(Edit1)), TextOf(C(Edit2)), TextOf(C(Edit3)), TextOf(C(Edit4))};
  }
  std::wstring Status() const { return PanelText(C(StatusBar1), 0); }
  std::wstring StatusTip() const {
    wchar_t text[1024] = {};
    TTTOOLINFOW tool{sizeof tool, 0, C(StatusBar1), 0, {}, nullptr, text, 0, nullptr};
    SendMessageW(form_.StatusTipWindow(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    return text;
  }

  fs::path dir_;
  fs::path file_;
  std::vector<SeenDialog> seen_;
};

using Shown4 = std::array<std::wstring, 4>;

// Message boxes show the system's shared icons, so the handles compare.
inline HICON InformationIcon() { return LoadIconW(nullptr, IDI_INFORMATION); }
inline HICON StopIcon() { return LoadIconW(nullptr, IDI_ERROR); }
