"""Checks the VERSIONINFO of shipped binaries: file and product version equal to the project's
version (CMakeLists.txt), the fixed and the string forms agreeing, company, product, description
and original file name present, in the Simplified Chinese (2052, Unicode) string table.
Usage: check_version.py VERSION FILE...  Prints one line per file; exits 1 on any fault."""
import os
import sys

import pefile

REQUIRED = ("CompanyName", "ProductName", "FileDescription", "FileVersion", "ProductVersion",
            "OriginalFilename")


def faults(path, version):
    pe = pefile.PE(path, fast_load=False)
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return ["no version resource"]
    out = []
    fixed = pe.VS_FIXEDFILEINFO[0]
    parts = [fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
             fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF]
    if ".".join(map(str, parts)) != version:
        out.append("fixed file version %s" % ".".join(map(str, parts)))
    strings = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                if table.LangID.upper() == b"080404B0":
                    strings = {k.decode(): v.decode() for k, v in table.entries.items()}
    if not strings:
        return out + ["no 080404B0 string table"]
    out += ["missing %s" % key for key in REQUIRED if not strings.get(key)]
    for key in ("FileVersion", "ProductVersion"):
        if strings.get(key) and strings[key] != version:
            out.append("%s %s" % (key, strings[key]))
    if strings.get("OriginalFilename", "").lower() != os.path.basename(path).lower():
        out.append("OriginalFilename %s" % strings.get("OriginalFilename"))
    return out


def main():
    version, files = sys.argv[1], sys.argv[2:]
    bad = 0
    for path in files:
        found = faults(path, version)
        print("%s: %s" % (path, "; ".join(found) if found else "version %s ok" % version))
        bad |= bool(found)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
