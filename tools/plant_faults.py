#!/usr/bin/env python3
"""Plants single-line faults in the product code, one at a time, and reports which the tests kill.

    python3 tools/plant_faults.py              # every fault: about an hour on two cores
    python3 tools/plant_faults.py --only NAME  # one fault, or several: NAME,NAME
    python3 tools/plant_faults.py --list       # the faults and where they go

First the subsets the chosen faults need are built and run with no fault: each must pass, or the
run stops there. Then for each fault the file is changed, every program its subsets run is rebuilt,
and the subsets run. A fault is killed only by a test of its subsets that fails (an assertion, or a
script's verdict); a test that times out or crashes is reported as such, and the rest of the subset
still runs. Faults that break the build, or the listing of a test program's cases, are counted
apart, as are those whose text no longer occurs. The file is put back on any exit, SIGINT and
SIGTERM included, and the builds and tests under way are stopped with it; a run killed outright
is repaired by the next one. The three presets must have been configured and built once (bash
scripts/test.sh, or the commands in README.md); the build folders hold the last fault's objects
afterwards, so the next build recompiles a few files.

A fault marked equivalent changes nothing a user could see: it is counted apart, not as a gap.
"""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# Where the file being changed is kept while a fault stands, so a run killed outright can be undone.
PLANTED = os.path.join(ROOT, "build", "plant_faults.json")


class Subset:
    """The tests that can catch a fault in some code: every test of a build folder, or those that run
    the given programs there (directly, through Wine, or handed to a script)."""

    def __init__(self, build_dir, *programs):
        self.build_dir, self.programs = build_dir, set(programs)
        self.tests = []  # its tests' names, found at the baseline
        self.targets = []  # the programs they run, rebuilt before each run
        self.gtest = set()  # its tests that are one googletest case each
        self.timeout = 3600  # seconds for one build or run; set from the baseline's time


H, R, W, P = "host", "windows-record", "windows-window", "program"
SUBSETS = {
    H: Subset("build/host"),
    R: Subset("build/windows", "record_tests"),
    # The window tests, and the pure ui helpers as Windows builds them (a 16-bit wchar_t).
    W: Subset("build/windows", "window_tests", "ui_core_tests"),
    P: Subset("build/program"),
}


class Fault:
    def __init__(self, name, path, old, new, *subsets, equivalent=None):
        self.name, self.path, self.old, self.new = name, path, old, new
        self.subsets = [s for s in SUBSETS if s in subsets]  # host first: it is the fastest
        self.equivalent = equivalent


F = Fault
RF, PN, ACR = "record/record_file.cpp", "record/path_names.cpp", "record/audio_config_record.cpp"
WF, WN, SL = "record/win32_file.cpp", "record/win32_names.cpp", "record/save_lock.cpp"
TF, MT, LT = "ui/time_format.cpp", "ui/message_text.cpp", "ui/level_text.cpp"
LAY, F1, SF = "ui/layout.cpp", "ui/form1.cpp", "system/system_functions.cpp"
FV, LR, CG = "ui/form1_view.cpp", "ui/level_rows.cpp", "ui/command_gate.h"
BF, SN = "record/backup_file.cpp", "record/save_names.cpp"

