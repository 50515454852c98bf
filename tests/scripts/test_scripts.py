"""scripts/lib/reference_checks.py on JUnit files as ctest writes them, and scripts/lib/speech."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

LIB = Path(__file__).resolve().parents[2] / "scripts" / "lib"
ALL_RUN = ["codec_conformance", "Decoder.FollowsTheReferenceDecoderOnItsVectors",
           "EncoderReference.DecisionsAgreeWithTheReferenceEncoder", "EncoderReference.EveryVectorCodesIntoValidFrames",
           "Tables.MatchTheTableFile", "codec_tables_generated"]


def junit(path, cases):
    """A ctest JUnit file; cases: name -> 'run' or 'skipped'."""
    rows = "".join(
        f'<testcase name="{n}" classname="{n}" status="run"/>' if s == "run" else
        f'<testcase name="{n}" classname="{n}" status="notrun"><skipped message="Skipped"/></testcase>'
        for n, s in cases.items())
    path.write_text(f'<?xml version="1.0"?><testsuite tests="{len(cases)}">{rows}</testsuite>')
    return str(path)


def checks(*args):
    return subprocess.run([sys.executable, str(LIB / "reference_checks.py"), *args],
                          capture_output=True, text=True)


@pytest.mark.parametrize("cases, skipped", [
    (dict.fromkeys(ALL_RUN, "run"), []),
    ({**dict.fromkeys(ALL_RUN, "run"), "codec_conformance": "skipped"}, ["conformance report"]),
    # One run skipped, another ran: the group did not run everywhere.
    ({**dict.fromkeys(ALL_RUN, "run"), "EncoderReference.EveryVectorCodesIntoValidFrames": "skipped"},
     ["encoder's reference-vector tests"]),
    # A group none of whose tests appears at all counts as skipped.
    ({n: "run" for n in ALL_RUN if not n.startswith("Tables") and n != "codec_tables_generated"},
     ["codec table check"]),
    ({"voice_core": "run"}, ["conformance report", "decoder's", "encoder's", "table check"]),
])
def test_one_line_per_skipped_group(tmp_path, cases, skipped):
    files = [junit(tmp_path / "a.xml", cases), str(tmp_path / "missing.xml")]
    plain, required = checks(*files), checks("--require", *files)
    lines = [line for line in plain.stdout.splitlines() if line.startswith("skipped:")]
    assert len(lines) == len(skipped) and all(w in l for w, l in zip(skipped, lines)), plain.stdout
    assert all("ST_SHARED=/path/to/folder" in line for line in lines)
    assert plain.returncode == 0
    assert required.returncode == (1 if skipped else 0), required.stdout + required.stderr


def render(build):
    out = subprocess.run([str(LIB / "speech")], env=dict(os.environ, ST_BUILD=str(build)),
                         check=True, capture_output=True, text=True).stdout.strip()
    return Path(out)


def test_speech_renders_the_same_bytes_once_per_build_tree(tmp_path):
    first, second = render(tmp_path / "a"), render(tmp_path / "b")
    data = first.read_bytes()
    assert data == second.read_bytes()
    assert len(data) % 960 == 0 and 25 <= len(data) / 16000 <= 40
    stamp = first.stat().st_mtime_ns
    assert render(tmp_path / "a") == first and first.stat().st_mtime_ns == stamp
