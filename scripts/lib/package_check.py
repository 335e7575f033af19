"""Checks an unpacked release package for what its reader relies on; the first fault found
stops the check with a line that names it.

    package_check.py FOLDER FILE...
    package_check.py --programs PROGRAM...   (the programs' checks alone, on a build)

FILE: what the package holds besides its sums, the programs (.exe) among them.
scripts/lib/package.sh names them, and the sums, the bill and the guide in the
environment.

- it holds exactly those files and the sums;
- the sums name each of the files once, and every sum verifies;
- the bill of materials, read as JSON, gives each program's SHA-256 under that
  program's own component;
- the guide starts with a UTF-8 byte order mark, by which Notepad knows its encoding,
  every line of it ends in CR LF, the last one too, and it names the oldest Windows
  the programs run on, the one the checks below hold them to;
- each program is a 32-bit (PE32) x86 program, a console program but for those
  $package_graphical_programs names, with ASLR (dynamic base, its relocations
  kept) and DEP (NX compatible), as the build makes them: a program linked otherwise
  is easier to attack;
- each runs on every Windows from the oldest the package supports (FLOOR) on: its
  header says that Windows's version, and it imports only from DLLs that Windows
  itself loads from its own folder whatever lies beside the program (the KnownDLLs of
  every Windows it runs on), and only functions that windows_imports.txt lists with a
  Windows no newer than the floor. A DLL of another name beside the program would
  run inside it, and a newer function stops the program on an older Windows before
  its first line, with a box about a missing entry point.
"""
import hashlib
import json
import os
import struct
import sys

# The Windows releases, oldest first, by the names windows_imports.txt gives them.
WINDOWS = ["2000", "XP", "Vista", "7", "8", "8.1", "10"]
# The oldest Windows the package runs on (Windows 7 with Service Pack 1; its functions
# are those of Windows 7), as docs/guide.txt says, and its version as a PE header gives it.
FLOOR, FLOOR_NAME, FLOOR_VERSION = "7", "Windows 7 SP1", (6, 1)
# The KnownDLLs that Windows 7, 10 and 11 share: Windows loads these from its own folder
# alone. The programs are linked statically otherwise.
KNOWN_DLLS = {name + ".dll" for name in (
    "kernel32", "user32", "gdi32", "advapi32", "comdlg32", "shell32", "shlwapi", "ole32",
    "oleaut32", "msvcrt", "imm32", "ws2_32")}
IMPORT_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "windows_imports.txt")

MACHINE_I386 = 0x14C
PE32 = 0x10B
GRAPHICAL, CONSOLE = 2, 3  # Windows' subsystems
RELOCS_STRIPPED = 0x0001
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
IMPORTS, BASE_RELOCATIONS = 1, 5  # data directory indexes


# The package's own files, as scripts/lib/package.sh names them.
SUMS, BILL, GUIDE = (os.environ[name] for name in ("package_sums", "package_bill", "package_guide"))


class Fault(Exception):
    pass


def read(folder, name):
    with open(os.path.join(folder, name), "rb") as file:
        return file.read()


def check_files(folder, summed):
    held = sorted(os.path.relpath(os.path.join(root, name), folder)
                  for root, _, names in os.walk(folder) for name in names)
    files = sorted(summed + [SUMS])
    if held != files:
        raise Fault("the package holds %s; it should hold %s" % (" ".join(held), " ".join(files)))


def check_sums(folder, summed):
    listed = {}
    for line in read(folder, SUMS).decode().splitlines():
        digest, _, name = line.partition("  ")
        if name in listed:
            raise Fault("%s names %s twice" % (SUMS, name))
        listed[name] = digest
    if sorted(listed) != sorted(summed):
        raise Fault("%s names %s; it should name %s" % (
            SUMS, " ".join(sorted(listed)), " ".join(sorted(summed))))
    for name, digest in sorted(listed.items()):
        if hashlib.sha256(read(folder, name)).hexdigest() != digest:
            raise Fault("%s: %s does not verify" % (SUMS, name))


def check_bill(folder, programs):
    try:
        bill = json.loads(read(folder, BILL))
    except ValueError as why:
        raise Fault("the bill of materials is no JSON: %s" % why)
    components = {c.get("name"): c for c in bill.get("components", [])}
    for name in programs:
        hashes = components.get(name, {}).get("hashes", [])
        given = [h.get("content") for h in hashes if h.get("alg") == "SHA-256"]
        if given != [hashlib.sha256(read(folder, name)).hexdigest()]:
            raise Fault("the bill of materials does not give %s's SHA-256 under %s" % (name, name))


def check_guide(folder):
    text = read(folder, GUIDE)
    if not text.startswith(b"\xef\xbb\xbf"):
        raise Fault("%s: no UTF-8 byte order mark at its start" % GUIDE)
    lines = text.split(b"\r\n")
    if lines[-1] != b"":
        raise Fault("%s: its last line does not end in CR LF" % GUIDE)
    for number, line in enumerate(lines[:-1], 1):
        if b"\n" in line or b"\r" in line:
            raise Fault("%s: line %d does not end in CR LF" % (GUIDE, number))
    if ("run on %s" % FLOOR_NAME).encode() not in text:
        raise Fault("%s: does not say the programs run on %s, the oldest Windows they are "
                    "checked for" % (GUIDE, FLOOR_NAME))