FAULTS = [
    # The record's pure parts: host tests, and the Windows build's.
    F("name-start-off-by-one", PN, "separator == PathString::npos ? 0 : separator + 1;",
      "separator == PathString::npos ? 0 : separator;", H, R),
    F("trailing-space-kept", PN, "(full.back() == L'.' || full.back() == L' ')", "(full.back() == L'.')", H, R),
    F("unc-mangled", PN, 'L"\\\\\\\\?\\\\UNC\\\\" + full.substr(2)', 'L"\\\\\\\\?\\\\UNC\\\\" + full.substr(1)', H, R),
    F("temporary-names-one", PN, "static_cast<wchar_t>(L'0' + attempt % 10)", "static_cast<wchar_t>(L'0')", H, R),
    F("name-limit-inclusive", PN, "if (path.size() - start > kLimit) return true;",
      "if (path.size() - start >= kLimit) return true;", H, R),
    F("utf8-limit-skipped", PN, "  if (!linuxNames) return false;\n", "  return false;\n", H, R),
    F("utf8-three-as-two", PN, "unit < 0x800 ? 2 : 3", "unit < 0x800 ? 2 : 2", H, R),
    F("level-offset-slot", ACR, "levels[slot] = bytes_[kLevelOffsets[slot]];",
      "levels[slot] = bytes_[kLevelOffsets[slot] + 1];", H, R),
    F("offset-constant", "record/audio_config_record.h", "{397, 409, 433, 889}", "{397, 409, 433, 888}", H, R),
    # Loading and saving through Win32: only the Windows build has them.
    F("too-short-inclusive", RF, "if (size < kRecordSize) throw", "if (size <= kRecordSize) throw", R),
    F("held-shared-with-writers", RF, "return Win32File::Open(path, access, FILE_SHARE_READ, disposition);",
      "return Win32File::Open(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition);", R),
    F("unwritable-gets-backup", RF, "        !(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {", "        false) {", R),
    F("new-file-at-short-name", RF, "if (error != ERROR_FILE_NOT_FOUND || !mayCreate) ThrowError(error);",
      "if (error != ERROR_FILE_NOT_FOUND) ThrowError(error);", R),
    F("gone-file-not-made", RF, "  held.file = OpenShared(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);",
      "  ThrowError(error);", R),
    F("grown-file-unseen", RF, "  Bytes bytes(expected.size() + 1);", "  Bytes bytes(expected.size());", R),
    F("changed-refusal-dropped", RF,
      "    if (!held.created && !HoldsExactly(held.file, before)) throw EInOutError(kInOutFileChanged);\n    const",
      "    const", R),
    F("case-twin-taken", SN, "    throw EInOutError(kInOutBackupCaseTwin);\n", "", R),
    F("lone-twin-taken", SN, "    if (!twinThere) throw", "    if (false) throw", R),
    F("folder-backup-accepted", SN, "FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;",
      "FILE_ATTRIBUTE_SYSTEM;", R),
    F("temporary-opens-existing", BF, "FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, &security);\n    DWORD",
      "FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &security);\n    DWORD", R),
    F("leftover-kept", BF, "      leftovers.push_back(at);\n", "", R),
    F("backup-replace-flag", BF, "MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH", "MOVEFILE_WRITE_THROUGH", R),
    F("temporary-not-removed", BF,
      "    FileCalls().DeleteFileW(at.c_str());  // our own file; the error that brought us here is the one to report\n",
      "", R),
    F("temporary-flush-dropped", BF, "    temporary.Flush();\n", "", R),
    F("backup-rights-dropped", BF, "  if (getSecurity == nullptr || (attributes & FILE_ATTRIBUTE_READONLY)) return {};",
      "  return {};", R),
    F("read-only-saved", RF, "if (!held.writable || (attributes & kNotReplaceable)) ThrowError(ERROR_ACCESS_DENIED);",
      "if (!held.writable) ThrowError(ERROR_ACCESS_DENIED);", R),
    F("write-at-end", RF, "      held.file.Rewind();\n", "", R),
    F("file-flush-dropped", RF, "      held.file.Flush();\n", "", R),
    F("image-not-following", RF, "record.AssignFileBytes(std::move(*now));", "(void)now;", R),
    F("half-made-file-kept", RF, "      FileCalls().DeleteFileW(chosen.c_str());\n", "", R),
    F("failed-read-ignored", WF,
      "if (!FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();",
      "FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr);", R),
    F("failed-close-ignored", WF, "if (handle_ && !FileCalls().CloseHandle(handle_.release())) ThrowLastError();",
      "if (handle_) FileCalls().CloseHandle(handle_.release());", R),
    F("failed-flush-ignored", WF, "if (!FileCalls().FlushFileBuffers(handle_.get())) ThrowLastError();",
      "FileCalls().FlushFileBuffers(handle_.get());", R),
    F("lock-dropped", SL, "SaveLock::SaveLock(Win32File& file) : file_(file.Get()) {",
      "SaveLock::SaveLock(Win32File& file) : file_(file.Get()) {\n  return;", R),
    F("lock-never-waits", SL, "constexpr int kLockAttempts = 100;", "constexpr int kLockAttempts = 1;", R),
    F("lockless-share-refused", SL,
      "    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) return;\n", "", R),
    F("busy-lock-error", SL, "  ThrowError(ERROR_SHARING_VIOLATION);\n}", "  ThrowError(ERROR_ACCESS_DENIED);\n}", R),
    F("short-name-not-expanded", WN, 'extendedPath.compare(5, 1, L":") == 0', 'extendedPath.compare(4, 1, L":") == 0',
      R),
    # Pure ui helpers: the host build, and again as Windows builds them.
    F("ten-without-zero", TF, "value < 10", "value <= 10", H, W),
    F("midnight-as-zero", TF, "    if (shownHour == 0) shownHour = 12;\n", "", H, W),
    F("noon-as-am", TF, "hour < 12 ? locale.am", "hour <= 12 ? locale.am", H, W),
    F("surrogate-separator", TF, "return text.size() == 2 && text[0]", "return text.size() == 3 && text[0]", H, W),
    F("first-pair-unpaired", MT, "if (cp >= 0x10000) {", "if (cp > 0x10000) {", H, W),
    F("overlong-three", MT, "min = 0x800;", "min = 0x80;", H, W),
    F("overlong-four", MT, "min = 0x10000;", "min = 0x800;", H, W),
    F("lead-c0-accepted", MT, "lead >= 0xC2 && lead <= 0xDF", "lead >= 0xC0 && lead <= 0xDF", H, W),
    F("broken-sequence-eats-next", MT, "      if ((c & 0xC0) != 0x80) break;\n", "", H, W),
    F("full-stop-after-dot", MT, "message.back()) > '.'", "message.back()) >= '.'", H, W),
    F("signs-as-digits", LT, "if (c < L'0' || c > L'9')", "if (c > L'9')", H, W),
    F("no-early-stop", LT, "    if (value > kLevelMax) return std::nullopt;\n", "", H, W),
    F("previous-not-clamped", LT, "LevelForSave(text, ClampLevel(previous))", "LevelForSave(text, previous)", H, W),
    F("refusal-set-after-load", "ui/save_rule.h", "    state_ = SaveRefusal::OpenFailed;\n", "", H, W),
    # The layout table and its arithmetic.
    F("button-width", LAY, "{96, 120, 81, 25}", "{96, 120, 80, 25}", H, W),
    F("updown-width", LAY, "{241, 16, 17, 21}", "{241, 16, 16, 21}", H, W),
    F("negative-rounding", LAY, "(scaled >= 0 ? scaled + half : scaled - half)", "(scaled + half)", H, W),
    F("glyph-halfway-larger", LAY, ": distance) < (bestDistance", ": distance) <= (bestDistance", H, W),
    F("clock-fit-strict", LAY, "return textWidth <= room;", "return textWidth < room;", H, W),
    F("clock-one-clearance", LAY, "2 * (kStatusBorder + ScaleForDpi(kClockClearance, dpi));",
      "(kStatusBorder + ScaleForDpi(kClockClearance, dpi));", H, W),
    F("font-floor-dropped", "ui/layout.h", "while (height > smallest && !fits(height))", "while (!fits(height))", H, W),
    # The window.
    F("clock-floor-tiny", FV, "ScaleForDpi(8, dpi_), [&](int candidate)", "ScaleForDpi(1, dpi_), [&](int candidate)", W),
    F("updown-not-told", LR, "  levels_[row] = static_cast<std::uint8_t>(level);\n  upDowns_[row].SetPos(level);\n",
      "  levels_[row] = static_cast<std::uint8_t>(level);\n", W,
      equivalent="the digit set in the box sends EN_CHANGE, whose handler sets the same position"),
    F("focus-not-kept", F1, "    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;\n", "", W),
    F("commands-stack", CG, "    if (running_) return;\n", "", W),
    F("typed-level-forgotten", LR, "    levels_[r] = static_cast<std::uint8_t>(*level);\n", "", W),
    F("saved-not-shown", F1, "  levelRows_.Show(levels);\n", "", W),
    F("status-part-unscaled", FV, "{ScaleForDpi(kStatusPanel0Width, dpi_), -1}", "{kStatusPanel0Width, -1}", W),
    F("button-style-kept", FV, "void Form1View::ReadContrast() {\n  ForgetButtonStyle();\n",
      "void Form1View::ReadContrast() {\n", W),
    F("focus-draw-left", "ui/glyph_button.cpp", "    InvalidateRect(item.hwndItem, nullptr, FALSE);\n    return;\n",
      "    return;\n", W),
    F("glyph-key-drawn", "ui/glyph_button.cpp", "(pixels[i] & 0xFFFFFF) == key ? 0 :",
      "(pixels[i] & 0xFFFFFF) == key ? pixels[i] | 0xFF000000 :", W),
    F("picture-role-lost", "ui/accessible_button.cpp", "lParam, ROLE_SYSTEM_GRAPHIC)", "lParam, 0)", W),
    # Below both: the run-time function table and the handle owners.
    F("seam-hides-xp", SF, "if (g_hideNewerFunctions && firstIn != FirstIn::WindowsXp)", "if (g_hideNewerFunctions)",
      W, R),
    F("wine-not-seen", SF, 'return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;',
      "return false;", R, W),
    F("system-folder-no-separator", SF, "  if (path.back() != L'\\\\') path += L'\\\\';\n", "", W, P),
    F("search-not-restricted", SF, "setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)",
      "setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)", W, P),
    F("move-keeps-handle", "system/unique_any.h", ": handle_(other.release()) {}", ": handle_(other.get()) {}", H, R),
    F("find-closed-as-file", "system/resource.h", "KernelHandlePolicy<FindClose,", "KernelHandlePolicy<CloseHandle,", W),
    F("select-not-put-back", "system/resource.h", "~ScopedSelect() { SelectObject(dc_, old_); }", "~ScopedSelect() {}", W),
    # The program's own loop, which the window tests run.
    F("loop-without-dialog-manager", "app/message_loop.cpp", "  if (window && IsDialogMessageW(window, &msg)) return;\n",
      "", W),
    # After a DPI change, and the colours' arithmetic.
    F("tip-not-moved", FV, "  SetUpControls(true);\n  statusTip_.Place();\n", "  SetUpControls(true);\n", W),
    F("status-font-scaled-inverted", FV, "MulDivRounded(font.lfHeight, dpi, SystemDpi())",
      "MulDivRounded(font.lfHeight, SystemDpi(), dpi)", W),
    F("glyph-gap-unscaled", FV, "ScaleForDpi(kGlyphGap, dpi_), BackgroundBrush", "kGlyphGap, BackgroundBrush", W),
    F("contrast-weights-swapped", "ui/scheme_colors.cpp", "0.2126 * Channel(color, 0) + 0.7152 * Channel(color, 8) + 0.0722 * Channel(color, 16)",
      "0.0722 * Channel(color, 0) + 0.7152 * Channel(color, 8) + 0.2126 * Channel(color, 16)", H, W),
    # The checkers of the program as shipped and of its release.
    F("audit-always-passes", "app/import_audit.py", "    return 1 if faults else 0\n", "    return 0\n", P),
    F("audit-delayed-dll-at-start-up", "app/import_audit.py", "for dll in sorted({d for d, _ in imports} - static):",
      "for dll in sorted({d for d, _ in imports} - static - delayed):", P),
    F("audit-vista-header", "app/import_audit.py", "MINIMUM_PE_VERSION = (5, 1)", "MINIMUM_PE_VERSION = (6, 0)", P),
    F("guide-lines-800", "scripts/release_check.py", "if len(line) > 80]", "if len(line) > 800]", P),
    F("xp-dependencies-beside-program", SF, ": LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);",
      ": LoadLibraryW(path.c_str());", W),
    # Killed by the record's and the input's tests on their own branches.
    F("lock-shared", SL, "LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY", "LOCKFILE_FAIL_IMMEDIATELY", R),
    F("write-zero-accepted", WF, "if (put == 0 || put > count - done)", "if (put > count - done)", R),
    F("level-offsets-swapped", "record/audio_config_record.h", "{397, 409, 433, 889}", "{409, 397, 433, 889}", H, R),
    F("arrow-step-caret-after-digit", LR, "edits_[r].SetSelection(0, -1);", "edits_[r].SetSelection(1, 1);", W),
    F("tip-width-whole-screen", "ui/status_tip.cpp", "  return (monitor.rcWork.right - monitor.rcWork.left) / 2;",
      "  return GetSystemMetrics(SM_CXSCREEN);", W),
    # What the user types and presses.
    F("focus-keeps-caret", LR, "  if (message == WM_SETFOCUS) SendMessageW(edit, EM_SETSEL, 0, -1);\n", "", W),
    F("focusing-click-places-caret", LR, "  if (message == WM_LBUTTONDOWN && GetFocus() != edit) {",
      "  if (false) {", W),
    F("enter-repeats-press", "ui/glyph_button.cpp", "    code |= DLGC_WANTMESSAGE;\n", "", W),
    F("input-after-box-dropped", "ui/command_gate.cpp", "  if (running_) heldSince_ = GetTickCount() + 1;\n", "", W),
    # The save against the world outside: power cuts and other programs.
    F("folder-not-flushed", RF, "    FlushFolderOf(names.backup);\n", "", R),
    F("no-second-compare", RF,
      "    if (!held.created && !HoldsExactly(held.file, before)) throw EInOutError(kInOutFileChanged);\n    try {",
      "    try {", R),
    F("whole-record-written", RF, "        WriteLevels(held.file, before, after);",
      "        held.file.Rewind();\n        held.file.WriteAll(after.data(), after.size());", R),
    F("replaced-file-unseen", RF, "if (!StillTheFileSaved(chosen, held.file, after)) throw", "if (false) throw", R),
    F("pipe-loaded", RF, "  RequireOnDisk(file);\n", "", R),
]


