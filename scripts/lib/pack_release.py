"""Writes the release package: a zip of the given files and the sums that verify them
(named by $package_sums), the same bytes for the same files.

    pack_release.py PACKAGE EPOCH FILE...

Entries are stored in name order, all dated EPOCH (seconds since 1970, UTC; the zip
format starts in 1980), with fixed attributes and no extra fields, so nothing of the
machine, the folder or the clock gets in. Written aside and renamed into place.
"""
import hashlib
import os
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01, the earliest date a zip entry can carry


def entry(name, epoch):
    info = zipfile.ZipInfo(name, time.gmtime(max(epoch, ZIP_EPOCH))[:6])
    info.create_system = 3  # Unix, so the attributes below mean the same everywhere
    info.external_attr = 0o100644 << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main(package, epoch, paths):
    files = sorted((os.path.basename(path), path) for path in paths)
    sums = ""
    with open(package + ".part", "wb") as output:
        with zipfile.ZipFile(output, "w") as archive:
            for name, path in files:
                with open(path, "rb") as source:
                    data = source.read()
                sums += "%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)
                archive.writestr(entry(name, epoch), data, compresslevel=9)
            archive.writestr(entry(os.environ["package_sums"], epoch), sums.encode(),
                             compresslevel=9)
    os.replace(package + ".part", package)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3:])
