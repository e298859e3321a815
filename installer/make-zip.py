#!/usr/bin/env python3
"""Packs files side by side into a zip whose bytes depend on their content only.

make-zip.py <out.zip> <seconds since 1970> <file>...

Entries come in the order given, named by the file's own name, all dated
at the given time (UTC), mode 0644, without the extra fields (owner, local
time) that other archivers add.
"""
import os
import sys
import time
import zipfile


def main(argv):
    if len(argv) < 4:
        sys.exit("usage: make-zip.py <out.zip> <seconds since 1970> <file>...")
    out, epoch, files = argv[1], int(argv[2]), argv[3:]
    # A zip entry holds a local date from 1980 on, two seconds apart.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            entry.create_system = 3
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source:
                archive.writestr(entry, source.read(), compresslevel=9)


if __name__ == "__main__":
    main(sys.argv)
