#!/usr/bin/env python3
"""Checks the download against the sources and the programs it must equal.

usage: release_check.py DIST_DIR EXE...

The version set in CMakeLists.txt names the zip and its folder, heads the guides and the
changelog, and is in the exe's version resource, manifest and About notice; the zip holds
exactly the expected entries, its exe is byte-identical to every EXE given, its texts are UTF-8
with a BOM, CRLF line ends and lines Notepad shows whole, the guides explain every message the
program can show and give the program's size as it is, the holder has one name everywhere, and
the notices are plain text with upstream versions.
"""
import glob
import hashlib
import os
import re
import struct
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEXTS = ["README-en.txt", "README-ru.txt", "CHANGELOG.txt", "LICENSE.txt", "THIRD-PARTY.txt"]
HOLDER = "the Velmora authors"
# What the guides say of the program's size, and of where a problem goes: nowhere, as there is
# no place to send one.
SIZE = {"README-en.txt": "Less than 1 MB of disk space: velmora.exe is {:,} bytes.",
        "README-ru.txt": "Меньше 1 МБ места на диске (размер velmora.exe в байтах: {:,})."}
INVITATIONS = r"tell us|let us know|report (it|the|a)|сообщите нам|напишите нам"
LITERALS = r'((?:L?"(?:[^"\\]|\\.)*"\s*)+)'


def source(path):
    return open(os.path.join(ROOT, path), encoding="utf-8").read()


def shown_messages():
    """Each message as its box or the status bar shows it; error boxes add a full stop."""
    # Wherever in ui/ the window's files keep their status texts and error boxes.
    window = "".join(source(path) for path in sorted(glob.glob(os.path.join(ROOT, "ui", "**", "*.cpp"), recursive=True)))
    found = [(m, False) for m in re.findall(r"\bkStatus\w*\[\]\s*=\s*" + LITERALS, window)]
    found += [(m, False) for m in re.findall(r"\breturn\s+" + LITERALS, source("ui/save_rule.cpp"))]
    found += [(m, True) for m in re.findall(r"\breturn\s+" + LITERALS, source("record/in_out_error.cpp"))]
    found += [(m, True) for m in re.findall(r"ShowErrorBox\(" + LITERALS, window)]
    for literals, error_box in found:
        text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
        if text:
            yield text + "." if error_box and text[-1] > "." else text


def exe_versions(exe):
    at = exe.index("VS_VERSION_INFO".encode("utf-16-le"))
    fixed = exe.index(b"\xbd\x04\xef\xfe", at)
    numbers = struct.unpack_from("<4I", exe, fixed + 8)
    versions = {".".join(str(n) for n in (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF))
                for high, low in (numbers[:2], numbers[2:])}
    for key in ("FileVersion", "ProductVersion"):
        value = re.compile(re.escape((key + "\0").encode("utf-16-le")) + rb"(?:\0\0)*((?:[^\0]\0)+)").search(exe, at)
        versions.add(value.group(1).decode("utf-16-le") + ".0")
    return versions


