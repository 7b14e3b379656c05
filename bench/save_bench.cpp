// Save through the program's own file back-end beside a floor of raw Win32 calls that take the
// same steps, interleaved in one run so that both see the same machine:
//   save_bench.exe FOLDER [rounds]
// The floor looks at the file's identity, takes a lock, holds the file and reads it once (what
// the changed-on-disk guard needs), writes the backup and then the file each through a flushed
// temporary, renames the backup into place, looks at the file again and puts the new one in
// place: one rename under Wine, ReplaceFileW on Windows. Prints the medians and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/record_file.h"
#include "record/record_io.h"
#include "system/system_functions.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed: error %lu\n", what, GetLastError());
    std::exit(1);
  }
}

void WriteFlushed(const std::wstring& path, const Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  Require(file != INVALID_HANDLE_VALUE, "create");
  DWORD put = 0;
  Require(
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size(),
      "write");
  Require(FlushFileBuffers(file), "flush");
  CloseHandle(file);
}

// What the save's identity checks cost: open for attributes, ask the file's identity, close.
void LookAt(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Require(file != INVALID_HANDLE_VALUE, "look");
  BY_HANDLE_FILE_INFORMATION information{};
  Require(GetFileInformationByHandle(file, &information), "identity");
  CloseHandle(file);
}

void FloorSave(const std::wstring& path, Bytes& bytes) {
  LookAt(path);
  HANDLE lock = CreateMutexW(nullptr, FALSE, L"Local\\velmora floor");
  Require(WaitForSingleObject(lock, INFINITE) == WAIT_OBJECT_0, "lock");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  Require(file != INVALID_HANDLE_VALUE, "open");
  BY_HANDLE_FILE_INFORMATION information{};
  Require(GetFileInformationByHandle(file, &information), "identity");
  static const auto finalPath = kGetFinalPathNameByHandleW.Find();
  wchar_t final[MAX_PATH];
  if (finalPath) finalPath(file, final, MAX_PATH, 0);
  LookAt(path);
  Bytes read(bytes.size());
  DWORD got = 0;
  Require(ReadFile(file, read.data(), static_cast<DWORD>(read.size()), &got, nullptr), "read");
  const std::wstring temporary = path + L".~fl";
  GetFileAttributesW((path + L".bak").c_str());
  WriteFlushed(temporary, bytes);
  Require(MoveFileExW(temporary.c_str(), (path + L".bak").c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
          "rename");
  bytes[kLevelOffsets[0]] ^= 1;
  WriteFlushed(temporary, bytes);
  LookAt(path);
  if (RunningOnWine()) {
    CloseHandle(file);
    Require(MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
            "rename");
  } else {
    Require(ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                         nullptr),
            "replace");
    CloseHandle(file);
  }
  ReleaseMutex(lock);
  CloseHandle(lock);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: save_bench FOLDER [rounds]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const int rounds = argc > 2 ? _wtoi(argv[2]) : 300;
  const std::wstring saved = folder + L"\\audio_cfg.db";
  const std::wstring floor = folder + L"\\floor.db";
  Bytes bytes(kRecordSize, 3);
  DeleteFileW(saved.c_str());
  DeleteFileW(floor.c_str());
  WriteFlushed(saved, bytes);
  WriteFlushed(floor, bytes);

  AudioConfigRecord record;
  std::vector<double> save_ms;
  std::vector<double> floor_ms;
  try {
    LoadRecord(record, saved);
    for (int round = -10; round < rounds; ++round) {  // the first rounds warm up
      const std::uint8_t level = 1 + (round & 1);
      double start = NowMs();
      SaveRecord(record, saved, {level, level, level, level});
      const double save = NowMs() - start;
      start = NowMs();
      FloorSave(floor, bytes);
      const double raw = NowMs() - start;
      if (round >= 0) {
        save_ms.push_back(save);
        floor_ms.push_back(raw);
      }
    }
  } catch (const EInOutError& error) {
    std::fprintf(stderr, "Save failed: %s\n", error.what());
    return 1;
  }
  for (const std::wstring& name : {saved, saved + L".bak", floor, floor + L".bak"}) DeleteFileW(name.c_str());
  const double save = Median(save_ms);
  const double raw = Median(floor_ms);
  std::printf("Save through the program's back-end  %.3f ms (median of %d)\n", save, rounds);
  std::printf("the same steps as raw Win32 calls    %.3f ms\n", raw);
  std::printf("Save against its floor               %.2fx\n", save / raw);
  return 0;
}
