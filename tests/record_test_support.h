#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "record/audio_config_record.h"
#include "record/in_out_error.h"
#include "record/path_names.h"
#ifdef _WIN32
#include <windows.h>

#include "record/record_file.h"
#endif

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Every byte value occurs, 0x1A and 0x0D included, so any translation of the data shows.
inline Bytes Pattern(std::size_t size, int salt) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + salt);
  return bytes;
}

// Where the handset keeps its four levels, written out here rather than taken from the program.
constexpr std::size_t kLevelsAt[4] = {397, 409, 433, 889};

inline Bytes WithLevels(Bytes bytes, const VolumeLevels& levels) {
  for (std::size_t slot = 0; slot < 4; ++slot) bytes[kLevelsAt[slot]] = levels[slot];
  return bytes;
}

inline Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.flush()) << path;
}

inline Bytes ImageOf(const AudioConfigRecord& record) { return record.FileBytes(); }

// The code of the EInOutError that action throws, or 0 when it throws none.
inline int CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EInOutError& error) {
    return error.Code();
  }
  return 0;
}

#ifdef _WIN32
// Load and Save through the program's own file system, on real files, as codes.
inline int LoadInto(AudioConfigRecord& record, const fs::path& path) {
  return CodeOf([&] { LoadRecord(record, path.native()); });
}
inline int SaveFrom(AudioConfigRecord& record, const fs::path& path, const VolumeLevels& levels) {
  return CodeOf([&] { SaveRecord(record, path.native(), levels); });
}

// Starts this test program again running only the current test, which then plays the other
// program its environment describes. Null when it cannot start.
inline HANDLE StartThisTestAgain() {
  const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(test.test_suite_name()) + "." + test.name();
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line =
      L"\"" + std::wstring(self) + L"\" --gtest_filter=" + std::wstring(filter.begin(), filter.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Waits for a program started so, and gives its exit code.
inline DWORD ExitCodeOf(HANDLE process) {
  WaitForSingleObject(process, 20000);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}
#endif

// A path as UTF-8 bytes in a plain string, for messages and comparisons.
inline std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

using Names = std::vector<std::string>;

inline std::vector<std::string> NamesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(Utf8(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto stamp = std::to_string(now) + "-" + std::to_string(++counter);
    path_ = fs::temp_directory_path() / ("velmora-record-" + stamp);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }
  fs::path operator/(const fs::path& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Makes a temporary folder the working folder for one scope, so that a save given a relative
// or empty name can leave nothing in the folder the tests were started from.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~ScopedCurrentFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  fs::path previous_;
};

// A Unix path as this build sees it: Wine shows the Unix root as drive Z:.
inline fs::path HostPath(std::string path) {
#ifdef _WIN32
  for (char& c : path) c = c == '/' ? '\\' : c;
  path = "Z:" + path;
#endif
  return fs::path(path);
}

// Folders prepared outside the test binary by record_fixture.sh (a small tmpfs, an immutable
// file), which a Windows test under Wine cannot make itself. Empty when ctest did not set them
// up or the machine did not allow it.
inline std::optional<fs::path> FixtureFolder(const std::string& name) {
  const char* root = std::getenv("VELMORA_RECORD_FIXTURES");
  if (root == nullptr) return std::nullopt;
  const fs::path path = HostPath(std::string(root) + "/" + name);
  if (!fs::exists(fs::path(path.native() + fs::path(".ready").native()))) return std::nullopt;
  return path;
}

#ifdef VELMORA_RECORD_DATA
// The committed sample files (tests/data).
inline fs::path RecordDataFolder() { return HostPath(VELMORA_RECORD_DATA); }
#endif
