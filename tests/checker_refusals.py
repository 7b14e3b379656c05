#!/usr/bin/env python3
"""The checkers refuse what they are there to refuse: each runs on copies spoiled one way each and
must fail them, by its exit code and with the reason, and pass the copy as it is.

usage: checker_refusals.py imports|release velmora.exe [imports-allowed.txt] FOLDER
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


def imports(exe, allow_list, folder):
    program, allowed = open(exe, "rb").read(), open(allow_list, encoding="utf-8").read()
    header = bytearray(program)  # the OS version asked for: Windows Vista's
    struct.pack_into("<HH", header, struct.unpack_from("<I", program, 0x3C)[0] + 24 + 40, 6, 0)
    for number, (data, text, reason) in enumerate([
            (program, allowed, None),
            (program, re.sub(r"(?m)^kernel32\.dll +GetProcAddress .*\n", "", allowed),
             r"(?m)^kernel32\.dll GetProcAddress is imported but not on the allow-list$"),
            (program, allowed + "kernel32.dll GetTickCount64 Windows Vista\n", r"GetTickCount64 needs Windows Vista"),
            # Same length: msvcrt's functions now come from user32, which may only be delay-loaded.
            (program.replace(b"msvcrt.dll", b"user32.dll"), allowed, r"(?m)^user32\.dll is imported but not a static-dll"),
            (bytes(header), allowed, r"asks for OS version 6\.0")]):
        spoiled = os.path.join(folder, str(number))
        open(spoiled + ".exe", "wb").write(data)
        open(spoiled + ".txt", "w", encoding="utf-8").write(text)
        yield ["app/import_audit.py", spoiled + ".exe", spoiled + ".txt"], reason


def release(exe, folder):
    version = re.search(r"project\(Velmora VERSION ([\d.]+)", open(os.path.join(ROOT, "CMakeLists.txt")).read())[1]
    deps = os.environ.get("VELMORA_DEPS", os.path.join(ROOT, "build", "deps"))
    dist, name = os.path.join(folder, "dist"), f"velmora-{version}-win32.zip"
    subprocess.run([sys.executable, "scripts/package_release.py", version, exe,
                    glob.glob(os.path.join(deps, "src", "libjpeg-turbo-*", ""))[0], dist], check=True, cwd=ROOT)
    for number, (guide, change, reason) in enumerate([
            ("", None, None),
            ("README-en.txt", lambda b: b + b"x" * 81 + b"\r\n", r"README-en\.txt: line \d+ is wider than 80"),
            ("README-ru.txt", lambda b: b.replace(b'"File opened!', b'"File opened'),
             r'README-ru\.txt does not explain "File opened!"')]):
        spoiled = os.path.join(folder, str(number))
        os.makedirs(spoiled, exist_ok=True)
        # Opened afresh for each copy: writing an entry's details to a copy changes them.
        with zipfile.ZipFile(os.path.join(dist, name)) as original, \
                zipfile.ZipFile(os.path.join(spoiled, name), "w") as copy:
            for info in original.infolist():
                data = original.read(info)
                copy.writestr(info, change(data) if change and info.filename.endswith("/" + guide) else data)
        digest = hashlib.sha256(open(os.path.join(spoiled, name), "rb").read()).hexdigest()
        open(os.path.join(spoiled, name + ".sha256"), "w").write(f"{digest}  {name}\n")
        yield ["scripts/release_check.py", spoiled], reason


def main():
    os.makedirs(sys.argv[-1], exist_ok=True)
    faults = []
    for command, reason in (imports if sys.argv[1] == "imports" else release)(*sys.argv[2:]):
        result = subprocess.run([sys.executable] + command, capture_output=True, text=True, cwd=ROOT)
        if (result.returncode == 0) != (reason is None) or not re.search(reason or "", result.stdout):
            faults.append(f"{command}: exit {result.returncode}, wanted {reason or 'a pass'}\n{result.stdout}")
    print("\n".join(faults) or "every spoiled copy refused, the copy as it is passed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
