#!/usr/bin/env python3
"""The checkers refuse what they are there to refuse: each runs on a copy spoiled in one way and
must fail, by its exit code and with the reason, and on the copy as it is must pass.

usage: checker_refusals.py imports velmora.exe imports-allowed.txt FOLDER
       checker_refusals.py release velmora.exe FOLDER
"""
import glob
import hashlib
import os
import re
import struct
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def judge(case, command, reason):
    """None when the checker answered as it should: exit 0 unspoiled, else 1 saying reason."""
    result = subprocess.run([sys.executable] + command, capture_output=True, text=True, cwd=ROOT)
    if (result.returncode == 0) == (reason is None) and re.search(reason or "", result.stdout):
        return None
    return f"{case}: exit {result.returncode}, wanted {'0' if reason is None else 1, reason}\n{result.stdout}"


def imports(exe, allow_list, folder):
    audit = os.path.join(ROOT, "app", "import_audit.py")
    program, allowed = open(exe, "rb").read(), open(allow_list, encoding="utf-8").read()
    header = bytearray(program)  # the OS version asked for: Windows Vista's
    struct.pack_into("<HH", header, struct.unpack_from("<I", program, 0x3C)[0] + 24 + 40, 6, 0)
    cases = [
        ("as built", program, allowed, None),
        ("an unlisted import", program, re.sub(r"(?m)^kernel32\.dll +GetProcAddress .*\n", "", allowed),
         r"(?m)^kernel32\.dll GetProcAddress is imported but not on the allow-list$"),
        ("a Vista entry", program, allowed + "kernel32.dll GetTickCount64 Windows Vista\n",
         r"GetTickCount64 needs Windows Vista"),
        # Same length: msvcrt's functions now come from user32, which may only be delay-loaded.
        ("a delayed DLL at start-up", program.replace(b"msvcrt.dll", b"user32.dll"), allowed,
         r"(?m)^user32\.dll is imported but not a static-dll"),
        ("a 6.0 header", bytes(header), allowed, r"asks for OS version 6\.0"),
    ]
    for number, (case, data, text, reason) in enumerate(cases):
        spoiled_exe, spoiled_list = (os.path.join(folder, f"{number}.{kind}") for kind in ("exe", "txt"))
        open(spoiled_exe, "wb").write(data)
        open(spoiled_list, "w", encoding="utf-8").write(text)
        yield judge(case, [audit, spoiled_exe, spoiled_list], reason)


def release(exe, folder):
    version = re.search(r"project\(Velmora VERSION ([\d.]+)", open(os.path.join(ROOT, "CMakeLists.txt")).read())[1]
    deps = os.environ.get("VELMORA_DEPS", os.path.join(ROOT, "build", "deps"))
    dist, name = os.path.join(folder, "dist"), f"velmora-{version}-win32.zip"
    subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "package_release.py"), version, exe,
                    glob.glob(os.path.join(deps, "src", "libjpeg-turbo-*", ""))[0], dist], check=True)
    wide = "x" * 81 + "\r\n"
    cases = [
        ("as released", {}, None),
        ("a line of 81", {"README-en.txt": lambda b: b + wide.encode()}, r"README-en\.txt: line \d+ is wider than 80"),
        ("a message unexplained", {"README-ru.txt": lambda b: b.replace(b'"File opened!', b'"File opened')},
         r'README-ru\.txt does not explain "File opened!"'),
    ]
    for number, (case, changes, reason) in enumerate(cases):
        spoiled = os.path.join(folder, str(number))
        os.makedirs(spoiled, exist_ok=True)
        # Opened afresh for each copy: writing an entry's details to a copy changes them.
        original = zipfile.ZipFile(os.path.join(dist, name))
        with zipfile.ZipFile(os.path.join(spoiled, name), "w") as copy:
            for info in original.infolist():
                data = original.read(info)
                change = changes.get(os.path.basename(info.filename))
                copy.writestr(info, change(data) if change else data)
        digest = hashlib.sha256(open(os.path.join(spoiled, name), "rb").read()).hexdigest()
        open(os.path.join(spoiled, name + ".sha256"), "w").write(f"{digest}  {name}\n")
        yield judge(case, [os.path.join(ROOT, "scripts", "release_check.py"), spoiled], reason)


def main():
    folder = sys.argv[-1]
    os.makedirs(folder, exist_ok=True)
    faults = [f for f in (imports if sys.argv[1] == "imports" else release)(*sys.argv[2:]) if f]
    print("\n".join(faults) or "every spoiled copy refused, the unspoiled one passed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
