// Times start-up to the first idle moment of the message loop (after the first paint) and reads
// the peak working set of a program and of its floors, launched in turn, and reports the program
// against each floor:
//   startup_bench.exe velmora.exe controls_floor.exe bare_window.exe [runs]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
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
    std::fprintf(stderr, "usage: startup_bench program.exe floor.exe [floor.exe...] [runs]\n");
    return 2;
  }
  int last = argc - 1;
  int runs = 15;
  if (std::wcschr(argv[last], L'.') == nullptr) runs = std::max(1, _wtoi(argv[last--]));
  std::vector<std::wstring> programs(argv + 1, argv + last + 1);
  std::vector<std::vector<double>> time(programs.size()), memory(programs.size());
  for (int run = 0; run < runs + 1; ++run) {
    // Interleaved, so changes in load hit every program alike.
    for (std::size_t which = 0; which < programs.size(); ++which) {
      Sample sample{};
      if (!RunOnce(programs[which], sample)) {
        std::fprintf(stderr, "run %d of %ls did not become idle\n", run, programs[which].c_str());
        return 1;
      }
      if (run == 0) continue;  // the first start warms the caches
      time[which].push_back(sample.milliseconds);
      memory[which].push_back(sample.peakMegabytes);
    }
  }
  double t0 = Median(time[0]), m0 = Median(memory[0]);
  std::printf("median of %d runs: %ls start-up to idle %.1f ms, peak working set %.2f MB\n", runs,
              programs[0].c_str(), t0, m0);
  for (std::size_t floor = 1; floor < programs.size(); ++floor) {
    double t = Median(time[floor]), m = Median(memory[floor]);
    std::printf("  against %ls (%.1f ms, %.2f MB): start-up %.2fx, peak working set %.2fx\n",
                programs[floor].c_str(), t, m, t0 / t, m0 / m);
    // Each round's two runs came back to back: the middle half of their ratios shows how far the
    // machine's own noise moves the start-up ratio.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < time[0].size(); ++i) ratios.push_back(time[0][i] / time[floor][i]);
    std::sort(ratios.begin(), ratios.end());
    std::printf("    start-up ratio of one round: %.2fx to %.2fx in the middle half of %zu rounds\n",
                ratios[ratios.size() / 4], ratios[ratios.size() * 3 / 4], ratios.size());
  }
  return 0;
}