def main():
    dist, exes = sys.argv[1], sys.argv[2:]
    version = re.search(r"project\(Velmora VERSION (\d+\.\d+\.\d+)", source("CMakeLists.txt")).group(1)
    name = f"velmora-{version}-win32.zip"
    path = os.path.join(dist, name)
    faults = []
    data = open(path, "rb").read()
    if open(path + ".sha256").read() != f"{hashlib.sha256(data).hexdigest()}  {name}\n":
        faults.append(f"{name}.sha256 is not the zip's checksum in sha256sum's format")
    archive = zipfile.ZipFile(path)
    folder = f"velmora-{version}/"
    expected = [folder, folder + "velmora.exe"] + [folder + text for text in TEXTS]
    if archive.namelist() != expected:
        faults.append(f"entries {archive.namelist()}, not {expected}")
    exe = archive.read(folder + "velmora.exe")
    faults += [f"velmora.exe differs from {other}" for other in exes if open(other, "rb").read() != exe]
    if exe_versions(exe) != {version + ".0"}:
        faults.append(f"the version resource says {exe_versions(exe)}, not {version}")
    if f"Velmora {version},".encode("utf-16-le") not in exe:
        faults.append(f"the About notice does not begin 'Velmora {version},'")
    manifest = re.search(rb'<assemblyIdentity type="win32" name="Velmora.Velmora" version="([0-9.]+)"', exe)
    if not manifest or manifest.group(1).decode() != version + ".0":
        faults.append(f"the manifest's assemblyIdentity is not version {version}.0")
    for where, text in (("CompanyName", "CompanyName\0"), ("LegalCopyright", "LegalCopyright\0"),
                        ("About notice", f"Velmora {version},")):
        at = exe.find(text.encode("utf-16-le"))
        if at < 0 or HOLDER.encode("utf-16-le") not in exe[at:at + 160]:
            faults.append(f"the {where} does not name {HOLDER}")

    texts = {}
    for text in TEXTS:
        raw = archive.read(folder + text)
        body = raw[3:].decode("utf-8")
        texts[text] = " ".join(body.split())
        if not raw.startswith(b"\xef\xbb\xbf") or re.search(r"\r(?!\n)|(?<!\r)\n", body) or not body.endswith("\r\n"):
            faults.append(f"{text}: not UTF-8 with a BOM and CRLF line ends")
        faults += [f"{text}: line {n} is wider than 80" for n, line in enumerate(body.split("\r\n"), 1) if len(line) > 80]
        faults += [f"{text}: {left} was not filled in" for left in re.findall(r"@[A-Z_]+@", body)]
    changes = re.findall(r"^(\d+)\.(\d+)\.(\d+) ", archive.read(folder + "CHANGELOG.txt").decode("utf-8-sig"), re.M)
    if not changes or ".".join(changes[0]) != version or changes != sorted(changes, key=lambda v: tuple(map(int, v)), reverse=True):
        faults.append(f"CHANGELOG.txt does not list its versions newest first from {version}")
    for guide in ("README-en.txt", "README-ru.txt"):
        if not texts[guide].startswith(f"Velmora {version}:"):
            faults.append(f"{guide} does not begin 'Velmora {version}:'")
        faults += [f"{guide} does not explain \"{m}\"" for m in list(shown_messages()) + ["I/O error"]
                   if f'"{" ".join(m.split())}' not in texts[guide]]
    unpacked = sum(info.file_size for info in archive.infolist())
    for guide, sentence in SIZE.items():
        size = sentence.format(len(exe)).replace(",", " " if guide.endswith("ru.txt") else ",")
        if size not in texts[guide] or unpacked >= 1_000_000:
            faults.append(f"{guide} does not say '{size}', or the folder ({unpacked} bytes) is 1 MB or more")
        if re.search(INVITATIONS, texts[guide], re.I):
            faults.append(f"{guide} invites problem reports, which have nowhere to go")
    if f"Copyright (c) 2026 {HOLDER}" not in texts["LICENSE.txt"] or "Velmora team" in " ".join(texts.values()):
        faults.append(f"LICENSE.txt does not name {HOLDER} as the holder, or a text names another")
    if re.search(r"\*\*|<br>|\]\(|\d+:\d+\.\d+[.\d]*-\d", texts["THIRD-PARTY.txt"]):
        faults.append("THIRD-PARTY.txt holds Markdown, or a version with a Debian epoch or revision")
    if "this software is based in part on the work of the independent jpeg group" not in texts["THIRD-PARTY.txt"].lower():
        faults.append("THIRD-PARTY.txt lacks the sentence the IJG licence asks for")
    if "MIT License" not in texts["LICENSE.txt"] or "GCC RUNTIME LIBRARY EXCEPTION" not in texts["THIRD-PARTY.txt"]:
        faults.append("LICENSE.txt or THIRD-PARTY.txt lacks its licence text")

    for fault in faults:
        print(fault)
    print(f"{name}: {len(data)} bytes, {len(expected)} entries, version {version}: "
          f"{'FAILED' if faults else 'as it should be'}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
