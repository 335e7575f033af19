"""Writes what the release package says of its contents, under the names
scripts/lib/package.sh gives them ($package_notices, $package_bill): the notices (the
licence texts and copyright notices of every component linked into each program) and a
CycloneDX 1.6 bill of materials, both from the same facts:

- which files each program was linked from: the linker's map beside each program;
- which component a file belongs to: the project's own OpenCV and image libraries by the
  Debian source packages its cache entry was built from (its KEY), anything else by the
  Debian package that installed it (dpkg -S) and that package's source;
- each component's licence (an SPDX expression) and where its licence texts are, from
  LICENCES below: a judgement made once per component, never per version;
- the project's own changes to a component's source, as its cache entry keeps them
  (patches/<source package>/*.patch): the notices show each, as the component's licence
  asks of changed files, and the bill records each in the component's pedigree.

A file on a link line whose component has no entry in LICENCES stops the release.

    release_facts.py OUT VERSION EPOCH COMMIT DEPS PROGRAM.exe=MAP...

Same arguments, same bytes: nothing of the clock, the machine or the folder gets in.
"""
import datetime
import glob
import hashlib
import json
import os
import subprocess
import sys
import urllib.parse
import uuid

# Per Debian source package: the SPDX licence expression of what the programs link of it,
# the licence texts of /usr/share/common-licenses that go with it, and, for the sources
# built here, the upstream files that hold its licence and notices.
LICENCES = {
    "opencv": ("Apache-2.0", ["Apache-2.0"], ["LICENSE"]),
    "libjpeg-turbo": ("IJG AND BSD-3-Clause AND Zlib", [], ["LICENSE.md", "README.ijg"]),
    "libpng1.6": ("libpng-2.0", [], ["LICENSE"]),
    "tiff": ("libtiff", [], ["LICENSE.md"]),
    "libz-mingw-w64": ("Zlib", [], []),
    # The runtime: crt (ZPL-2.1, public domain), gdtoa, winpthreads (expat, BSD-3-Clause).
    "mingw-w64": ("ZPL-2.1 AND MIT AND BSD-3-Clause", [], []),
    # libgcc, libstdc++: their runtime library exception allows any licence for the
    # program; the notice goes along all the same.
    "gcc-mingw-w64": ("GPL-3.0-or-later WITH GCC-exception-3.1", ["GPL-3"], []),
}
# The project's own OpenCV and image libraries, by the start of their archives' names.
CACHED_ARCHIVES = {"libopencv_": "opencv", "libjpeg": "libjpeg-turbo", "libpng": "libpng1.6",
                   "libtiff": "tiff"}
SUPPLIER = {"name": "Debian", "url": ["https://www.debian.org"]}
RULE = "=" * 78 + "\r\n"


class NoNotice(Exception):
    pass


def linked_files(map_path):
    """The files the linker loaded for one program, as its map lists them."""
    files = []
    with open(map_path, errors="replace") as lines:
        for line in lines:
            if line.startswith("LOAD ") and not line.startswith("LOAD dll"):
                files.append(line[5:].strip())
    return files


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout.strip()


class Components:
    """Debian source packages, by what they are known by in a map."""

    def __init__(self, deps):
        self.deps = os.path.realpath(deps)
        self.sources = os.path.join(os.path.dirname(os.path.dirname(self.deps)), "src")
        self.cached = {}  # source package -> (version, folder of its source)
        with open(os.path.join(self.deps, "KEY")) as key:
            for line in key:
                if line.startswith("source "):
                    folder = os.path.join(self.sources, line.split()[1])
                    changelog = os.path.join(folder, "debian", "changelog")
                    name = run("dpkg-parsechangelog", "-l", changelog, "-SSource")
                    self.cached[name] = (run("dpkg-parsechangelog", "-l", changelog, "-SVersion"),
                                         folder)
        self.patches = {}  # source package -> [(name, text)] of the project's changes
        for path in sorted(glob.glob(os.path.join(self.deps, "patches", "*", "*.patch"))):
            with open(path, encoding="utf-8") as patch:
                self.patches.setdefault(os.path.basename(os.path.dirname(path)), []).append(
                    (os.path.basename(path), patch.read()))
        self.installed = {}  # source package -> (version, binary package)
        self.known = {}  # linked file -> its source package, asked once

    def of(self, path):
        """The source package a linked file comes from; None for the project's own."""
        if path not in self.known:
            self.known[path] = self.look_up(path)
        return self.known[path]

    def look_up(self, path):
        if not os.path.isabs(path):
            return None  # an object or library of this build
        real = os.path.realpath(path)
        if real.startswith(self.deps + os.sep):
            base = os.path.basename(real)
            for start, source in CACHED_ARCHIVES.items():
                if base.startswith(start):
                    return source
            raise NoNotice("%s: a library of the dependency cache that no component names" % path)
        try:
            package = run("dpkg", "-S", real).split(":")[0]
        except subprocess.CalledProcessError:
            raise NoNotice("%s: installed by no Debian package" % path)
        source, version = run("dpkg-query", "-W", "-f", "${source:Package} ${source:Version}",
                              package).split()
        self.installed[source] = (version, package)
        return source

    def version(self, source):
        return (self.cached.get(source) or self.installed[source])[0]

    def notice_files(self, source):
        """The files whose text is the component's notice, in the order they are printed,
        each with the name it is shown by (no folder of this machine's)."""
        if source in self.cached:
            folder = self.cached[source][1]
            files = [os.path.join(folder, name) for name in LICENCES[source][2]]
            files.append(os.path.join(folder, "debian", "copyright"))
        else:
            files = [os.path.join("/usr/share/doc", self.installed[source][1], "copyright")]
        files += [os.path.join("/usr/share/common-licenses", name) for name in LICENCES[source][1]]
        for path in files:
            if not os.path.isfile(path):
                raise NoNotice("%s: its notice %s is missing" % (source, path))
        return [(os.path.relpath(path, self.sources) if path.startswith(self.sources) else path,
                 path) for path in files]


