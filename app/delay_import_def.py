#!/usr/bin/env python3
"""Writes the module-definition file for a delay-import library of one DLL: the functions the
allow-list names for it, spelt as MinGW's import library decorates them (name@bytes).

usage: delay_import_def.py nm import-library dll allow-list output.def
"""
import subprocess
import sys

from import_audit import read_allow_list


def main():
    nm, import_library, dll, allow_path, output = sys.argv[1:6]
    allowed = {name for (d, name) in read_allow_list(allow_path)[0] if d == dll}
    symbols = subprocess.run([nm, "-g", "--defined-only", import_library], capture_output=True, text=True,
                             check=True).stdout.split()
    decorated = {}
    for symbol in symbols:
        if symbol.startswith("__imp__"):
            decorated[symbol[7:].split("@")[0]] = symbol[7:]
    missing = sorted(allowed - decorated.keys())
    if missing:
        raise SystemExit(f"{import_library} does not export {', '.join(missing)}")
    with open(output, "w", encoding="ascii") as out:
        out.write(f"LIBRARY {dll}\nEXPORTS\n")
        out.writelines(f"{decorated[name]}\n" for name in sorted(allowed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
