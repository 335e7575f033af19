"""scripts/lib/package_check.py --programs on small programs made here, byte by byte, as
the linker lays them out: what they import and the Windows their header names decide
whether a user's Windows runs them, and a line names each fault.

    python3 -m unittest package_check_test     (from this folder)
"""
import hashlib
import json
import os
import struct
import subprocess
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "lib", "package_check.py")
# What scripts/lib/package.sh gives the checks.
ENVIRONMENT = {"package_graphical_programs": "QuelvarWin.exe", "package_sums": "SHA256SUMS",
               "package_bill": "camtools.cdx.json", "package_guide": "GUIDE.txt"}

SECTION_RVA, SECTION_FILE = 0x1000, 0x200


def import_section(imports):
    """The import directory of IMPORTS [(dll, [function name or ordinal])], laid out from
    SECTION_RVA: the descriptors, each DLL's lookup table, then the names."""
    descriptors = 20 * (len(imports) + 1)
    tables = sum(4 * (len(functions) + 1) for _, functions in imports)
    names = bytearray()

    def name_at(text, hint=False):
        at = SECTION_RVA + descriptors + tables + len(names)
        names.extend((b"\0\0" if hint else b"") + text.encode() + b"\0")
        return at

    section, lookups = bytearray(), bytearray()
    for dll, functions in imports:
        table = SECTION_RVA + descriptors + len(lookups)
        for function in functions:
            lookups += struct.pack("<I", 0x80000000 | function if isinstance(function, int)
                                   else name_at(function, hint=True))
        lookups += struct.pack("<I", 0)
        section += struct.pack("<IIIII", table, 0, 0, name_at(dll), table)
    return bytes(section + bytes(20) + lookups + names)


def program(imports, os_version=(6, 1), subsystem_version=(6, 1)):
    """A PE32 console program for x86 with ASLR, DEP and relocations, as the build makes
    the camera tools, with IMPORTS and the header's versions given."""
    section = import_section(imports)
    raw_size = (len(section) + 0x1FF) & ~0x1FF
    optional = bytearray(224)
    struct.pack_into("<H", optional, 0, 0x10B)  # PE32
    struct.pack_into("<HH", optional, 40, *os_version)
    struct.pack_into("<HH", optional, 48, *subsystem_version)
    struct.pack_into("<HH", optional, 68, 3, 0x0140)  # console; dynamic base, NX compatible
    struct.pack_into("<I", optional, 92, 16)
    struct.pack_into("<II", optional, 96 + 8 * 1, SECTION_RVA, len(section))  # imports
    struct.pack_into("<II", optional, 96 + 8 * 5, SECTION_RVA, 8)  # base relocations
    headers = bytearray(b"MZ" + bytes(0x3A) + struct.pack("<I", 0x40))
    headers += b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, len(optional), 0x0102)
    headers += optional
    headers += struct.pack("<8sIIIIIIHHI", b".idata", len(section), SECTION_RVA, raw_size,
                           SECTION_FILE, 0, 0, 0, 0, 0xC0000040)
    return bytes(headers.ljust(SECTION_FILE, b"\0")) + section.ljust(raw_size, b"\0")


# What a camera tool imports today, in part: functions of Windows XP and Vista.
TODAYS = [("kernel32.dll", ["CreateFileW", "GetTickCount64", "FlsAlloc"]),
          ("msvcrt.dll", ["printf"]), ("ole32.dll", ["CoCreateInstance"])]