def purl(source, version, distro):
    return "pkg:deb/debian/%s@%s?arch=source&distro=%s" % (
        source, urllib.parse.quote(version, safe=""), distro)


def distribution():
    with open("/etc/os-release") as release:
        facts = dict(line.rstrip("\n").split("=", 1) for line in release if "=" in line)
    return "%s-%s" % (facts.get("ID", "debian"), facts.get("VERSION_ID", "").strip('"'))


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def notices(components, users):
    parts = ["Components linked into the camtools programs, each with its licence and the\r\n"
             "notices that go with every copy. Generated by the release from the sources built.\r\n"]
    for source in sorted(users):
        version = components.version(source)
        parts.append("\r\n" + RULE)
        parts.append("%s %s\r\nLicence: %s\r\nIn: %s\r\n" % (
            source, version, LICENCES[source][0], ", ".join(sorted(users[source]))))
        for name, text in components.patches.get(source, []):
            parts.append(RULE + "Changed by camtools, in the files this patch names (%s):\r\n\r\n"
                         % name)
            parts.append(crlf(text).rstrip("\r\n") + "\r\n")
        for shown, path in components.notice_files(source):
            with open(path, encoding="utf-8", errors="replace") as text:
                parts.append(RULE + "From %s:\r\n\r\n" % shown)
                parts.append(crlf(text.read()).rstrip("\r\n") + "\r\n")
    return "".join(parts)


def bill(components, programs, users, version, epoch, commit):
    distro = distribution()
    made = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    listed = []
    for name, path in programs:
        with open(path, "rb") as program:
            digest = hashlib.sha256(program.read()).hexdigest()
        parts = []
        for source in sorted(s for s in users if name in users[s]):
            part = {
                "type": "library", "bom-ref": "%s/%s" % (name, source), "supplier": SUPPLIER,
                "name": source, "version": components.version(source),
                "licenses": [{"expression": LICENCES[source][0]}],
                "purl": purl(source, components.version(source), distro)}
            if source in components.patches:
                part["pedigree"] = {"patches": [
                    {"type": "unofficial",
                     "diff": {"text": {"contentType": "text/x-diff", "content": text}}}
                    for _, text in components.patches[source]],
                    "notes": "Changed by camtools: " + ", ".join(
                        patch_name for patch_name, _ in components.patches[source])}
            parts.append(part)
        listed.append({"type": "application", "bom-ref": name, "name": name, "version": version,
                       "hashes": [{"alg": "SHA-256", "content": digest}], "components": parts})
    return {
        "bomFormat": "CycloneDX", "specVersion": "1.6",
        "serialNumber": uuid.uuid5(uuid.NAMESPACE_URL, "camtools/%s/%s" % (version, commit)).urn,
        "version": 1,
        "metadata": {"timestamp": made.strftime("%Y-%m-%dT%H:%M:%SZ"),
                     "component": {"type": "application", "bom-ref": "camtools",
                                   "name": "camtools", "version": version}},
        "components": listed,
        "dependencies": [{"ref": "camtools", "dependsOn": [name for name, _ in programs]}],
    }


def main(out, version, epoch, commit, deps, program_maps):
    components = Components(deps)
    programs, users, missing = [], {}, []
    for argument in program_maps:
        name, files = argument.split("=", 1)
        path, map_path = files.split(":", 1)
        programs.append((name, path))
        for linked in linked_files(map_path):
            try:
                source = components.of(linked)
            except NoNotice as why:
                missing.append(str(why))
                continue
            if source is None:
                continue
            if source not in LICENCES:
                missing.append("%s: from Debian source %s, which has no licence entry" % (
                    linked, source))
                continue
            users.setdefault(source, set()).add(name)
    try:
        text = notices(components, users)
    except NoNotice as why:
        missing.append(str(why))
    if missing:
        print("no notice for what the programs link:\n  " + "\n  ".join(sorted(set(missing))))
        return 1
    with open(os.path.join(out, os.environ["package_notices"]), "w", newline="") as output:
        output.write(text)
    with open(os.path.join(out, os.environ["package_bill"]), "w", newline="\n") as output:
        json.dump(bill(components, programs, users, version, epoch, commit), output, indent=2)
        output.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5],
                  sys.argv[6:]))
