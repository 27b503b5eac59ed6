"""Writes a ZIP archive again so that it depends on its files' names and
contents alone: entries sorted by name, each dated TIME, with fixed
permissions and no extra fields (which would hold the files' times on disk).

    reproducible_zip.py ARCHIVE TIME
"""
import sys
import time
import zipfile

archive, seconds = sys.argv[1], int(sys.argv[2])
# ZIP dates run from 1980, in two-second steps.
date_time = time.gmtime(max(seconds, 315532800))[:6]

with zipfile.ZipFile(archive) as old:
    entries = [(info, old.read(info)) for info in sorted(old.infolist(), key=lambda i: i.filename)]

with zipfile.ZipFile(archive, "w") as new:
    for old_info, data in entries:
        info = zipfile.ZipInfo(old_info.filename, date_time)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.create_system = 3  # Unix, so that the permissions below apply
        executable = old_info.filename.lower().endswith(".exe") or old_info.is_dir()
        info.external_attr = (0o40755 if old_info.is_dir() else 0o100755 if executable else 0o100644) << 16
        new.writestr(info, data, compresslevel=9)