class Floor(unittest.TestCase):
    def check(self, data):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "capture.exe")
            with open(path, "wb") as file:
                file.write(data)
            done = subprocess.run(["/usr/bin/python3", SCRIPT, "--programs", path],
                                  env=dict(os.environ, **ENVIRONMENT), capture_output=True,
                                  text=True)
        self.assertEqual(done.stderr, "")
        return done.returncode, done.stdout

    def test_a_program_of_listed_functions_no_newer_than_windows_7_passes(self):
        self.assertEqual(self.check(program(TODAYS)),
                         (0, "the programs' headers: as they should be\n"))

    def test_each_fault_is_refused_and_named(self):
        cases = {
            "a function of Windows 8": (
                program(TODAYS + [("kernel32.dll", ["GetSystemTimePreciseAsFileTime"])]),
                "capture.exe: imports GetSystemTimePreciseAsFileTime from kernel32.dll, which "
                "only Windows 8 and later have; the package runs on Windows 7 SP1"),
            "a function nobody listed": (
                program([("kernel32.dll", ["CreateFileW", "NoSuchFunction"])]),
                "capture.exe: imports NoSuchFunction from kernel32.dll, which "
                "windows_imports.txt does not list: add it with the oldest Windows that has "
                "it, as Microsoft's documentation says"),
            "a function by its ordinal": (
                program([("kernel32.dll", [5])]),
                "capture.exe: imports #5 from kernel32.dll, which windows_imports.txt does not "
                "list: add it with the oldest Windows that has it, as Microsoft's "
                "documentation says"),
            "a DLL that could lie beside the program": (
                program(TODAYS + [("COMCTL32.dll", ["InitCommonControls"])]),
                "capture.exe: imports comctl32.dll, which is not one of the KnownDLLs of "
                "every Windows it runs on, so a DLL of that name beside it would be loaded "
                "instead"),
            "an API set": (
                program([("api-ms-win-core-synch-l1-2-0.dll", ["WaitOnAddress"])]),
                "capture.exe: imports api-ms-win-core-synch-l1-2-0.dll, an API set of newer "
                "Windows: each Windows has only its own sets"),
            "the linker's default operating system version": (
                program(TODAYS, os_version=(4, 0)),
                "capture.exe: its header's operating system version is 4.0, not 6.1 "
                "(Windows 7 SP1)"),
            "a subsystem version of Windows 8": (
                program(TODAYS, subsystem_version=(6, 2)),
                "capture.exe: its header's subsystem version is 6.2, not 6.1 (Windows 7 SP1)"),
        }
        for case, (data, line) in cases.items():
            with self.subTest(case):
                self.assertEqual(self.check(data), (1, line + "\n"))


class Guide(unittest.TestCase):
    """A whole package, its guide saying or not saying the Windows the programs run on."""

    def check(self, guide):
        files = {"capture.exe": program(TODAYS), "GUIDE.txt": b"\xef\xbb\xbf" + guide}
        digest = {name: hashlib.sha256(data).hexdigest() for name, data in files.items()}
        files["camtools.cdx.json"] = json.dumps({"components": [{
            "name": "capture.exe",
            "hashes": [{"alg": "SHA-256", "content": digest["capture.exe"]}]}]}).encode()
        files["SHA256SUMS"] = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)
                                      for name, data in sorted(files.items())).encode()
        with tempfile.TemporaryDirectory() as folder:
            for name, data in files.items():
                with open(os.path.join(folder, name), "wb") as file:
                    file.write(data)
            done = subprocess.run(
                ["/usr/bin/python3", SCRIPT, folder, "capture.exe", "GUIDE.txt",
                 "camtools.cdx.json"], env=dict(os.environ, **ENVIRONMENT), capture_output=True,
                text=True)
        return done.returncode, done.stdout

    def test_the_guide_must_name_the_oldest_windows_the_checks_hold_the_programs_to(self):
        self.assertEqual(
            self.check(b"They\r\nrun on Windows 7 SP1 to Windows 11.\r\n"),
            (0, "files, sums, the bill's hashes, the guide's line ends and the programs' "
                "headers: as they should be\n"))
        self.assertEqual(
            self.check(b"They run on Windows XP to Windows 11.\r\n"),
            (1, "GUIDE.txt: does not say the programs run on Windows 7 SP1, the oldest Windows "
                "they are checked for\n"))


if __name__ == "__main__":
    unittest.main()
