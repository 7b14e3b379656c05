#!/usr/bin/env python3
"""Where velmora.exe's bytes come from: sums the input sections of a GNU ld map by library.

usage: size_report.py velmora.map [velmora.exe]
Counts what the linker kept (code, data, unwind tables, imports); the resources and the PE
headers and alignment make up the rest of the file.
"""
import collections
import os
import re
import sys

SECTION = re.compile(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
NAME_ONLY = re.compile(r"^ (\.\S+)$")
REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")


def owner(path):
    path = path.strip()
    m = re.match(r"(.*)\((.*)\)$", path)
    if m:
        lib = os.path.basename(m.group(1))
        return {"libstdc++.a": "libstdc++", "libsupc++.a": "libstdc++", "libjpeg.a": "libjpeg",
                "libgcc.a": "libgcc (runtime, unwinder)", "libgcc_eh.a": "libgcc (runtime, unwinder)",
                "libwinpthread.a": "winpthread", "libmingwex.a": "MinGW C runtime",
                "libmingw32.a": "MinGW C runtime", "libmsvcrt.a": "MinGW C runtime"}.get(
                    lib, "import stubs" if lib.startswith("lib") and lib.endswith(".a") and
                    m.group(2).startswith("d") else lib)
    base = os.path.basename(path)
    if base.endswith(".rc.obj") or base.endswith(".res"):
        return "resources"
    if "/crt" in path or base.startswith("crt"):
        return "MinGW C runtime"
    if base.endswith(".obj") or base.endswith(".o"):
        return "Velmora's own code"
    return base


def main():
    totals = collections.Counter()
    pending = None
    with open(sys.argv[1], errors="replace") as f:
        in_memory_map = False
        for line in f:
            if line.startswith("Linker script and memory map"):
                in_memory_map = True
                continue
            if not in_memory_map or line.startswith("/DISCARD/"):
                continue
            m = SECTION.match(line)
            if m:
                totals[owner(m.group(4))] += int(m.group(3), 16)
                pending = None
                continue
            m = NAME_ONLY.match(line.rstrip("\n"))
            if m:
                pending = m.group(1)
                continue
            if pending:
                m = REST.match(line)
                if m:
                    totals[owner(m.group(3))] += int(m.group(2), 16)
                pending = None
    for name, size in totals.most_common():
        if size:
            print(f"{size / 1024:8.1f} KB  {name}")
    print(f"{sum(totals.values()) / 1024:8.1f} KB  linked sections in all")
    if len(sys.argv) > 2:
        print(f"{os.path.getsize(sys.argv[2]) / 1024:8.1f} KB  {os.path.basename(sys.argv[2])} on disk")


if __name__ == "__main__":
    main()
