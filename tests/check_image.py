#!/usr/bin/env python3
"""Checks the built launcher image: headers, imports and resources.

    check_image.py --settings DIR [--machine x64|arm64] [--compiler GNU|Clang]
                   [--signed-from UNSIGNED_EXE] LAUNCHER_EXE ICON_FILE

ICON_FILE is the .ico the build was given; its images must be the image's.
DIR holds the build's settings, one UTF-8 file each (subsystem, busy_cursor,
error_report, startup_info, version_info and the version resource's values).
--compiler is the C++ compiler's CMake id. With --signed-from, LAUNCHER_EXE is
that unsigned image signed, and its certificate table must be the only
addition; without it, it has none.

Reads the file itself, so a wrong linker flag, a stray import or resource, or
a badly packed icon fails here whatever the build description says.
"""
import argparse
import os
import re
import struct
import sys
import unittest

import pefile

EXE = None
ICON = None
MACHINE = "x64"
COMPILER = "GNU"
SETTINGS = {}
SIGNED_FROM = None

# What the launcher and its own start-up call, and nothing else.
UCRT_IMPORTS = {
    "api-ms-win-crt-runtime-l1-1-0.dll": {"__p__wcmdln", "_set_app_type", "exit"},
    "api-ms-win-crt-stdio-l1-1-0.dll": {"__stdio_common_vswprintf"},
    # The UCRT exports wcsrchr through its private API set only.
    "api-ms-win-crt-private-l1-1-0.dll": {"wcsrchr"},
}
CHILD_CALLS = {"GetModuleFileNameW", "CreateProcessW", "WaitForSingleObject", "GetExitCodeProcess", "CloseHandle"}


HANDLE_LIST = {"SetHandleInformation", "InitializeProcThreadAttributeList", "UpdateProcThreadAttribute",
               "DeleteProcThreadAttributeList"}
# The cause of a failed start, in the system's words.
START_FAILURE = {"GetLastError", "FormatMessageW"}
# The report pipe, read overlapped while the child runs, and its text decoded.
LAST_WORDS = HANDLE_LIST | START_FAILURE | {
    "CreateNamedPipeW", "CreateFileW", "GetCurrentProcessId", "CreateEventW", "ReadFile", "GetOverlappedResult",
    "WaitForMultipleObjects", "CancelIo", "PeekNamedPipe", "SetLastError", "MultiByteToWideChar"}

# The launcher's own record, and its own path to tell a given title from the
# one the system gives.
FORWARD = {"GetStartupInfoW", "CompareStringOrdinal"}


def expected_imports():
    full = SETTINGS["error_report"] == "full"
    ucrt = {dll: set(names) for dll, names in UCRT_IMPORTS.items()}
    if SETTINGS["subsystem"] == "console":
        # No window, so no USER32: standard handles, the handle list, Ctrl+C
        # and the error line are all the kernel's.
        kernel = CHILD_CALLS | HANDLE_LIST | {
            "GetStdHandle", "SetConsoleCtrlHandler", "GetConsoleMode", "WriteConsoleW", "WriteFile"}
        if full:
            kernel |= START_FAILURE | {"WideCharToMultiByte"}
        if SETTINGS["startup_info"] == "forward":
            kernel |= FORWARD
        return {"KERNEL32.dll": kernel, **ucrt}
    user = {"MessageBoxW"}
    if SETTINGS["busy_cursor"] == "child":
        user |= {"PostMessageW", "GetMessageW"}
    kernel = CHILD_CALLS | {"GetStartupInfoW"}
    if SETTINGS["startup_info"] == "forward":
        kernel |= FORWARD
    if full:
        kernel |= LAST_WORDS
        # The ring's copy: GCC inlines it, clang calls the UCRT's.
        if COMPILER == "Clang":
            ucrt["api-ms-win-crt-private-l1-1-0.dll"].add("memcpy")
    return {"KERNEL32.dll": kernel, "USER32.dll": user, **ucrt}


