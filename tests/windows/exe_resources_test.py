#!/usr/bin/env python3
"""Reads the resources back from the built Pelorin.exe and checks them field by field: the
version record, the icon group's three images, the manifest, and that the program needs no DLL
beyond the system's own.

Usage: exe_resources_test.py PELORIN_EXE VERSION"""
import struct
import sys

import pefile

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comdlg32.dll", "shell32.dll",
               "msvcrt.dll", "advapi32.dll", "ntdll.dll", "bcrypt.dll"}  # bcrypt: the data's MD5

failures = []


def check(what, expected, actual):
    if expected != actual:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


def resources(pe, kind):
    """The resources of one type: {id: bytes} of their first language."""
    found = {}
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind:
            continue
        for name in entry.directory.entries:
            language = name.directory.entries[0]
            data = language.data.struct
            found[name.id] = pe.get_data(data.OffsetToData, data.Size)
    return found


def check_version(pe, version):
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                check("string table", b"040904B0", table.LangID.upper())
                strings = {k.decode(): v.decode() for k, v in table.entries.items()}
        if info.Key == b"VarFileInfo":
            translation = info.Var[0].entry[b"Translation"]  # "0x0409 0x04b0"
            check("translation", [0x0409, 1200], [int(x, 16) for x in translation.split()])
    check("FileVersion", version, strings.get("FileVersion"))
    check("ProductVersion", version, strings.get("ProductVersion"))
    check("ProductName", "Pelorin", strings.get("ProductName"))
    check("InternalName", "Pelorin", strings.get("InternalName"))
    check("OriginalFilename", "Pelorin.exe", strings.get("OriginalFilename"))
    numbers = [int(part) for part in version.split(".")] + [0, 0, 0]
    fixed = pe.VS_FIXEDFILEINFO[0]
    check("fixed file version", (numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]),
          (fixed.FileVersionMS, fixed.FileVersionLS))


def check_icons(pe):
    groups = resources(pe, RT_GROUP_ICON)
    check("icon groups", 1, len(groups))
    group = next(iter(groups.values()))
    _, _, count = struct.unpack_from("<HHH", group)
    images = resources(pe, RT_ICON)
    shapes = []
    for i in range(count):
        entry = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        width, height, image_id = entry[0] or 256, entry[1] or 256, entry[7]
        # Each image is a bitmap whose header gives its colour depth (its height counts the mask).
        _, bitmap_width, bitmap_height, _, bits = struct.unpack_from("<IiiHH", images[image_id])
        check(f"image {image_id} size", (width, height), (bitmap_width, bitmap_height // 2))
        shapes.append((width, height, bits))
    check("icon images", [(32, 32, 1), (32, 32, 4), (16, 16, 4)], shapes)


def check_manifest(pe):
    manifest = resources(pe, RT_MANIFEST).get(1, b"").decode()
    for part in ("PerMonitorV2", "Microsoft.Windows.Common-Controls", 'version="6.0.0.0"',
                 'level="asInvoker"'):
        check(f"manifest holds {part}", True, part in manifest)


def check_imports(pe):
    imported = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    check("DLLs beyond the system's", set(), imported - SYSTEM_DLLS)


def main():
    exe, version = sys.argv[1], sys.argv[2]
    pe = pefile.PE(exe)
    check_version(pe, version)
    check_icons(pe)
    check_manifest(pe)
    check_imports(pe)
    for failure in failures:
        print("FAIL:", failure)
    print(f"exe resources: {1 if not failures else 0} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
