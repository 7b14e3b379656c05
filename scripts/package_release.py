#!/usr/bin/env python3
"""Writes Velmora's download: OUT_DIR/velmora-<version>-win32.zip and its .sha256.

usage: package_release.py VERSION EXE LIBJPEG_SOURCE_DIR OUT_DIR

The zip holds one folder, velmora-<version>/, with the program and the texts of release/, in
which @VERSION@, the program's size and the notices of the libraries linked into the program
(Markdown made plain text) are filled in. The
texts are UTF-8 with a byte-order mark and CRLF line ends: Notepad on Windows XP reads that.
Every entry has the same time (SOURCE_DATE_EPOCH, the commit's), a fixed mode and a fixed
place, so the same inputs give the same zip byte for byte.
"""
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEXTS = ["README-en.txt", "README-ru.txt", "CHANGELOG.txt", "LICENSE.txt", "THIRD-PARTY.txt"]
MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-common/copyright"
GCC_COPYRIGHT = "/usr/share/doc/gcc-mingw-w64-base/copyright"
# The licences of the MinGW-w64 runtime's parts that are linked in and are not public domain:
# most of it (ZPL), David M. Gay's gdtoa (Lucent) and the printf core (Keith Marshall).
MINGW_LICENSES = ["ZPL-2.1", "Lucent", "Keith-Marshall"]


def between(text, start, end, what):
    """The text from the line after start's up to end (excluded); the release fails without them."""
    try:
        begin = text.index("\n", text.index(start) + len(start)) + 1
        return text[begin:text.index(end, begin)].strip("\n")
    except ValueError:
        raise SystemExit(f"{what}: no '{start}' ... '{end}' found")


def debian_stanzas(path):
    """The paragraphs of a machine-readable Debian copyright file, as field -> lines."""
    for block in open(path, encoding="utf-8").read().split("\n\n"):
        fields, key = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and key:
                fields[key].append(line)
            elif ":" in line:
                key, value = line.split(":", 1)
                fields[key] = [value.strip()]
        yield fields


def mingw_notices():
    notices = {}
    for stanza in debian_stanzas(MINGW_COPYRIGHT):
        licence = stanza.get("License", [""])
        if licence[0] in MINGW_LICENSES and len(licence) > 1 and licence[0] not in notices:
            head = "\n".join(f"{field}: " + "\n".join(stanza[field]).strip() for field in ("Files", "Copyright"))
            text = "\n".join("" if line.strip() == "." else line[1:] for line in licence[1:])
            notices[licence[0]] = f"{head}\nLicense: {licence[0]}\n\n{text}"
    missing = [name for name in MINGW_LICENSES if name not in notices]
    if missing:
        raise SystemExit(f"{MINGW_COPYRIGHT}: no licence text for {missing}")
    return "\n\n\n".join(notices[name] for name in MINGW_LICENSES)


def plain_text(markdown):
    """Markdown as plain text: a link as its text with its address, no emphasis marks or HTML."""
    text = re.sub(r"\[([^]]+)\]\(([^)]+)\)", lambda m: m[1] if m[1] == m[2] else f"{m[1]} ({m[2]})", markdown)
    return re.sub(r"\*\*|<br>", "", text)


def package_version(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True, capture_output=True,
                          text=True).stdout


def upstream(debian_version):
    return re.sub(r"^\d+:", "", debian_version).split("-")[0]


def fields(version, exe, libjpeg):
    changelog = open(os.path.join(libjpeg, "debian", "changelog"), encoding="utf-8").readline()
    ijg = open(os.path.join(libjpeg, "README.ijg"), encoding="utf-8").read()
    gcc = open(GCC_COPYRIGHT, encoding="utf-8").read()
    return {
        "VERSION": version,
        # The guides give the program's size in bytes, grouped as each language writes numbers.
        "EXE_SIZE_EN": f"{os.path.getsize(exe):,}",
        "EXE_SIZE_RU": f"{os.path.getsize(exe):,}".replace(",", " "),
        "LIBJPEG_VERSION": upstream(re.search(r"\((.+?)\)", changelog).group(1)),
        "LIBJPEG_LICENSE": plain_text(open(os.path.join(libjpeg, "LICENSE.md"), encoding="utf-8").read()).strip("\n"),
        "IJG_LEGAL_ISSUES": between(ijg, "LEGAL ISSUES\n====", "\nREFERENCES\n", "README.ijg"),
        "MINGW_VERSION": upstream(package_version("mingw-w64-i686-dev")),
        "MINGW_NOTICES": mingw_notices(),
        "GCC_VERSION": upstream(package_version("gcc-mingw-w64-i686-win32")),
        "GCC_EXCEPTION": "GCC RUNTIME LIBRARY EXCEPTION\n\n" + between(
            gcc, "GCC RUNTIME LIBRARY EXCEPTION", "\n\n\n", GCC_COPYRIGHT),
    }


def notepad_text(text):
    text = text.replace("\r\n", "\n").rstrip("\n") + "\n"
    return b"\xef\xbb\xbf" + text.replace("\n", "\r\n").encode("utf-8")


def main():
    version, exe, libjpeg, out_dir = sys.argv[1:5]
    values = fields(version, exe, libjpeg)
    stamp = time.gmtime(max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800))[:6]
    folder = f"velmora-{version}/"
    entries = [(folder, b"", 0o40755), (folder + "velmora.exe", open(exe, "rb").read(), 0o100755)]
    for name in TEXTS:
        text = open(os.path.join(ROOT, "release", name), encoding="utf-8").read()
        text = re.sub(r"@([A-Z_]+)@", lambda m: values[m.group(1)], text)
        # A heading's underline as long as the heading, whatever was filled into it.
        text = re.sub(r"^(.+)\n([=-])\2+$", lambda m: f"{m[1]}\n{m[2] * len(m[1])}", text, flags=re.M)
        entries.append((folder + name, notepad_text(text), 0o100644))

    os.makedirs(out_dir, exist_ok=True)
    zip_name = f"velmora-{version}-win32.zip"
    path = os.path.join(out_dir, zip_name)
    with zipfile.ZipFile(path + ".part", "w") as archive:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3  # Unix, whose modes follow; the low bits are MS-DOS attributes
            info.external_attr = (mode << 16) | (0x10 if name.endswith("/") else 0)
            info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    os.replace(path + ".part", path)
    digest = hashlib.sha256(open(path, "rb").read()).hexdigest()
    with open(path + ".sha256", "w", encoding="ascii", newline="\n") as out:
        out.write(f"{digest}  {zip_name}\n")
    print(f"{path}: {os.path.getsize(path)} bytes, sha256 {digest}")


if __name__ == "__main__":
    main()
