#!/usr/bin/env python3
"""Network faults that need a network of their own: an address that drops every packet, and
a server whose machine vanishes in the middle of a set (no reset, no close: a half-open
connection). The test runs itself in a new network namespace (unshare -n), where only the
loopback exists:

- 198.51.100.0/24 (TEST-NET-2) is routed to the loopback, which drops what is not for one of
  its own addresses: a connection there is never answered, as on a network that drops
  packets. (On this kind of machine TEST-NET addresses outside a namespace are refused at
  once, so a namespace is what makes the silence.)
- Taking the loopback down cuts every connection on it without a word to either end.

    netns_faults_test.py CLI SIM SER2NET

Exits 77 (skipped) when the system does not give a network namespace.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIPPED = 77


def ip(*arguments):
    subprocess.run(["ip", *arguments], check=True)


def in_own_namespace():
    if os.environ.get("QK_NETNS") == "1":
        return True
    if shutil.which("unshare") is None or shutil.which("ip") is None:
        print("netns_faults_test: needs unshare and ip (util-linux, iproute2)")
        sys.exit(SKIPPED)
    probe = subprocess.run(["unshare", "-n", "true"], capture_output=True)
    if probe.returncode != 0:
        print("netns_faults_test: no network namespace here: "
              + probe.stderr.decode(errors="replace").strip())
        sys.exit(SKIPPED)
    environment = dict(os.environ, QK_NETNS="1")
    sys.exit(subprocess.run(["unshare", "-n", sys.executable, *sys.argv],
                            env=environment).returncode)


def run_cli(cli, *arguments):
    started = time.monotonic()
    run = subprocess.run([cli, *arguments], capture_output=True, text=True, timeout=60)
    return run.returncode, run.stderr, time.monotonic() - started


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def test_connect_timeout_is_bounded(cli):
    for url in ("rfc2217://198.51.100.7:2001", "tcp://198.51.100.7:2001"):
        status, err, seconds = run_cli(cli, "--port", url, "get")
        expect(status == 2, f"{url}: status {status}: {err}")
        expect("no connection to 198.51.100.7:2001 within 5 s" in err, err)
        # The program's own start counts too, which a sanitizer makes slow.
        expect(4.8 <= seconds <= 7.5, f"{url}: default timeout took {seconds:.2f} s")
        status, err, seconds = run_cli(cli, "--connect-timeout", "1000", "--port", url, "get")
        expect(status == 2 and "within 1 s" in err, err)
        expect(0.9 <= seconds <= 3.0, f"{url}: --connect-timeout 1000 took {seconds:.2f} s")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def test_half_open_connection_mid_set(cli, sim, ser2net, folder, accepter, cut_after):
    """The loopback goes down once the device has received `cut_after`."""
    device = subprocess.Popen([sim, "--verbose"], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)
    server = None
    tool = None
    try:
        tty = device.stdout.readline().strip()
        port = free_port()
        config = os.path.join(folder, "ser2net.yaml")
        with open(config, "w") as out:
            out.write("%YAML 1.1\n---\nconnection: &line\n"
                      f"  accepter: {accepter},127.0.0.1,{port}\n"
                      f"  connector: serialdev,{tty},9600n81,local\n"
                      "  options:\n    mdns: false\n")
        server = subprocess.Popen([ser2net, "-n", "-u", "-c", config],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 5
        while True:
            with socket.socket() as probe:
                if probe.connect_ex(("127.0.0.1", port)) == 0:
                    break
            expect(time.monotonic() < deadline, "ser2net does not listen")
            time.sleep(0.02)
        # That probe was a connection of its own: let ser2net close the device again.
        time.sleep(0.2)
        scheme = "tcp" if accepter == "tcp" else "rfc2217"
        tool = subprocess.Popen([cli, "--port", f"{scheme}://127.0.0.1:{port}", "set",
                                 "destAddress=10.0.0.9", "destPort=6001", "heartbeat=45s"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        for line in device.stderr:
            if "<- " + cut_after in line:
                break
        cut = time.monotonic()
        ip("link", "set", "lo", "down")
        out, err = tool.communicate(timeout=30)
        seconds = time.monotonic() - cut
        expect(tool.returncode == 2, f"status {tool.returncode}: {err}")
        expect(f"127.0.0.1:{port}" in err and "is lost" in err, err)
        expect(out == "", out)
        # The set's pauses and read-back, then at most the unacknowledged limit (5 s).
        expect(seconds <= 9, f"the lost connection took {seconds:.2f} s to be noticed")
        print(f"netns_faults_test: {scheme}, cut after {cut_after}, noticed in {seconds:.1f} s:"
              f"\n{err}")
    finally:
        ip("link", "set", "lo", "up")
        for process in (tool, server, device):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()


def main():
    cli, sim, ser2net = sys.argv[1:4]
    in_own_namespace()
    ip("link", "set", "lo", "up")
    # An address that is not a loopback one, as every real machine has: without it the
    # resolver (AI_ADDRCONFIG) takes the machine for one without IPv4 at all.
    ip("address", "add", "192.0.2.250/32", "dev", "lo")
    ip("route", "add", "198.51.100.0/24", "dev", "lo")
    test_connect_timeout_is_bounded(cli)
    # Over RFC 2217 the server is asked about its line when the port closes, so a server
    # that vanished while the tool waited for the login's answer is found out; over raw TCP
    # only what the tool sends and the server never acknowledges shows it (docs/remote.md).
    for accepter, cut_after in (("telnet(rfc2217),tcp", "QK+LOGIN="),
                                ("tcp", "QK+PIPADD=")):
        with tempfile.TemporaryDirectory() as folder:
            test_half_open_connection_mid_set(cli, sim, ser2net, folder, accepter, cut_after)
    print("netns_faults_test: ok")


if __name__ == "__main__":
    main()