ICON_SIZES = [16, 24, 32, 48, 64, 128, 256]
LANG_EN_US = 1033
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
BUFFERS = 3 * 32768 * 2  # dir, python and line, in bytes


def utf16_pairs(text):
    """pefile spells a character beyond the BMP as its two surrogates, escaped."""
    return re.sub(r"\\u(d[89ab][0-9a-f]{2})\\u(d[c-f][0-9a-f]{2})",
                  lambda m: chr(0x10000 + ((int(m[1], 16) - 0xD800) << 10) + int(m[2], 16) - 0xDC00), text)


def directory(pe, name):
    return pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY[name]]


class Headers(unittest.TestCase):
    def setUp(self):
        self.pe = pefile.PE(EXE)
        self.opt = self.pe.OPTIONAL_HEADER

    def test_pe32_plus_for_the_machine(self):
        self.assertEqual(self.opt.Magic, 0x20B)
        self.assertEqual(self.pe.FILE_HEADER.Machine, {"x64": 0x8664, "arm64": 0xAA64}[MACHINE])

    def test_subsystem_and_versions(self):
        self.assertEqual(self.opt.Subsystem, {"windows": 2, "console": 3}[SETTINGS["subsystem"]])
        self.assertEqual((self.opt.MajorSubsystemVersion, self.opt.MinorSubsystemVersion), (6, 0))
        self.assertEqual((self.opt.MajorOperatingSystemVersion, self.opt.MinorOperatingSystemVersion), (6, 0))

    def test_file_characteristics(self):
        c = self.pe.FILE_HEADER.Characteristics
        self.assertTrue(c & 0x0002, "executable image")
        self.assertTrue(c & 0x0020, "large-address aware")
        self.assertFalse(c & 0x0001, "relocations stripped")
        self.assertFalse(c & 0x2000, "a DLL")

    def test_dll_characteristics(self):
        # high-entropy VA, dynamic base, NX compatible, terminal-server aware
        self.assertEqual(self.opt.DllCharacteristics, 0x8160)

    def test_base_relocations_present(self):
        self.assertGreater(directory(self.pe, "IMAGE_DIRECTORY_ENTRY_BASERELOC").Size, 0)
        self.assertTrue(getattr(self.pe, "DIRECTORY_ENTRY_BASERELOC", None))

    def test_stack_and_heap(self):
        self.assertEqual((self.opt.SizeOfStackReserve, self.opt.SizeOfStackCommit), (0x100000, 0x1000))
        self.assertEqual((self.opt.SizeOfHeapReserve, self.opt.SizeOfHeapCommit), (0x100000, 0x1000))

    def test_no_tls_no_delay_loads_no_time_stamp(self):
        self.assertEqual(directory(self.pe, "IMAGE_DIRECTORY_ENTRY_TLS").Size, 0)
        self.assertEqual(directory(self.pe, "IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT").Size, 0)
        self.assertEqual(self.pe.FILE_HEADER.TimeDateStamp, 0)

    def test_nothing_a_rebuild_would_change(self):
        # A debug directory or build-id section holds a link's own identity.
        self.assertEqual(directory(self.pe, "IMAGE_DIRECTORY_ENTRY_DEBUG").Size, 0)
        names = [s.Name.rstrip(b"\0").decode() for s in self.pe.sections]
        self.assertNotIn(".buildid", names)

    def test_buffers_take_no_room_in_the_file(self):
        zero_fill = [s for s in self.pe.sections if s.SizeOfRawData == 0 and s.Misc_VirtualSize >= BUFFERS]
        self.assertTrue(zero_fill, "no zero-fill section holds the buffers")
        self.assertLess(len(self.pe.__data__), BUFFERS)

    def test_imports_by_name_and_nothing_else(self):
        found = {}
        for dll in self.pe.DIRECTORY_ENTRY_IMPORT:
            names = set()
            for imp in dll.imports:
                self.assertFalse(imp.import_by_ordinal, f"{dll.dll.decode()} import by ordinal")
                names.add(imp.name.decode())
            found[dll.dll.decode()] = names
        self.assertEqual(found, expected_imports())