class Stopped(BaseException):
    """SIGINT, SIGTERM or SIGHUP: unwinds through every finally, so the file and the children go."""


def on_signal(number, _frame):
    raise Stopped(number)


def run(command, timeout, cwd=ROOT):
    """Runs command in its own process group; returns (exit code or None on timeout, output).
    The whole group is stopped on a timeout and on any exception, a signal included."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL, text=True, errors="replace", start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        stop_group(process)
        return None, "timed out after %d s" % timeout
    except BaseException:
        stop_group(process)
        raise


def stop_group(process):
    # TERM first, so make removes what it was writing; then KILL what is left of the group.
    for sig, grace in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            break
        try:
            process.communicate(timeout=grace)
            break
        except subprocess.TimeoutExpired:
            pass
    try:  # the leader may be gone while others of its group run on
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def build_command(subset):
    command = ["cmake", "--build", subset.build_dir, "-j2"]
    return command + ["--target"] + subset.targets if subset.programs else command


def selection(subset, skip=()):
    args = ["-R", "^(%s)$" % "|".join(map(re.escape, subset.tests))] if subset.programs else []
    return args + (["-E", "^(%s)$" % "|".join(map(re.escape, skip))] if skip else [])


def programs_run(test, build_dir):
    """The programs of the build folder a test runs: every .exe on its command line."""
    build_dir = os.path.realpath(os.path.join(ROOT, build_dir))
    paths = [os.path.realpath(arg) for arg in test.get("command", []) if os.path.isabs(arg)]
    return {os.path.basename(p)[:-4] for p in paths if p.startswith(build_dir + os.sep) and p.endswith(".exe")}


def runs_gtest(test):
    """Whether ctest runs a test program itself (under Wine or not) rather than a script that judges."""
    command = [arg for arg in test.get("command", []) if not arg.endswith("wine-run.sh")]
    return bool(command) and (command[0].endswith(".exe") or os.path.basename(command[0]).endswith("_tests"))


def find_tests(subset):
    """Fills in the subset's tests, and the programs they run, from ctest's own listing."""
    code, output = run(["ctest", "--test-dir", subset.build_dir, "--show-only=json-v1"], 120)
    if code != 0 or not os.path.exists(os.path.join(ROOT, subset.build_dir, "CTestTestfile.cmake")):
        preset = os.path.basename(subset.build_dir)
        sys.exit("%s is not built yet: run `bash scripts/test.sh` once, or `cmake --preset %s && cmake --build "
                 "--preset %s` (the Windows presets after `. scripts/prepare.sh`), then this again" %
                 (subset.build_dir, preset, preset))
    tests = [t for t in json.loads(output)["tests"]
             if not subset.programs or programs_run(t, subset.build_dir) & subset.programs]
    subset.tests = [t["name"] for t in tests]
    subset.targets = sorted(set().union(*(programs_run(t, subset.build_dir) for t in tests)))
    subset.gtest = {t["name"] for t in tests if runs_gtest(t)}
    if not tests:
        sys.exit("baseline: %s has no tests" % subset.build_dir)


def build(subset):
    """Returns None when built, else (result, detail): no build, or no listing for a broken test lister."""
    code, output = run(build_command(subset), subset.timeout)
    if code == 0:
        return None
    if "Error running test executable" in output:
        lister = re.search(r"Path: '([^']+)'", output)
        return "no listing", os.path.basename(lister.group(1)) if lister else "a test program"
    errors = [line for line in output.splitlines() if "error" in line.lower()]
    return "no build", (errors or output.strip().splitlines() or ["timed out"])[0].strip()[:100]


# ctest's closing lists: "  12 - Name (Failed)", "(Timeout)", "(Not Run)", "(SEGFAULT)", ...
LISTED = re.compile(r"^\s*\d+ - (.+) \(([^()]+)\)\s*$", re.M)
VERDICTS = {"Failed": "failed", "Timeout": "timeout", "Not Run": "not run", "Skipped": "not run",
            "Disabled": "not run"}


def run_tests(subset, skip=()):
    """Runs the subset; returns {test: (passed, failed, timeout, crashed or not run, detail)} and the output."""
    with tempfile.TemporaryDirectory() as folder:
        junit = os.path.join(folder, "results.xml")
        command = ["ctest", "--test-dir", subset.build_dir, "--stop-on-failure", "--timeout", "120",
                   "--output-junit", junit] + selection(subset, skip)
        code, output = run(command, subset.timeout)
        if code is None:
            return {"(the whole subset)": ("timeout", "")}, output
        if not os.path.exists(junit):
            return {"(ctest)": ("crashed", "")}, output
        cases = {case.get("name"): case for case in ElementTree.parse(junit).getroot().iter("testcase")}
    verdicts = {name: ("passed", "") for name, case in cases.items() if case.get("status") == "run"}
    for name, status in LISTED.findall(output):
        verdict = VERDICTS.get(status, "crashed")
        text = (cases[name].findtext("system-out") or "") if name in cases else ""
        failed_case = re.search(r"^\[  FAILED  \] (\S+)", text, re.M)
        # A test program that ends without a failed assertion crashed: Wine reports a crash as an exit code.
        if verdict == "failed" and name in subset.gtest and not failed_case and ": Failure" not in text:
            verdict = "crashed"
        verdicts[name] = (verdict, failed_case.group(1) if failed_case and failed_case.group(1) != name else "")
    return verdicts, output


def run_subset(subset):
    """Returns (the test that killed the fault or None, [tests that timed out or crashed])."""
    others = []
    for _ in range(4):
        verdicts, _ = run_tests(subset, skip=[name for name, _ in others])
        failed = ["%s %s" % (name, detail) if detail else name for name, (verdict, detail) in verdicts.items()
                  if verdict == "failed"]
        if failed:
            return failed[0], others
        if not verdicts:
            return None, others + [("(no test ran)", "not run")]
        # Tests skipped with no fault are skipped again; only a timeout or a crash stopped ctest.
        bad = [(name, verdict) for name, (verdict, _) in verdicts.items() if verdict in ("timeout", "crashed")]
        if not bad or any(name.startswith("(") for name, _ in bad):
            return None, others + bad
        # ctest stopped at a test that timed out or crashed: run the rest without it.
        others += bad
    return None, others


def baseline(subsets):
    """Builds and runs every subset with no fault planted; stops the run unless all pass."""
    for name in subsets:
        subset = SUBSETS[name]
        find_tests(subset)
        started = time.time()
        broken = build(subset)
        if broken:
            sys.exit("baseline: %s does not build with no fault planted (%s: %s)" % ((name,) + broken))
        verdicts, output = run_tests(subset)
        red = sorted("%s (%s)" % (test, v[0]) for test, v in verdicts.items() if v[0] not in ("passed", "not run"))
        if red or not verdicts:
            sys.exit("baseline: %s is red with no fault planted; fix it before planting faults:\n  %s\n%s" %
                     (name, "\n  ".join(red or ["no test ran"]), "\n".join(output.splitlines()[-12:])))
        skipped = sorted(test for test, (verdict, _) in verdicts.items() if verdict == "not run")
        elapsed = time.time() - started
        subset.timeout = int(3 * elapsed) + 120  # a fault that makes it loop for ever is stopped
        print("baseline %-15s %4d tests pass in %3.0fs%s%s" %
              (name, len(verdicts) - len(skipped), elapsed,
               "; runs " + ", ".join(subset.targets) if subset.targets else "",
               "; not run: " + ", ".join(skipped) if skipped else ""), flush=True)


def write_file(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def restore_left_over():
    """A run killed outright (SIGKILL, power) leaves its fault planted: put the file back first."""
    if os.path.exists(PLANTED):
        with open(PLANTED, encoding="utf-8") as f:
            left = json.load(f)
        write_file(os.path.join(ROOT, left["path"]), left["original"])
        os.remove(PLANTED)
        print("put back %s, left planted by a run that was killed" % left["path"], flush=True)


def plant(fault):
    """Returns (result, detail)."""
    path = os.path.join(ROOT, fault.path)
    with open(path, encoding="utf-8") as f:
        original = f.read()
    if original.count(fault.old) != 1:
        return "stale", "its text occurs %d times" % original.count(fault.old)
    try:
        write_file(PLANTED, json.dumps({"path": fault.path, "original": original}))
        write_file(path, original.replace(fault.old, fault.new))
        unkilled = []
        for name in fault.subsets:
            subset = SUBSETS[name]
            broken = build(subset)
            if broken:
                return broken[0], name + ": " + broken[1]
            killed, others = run_subset(subset)
            if killed:
                return "killed", name + ": " + killed
            unkilled += ["%s: %s (%s)" % (name, test, verdict) for test, verdict in others]
        if unkilled:  # the tests did not pass, but none of them failed on what it checks
            kind = "timeout" if all(u.endswith("(timeout)") for u in unkilled) else "crashed"
            return kind, "; ".join(unkilled)
        return "survived", ", ".join(fault.subsets)
    finally:
        # Nothing may interrupt putting the file back.
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        try:
            write_file(path, original)
            os.remove(PLANTED)
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, blocked)


def start_headless():
    """A display and a persistent wineserver for the whole run; returns what stop_headless needs."""
    state = tempfile.mkdtemp()
    script = ('. scripts/env.sh; . scripts/display.sh; velmora_start_display && velmora_start_wine && '
              'velmora_window_manager N && env -0 > "$1/env" && echo "${VELMORA_XVFB_PID:-}" > "$1/xvfb"')
    # Its output goes nowhere: the wineserver it starts would hold a pipe open for ever.
    if subprocess.call(["bash", "-c", script, "headless", state], cwd=ROOT, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) != 0:
        sys.exit("no virtual display or Wine could be started (scripts/display.sh)")
    with open(os.path.join(state, "env"), encoding="utf-8", errors="replace") as f:
        for entry in f.read().split("\0"):
            key, _, value = entry.partition("=")
            if key and key not in ("SHLVL", "_", "PWD", "OLDPWD"):
                os.environ[key] = value
    with open(os.path.join(state, "xvfb")) as f:
        xvfb = f.read().strip()
    return int(xvfb) if xvfb else None


def stop_headless(xvfb):
    subprocess.call(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if xvfb:
        try:
            os.kill(xvfb, signal.SIGTERM)
        except ProcessLookupError:
            pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", help="comma-separated fault names")
    parser.add_argument("--list", action="store_true", help="list the faults and exit")
    args = parser.parse_args()
    faults = FAULTS
    if args.only:
        names = args.only.split(",")
        unknown = set(names) - {f.name for f in FAULTS}
        if unknown:
            sys.exit("no such fault: " + ", ".join(sorted(unknown)))
        faults = [f for f in FAULTS if f.name in names]
    if args.list:
        for f in faults:
            print("%-28s %-34s %s" % (f.name, f.path, ",".join(f.subsets)))
        return
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, on_signal)
    headless, xvfb = False, None
    try:
        restore_left_over()
        needed = [s for s in SUBSETS if any(s in f.subsets for f in faults)]
        if any(s != H for s in needed):
            headless = True  # a signal during the start still stops the wineserver
            xvfb = start_headless()
        baseline(needed)
        counts = {}
        # Faults the host build can catch first: they take seconds.
        for fault in sorted(faults, key=lambda f: H not in f.subsets):
            started = time.time()
            result, detail = plant(fault)
            if result == "survived" and fault.equivalent:
                result, detail = "equivalent", fault.equivalent
            counts[result] = counts.get(result, 0) + 1
            print("%-28s %-30s %-10s %4.0fs  %s" % (fault.name, fault.path, result, time.time() - started, detail),
                  flush=True)
        print("\n" + ", ".join("%s %d" % item for item in sorted(counts.items())))
        judged = sum(counts.get(k, 0) for k in ("killed", "survived", "timeout", "crashed"))
        if judged:
            print("killed %d of %d that build, list their tests and are not equivalent: %.0f%%" %
                  (counts.get("killed", 0), judged, 100.0 * counts.get("killed", 0) / judged))
    except Stopped as stop:
        print("\nstopped by signal %d; the source is as it was" % stop.args[0], file=sys.stderr)
        sys.exit(128 + stop.args[0])
    finally:
        if headless:
            stop_headless(xvfb)


if __name__ == "__main__":
    main()
