"""scripts/enable-sources on apt folders laid out as Debian 12 machines have them: as
Debian's installer leaves it (one-line sources.list), as container images have it
(deb822 debian.sources), both, with source entries already, and after a run that was cut
short. Each folder is the test's own; the machine's /etc/apt is only read by apt itself.

    python3 -m unittest enable_sources_test     (from this folder)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "enable-sources")
DEBIAN_SOURCES = os.path.join(os.path.dirname(SCRIPT), "lib", "debian_sources.py")
BACKPORTS = "sources.list.d/camtools-backports.sources"
OWN = "sources.list.d/debian-sources.sources"
KEYRING = "/usr/share/keyrings/debian-archive-keyring.gpg"

# What Debian 12's installer writes when a network mirror is chosen and source entries
# are not: the installation medium's entry stays, commented out.
INSTALLER_LIST = """\
#deb cdrom:[Debian GNU/Linux 12.8.0 _Bookworm_ - Official amd64 NETINST with firmware]/ bookworm main

deb http://deb.debian.org/debian/ bookworm main non-free-firmware
#deb-src http://deb.debian.org/debian/ bookworm main non-free-firmware

deb http://security.debian.org/debian-security bookworm-security main non-free-firmware

# bookworm-updates, to get updates before a point release is made;
deb http://deb.debian.org/debian/ bookworm-updates main non-free-firmware
"""

# What Debian's container image has.
CONTAINER_SOURCES = """\
Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: %s

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: %s
""" % (KEYRING, KEYRING)

# Other vendors' archives, which have no source index to ask for.
OTHER_VENDORS = {
    "sources.list.d/nodesource.sources":
        "Types: deb\nURIs: https://deb.nodesource.com/node_20.x\nSuites: nodistro\n"
        "Components: main\n",
    "sources.list.d/mongodb.list":
        "deb [ signed-by=/usr/share/keyrings/mongodb.gpg ] https://repo.mongodb.org/apt/debian "
        "bookworm/mongodb-org/7.0 main\n",
}


# Docker's and Microsoft's archives as their install guides list them: "debian" and the
# release are in their addresses, yet they serve no Debian source index.
DOCKER = ("deb [arch=amd64 signed-by=/etc/apt/keyrings/docker.gpg] "
          "https://download.docker.com/linux/debian bookworm stable\n")
MICROSOFT = ("deb [arch=amd64,arm64,armhf signed-by=/usr/share/keyrings/microsoft-prod.gpg] "
             "https://packages.microsoft.com/debian/12/prod bookworm main\n")
# What apt-get update keeps of each archive's Release file, as (address, suite, Origin).
FETCHED = [(uri, suite, "Debian") for uri in ("http://deb.debian.org/debian",
                                              "http://security.debian.org/debian-security",
                                              "http://deb.debian.org/debian-security")
           for suite in ("bookworm", "bookworm-updates", "bookworm-security")]
FETCHED += [("https://download.docker.com/linux/debian", "bookworm", "Docker"),
            ("https://packages.microsoft.com/debian/12/prod", "bookworm",
             "microsoft-debian-bookworm-prod bookworm")]


def stanza(uri, suite, components, signed_by=None):
    text = "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n" % (uri, suite, components)
    return text + ("Signed-By: %s\n" % signed_by if signed_by else "")


INSTALLER_WANTED = "\n".join([
    stanza("http://deb.debian.org/debian", "bookworm", "main non-free-firmware"),
    stanza("http://security.debian.org/debian-security", "bookworm-security",
           "main non-free-firmware"),
    stanza("http://deb.debian.org/debian", "bookworm-updates", "main non-free-firmware"),
])
CONTAINER_WANTED = "\n".join([
    stanza("http://deb.debian.org/debian", "bookworm", "main", KEYRING),
    stanza("http://deb.debian.org/debian", "bookworm-updates", "main", KEYRING),
    stanza("http://deb.debian.org/debian-security", "bookworm-security", "main", KEYRING),
])


class AptFolder(unittest.TestCase):
    """An apt folder of the test's own, and the script run on it."""

    def setUp(self):
        self.apt = tempfile.mkdtemp(prefix="camtools-apt-")
        os.makedirs(os.path.join(self.apt, "sources.list.d"))
        os.makedirs(os.path.join(self.apt, "lists"))
        self.addCleanup(shutil.rmtree, self.apt)
        self.fetched(FETCHED)

    def fetched(self, records):
        """apt's records of these archives' Release files, named as apt names them."""
        for uri, suite, origin in records:
            name = (uri.split("://", 1)[1] + "/dists/" + suite + "/InRelease").replace("/", "_")
            with open(os.path.join(self.apt, "lists", name), "w") as file:
                file.write("-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA512\n\n"
                           "Origin: %s\nSuite: %s\n" % (origin, suite))

    def put(self, files):
        for name, text in files.items():
            with open(os.path.join(self.apt, name), "w") as file:
                file.write(text)

    def enable(self):
        return subprocess.run(["bash", SCRIPT, self.apt], capture_output=True, text=True)

    def own_file(self):
        path = os.path.join(self.apt, OWN)
        if not os.path.exists(path):
            return None
        with open(path) as file:
            return file.read()