class Program:
    """What a PE file's headers say, as far as the checks need it."""

    def __init__(self, name, data):
        self.name, self.data = name, data
        if data[:2] != b"MZ":
            raise Fault("%s: no Windows program" % name)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise Fault("%s: no PE header" % name)
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        if self.magic != PE32:
            return
        self.os_version = struct.unpack_from("<HH", data, optional + 40)
        self.subsystem_version = struct.unpack_from("<HH", data, optional + 48)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        count = struct.unpack_from("<I", data, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i)
                            for i in range(count)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8sIIII", data, table + 40 * i)
                         for i in range(sections)]

    def offset(self, rva):
        for _, size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise Fault("%s: an address outside its sections" % self.name)

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode()

    def imports(self):
        """Each DLL imported (in lower case) with the functions taken from it: a name, or
        #N for one taken by its ordinal."""
        imported = []
        rva, _ = self.directory(IMPORTS)
        at = self.offset(rva) if rva else None
        while at is not None:
            lookups, _, _, name, addresses = struct.unpack_from("<IIIII", self.data, at)
            if not (lookups or name or addresses):
                break
            functions = []
            entry = self.offset(lookups or addresses)
            while True:
                value = struct.unpack_from("<I", self.data, entry)[0]
                if value == 0:
                    break
                # A PE32 lookup entry: an ordinal when its top bit is set, else the address
                # of a hint (two bytes) and the function's name.
                functions.append("#%d" % (value & 0xFFFF) if value & 0x80000000
                                 else self.text(value + 2))
                entry += 4
            imported.append((self.text(name).lower(), functions))
            at += 20
        return imported


def import_list(path=IMPORT_LIST):
    """windows_imports.txt: each function the programs may import, by DLL, with the
    oldest Windows that has it."""
    listed = {}
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            fields = line.split("#", 1)[0].split()
            if not fields:
                continue
            if len(fields) != 3 or fields[2] not in WINDOWS:
                raise Fault("%s:%d: not DLL FUNCTION WINDOWS (one of %s): %s" % (
                    os.path.basename(path), number, " ".join(WINDOWS), line.strip()))
            listed[(fields[0].lower(), fields[1])] = fields[2]
    return listed


def check_floor(program, listed):
    """The program runs on the floor's Windows: its header says so, and it imports nothing
    that Windows lacks or that could be loaded from beside the program."""
    for field, version in (("operating system", program.os_version),
                           ("subsystem", program.subsystem_version)):
        if version != FLOOR_VERSION:
            raise Fault("%s: its header's %s version is %d.%d, not %d.%d (%s)" % (
                (program.name, field) + version + FLOOR_VERSION + (FLOOR_NAME,)))
    for dll, functions in program.imports():
        if dll.startswith("api-ms-win-"):
            raise Fault("%s: imports %s, an API set of newer Windows: each Windows has only "
                        "its own sets" % (program.name, dll))
        if dll not in KNOWN_DLLS:
            raise Fault("%s: imports %s, which is not one of the KnownDLLs of every Windows it "
                        "runs on, so a DLL of that name beside it would be loaded instead" % (
                            program.name, dll))
        for function in functions:
            oldest = listed.get((dll, function))
            if oldest is None:
                raise Fault("%s: imports %s from %s, which %s does not list: add it with the "
                            "oldest Windows that has it, as Microsoft's documentation says" % (
                                program.name, function, dll, os.path.basename(IMPORT_LIST)))
            if WINDOWS.index(oldest) > WINDOWS.index(FLOOR):
                raise Fault("%s: imports %s from %s, which only Windows %s and later have; "
                            "the package runs on %s" % (
                                program.name, function, dll, oldest, FLOOR_NAME))


def check_program(folder, name):
    program = Program(name, read(folder, name))
    if program.machine != MACHINE_I386 or program.magic != PE32:
        raise Fault("%s: not a 32-bit x86 program (PE32)" % name)
    graphical = os.path.basename(name) in os.environ["package_graphical_programs"].split()
    if program.subsystem != (GRAPHICAL if graphical else CONSOLE):
        raise Fault("%s: not a %s program" % (name, "graphical" if graphical else "console"))
    if not program.dll_characteristics & DYNAMIC_BASE:
        raise Fault("%s: not linked with a dynamic base (no ASLR)" % name)
    if program.characteristics & RELOCS_STRIPPED or program.directory(BASE_RELOCATIONS)[1] == 0:
        raise Fault("%s: its relocations are stripped (no ASLR)" % name)
    if not program.dll_characteristics & NX_COMPAT:
        raise Fault("%s: not marked NX compatible (no DEP)" % name)
    check_floor(program, import_list())


def main(folder, summed):
    programs = [name for name in summed if name.endswith(".exe")]
    try:
        check_files(folder, summed)
        check_sums(folder, summed)
        check_bill(folder, programs)
        check_guide(folder)
        for name in programs:
            check_program(folder, name)
    except Fault as fault:
        print(fault)
        return 1
    print("files, sums, the bill's hashes, the guide's line ends and the programs' headers: "
          "as they should be")
    return 0


def main_programs(paths):
    try:
        for path in paths:
            check_program(os.path.dirname(path), os.path.basename(path))
    except Fault as fault:
        print(fault)
        return 1
    print("the programs' headers: as they should be")
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "--programs":
        sys.exit(main_programs(sys.argv[2:]))
    sys.exit(main(sys.argv[1], sys.argv[2:]))
