"""HTTPS end to end for fetchkit and Update under Wine: the test server in TLS mode with
certificates made for this run by a test certificate authority that only the run's Wine prefix
trusts (never the host). A download and a resume over HTTPS, certificates for another host name
and from an unknown authority (the connect failure, nothing written), and an http:// address
redirected to https://. Run under scripts/with-services with ST_BUILD set."""
import hashlib
import shutil
import subprocess

import pytest

from conftest import WIN_BIN, http_server, windows_path, wine_run
from test_fetch import SHARED_PLACE, assert_completed, assert_failed, generated, run_client, server_log, sha
from test_update import client, expect_failure, result_state, runs, temp_packages, wait_for  # noqa: F401

FETCH_CONNECT_FAILED = 2
FULL = generated(0, 300000)


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


def make_authority(folder, name):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=" + name,
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", name + ".key", "-out", name + ".pem", cwd=folder)


def make_server_cert(folder, authority, host, stem):
    """A server certificate for host signed by the authority; (cert, key) paths."""
    (folder / (stem + ".ext")).write_text("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\n" % host)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + host, "-keyout", stem + ".key",
            "-out", stem + ".csr", cwd=folder)
    openssl("x509", "-req", "-in", stem + ".csr", "-CA", authority + ".pem", "-CAkey", authority + ".key",
            "-CAcreateserial", "-days", "30", "-extfile", stem + ".ext", "-out", stem + ".pem", cwd=folder)
    return folder / (stem + ".pem"), folder / (stem + ".key")


@pytest.fixture(scope="module")
def certs(services, tmp_path_factory):
    """Two authorities made now, one of them trusted by the Wine prefix, and their certificates."""
    folder = tmp_path_factory.mktemp("tls")
    make_authority(folder, "trusted-ca")
    make_authority(folder, "unknown-ca")
    openssl("x509", "-in", "trusted-ca.pem", "-outform", "der", "-out", "trusted-ca.der", cwd=folder)
    added = wine_run("trust_root.exe", [windows_path(folder / "trusted-ca.der")], capture_output=True)
    assert added.returncode == 0, added.stdout
    return {"good": make_server_cert(folder, "trusted-ca", "localhost", "good"),
            "wrong_host": make_server_cert(folder, "trusted-ca", "elsewhere.test", "wrong-host"),
            "unknown_ca": make_server_cert(folder, "unknown-ca", "localhost", "unknown")}


@pytest.fixture(scope="module")
def sites(certs, tmp_path_factory):
    """The HTTPS servers by certificate, and a plain one that redirects everything to the good one."""
    www = tmp_path_factory.mktemp("https-www")
    shutil.copy(WIN_BIN / "update_stub.exe", www / "setup.exe")
    log = www.parent / "https-server.log"
    with http_server(www, log, tls=certs["good"]) as good, \
            http_server(www, tls=certs["wrong_host"]) as wrong_host, \
            http_server(www, tls=certs["unknown_ca"]) as unknown_ca, \
            http_server(www, redirect=good) as redirect:
        yield {"good": good, "wrong_host": wrong_host, "unknown_ca": unknown_ca, "redirect": redirect,
               "www": www, "log": log}


# name -> (site, download type, what the destination holds before, expected failure or None).
FETCHES = {
    "download": ("good", 0, None, None),
    "resume": ("good", 2, FULL[:100000], None),
    "redirected": ("redirect", 0, None, None),
    "wrong_host": ("wrong_host", 0, None, FETCH_CONNECT_FAILED),
    "unknown_ca": ("unknown_ca", 2, FULL[:100000], FETCH_CONNECT_FAILED),
}


@pytest.mark.parametrize("name", FETCHES)
def test_fetchkit_over_https(sites, tmp_path, name):
    site, kind, before, failure = FETCHES[name]
    dest = tmp_path / "out.bin"
    if before is not None:
        dest.write_bytes(before)
    url = "%s/gen/%d" % (sites[site], len(FULL))
    run = run_client(["--type", str(kind), "--url", url, "--path", windows_path(dest), *SHARED_PLACE])
    if failure:
        assert_failed(run, failure)
        assert (dest.read_bytes() if dest.exists() else None) == before
        return
    assert_completed(run)
    assert sha(dest.read_bytes()) == sha(FULL)
    if name == "resume":
        ranged = [e for e in server_log(sites) if e["range"]]
        assert [(e["range"], e["status"], e["sent"]) for e in ranged] == [("bytes=100000-", 206, 200000)]


@pytest.mark.parametrize("site", ["good", "redirect"])
def test_update_installs_over_https(sites, client, runs, site):
    package = (sites["www"] / "setup.exe").read_bytes()
    earlier = temp_packages()
    run = runs(sites[site] + "/setup.exe", hashlib.sha256(package).hexdigest(), client)
    state = wait_for(result_state, what="success state")
    assert state["1002"]["text"] == "    升级完成!"
    assert [r[0] for r in run.stub_records()] == ["start", "end"]
    new = temp_packages() - earlier
    assert len(new) == 1 and new.pop().read_bytes() == package


@pytest.mark.parametrize("site", ["wrong_host", "unknown_ca"])
def test_update_refuses_a_certificate_it_cannot_trust(sites, client, runs, site):
    earlier = temp_packages()
    run = runs(sites[site] + "/setup.exe", "", client)
    expect_failure(run, "网络无法连接")
    assert run.stub_records() == [] and temp_packages() == earlier
