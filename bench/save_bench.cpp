// Save through the program's own file back-end beside a floor of raw Win32 calls doing the job
// itself, interleaved in one run so that both see the same machine:
//   save_bench.exe FOLDER [rounds]
// Prints the medians and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/record_file.h"

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

// The folder the renames happened in, flushed so they are on disk.
void FlushFolder(const std::wstring& folder) {
  HANDLE handle = CreateFileW(folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Require(handle != INVALID_HANDLE_VALUE, "open folder");
  Require(FlushFileBuffers(handle), "flush folder");
  CloseHandle(handle);
}

// The job itself, fixed once and for all whatever the program does: hold the file and lock it,
// read it, write the backup through a flushed temporary renamed into place and make the rename
// durable (the folder flushed), then write the record over the file and flush it.
void FloorSave(const std::wstring& folder, const std::wstring& path, Bytes& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  Require(file != INVALID_HANDLE_VALUE, "open");
  OVERLAPPED lock{};
  lock.Offset = 0x40000000;
  Require(LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock), "lock");
  Bytes read(bytes.size());
  DWORD got = 0;
  Require(ReadFile(file, read.data(), static_cast<DWORD>(read.size()), &got, nullptr), "read");
  const std::wstring temporary = path + L".~fl";
  WriteFlushed(temporary, bytes);
  Require(MoveFileExW(temporary.c_str(), (path + L".bak").c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH),
          "rename");
  FlushFolder(folder);
  bytes[kLevelOffsets[0]] ^= 1;
  Require(SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0, "seek");
  DWORD put = 0;
  Require(
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size(),
      "write");
  Require(FlushFileBuffers(file), "flush");
  UnlockFileEx(file, 0, 1, 0, &lock);
  CloseHandle(file);
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

  std::vector<double> save_ms;
  std::vector<double> floor_ms;
  try {
    // Each round the first save of a file as a user makes it: a file just written, opened, then
    // saved once, with no backup beside it yet.
    for (int round = -10; round < rounds; ++round) {  // the first rounds warm up
      for (const std::wstring& name : {saved, saved + L".bak", floor, floor + L".bak"})
        DeleteFileW(name.c_str());
      WriteFlushed(saved, bytes);
      WriteFlushed(floor, bytes);
      AudioConfigRecord record;
      LoadRecord(record, saved);
      const std::uint8_t level = 1 + (round & 1);
      double start = NowMs();
      SaveRecord(record, saved, {level, level, level, level});
      const double save = NowMs() - start;
      start = NowMs();
      FloorSave(folder, floor, bytes);
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
  std::printf("First save through the program's back-end  %.3f ms (median of %d)\n", save, rounds);
  std::printf("the job itself as raw Win32 calls          %.3f ms\n", raw);
  std::printf("Save against its floor                     %.2fx\n", save / raw);
  return 0;
}
