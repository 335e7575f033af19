"""scripts/install-deps's choices for the 32-bit programs, with stand-ins for apt-get, dpkg
and the machine (as in can_run_32bit_test): what it installs where 32-bit code runs
natively, where only qemu can run it, where neither; and an archive whose lists could
not all be fetched.

    python3 -m unittest -v install_deps_test.Choices    (from this folder)
    python3 install_deps_test.py                       (the emulated way: it needs a
        kernel that gives a user namespace a binfmt_misc table of its own)
"""
import os
import platform
import sys
import unittest

import can_run_32bit_test as machines
from can_run_32bit_test import REFUSED_I386, RUNS, write

WINE32 = ["wine32:i386", "wine", "gcc-multilib"]
INSTALL = "apt-get install -y --no-install-recommends "
MIRROR_FAULT = ("E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/"
                "main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). "
                "Mirror sync in progress?")
DEBIAN = "http://deb.debian.org/debian"


class Case(machines.Case):
    def machine(self, missing=WINE32, lists_fail=False, uninstallable=(), **settings):
        """A machine on which the packages MISSING are not installed, apt-get update fails
        as a mirror out of step does when LISTS_FAIL, and installing any of UNINSTALLABLE
        fails; the calls made on apt-get and dpkg are logged."""
        machine = super().machine(**settings)
        folder = os.path.dirname(machine.standins)
        machine.log = os.path.join(folder, "calls")
        machine.apt = os.path.join(folder, "apt")
        os.makedirs(os.path.join(machine.apt, "sources.list.d"))
        os.makedirs(os.path.join(machine.apt, "lists"))
        write(os.path.join(machine.apt, "sources.list.d", "debian.sources"),
              "Types: deb\nURIs: %s\nSuites: bookworm\nComponents: main\n" % DEBIAN, 0o644)
        write(os.path.join(machine.apt, "lists", "deb.debian.org_debian_dists_bookworm_InRelease"),
              "Origin: Debian\n", 0o644)
        write(os.path.join(machine.standins, "apt-get"),
              '#!/bin/sh\necho "apt-get $*" >>"%s"\n'
              'case $1 in\n'
              '  update) [ -z "%s" ] || { echo "%s" >&2; exit 100; } ;;\n'
              '  install) for p in "$@"; do case " %s " in *" $p "*)\n'
              '    echo "E: Unable to correct problems, you have held broken packages." >&2\n'
              '    exit 100 ;; esac; done ;;\n'
              'esac\n' % (machine.log, "fail" if lists_fail else "", MIRROR_FAULT,
                          " ".join(uninstallable)))
        write(os.path.join(machine.standins, "dpkg"),
              '#!/bin/sh\ncase $1 in\n'
              '  -s) case " %s " in *" $2 "*) exit 1 ;; esac ;;\n'
              '  --print-foreign-architectures) ;;\n'
              '  *) echo "dpkg $*" >>"%s" ;;\n'
              'esac\n' % (" ".join(missing), machine.log))
        write(os.path.join(machine.standins, "locale"), "#!/bin/sh\necho en_US.utf8\necho ja_JP.utf8\n")
        machine.environment.update(CAMTOOLS_APT_ETC=machine.apt,
                                   CAMTOOLS_APT_LISTS=os.path.join(machine.apt, "lists"))
        return machine

    def install(self, machine):
        run = machine.run("install-deps")
        calls = []
        if os.path.exists(machine.log):
            with open(machine.log) as log:
                calls = log.read().splitlines()
        return run, calls

    def backports(self, machine):
        path = os.path.join(machine.apt, "sources.list.d", "camtools-backports.sources")
        if not os.path.exists(path):
            return None
        with open(path) as entry:
            return entry.read()


class Choices(Case):
    """What needs no binfmt_misc table of a private namespace."""

    def test_where_32bit_code_runs_natively_32bit_wine_comes_without_qemu(self):
        machine = self.machine(probe=RUNS, qemu=None)
        run, calls = self.install(machine)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("32-bit x86 programs: native: a static i386 program runs here\n", run.stdout)
        self.assertEqual(calls, ["dpkg --add-architecture i386", "apt-get update -qq",
                                 INSTALL + " ".join(WINE32)])
        self.assertIsNone(self.backports(machine))

    def test_where_no_way_serves_nothing_32bit_is_installed(self):
        machine = self.machine(probe=REFUSED_I386, qemu=machines.qemu_standin(),
                               mount_fails=True)
        run, calls = self.install(machine)
        self.assertEqual((run.returncode, calls), (0, []), run.stdout + run.stderr)
        self.assertIn("32-bit x86 programs: no: this machine refuses i386 programs", run.stdout)
        self.assertIsNone(self.backports(machine))

    def test_incomplete_lists_that_cannot_give_32bit_wine_are_said_and_the_rest_goes_on(self):
        machine = self.machine(probe=RUNS, lists_fail=True, uninstallable=["wine32:i386"])
        run, calls = self.install(machine)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn(MIRROR_FAULT + "\napt-get update failed (status 100): going on with the "
                      "lists apt has\n", run.stdout)
        self.assertTrue(run.stdout.endswith("32-bit Wine could not be installed, as apt's lists "
                                            "are incomplete (above)\n"), run.stdout)
        self.assertEqual(calls[-1], INSTALL + " ".join(WINE32))

    def test_with_complete_lists_a_failed_install_fails(self):
        machine = self.machine(probe=RUNS, uninstallable=["wine32:i386"])
        run, _ = self.install(machine)
        self.assertNotEqual(run.returncode, 0)
        self.assertNotIn("32-bit Wine could not be installed", run.stdout)


class Emulated(Case):
    """What needs the binfmt_misc table of a private namespace."""

    def test_where_only_qemu_serves_it_comes_from_backports_alone_before_32bit_wine(self):
        machine = self.machine(probe=REFUSED_I386, qemu=None)
        run, calls = self.install(machine)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(calls, ["dpkg --add-architecture i386", "apt-get update -qq",
                                 INSTALL + "qemu-user/bookworm-backports",
                                 INSTALL + " ".join(WINE32)])
        self.assertEqual(self.backports(machine), "Types: deb\nURIs: %s\nSuites: "
                         "bookworm-backports\nComponents: main\n" % DEBIAN)

    def test_a_qemu_that_serves_already_is_not_installed_again(self):
        machine = self.machine(probe=REFUSED_I386, qemu=machines.qemu_standin())
        run, calls = self.install(machine)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(calls[-1], INSTALL + " ".join(WINE32))
        self.assertNotIn("qemu", " ".join(calls))
        self.assertIsNone(self.backports(machine))


if __name__ == "__main__":
    if not machines.private_table():
        print("[no-private-binfmt] not run: a user namespace gets no binfmt_misc table of its "
              "own here (Linux 6.7 and later give one; this is %s)" % platform.release())
        sys.exit(77)
    unittest.main(defaultTest="Emulated", verbosity=2)
