#!/usr/bin/env python3
"""Where velmora.exe's bytes come from: sums the input sections of a GNU ld map by library.

usage: size_report.py velmora.map [velmora.exe [--budget BYTES]]
Counts what the linker kept (code, data, unwind tables, imports); the resources and the PE
headers and alignment make up the rest of the file. With a budget, fails when the exe is larger.
"""
import collections
import os
import re
import sys

SECTION = re.compile(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")
NAME_ONLY = re.compile(r"^ (\.\S+)$")
REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$")


# What each library member is there for; the rest of a library is counted under its own name.
MEMBERS = {
    "cp-demangle.o": "libstdc++: demangler (for the default terminate handler's message)",
    "vterminate.o": "libstdc++: demangler (for the default terminate handler's message)",
    "string-inst.o": "libstdc++: std::string, std::wstring and the exceptions' strings",
    "wstring-inst.o": "libstdc++: std::string, std::wstring and the exceptions' strings",
    "cow-string-inst.o": "libstdc++: std::string, std::wstring and the exceptions' strings",
    "sso_string.o": "libstdc++: std::string, std::wstring and the exceptions' strings",
}
PRINTF = ("mingw_pformat", "gdtoa", "misc.o", "dmisc", "gmisc", "mingw_vsprintf", "strnlen",
          "wcsnlen", "mbrtowc", "wcrtomb")
LIBRARIES = {"libstdc++.a": "libstdc++: exceptions, RTTI, the rest", "libsupc++.a": "libstdc++: exceptions, RTTI, the rest",
             "libjpeg.a": "libjpeg (lean decoder)", "libgcc.a": "libgcc: runtime and unwinder",
             "libgcc_eh.a": "libgcc: runtime and unwinder", "libwinpthread.a": "winpthread",
             "libmingwex.a": "MinGW C runtime", "libmingw32.a": "MinGW C runtime",
             "libmsvcrt.a": "MinGW C runtime"}


def owner(path):
    path = path.strip()
    m = re.match(r"(.*)\((.*)\)$", path)
    if not m:
        base = os.path.basename(path)
        if base == "dll stuff":
            return "import tables"
        if "/crt" in path or base.startswith("crt"):
            return "MinGW C runtime"
        return "Velmora's own code" if base.endswith((".o", ".obj")) else base
    library, member = os.path.basename(m.group(1)), m.group(2)
    if member.endswith(".res"):
        return "resources (icon, logo, glyphs, manifest, version)"
    if library.startswith("libvelmora") or library == "objects.a":
        return "Velmora's own code"
    if member in MEMBERS:
        return MEMBERS[member]
    if library in ("libmingwex.a", "libmsvcrt.a") and any(p in member for p in PRINTF):
        return "MinGW C runtime: printf (for the demangler's sprintf)"
    if library in LIBRARIES:
        return LIBRARIES[library]
    return "import thunks"


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
        size = os.path.getsize(sys.argv[2])
        print(f"{size / 1024:8.1f} KB  {os.path.basename(sys.argv[2])} on disk")
    if len(sys.argv) > 4 and sys.argv[3] == "--budget":
        budget = int(sys.argv[4])
        print(f"{os.path.basename(sys.argv[2])}: {size} bytes, budget {budget}: "
              + (f"{budget - size} to spare" if size <= budget else f"OVER by {size - budget}"))
        return 0 if size <= budget else 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
