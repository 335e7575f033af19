"""Says which entries an apt configuration lacks for Debian's own archives.

    debian_sources.py [--backports] [--lists LISTS] APT_FOLDER CODENAME OWN_FILE[,OWN_FILE...]

Reads the entries of APT_FOLDER (sources.list, sources.list.d/*.list in the one-line
form, sources.list.d/*.sources in the deb822 form; the OWN_FILEs, names in
sources.list.d, are left out) and prints, in the deb822 form, a deb-src entry for each
Debian archive listed as deb without a deb-src beside it. It prints nothing when every
one has its source entry already. With --backports it prints instead a deb entry for
CODENAME-backports on the archive that lists CODENAME, with that entry's options, or
nothing when the backports are listed already. When the folder lists no Debian archive
at all, it prints one line that names the files it read and exits with 1.

An archive is Debian's when apt's record of its Release file, in LISTS (by default
/var/lib/apt/lists, where apt-get update keeps them), says so (Origin: Debian, or Debian
Backports), and its suite is the release's (CODENAME, or CODENAME-updates, -security,
-backports): a Debian mirror counts under any host name, and another vendor's archive
does not, even with "debian" and the release in its address (Docker's, Microsoft's).
Asking such an archive for a source index it may not have would make every later
apt-get update warn or fail. An archive that apt has no record of yet (its lists were
never fetched) is not taken for Debian's: it gets no entry, and a line on standard error
says so.
"""
import argparse
import glob
import os
import re
import sys

ONE_LINE = re.compile(r"^\s*(deb|deb-src)\s+(?:\[([^\]]*)\]\s+)?(\S+)\s+(\S+)\s*(.*)$")
# What a source entry must keep of its archive's entry: how apt checks what it fetches.
KEPT_OPTIONS = {"signed-by": "Signed-By", "trusted": "Trusted"}
DEBIAN_ORIGINS = {"Debian", "Debian Backports"}
# What apt escapes when it names a list file after an address (URItoFileName).
ESCAPED = set('\\|{}[]<>"^~_=!@#$%&*')


class Entry:
    """One archive's suite, as a deb or deb-src entry lists it."""

    def __init__(self, kind, uri, suite, components, options):
        self.kind = kind
        self.uri = uri.rstrip("/")
        self.suite = suite
        self.components = components
        self.options = options  # deb822 field name -> value, only the kept ones

    def is_release(self, codename):
        release = self.suite == codename or self.suite.startswith(codename + "-")
        return release and not self.uri.startswith("cdrom:")


def list_file(lists, uri, suite, name):
    """Where apt keeps the file NAME of an archive's suite (as apt-pkg's URItoFileName)."""
    address = re.sub(r"^[A-Za-z][A-Za-z0-9+.-]*:/*", "", uri + "/dists/" + suite + "/" + name)
    address = re.sub(r"^[^/@]*@", "", address)  # a user and password
    address = "".join("%%%02x" % ord(c) if c in ESCAPED or not " " < c < "\x7f" else c
                      for c in address)
    return os.path.join(lists, address.replace("/", "_"))


def origin(lists, entry):
    """The Origin of the entry's Release file as apt keeps it, or None where it keeps none."""
    for name in ("InRelease", "Release"):
        path = list_file(lists, entry.uri, entry.suite, name)
        if os.path.isfile(path):
            with open(path, errors="replace") as lines:
                for line in lines:
                    if line.startswith("Origin:"):
                        return line.split(":", 1)[1].strip()
            return ""
    return None


def debian(entries, codename, lists):
    """The entries of Debian's own archives for the release; says which apt has no record
    of yet."""
    found = []
    for entry in entries:
        if entry.kind != "deb" or not entry.is_release(codename):
            continue
        said = origin(lists, entry)
        if said is None:
            print("apt has no Release file of %s %s yet (apt-get update fetches it): it gets "
                  "no entry" % (entry.uri, entry.suite), file=sys.stderr)
        elif said in DEBIAN_ORIGINS:
            found.append(entry)
    return found


