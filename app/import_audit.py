#!/usr/bin/env python3
"""Checks that an exe starts on the oldest Windows it promises.

usage: import_audit.py program.exe allow-list [--list]

Reads the PE header's OS and subsystem versions and the import table, and fails on any DLL
imported at start-up that the allow-list does not name a static-dll, on any imported function
missing from the allow-list, on an allow-list entry newer than the minimum, and on a header version the
minimum's loader would refuse. --list prints the imports instead.
"""
import struct
import sys

# Windows releases in order; an allow-list entry names one of these.
RELEASES = ["Windows 2000", "Windows XP", "Windows XP SP2", "Windows XP SP3", "Windows Vista",
            "Windows 7", "Windows 8", "Windows 8.1", "Windows 10 1507", "Windows 10 1607"]
MINIMUM = "Windows XP SP3"
MINIMUM_PE_VERSION = (5, 1)  # XP's loader refuses an image that asks for a newer OS or subsystem


def read_pe(path):
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        raise SystemExit(f"{path}: not an executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit(f"{path}: no PE header")
    machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    if struct.unpack_from("<H", data, opt)[0] != 0x10B:
        raise SystemExit(f"{path}: not a 32-bit image")
    os_version = struct.unpack_from("<HH", data, opt + 40)
    subsystem_version = struct.unpack_from("<HH", data, opt + 48)
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    import_rva, _ = struct.unpack_from("<II", data, opt + 96 + 8)
    table = []
    at = opt + optional_size
    for _ in range(sections):
        _, vsize, va, raw_size, raw_at = struct.unpack_from("<8sIIII", data, at)
        table.append((va, max(vsize, raw_size), raw_at))
        at += 40

    def offset(rva):
        for va, size, raw_at in table:
            if va <= rva < va + size:
                return raw_at + rva - va
        raise SystemExit(f"{path}: address {rva:#x} is in no section")

    def string(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii")

    imports = []
    if import_rva:
        at = offset(import_rva)
        while True:
            lookup, _, _, name_rva, thunks = struct.unpack_from("<IIIII", data, at)
            if name_rva == 0:
                break
            dll = string(name_rva).lower()
            entry = offset(lookup or thunks)
            while True:
                value = struct.unpack_from("<I", data, entry)[0]
                if value == 0:
                    break
                if value & 0x80000000:
                    imports.append((dll, f"#{value & 0xFFFF}"))
                else:
                    imports.append((dll, string(value + 2)))
                entry += 4
            at += 20
    return machine, os_version, subsystem, subsystem_version, imports


def read_allow_list(path):
    allowed, dlls = {}, {"static-dll": set(), "delayed-dll": set()}
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        parts = line.split(None, 2)
        if parts[0] in ("static-dll", "delayed-dll") and len(parts) == 2:
            dlls[parts[0]].add(parts[1].lower())
            continue
        if len(parts) != 3 or parts[2] not in RELEASES:
            raise SystemExit(f"{path}:{number}: want 'dll function earliest-Windows', one of {RELEASES}")
        allowed[(parts[0].lower(), parts[1])] = parts[2]
    return allowed, dlls["static-dll"], dlls["delayed-dll"]


def main():
    exe, allow_path = sys.argv[1], sys.argv[2]
    machine, os_version, subsystem, subsystem_version, imports = read_pe(exe)
    if "--list" in sys.argv:
        for dll, name in sorted(imports):
            print(dll, name)
        return 0
    allowed, static, delayed = read_allow_list(allow_path)
    faults = []
    if machine != 0x14C:
        faults.append(f"machine {machine:#x}, not x86")
    if subsystem != 2:
        faults.append(f"subsystem {subsystem}, not the Windows GUI")
    for what, version in (("OS", os_version), ("subsystem", subsystem_version)):
        if tuple(version) > MINIMUM_PE_VERSION:
            faults.append(f"the header asks for {what} version {version[0]}.{version[1]}, newer than "
                          f"{MINIMUM} ({MINIMUM_PE_VERSION[0]}.{MINIMUM_PE_VERSION[1]})")
    for (dll, name), earliest in sorted(allowed.items()):
        if RELEASES.index(earliest) > RELEASES.index(MINIMUM):
            faults.append(f"allow-list: {dll} {name} needs {earliest}, newer than {MINIMUM}")
    for dll in sorted({d for d, _ in allowed} - static - delayed):
        faults.append(f"allow-list: {dll} is neither a static-dll nor a delayed-dll")
    for dll in sorted({d for d, _ in imports} - static):
        faults.append(f"{dll} is imported but not a static-dll: delay-load it or load it at run time")
    for dll, name in sorted(set(imports)):
        if (dll, name) not in allowed:
            faults.append(f"{dll} {name} is imported but not on the allow-list")
    for fault in faults:
        print(fault)
    earliest = {}
    for key in set(imports):
        if key in allowed:
            earliest.setdefault(allowed[key], []).append(key)
    for release in RELEASES:
        if release in earliest:
            print(f"{len(earliest[release]):3d} imports from {release}")
    print(f"{len(set(imports))} imports from {len({d for d, _ in imports})} DLLs; "
          f"{'FAILED' if faults else 'all allowed'}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