class EnableSources(AptFolder):
    def source_indexes(self):
        """The source indexes apt itself would fetch for the folder (nothing is fetched)."""
        state = tempfile.mkdtemp(prefix="camtools-apt-state-")
        self.addCleanup(shutil.rmtree, state)
        for folder in ("lists/partial", "cache/archives/partial"):
            os.makedirs(os.path.join(state, folder))
        run = subprocess.run(
            ["apt-get", "-o", "Dir::Etc=" + self.apt, "-o", "Dir::State::Lists=" + state + "/lists",
             "-o", "Dir::Cache=" + state + "/cache", "update", "--print-uris"],
            capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        return sorted(line.split("'")[1] for line in run.stdout.splitlines()
                      if "/source/Sources" in line)

    def test_the_installers_one_line_list_gets_its_source_entries(self):
        self.put({"sources.list": INSTALLER_LIST})
        run = self.enable()
        self.assertEqual((run.returncode, run.stdout), (0, ""))
        self.assertEqual(self.own_file(), INSTALLER_WANTED)
        self.assertEqual(self.source_indexes(), [
            "http://deb.debian.org/debian/dists/bookworm-updates/main/source/Sources.xz",
            "http://deb.debian.org/debian/dists/bookworm-updates/non-free-firmware/source/Sources.xz",
            "http://deb.debian.org/debian/dists/bookworm/main/source/Sources.xz",
            "http://deb.debian.org/debian/dists/bookworm/non-free-firmware/source/Sources.xz",
            "http://security.debian.org/debian-security/dists/bookworm-security/main/source/Sources.xz",
            "http://security.debian.org/debian-security/dists/bookworm-security/non-free-firmware/"
            "source/Sources.xz",
        ])

    def test_a_containers_deb822_file_gets_them_with_its_keyring(self):
        self.put({"sources.list.d/debian.sources": CONTAINER_SOURCES})
        self.assertEqual(self.enable().returncode, 0)
        self.assertEqual(self.own_file(), CONTAINER_WANTED)
        self.assertIn("http://deb.debian.org/debian/dists/bookworm/main/source/Sources.xz",
                      self.source_indexes())

    def test_both_forms_of_one_archive_give_one_entry_per_suite(self):
        self.put({"sources.list": "deb http://deb.debian.org/debian bookworm main\n",
                  "sources.list.d/debian.sources": CONTAINER_SOURCES})
        self.assertEqual(self.enable().returncode, 0)
        self.assertEqual(self.own_file(), "\n".join([
            stanza("http://deb.debian.org/debian", "bookworm", "main"),
            stanza("http://deb.debian.org/debian", "bookworm-updates", "main", KEYRING),
            stanza("http://deb.debian.org/debian-security", "bookworm-security", "main", KEYRING),
        ]))

    def test_other_vendors_archives_get_none(self):
        self.put(dict(OTHER_VENDORS, **{"sources.list.d/debian.sources": CONTAINER_SOURCES}))
        self.assertEqual(self.enable().returncode, 0)
        self.assertEqual(self.own_file(), CONTAINER_WANTED)

    def test_docker_and_microsoft_beside_debian_get_none(self):
        self.put({"sources.list.d/debian.sources": CONTAINER_SOURCES,
                  "sources.list.d/docker.list": DOCKER, "sources.list.d/microsoft-prod.list":
                  MICROSOFT})
        self.assertEqual(self.enable().returncode, 0)
        self.assertEqual(self.own_file(), CONTAINER_WANTED)

    def test_a_debian_mirror_under_any_name_gets_its_source_entry(self):
        mirror = "http://ftp.uni-example.de/pub/linux/debian"
        self.put({"sources.list": "deb %s bookworm main\n" % mirror})
        self.fetched([(mirror, "bookworm", "Debian")])
        self.assertEqual(self.enable().returncode, 0)
        self.assertEqual(self.own_file(), stanza(mirror, "bookworm", "main"))

    def test_an_archive_apt_has_no_record_of_yet_gets_none_and_is_named(self):
        self.put({"sources.list": INSTALLER_LIST})
        os.remove(os.path.join(self.apt, "lists",
                               "security.debian.org_debian-security_dists_bookworm-security_InRelease"))
        run = self.enable()
        self.assertEqual(run.returncode, 0)
        self.assertEqual(self.own_file(), "\n".join(
            [stanza("http://deb.debian.org/debian", "bookworm", "main non-free-firmware"),
             stanza("http://deb.debian.org/debian", "bookworm-updates", "main non-free-firmware")]))
        self.assertEqual(run.stderr, "apt has no Release file of http://security.debian.org/"
                         "debian-security bookworm-security yet (apt-get update fetches it): it "
                         "gets no entry\n")

    def test_source_entries_already_there_are_enough(self):
        listed = INSTALLER_LIST.replace("#deb-src", "deb-src")
        listed += ("deb-src http://security.debian.org/debian-security bookworm-security main "
                   "non-free-firmware\n"
                   "deb-src http://deb.debian.org/debian/ bookworm-updates main non-free-firmware\n")
        self.put({"sources.list": listed})
        self.assertEqual(self.enable().returncode, 0)
        self.assertIsNone(self.own_file())
        # A file of ours from before they were there goes: it would list them twice.
        self.put({OWN: INSTALLER_WANTED})
        self.assertEqual(self.enable().returncode, 0)
        self.assertIsNone(self.own_file())

    def test_a_run_cut_short_is_redone(self):
        self.put({"sources.list": INSTALLER_LIST})
        for left in ("", "Types: deb-src\nURIs: http://deb.debian.org/debian\n"):
            self.put({OWN: left})
            self.assertEqual(self.enable().returncode, 0)
            self.assertEqual(self.own_file(), INSTALLER_WANTED)
        self.assertEqual(sorted(os.listdir(os.path.join(self.apt, "sources.list.d"))),
                         ["debian-sources.sources"])

    def test_a_disabled_entry_counts_for_nothing(self):
        self.put({"sources.list.d/debian.sources": CONTAINER_SOURCES.replace(
            "Types: deb\nURIs: http://deb.debian.org/debian-security",
            "Enabled: no\nTypes: deb\nURIs: http://deb.debian.org/debian-security")})
        self.assertEqual(self.enable().returncode, 0)
        self.assertNotIn("bookworm-security", self.own_file())

    def test_no_debian_archive_stops_with_the_files_read(self):
        self.put(dict(OTHER_VENDORS, **{"sources.list": INSTALLER_LIST.split("\n\n")[0] + "\n"}))
        run = self.enable()
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stdout, "no Debian archive for bookworm is listed in %s\n" % ", ".join(
            os.path.join(self.apt, name) for name in
            ["sources.list", "sources.list.d/mongodb.list", "sources.list.d/nodesource.sources"]))
        self.assertIsNone(self.own_file())