def one_line_entries(path):
    entries = []
    with open(path, errors="replace") as lines:
        for line in lines:
            match = ONE_LINE.match(line.split("#", 1)[0])
            if not match:
                continue
            kind, options, uri, suite, components = match.groups()
            kept = {}
            for option in (options or "").split():
                name, _, value = option.partition("=")
                if name in KEPT_OPTIONS:
                    kept[KEPT_OPTIONS[name]] = value
            entries.append(Entry(kind, uri, suite, components.split(), kept))
    return entries


def stanzas(text):
    """The deb822 stanzas of a file: dicts of field -> value, continuation lines kept."""
    found, fields, last = [], {}, None
    for line in text.splitlines():
        if line.startswith("#"):
            continue
        if not line.strip():
            if fields:
                found.append(fields)
            fields, last = {}, None
        elif line[0] in " \t" and last:
            fields[last] += "\n" + line
        elif ":" in line:
            last, value = line.split(":", 1)
            last = last.strip().lower()
            fields[last] = value.strip()
    if fields:
        found.append(fields)
    return found


def deb822_entries(path):
    entries = []
    with open(path, errors="replace") as file:
        for fields in stanzas(file.read()):
            if fields.get("enabled", "yes").lower() == "no":
                continue
            kept = {KEPT_OPTIONS[name]: fields[name.lower()] for name in KEPT_OPTIONS
                    if name.lower() in fields}
            for kind in fields.get("types", "").split():
                for uri in fields.get("uris", "").split():
                    for suite in fields.get("suites", "").split():
                        entries.append(Entry(kind, uri, suite, fields.get("components", "").split(),
                                             kept))
    return entries


def read_folder(apt, own):
    files, entries = [], []
    listed = [os.path.join(apt, "sources.list")]
    listed += sorted(glob.glob(os.path.join(apt, "sources.list.d", "*.list")))
    listed += sorted(glob.glob(os.path.join(apt, "sources.list.d", "*.sources")))
    for path in listed:
        if not os.path.isfile(path) or os.path.basename(path) in own:
            continue
        files.append(path)
        entries += deb822_entries(path) if path.endswith(".sources") else one_line_entries(path)
    return files, entries


def missing_sources(entries, debs, codename):
    """Stanzas for the Debian suites listed as deb without a deb-src, in the order listed."""
    have = {(e.uri, e.suite, c) for e in entries if e.kind == "deb-src" for c in e.components}
    # One stanza per suite, with the options of its first entry: apt refuses two entries
    # of one suite whose options differ.
    wanted = {}  # (uri, suite) -> (options, components)
    for entry in debs:
        options, components = wanted.setdefault((entry.uri, entry.suite), (entry.options, []))
        for component in entry.components:
            if (entry.uri, entry.suite, component) not in have and component not in components:
                components.append(component)
    text = []
    for (uri, suite), (options, components) in wanted.items():
        if not components:
            continue
        stanza = ["Types: deb-src", "URIs: " + uri, "Suites: " + suite,
                  "Components: " + " ".join(components)]
        stanza += ["%s: %s" % option for option in sorted(options.items())]
        text.append("\n".join(stanza) + "\n")
    return "\n".join(text)


def backports(entries, debs, codename):
    """A deb stanza for the release's backports on the archive that lists the release."""
    suite = codename + "-backports"
    if any(e.kind == "deb" and e.suite == suite for e in entries):
        return ""
    for entry in debs:
        if entry.suite == codename:
            stanza = ["Types: deb", "URIs: " + entry.uri, "Suites: " + suite, "Components: main"]
            stanza += ["%s: %s" % option for option in sorted(entry.options.items())]
            return "\n".join(stanza) + "\n"
    return ""


def main(arguments):
    parser = argparse.ArgumentParser()
    parser.add_argument("--backports", action="store_true")
    parser.add_argument("--lists", default="/var/lib/apt/lists")
    parser.add_argument("apt")
    parser.add_argument("codename")
    parser.add_argument("own")
    options = parser.parse_args(arguments)
    files, entries = read_folder(options.apt, options.own.split(","))
    debs = debian(entries, options.codename, options.lists)
    if not debs:
        print("no Debian archive for %s is listed in %s" % (
            options.codename, ", ".join(files) if files else "any file of " + options.apt))
        return 1
    wanted = backports if options.backports else missing_sources
    sys.stdout.write(wanted(entries, debs, options.codename))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