class Resources(unittest.TestCase):
    def setUp(self):
        pe = pefile.PE(EXE)
        self.pe = pe
        self.res = {}  # type -> {id: {language: bytes}}
        for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
            names = self.res.setdefault(rtype.id if rtype.id is not None else str(rtype.name), {})
            for rname in rtype.directory.entries:
                langs = names.setdefault(rname.id if rname.id is not None else str(rname.name), {})
                for lang in rname.directory.entries:
                    s = lang.data.struct
                    langs[lang.id] = pe.get_data(s.OffsetToData, s.Size)

    def test_only_icons_and_the_version_asked_for(self):
        expected = {pefile.RESOURCE_TYPE["RT_ICON"], pefile.RESOURCE_TYPE["RT_GROUP_ICON"]}
        if SETTINGS["version_info"] == "ON":
            expected.add(pefile.RESOURCE_TYPE["RT_VERSION"])
        self.assertEqual(set(self.res), expected)

    def test_version_resource(self):
        if SETTINGS["version_info"] != "ON":
            return
        versions = self.res[pefile.RESOURCE_TYPE["RT_VERSION"]]
        self.assertEqual(list(versions), [1])
        self.assertEqual(list(versions[1]), [LANG_EN_US])
        pe = self.pe
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        fixed = pe.VS_FIXEDFILEINFO[0]
        numbers = [int(n) for n in SETTINGS["version"].split(".")] + [0, 0, 0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS),
                         ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3]))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS),
                         (fixed.FileVersionMS, fixed.FileVersionLS))
        self.assertEqual((fixed.FileOS, fixed.FileType, fixed.FileFlags), (0x40004, 1, 0))
        tables = {}
        translations = []
        for info in pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                for table in info.StringTable:
                    tables[table.LangID] = {k.decode("utf-8"): utf16_pairs(v.decode("utf-8"))
                                            for k, v in table.entries.items()}
            elif info.Key == b"VarFileInfo":
                translations += [v for var in info.Var for v in var.entry.values()]
        self.assertEqual(list(tables), [b"040904B0"])
        self.assertEqual(translations, ["0x0409 0x04b0"])
        name = SETTINGS["name"]
        expected = {"ProductName": SETTINGS["product"], "FileDescription": SETTINGS["description"],
                    "CompanyName": SETTINGS["company"], "LegalCopyright": SETTINGS["copyright"],
                    "FileVersion": SETTINGS["version"], "ProductVersion": SETTINGS["version"],
                    "OriginalFilename": name + ".exe", "InternalName": name}
        self.assertEqual(tables[b"040904B0"], {k: v for k, v in expected.items() if v})

    def test_one_icon_group_of_seven_png_images(self):
        groups = self.res[pefile.RESOURCE_TYPE["RT_GROUP_ICON"]]
        icons = self.res[pefile.RESOURCE_TYPE["RT_ICON"]]
        self.assertEqual(list(groups), [1])
        self.assertEqual(list(groups[1]), [LANG_EN_US])
        self.assertEqual(sorted(icons), list(range(1, 8)))
        for icon_id, langs in icons.items():
            self.assertEqual(list(langs), [LANG_EN_US], f"icon {icon_id}")

        group = groups[1][LANG_EN_US]
        self.assertEqual(struct.unpack_from("<HHH", group), (0, 1, 7))
        self.assertEqual(len(group), 6 + 7 * 14)
        for i, size in enumerate(ICON_SIZES):
            with self.subTest(size=size):
                width, height, colours, reserved, planes, bits, length, icon_id = \
                    struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
                stored = 0 if size == 256 else size
                self.assertEqual((width, height), (stored, stored))
                self.assertEqual((colours, reserved, planes, bits), (0, 0, 1, 32))
                self.assertEqual(icon_id, i + 1)
                image = icons[icon_id][LANG_EN_US]
                self.assertEqual(length, len(image))
                self.assertEqual(image[:8], PNG_SIGNATURE)
                ihdr_length, chunk = struct.unpack_from(">I4s", image, 8)
                self.assertEqual((ihdr_length, chunk), (13, b"IHDR"))
                w, h, depth, colour_type, _, _, interlace = struct.unpack_from(">IIBBBBB", image, 16)
                self.assertEqual((w, h), (size, size))
                self.assertEqual((depth, colour_type, interlace), (8, 6, 0), "8-bit RGBA, not interlaced")

    def test_icon_is_the_one_given(self):
        with open(ICON, "rb") as f:
            ico = f.read()
        _, _, count = struct.unpack_from("<HHH", ico)
        group = self.res[pefile.RESOURCE_TYPE["RT_GROUP_ICON"]][1][LANG_EN_US]
        icons = self.res[pefile.RESOURCE_TYPE["RT_ICON"]]
        self.assertEqual(struct.unpack_from("<H", group, 4)[0], count)
        for i in range(count):
            entry = ico[6 + 16 * i:6 + 16 * i + 16]
            length, offset = struct.unpack_from("<II", entry, 8)
            self.assertEqual(group[6 + 14 * i:6 + 14 * i + 12], entry[:12], f"entry {i + 1}")
            self.assertEqual(icons[i + 1][LANG_EN_US], ico[offset:offset + length], f"image {i + 1}")


