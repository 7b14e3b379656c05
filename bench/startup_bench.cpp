// Times start-up to the first idle moment of the message loop (after the first paint) and reads
// the peak working set, for two programs launched in turn:
//   startup_bench.exe velmora.exe bare_window.exe [runs]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
  double milliseconds;
  double peakMegabytes;
};

BOOL CALLBACK CloseWindowsOf(HWND hwnd, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == static_cast<DWORD>(processId)) PostMessageW(hwnd, WM_CLOSE, 0, 0);
  return TRUE;
}

bool RunOnce(const std::wstring& exe, Sample& sample) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  LARGE_INTEGER frequency, start, idle;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi))
    return false;
  DWORD waited = WaitForInputIdle(pi.hProcess, 30000);
  QueryPerformanceCounter(&idle);
  Sleep(200);  // let the first paint's memory settle before reading the peak
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(pi.hProcess, &counters, sizeof counters);
  EnumWindows(CloseWindowsOf, static_cast<LPARAM>(pi.dwProcessId));
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  sample.milliseconds = 1000.0 * static_cast<double>(idle.QuadPart - start.QuadPart) / frequency.QuadPart;
  sample.peakMegabytes = counters.PeakWorkingSetSize / (1024.0 * 1024.0);
  return waited == 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_bench program.exe baseline.exe [runs]\n");
    return 2;
  }
  int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 15;
  std::vector<double> time[2], memory[2];
  for (int run = 0; run < runs + 1; ++run) {
    for (int which = 0; which < 2; ++which) {  // interleaved, so load changes hit both alike
      Sample sample{};
      if (!RunOnce(argv[1 + which], sample)) {
        std::fprintf(stderr, "run %d of %ls did not become idle\n", run, argv[1 + which]);
        return 1;
      }
      if (run == 0) continue;  // the first start warms the caches
      time[which].push_back(sample.milliseconds);
      memory[which].push_back(sample.peakMegabytes);
    }
  }
  double t0 = Median(time[0]), t1 = Median(time[1]), m0 = Median(memory[0]), m1 = Median(memory[1]);
  std::printf("start-up to idle (median of %d): %ls %.1f ms, %ls %.1f ms, ratio %.2f\n", runs, argv[1], t0,
              argv[2], t1, t0 / t1);
  std::printf("peak working set: %ls %.2f MB, %ls %.2f MB, ratio %.2f\n", argv[1], m0, argv[2], m1, m0 / m1);
  return 0;
}
