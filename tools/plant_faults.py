#!/usr/bin/env python3
"""Plants single-line faults in the product code, one at a time, and reports which the tests kill.

    python3 tools/plant_faults.py              # every fault: about an hour on two cores
    python3 tools/plant_faults.py --only NAME  # one fault, or several: NAME,NAME
    python3 tools/plant_faults.py --list       # the faults and where they go

For each fault the file is changed, the builds the fault's test subsets need are rebuilt, the
subsets run until one test fails (killed) or all pass (survived); a fault that does not build
does not count. The file is always put back, Ctrl-C included. The three presets must have been
configured and built once (bash scripts/test.sh, or the commands in README.md); the build
folders hold the last fault's objects afterwards, so the next build recompiles a few files.

A fault marked equivalent changes nothing a user could see: it is counted apart, not as a gap.
"""
import argparse
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TIMEOUT = 300  # seconds for one subset's build or run; a fault that loops for ever is killed

H, R, W, P = "host", "windows-record", "windows-window", "program"
CTEST = ["--stop-on-failure", "--timeout", "120"]
# subset: (build command, test command)
SUBSETS = {
    H: (["cmake", "--build", "--preset", "host", "-j2"], ["ctest", "--preset", "host"] + CTEST),
    R: (["cmake", "--build", "build/windows", "-j2", "--target", "record_tests"],
        ["ctest", "--test-dir", "build/windows", "-R", "Record|Unique"] + CTEST),
    # The window tests, and the pure ui helpers as Windows builds them (a 16-bit wchar_t).
    W: (["cmake", "--build", "build/windows", "-j2", "--target", "window_tests", "ui_core_tests"],
        ["ctest", "--test-dir", "build/windows", "-E", "Record|Unique|record_fixtures"] + CTEST),
    P: (["cmake", "--build", "--preset", "program", "-j2"], ["ctest", "--preset", "program"] + CTEST),
}


class Fault:
    def __init__(self, name, path, old, new, *subsets, equivalent=None):
        self.name, self.path, self.old, self.new = name, path, old, new
        self.subsets = [s for s in SUBSETS if s in subsets]  # host first: it is the fastest
        self.equivalent = equivalent


F = Fault
RIO, PN, ACR = "record/record_io.cpp", "record/path_names.cpp", "record/audio_config_record.cpp"
FA, SL = "record/file_api_win32.cpp", "record/save_lock_win32.cpp"
WF, WN = "record/win32_file.cpp", "record/win32_names.cpp"
TF, MT, LT = "ui/time_format.cpp", "ui/message_text.cpp", "ui/level_text.cpp"
LAY, F1, SF = "ui/layout.cpp", "ui/form1.cpp", "system/system_functions.cpp"

