"""scripts/can-run-32bit and scripts/with-32bit, with stand-ins for what differs between
machines: the probe program (one that runs, one the kernel refuses), qemu-i386 (none,
too old, one that cannot start Wine, one that serves), 32-bit Wine and mount. Each
answer is seen whatever this machine itself runs.

    python3 -m unittest -v can_run_32bit_test.Probe    (from this folder)
    python3 can_run_32bit_test.py                      (the emulated way: it needs a
        kernel that gives a user namespace a binfmt_misc table of its own, Linux 6.7 and
        later, and ends with 77 and a tagged line where there is none)
"""
import os
import platform
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")
# What the scripts run, taken from this machine; qemu-i386 is never among them.
TOOLS = ["as", "bash", "cat", "cp", "dirname", "grep", "head", "id", "mktemp", "mount", "mv",
         "rm", "sed", "sh", "sort", "tail", "tee", "timeout", "uname", "unshare"]
# A file that matches qemu's pattern for i386 programs and that no kernel loads.
REFUSED_I386 = (b"\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00"
                + bytes(64))
RUNS = b"#!/bin/sh\nexit 42\n"
REFUSED = "this machine refuses i386 programs (Exec format error, status 126)"
WINE_NEEDS = "scripts/install-deps installs it"


def write(path, content, mode=0o755):
    with open(path, "wb" if isinstance(content, bytes) else "w") as file:
        file.write(content)
    os.chmod(path, mode)


def qemu_standin(version="10.0.2", wine="echo 'wine-8.0 (stand-in)'"):
    """A qemu-i386 that says VERSION, ends the probe with 42 and runs WINE for Wine."""
    return ("#!/bin/sh\ncase \"$1\" in\n"
            "  --version) echo 'qemu-i386 version %s (stand-in)' ;;\n"
            "  */exit42) exit 42 ;;\n"
            "  */wine) %s ;;\n"
            "  *) echo \"stand-in qemu: $*\"; exit 1 ;;\n"
            "esac\n" % (version, wine))


class Machine:
    """A PATH of this machine's tools, with stand-ins in front of them."""

    def __init__(self, folder, probe, qemu=None, wine=True, mount_fails=False):
        self.standins = os.path.join(folder, "standins")
        tools = os.path.join(folder, "tools")
        os.mkdir(self.standins)
        os.mkdir(tools)
        for tool in TOOLS:
            os.symlink(shutil.which(tool), os.path.join(tools, tool))
        os.symlink(sys.executable, os.path.join(tools, "python3"))
        # ld makes the probe program: here, the one this machine is to have.
        write(os.path.join(folder, "probe"), probe)
        write(os.path.join(self.standins, "ld"),
              '#!/bin/sh\nwhile [ $# -gt 1 ]; do [ "$1" = -o ] && out=$2; shift; done\n'
              'cp "%s" "$out"\n' % os.path.join(folder, "probe"))
        if qemu is not None:
            write(os.path.join(self.standins, "qemu-i386"), qemu)
        if mount_fails:
            write(os.path.join(self.standins, "mount"),
                  "#!/bin/sh\necho 'mount: permission denied' >&2\nexit 32\n")
        self.wine = os.path.join(folder, "wine")
        if wine:
            write(self.wine, REFUSED_I386)
        self.environment = dict(os.environ, PATH=self.standins + ":" + tools,
                                CAMTOOLS_WINE32=self.wine)
        for name in ("CAMTOOLS_32BIT", "CAMTOOLS_32BIT_WAYS", "CAMTOOLS_QEMU_I386"):
            self.environment.pop(name, None)

    def run(self, script, *arguments):
        return subprocess.run(["/bin/bash", os.path.join(SCRIPTS, script)] + list(arguments),
                              env=self.environment, capture_output=True, text=True,
                              timeout=120)

    @property
    def qemu(self):
        return os.path.join(self.standins, "qemu-i386")


class Case(unittest.TestCase):
    def machine(self, **settings):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        return Machine(folder.name, **settings)

    def assertAnswer(self, run, line, status):
        self.assertEqual((run.stdout, run.returncode), (line + "\n", status), run.stderr)