class Backports(AptFolder):
    """The entry install-deps lists for qemu-user, where it needs it: bookworm-backports on
    the archive that lists bookworm, as that archive is checked."""

    def backports(self):
        run = subprocess.run([sys.executable, DEBIAN_SOURCES, "--backports", "--lists",
                              os.path.join(self.apt, "lists"), self.apt,
                              "bookworm", "debian-sources.sources,camtools-backports.sources"],
                             capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stdout)
        return run.stdout

    def test_each_layout_gets_the_suite_on_its_own_archive_and_no_source_entry_for_it(self):
        for listed, signed_by in (({"sources.list": INSTALLER_LIST}, ""),
                                  ({"sources.list.d/debian.sources": CONTAINER_SOURCES},
                                   "Signed-By: %s\n" % KEYRING)):
            self.put(listed)
            entry = self.backports()
            self.assertEqual(entry, "Types: deb\nURIs: http://deb.debian.org/debian\n"
                             "Suites: bookworm-backports\nComponents: main\n" + signed_by)
            self.put({BACKPORTS: entry})
            self.assertEqual(self.enable().returncode, 0)
            self.assertNotIn("backports", self.own_file())
            for name in list(listed) + [BACKPORTS, OWN]:
                os.remove(os.path.join(self.apt, name))

    def test_backports_listed_already_get_no_second_entry(self):
        self.put({"sources.list": INSTALLER_LIST +
                  "deb http://deb.debian.org/debian bookworm-backports main\n"})
        self.assertEqual(self.backports(), "")


if __name__ == "__main__":
    unittest.main()