FAULTS = [
    # The record logic: host tests through the in-memory file system, and the Win32 back-end.
    F("read-loop-exit", RIO, "    if (got == 0) break;\n", "", H, R),
    F("too-short-inclusive", RIO, "if (size < kRecordSize) throw", "if (size <= kRecordSize) throw", H, R),
    F("read-short-unchecked", RIO, "  if (bytes.size() < kRecordSize) throw EInOutError(kInOutFileTooShort);\n",
      "", H, R),
    F("check-size-dropped", RIO, "  if (file.Size() != expected.size()) return false;\n", "", H, R),
    F("check-count-dropped", RIO, "ReadUpTo(file, bytes.data(), bytes.size()) == bytes.size() && bytes",
      "ReadUpTo(file, bytes.data(), bytes.size()) >= 0 && bytes", H, R),
    F("changed-refusal-dropped", RIO,
      "  if (hold.file && !HoldsExactly(*hold.file, record.FileBytes())) throw EInOutError(kInOutFileChanged);\n",
      "", H, R),
    F("release-keeps-path", RIO, "return std::exchange(path_, PathString());", "return path_;", H, R),
    F("temporary-beside-name", RIO, "WriteThroughTemporary(files, hold.target,",
      "WriteThroughTemporary(files, hold.name,", H, R),
    F("short-write-unchecked", RIO, "if (put == 0 || put > bytes.size() - done)", "if (put > bytes.size() - done)",
      H, R, equivalent="Win32File::Write already throws 112 for a write that moves nothing"),
    F("flush-dropped", RIO, "  temporary.File().Flush();\n", "", H, R),
    F("name-length-inclusive", RIO, "NameLength(BackupPath(path)) > kMaxNameLength",
      "NameLength(BackupPath(path)) >= kMaxNameLength", H, R),
    F("name-start-off-by-one", PN, "separator == PathString::npos ? 0 : separator + 1;",
      "separator == PathString::npos ? 0 : separator;", H, R),
    F("trailing-space-kept", PN, "(full.back() == L'.' || full.back() == L' ')", "(full.back() == L'.')", H, R),
    F("unc-mangled", PN, 'L"\\\\\\\\?\\\\UNC\\\\" + full.substr(2)', 'L"\\\\\\\\?\\\\UNC\\\\" + full.substr(1)', H, R),
    F("temporary-letter", PN, "kLast[attempt];", "kLast[attempt + 1];", H, R),
    F("level-offset-slot", ACR, "levels[slot] = bytes_[kLevelOffsets[slot]];",
      "levels[slot] = bytes_[kLevelOffsets[slot] + 1];", H, R),
    F("low-bits-mask", ACR, "levels[slot] & 0xFF", "levels[slot] & 0x7F", H, R),
    F("offset-constant", "record/audio_config_record.h", "{397, 409, 433, 889}", "{397, 409, 433, 888}", H, R),
    # The Win32 back-end: only the Windows build has it.
    F("temporary-opens-existing", FA, "FILE_SHARE_READ, nullptr, CREATE_NEW,", "FILE_SHARE_READ, nullptr, CREATE_ALWAYS,",
      R),
    F("folder-backup-accepted", FA, "(kNotReplaceable | FILE_ATTRIBUTE_DIRECTORY)", "(kNotReplaceable)", R),
    F("backup-look-error-ignored", FA, "      if (GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();\n", "", R),
    F("backup-replace-flag", FA, "to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH", "to.c_str(), MOVEFILE_WRITE_THROUGH", R),
    F("replace-not-retried", FA, "if (!file->Get() || (error", "if (true || (error", R),
    F("taken-file-not-moved-in", FA, "    if (Leads(hold.target, file->identity)) {", "    if (true) {", R),
    F("temporary-not-moved-in", FA,
      "    if (!FileCalls().MoveFileExW(from.c_str(), hold.target.c_str(), MOVEFILE_WRITE_THROUGH)) ThrowLastError();\n",
      "", R),
    F("still-there-unchecked", FA, "    if (Leads(target, file.identity)) return;", "    return;", R),
    F("held-without-write", FA, "GENERIC_READ | (identity.attributes & FILE_ATTRIBUTE_READONLY ? 0 : GENERIC_WRITE)",
      "GENERIC_READ", R),
    F("held-without-share-delete", FA, "FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,", "FILE_SHARE_READ, nullptr,", R),
    F("same-file-unchecked", FA, "    if (!file->identity.SameFile(identity)) throw EInOutError(kInOutFileChanged);\n",
      "", R),
    F("abandoned-lock-refused", SL, "    case WAIT_ABANDONED:\n", "", R),
    F("busy-lock-error", SL, "      ThrowError(ERROR_SHARING_VIOLATION);", "      ThrowError(ERROR_ACCESS_DENIED);", R),
    F("lock-name-lower-case", SL, "LCMAP_UPPERCASE", "LCMAP_LOWERCASE", R,
      equivalent="every save folds the name the same way; only the lock's name changes"),
    F("failed-close-ignored", WF, "if (handle_ && !FileCalls().CloseHandle(handle_.release())) ThrowLastError();",
      "if (handle_) FileCalls().CloseHandle(handle_.release());", R),
    F("failed-read-ignored", WF,
      "if (!FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();",
      "FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr);", R),
    F("failed-flush-ignored", WF, "if (!FileCalls().FlushFileBuffers(handle_.get())) ThrowLastError();",
      "FileCalls().FlushFileBuffers(handle_.get());", R),
    F("leads-when-unopened", WF, "  if (!file) return false;\n  BY_HANDLE", "  if (!file) return true;\n  BY_HANDLE", R),
    F("short-name-not-expanded", WN, 'extendedPath.compare(5, 1, L":") == 0', 'extendedPath.compare(4, 1, L":") == 0',
      R),
    F("listed-name-unchecked", WN, "if (!find || _wcsicmp(data.cFileName, extendedPath.c_str() + start) != 0)",
      "if (!find)", R, equivalent="each name it may give is checked to lead to the file held; no other is taken"),
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
    F("clock-floor-tiny", F1, "ScaleForDpi(8, dpi_), [&](int candidate)", "ScaleForDpi(1, dpi_), [&](int candidate)", W),
    F("updown-not-told", F1, "  UpDownSetPos(Control(kLevelUpDowns[slot]), level);\n", "", W,
      equivalent="the digit set in the box sends EN_CHANGE, whose handler sets the same position"),
    F("focus-not-kept", F1, "    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;\n", "", W),
    F("commands-stack", F1, "  if (commandRunning_) return;\n", "", W),
    F("caret-before-digit", F1, "EditSetSelection(Control(kLevelEdits[slot]), 1, 1);",
      "EditSetSelection(Control(kLevelEdits[slot]), 0, 0);", W),
    F("typed-level-forgotten", F1, "      levels_[static_cast<std::size_t>(slot)] = *level;\n", "", W),
    F("saved-not-shown", F1,
      "  for (int slot = 0; slot < 4; ++slot) ShowLevel(slot, levels[static_cast<std::size_t>(slot)]);\n}", "}", W),
    F("status-part-unscaled", F1, "{ScaleForDpi(kStatusPanel0Width, dpi_), -1}", "{kStatusPanel0Width, -1}", W),
    # Below both: the run-time function table and the handle owners.
    F("seam-hides-xp", SF, "if (g_hideNewerFunctions && firstIn != FirstIn::WindowsXp)", "if (g_hideNewerFunctions)",
      W, R),
    F("wine-not-seen", SF, 'return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;',
      "return false;", R, W),
    F("system-folder-no-separator", SF, "  if (path.back() != L'\\\\') path += L'\\\\';\n", "", W, P),
    F("search-not-restricted", SF, "setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)",
      "setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)", W, P),
    F("move-keeps-handle", "system/unique_any.h", ": handle_(other.release()) {}", ": handle_(other.get()) {}", H, R),
]


