"""Checks the application manifest of Windows programs: present, no elevation asked (asInvoker),
common controls version 6, and at least one supported Windows version.
Usage: check_manifest.py FILE...  Prints one line per file; exits 1 on any fault."""
import sys
import xml.etree.ElementTree as ET

import pefile

RT_MANIFEST = 24
V1, V3 = "urn:schemas-microsoft-com:asm.v1", "urn:schemas-microsoft-com:asm.v3"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"


def manifest_of(path):
    """The text of the program's manifest (resource 1 of type RT_MANIFEST), or None."""
    pe = pefile.PE(path, fast_load=False)
    kinds = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for kind in kinds:
        if kind.id != RT_MANIFEST:
            continue
        for entry in kind.directory.entries:
            if entry.id == 1:
                data = entry.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def summary(path):
    """(line, ok) for one program."""
    text = manifest_of(path)
    if text is None:
        return "no manifest", False
    root = ET.fromstring(text)
    level = root.find(".//{%s}requestedExecutionLevel" % V3)
    level = level.get("level") if level is not None else "none"
    controls = [a.get("version") for a in root.iter("{%s}assemblyIdentity" % V1)
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    systems = len(root.findall(".//{%s}supportedOS" % COMPAT))
    ok = level == "asInvoker" and controls[:1] == ["6.0.0.0"] and systems > 0
    return "manifest %s, common controls %s, %d supported OS" % (
        level, controls[0] if controls else "none", systems), ok


def main(paths):
    bad = 0
    for path in paths:
        line, ok = summary(path)
        print("%s: %s%s" % (path, line, "" if ok else " WRONG"))
        bad |= not ok
    return bad


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
