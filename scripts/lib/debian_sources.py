"""Says which entries an apt configuration lacks for Debian's own archives.

    debian_sources.py [--backports] APT_FOLDER CODENAME OWN_FILE[,OWN_FILE...]

Reads the entries of APT_FOLDER (sources.list, sources.list.d/*.list in the one-line
form, sources.list.d/*.sources in the deb822 form; the OWN_FILEs, names in
sources.list.d, are left out) and prints, in the deb822 form, a deb-src entry for each
Debian archive listed as deb without a deb-src beside it. It prints nothing when every
one has its source entry already. With --backports it prints instead a deb entry for
CODENAME-backports on the archive that lists CODENAME, with that entry's options, or
nothing when the backports are listed already. When the folder lists no Debian archive
at all, it prints one line that names the files it read and exits with 1.

An archive is Debian's when its address names Debian and its suite is the release's
(CODENAME, or CODENAME-updates, -security, -backports): entries of other vendors keep
their own suites, and asking them for a source index they may not have would make the
next apt-get update fail.
"""
import glob
import os
import re
import sys

ONE_LINE = re.compile(r"^\s*(deb|deb-src)\s+(?:\[([^\]]*)\]\s+)?(\S+)\s+(\S+)\s*(.*)$")
# What a source entry must keep of its archive's entry: how apt checks what it fetches.
KEPT_OPTIONS = {"signed-by": "Signed-By", "trusted": "Trusted"}


class Entry:
    """One archive's suite, as a deb or deb-src entry lists it."""

    def __init__(self, kind, uri, suite, components, options):
        self.kind = kind
        self.uri = uri.rstrip("/")
        self.suite = suite
        self.components = components
        self.options = options  # deb822 field name -> value, only the kept ones

    def is_debian(self, codename):
        release = self.suite == codename or self.suite.startswith(codename + "-")
        return release and "debian" in self.uri.lower() and not self.uri.startswith("cdrom:")


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


def missing_sources(entries, codename):
    """Stanzas for the Debian suites listed as deb without a deb-src, in the order listed."""
    have = {(e.uri, e.suite, c) for e in entries if e.kind == "deb-src" for c in e.components}
    # One stanza per suite, with the options of its first entry: apt refuses two entries
    # of one suite whose options differ.
    wanted = {}  # (uri, suite) -> (options, components)
    for entry in entries:
        if entry.kind != "deb" or not entry.is_debian(codename):
            continue
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


def backports(entries, codename):
    """A deb stanza for the release's backports on the archive that lists the release."""
    suite = codename + "-backports"
    debs = [e for e in entries if e.kind == "deb" and e.is_debian(codename)]
    if any(e.suite == suite for e in debs):
        return ""
    for entry in debs:
        if entry.suite == codename:
            stanza = ["Types: deb", "URIs: " + entry.uri, "Suites: " + suite, "Components: main"]
            stanza += ["%s: %s" % option for option in sorted(entry.options.items())]
            return "\n".join(stanza) + "\n"
    return ""


def main(arguments):
    wanted = backports if arguments[0] == "--backports" else missing_sources
    apt, codename, own = arguments[-3:]
    files, entries = read_folder(apt, own.split(","))
    if not any(entry.is_debian(codename) for entry in entries):
        print("no Debian archive for %s is listed in %s" % (
            codename, ", ".join(files) if files else "any file of " + apt))
        return 1
    sys.stdout.write(wanted(entries, codename))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