def run(command):
    """Runs command in its own process group; returns (passed, output), killing all of it on timeout."""
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               errors="replace", start_new_session=True)
    try:
        output, _ = process.communicate(timeout=TIMEOUT)
        return process.returncode == 0, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        return False, "timed out"
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        raise


def first_failure(output):
    lines = output.splitlines()
    if "The following tests FAILED:" in lines:
        return lines[lines.index("The following tests FAILED:") + 1].strip()
    return output.strip().splitlines()[-1] if output.strip() else ""


def plant(fault):
    """Returns (result, detail): killed, survived, no build, or bad fault."""
    path = os.path.join(ROOT, fault.path)
    with open(path, encoding="utf-8") as f:
        original = f.read()
    if original.count(fault.old) != 1:
        return "bad fault", "the original text occurs %d times" % original.count(fault.old)
    try:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(fault.old, fault.new))
        for subset in fault.subsets:
            build, test = SUBSETS[subset]
            built, output = run(build)
            if not built:
                return "no build", subset + ": " + first_failure(output)
            passed, output = run(test)
            if not passed:
                return "killed", subset + ": " + first_failure(output)
        return "survived", ", ".join(fault.subsets)
    finally:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


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
    # Wine needs a display and a wineserver: one of each for the whole run, stopped at its end.
    if os.environ.get("VELMORA_FAULTS_HEADLESS") != "1" and any(s != H for f in faults for s in f.subsets):
        script = ('. scripts/env.sh; . scripts/display.sh; velmora_headless >/dev/null 2>&1; '
                  'VELMORA_FAULTS_HEADLESS=1 python3 tools/plant_faults.py "$@"')
        sys.exit(subprocess.call(["bash", "-c", script, "plant_faults"] + sys.argv[1:], cwd=ROOT))

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
    killed, survived = counts.get("killed", 0), counts.get("survived", 0)
    print("\n" + ", ".join("%s %d" % item for item in sorted(counts.items())))
    if killed + survived:
        print("killed %d of %d that build and are not equivalent: %.0f%%" %
              (killed, killed + survived, 100.0 * killed / (killed + survived)))


if __name__ == "__main__":
    main()