class Signature(unittest.TestCase):
    def setUp(self):
        self.pe = pefile.PE(EXE)
        self.table = directory(self.pe, "IMAGE_DIRECTORY_ENTRY_SECURITY")

    def test_certificate_table_is_the_only_addition(self):
        if SIGNED_FROM is None:
            self.assertEqual((self.table.VirtualAddress, self.table.Size), (0, 0), "signed")
            return
        with open(SIGNED_FROM, "rb") as f:
            unsigned = f.read()
        with open(EXE, "rb") as f:
            signed = bytearray(f.read())
        # The table starts 8-byte aligned after the image and runs to the end.
        start = (len(unsigned) + 7) // 8 * 8
        self.assertEqual(self.table.VirtualAddress, start)
        self.assertEqual(start + self.table.Size, len(signed))
        self.assertEqual(bytes(signed[len(unsigned):start]), bytes(start - len(unsigned)))
        length, revision, kind = struct.unpack_from("<IHH", signed, start)
        self.assertEqual((length, revision, kind), (self.table.Size, 0x0200, 0x0002), "one PKCS#7 signature")
        # Apart from the checksum and the table's directory entry, the image
        # is the unsigned one, byte for byte.
        checksum = self.pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
        entry = self.table.get_file_offset()
        for at, size in ((checksum, 4), (entry, 8)):
            signed[at:at + size] = unsigned[at:at + size]
        self.assertTrue(bytes(signed[:len(unsigned)]) == unsigned, "the signed image differs from the unsigned one")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--settings", required=True)
    parser.add_argument("--machine", choices=["x64", "arm64"], default="x64")
    parser.add_argument("--compiler", choices=["GNU", "Clang"], default="GNU")
    parser.add_argument("--signed-from")
    parser.add_argument("exe")
    parser.add_argument("icon")
    args, rest = parser.parse_known_args()
    EXE, ICON, MACHINE, COMPILER, SIGNED_FROM = args.exe, args.icon, args.machine, args.compiler, args.signed_from
    for entry in os.scandir(args.settings):
        with open(entry.path, encoding="utf-8") as f:
            SETTINGS[entry.name] = f.read()
    unittest.main(argv=sys.argv[:1] + rest, verbosity=2)