class Probe(Case):
    """The answers that need no binfmt_misc table of a private namespace."""

    def test_a_machine_that_runs_i386_programs_answers_native(self):
        machine = self.machine(probe=RUNS)
        self.assertAnswer(machine.run("can-run-32bit"),
                          "native: a static i386 program runs here", 0)

    def test_native_without_32bit_wine_answers_no_unless_wine_is_not_asked_for(self):
        machine = self.machine(probe=RUNS, wine=False)
        self.assertAnswer(machine.run("can-run-32bit"),
                          "no: a static i386 program runs here, but 32-bit Wine (%s) is not "
                          "installed (%s)" % (machine.wine, WINE_NEEDS), 1)
        self.assertAnswer(machine.run("can-run-32bit", "--without-wine"),
                          "native: a static i386 program runs here", 0)

    def test_refused_with_no_qemu_on_the_path_answers_no(self):
        machine = self.machine(probe=REFUSED_I386)
        self.assertAnswer(machine.run("can-run-32bit"),
                          "no: %s, and qemu-i386 cannot stand in: no qemu-i386 is installed "
                          "(scripts/install-deps installs one)" % REFUSED, 1)

    def test_a_qemu_older_than_the_one_that_serves_is_not_taken(self):
        machine = self.machine(probe=REFUSED_I386, qemu=qemu_standin(version="7.2.0"))
        self.assertAnswer(machine.run("can-run-32bit"),
                          "no: %s, and qemu-i386 cannot stand in: %s is version 7.2.0, older "
                          "than 10.0, which 32-bit Wine needs" % (REFUSED, machine.qemu), 1)

    def test_a_private_binfmt_misc_that_cannot_be_mounted_answers_no(self):
        machine = self.machine(probe=REFUSED_I386, qemu=qemu_standin(), mount_fails=True)
        self.assertAnswer(machine.run("can-run-32bit"),
                          "no: %s, and qemu-i386 cannot stand in: binfmt_misc cannot be mounted "
                          "in a private namespace (Linux 6.7 and later allow it; this is %s)"
                          % (REFUSED, platform.release()), 1)

    def test_a_way_it_does_not_know_is_refused(self):
        machine = self.machine(probe=RUNS)
        machine.environment["CAMTOOLS_32BIT_WAYS"] = "wsl"
        self.assertAnswer(machine.run("can-run-32bit"),
                          "no: CAMTOOLS_32BIT_WAYS names an unknown way, wsl", 1)

    def test_with_32bit_runs_a_command_as_it_is_where_i386_programs_run(self):
        machine = self.machine(probe=RUNS)
        run = machine.run("with-32bit", "sh", "-c", 'echo "$CAMTOOLS_32BIT"; exit 5')
        self.assertEqual((run.stdout, run.returncode), ("native\n", 5))

    def test_with_32bit_skips_with_the_tag_where_no_way_serves(self):
        machine = self.machine(probe=REFUSED_I386)
        run = machine.run("with-32bit", "sh", "-c", "echo ran")
        self.assertAnswer(run, "[no-32-bit] not run: %s, and qemu-i386 cannot stand in: no "
                          "qemu-i386 is installed (scripts/install-deps installs one)" % REFUSED,
                          77)


class Emulated(Case):
    """The answers that need the binfmt_misc table of a private namespace."""

    def test_a_qemu_that_serves_answers_qemu(self):
        machine = self.machine(probe=REFUSED_I386, qemu=qemu_standin())
        self.assertAnswer(machine.run("can-run-32bit"), "qemu: %s; qemu-i386 10.0.2 runs them "
                          "in a private namespace" % REFUSED, 0)

    def test_a_qemu_that_registers_but_cannot_start_wine_answers_no(self):
        cannot = "echo 'qemu-i386: Could not open /lib/ld-linux.so.2'; exit 1"
        machine = self.machine(probe=REFUSED_I386, qemu=qemu_standin(wine=cannot))
        self.assertAnswer(machine.run("can-run-32bit"),
                          "no: %s, and qemu-i386 cannot stand in: %s registers but does not "
                          "start 32-bit Wine (it said: qemu-i386: Could not open "
                          "/lib/ld-linux.so.2)" % (REFUSED, machine.qemu), 1)

    def test_the_native_way_can_be_left_out(self):
        machine = self.machine(probe=RUNS, qemu=qemu_standin())
        machine.environment["CAMTOOLS_32BIT_WAYS"] = "qemu"
        self.assertAnswer(machine.run("can-run-32bit"), "qemu: native not tried; qemu-i386 "
                          "10.0.2 runs them in a private namespace", 0)

    def test_with_32bit_runs_i386_programs_through_qemu_in_a_namespace_of_its_own(self):
        machine = self.machine(probe=REFUSED_I386, qemu=qemu_standin())
        table = "/proc/sys/fs/binfmt_misc/camtools-i386"
        run = machine.run("with-32bit", "sh", "-c",
                          'echo "$CAMTOOLS_32BIT"; sed -n 2p %s; "$0"; echo "status $?"' % table,
                          machine.wine)
        self.assertEqual(run.stdout.splitlines(), [
            "qemu", "interpreter " + machine.qemu, "wine-8.0 (stand-in)", "status 0"],
            run.stderr)
        # The machine's own table is never written.
        self.assertFalse(os.path.exists(table))


def private_table():
    """Whether a user namespace can have a binfmt_misc table of its own here."""
    return subprocess.run(["unshare", "--user", "--map-root-user", "--mount", "/bin/sh", "-c",
                           "mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc"],
                          capture_output=True).returncode == 0


if __name__ == "__main__":
    if not private_table():
        print("[no-private-binfmt] not run: a user namespace gets no binfmt_misc table of its "
              "own here (Linux 6.7 and later give one; this is %s)" % platform.release())
        sys.exit(77)
    unittest.main(defaultTest="Emulated", verbosity=2)
