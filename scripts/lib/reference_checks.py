"""Reports which checks against the ITU-T G.729 Annex A material did not run in a test run.

Reads the JUnit files ctest wrote (--output-junit) and prints one line per group of checks that
was skipped: a group counts as skipped when one of its tests was skipped or none of them ran.
With --require (a machine that holds the material) any such group fails the run (exit 1).
  reference_checks.py [--require] JUNIT...
"""
import argparse
import fnmatch
import sys
import xml.etree.ElementTree as ET

VECTORS = "g729a/vectors/*.bit|in|pst"
TABLES = "g729a/tables.txt"
# (what the group is, the ctest names of its tests, the files it reads under ST_SHARED)
GROUPS = [
    ("the codec conformance report", ["codec_conformance"], VECTORS),
    ("the decoder's reference-vector test", ["Decoder.FollowsTheReferenceDecoderOnItsVectors"], VECTORS),
    ("the encoder's reference-vector tests", ["EncoderReference.*"], VECTORS),
    ("the codec table check", ["Tables.MatchTheTableFile", "codec_tables_generated"], TABLES),
]


def outcomes(paths):
    """{test name: set of 'run' / 'skipped'} over every JUnit file that could be read."""
    seen = {}
    for path in paths:
        try:
            cases = ET.parse(path).getroot().iter("testcase")
        except (OSError, ET.ParseError) as e:
            print(f"reference checks: cannot read {path}: {e}", file=sys.stderr)
            continue
        for case in cases:
            skipped = case.get("status") in ("notrun", "disabled") or case.find("skipped") is not None
            seen.setdefault(case.get("name"), set()).add("skipped" if skipped else "run")
    return seen


def skipped_groups(seen):
    """The groups of GROUPS that did not run in full."""
    missing = []
    for group in GROUPS:
        names = [n for n in seen if any(fnmatch.fnmatchcase(n, p) for p in group[1])]
        if not names or any("skipped" in seen[n] for n in names):
            missing.append(group)
    return missing


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--require", action="store_true", help="fail when a group was skipped")
    ap.add_argument("junit", nargs="*")
    args = ap.parse_args()
    missing = skipped_groups(outcomes(args.junit))
    for what, _, files in missing:
        print(f"skipped: {what}: it needs the ITU-T G.729 Annex A material, "
              f"ST_SHARED=/path/to/folder holding {files}")
    if not missing:
        print(f"reference checks: all {len(GROUPS)} groups ran")
    elif args.require:
        print("reference checks: the shared folder is present, yet the groups above did not run",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
