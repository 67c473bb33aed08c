#!/usr/bin/env python3
"""Runs the shell examples of the README, the docs and the manual pages against simulated
devices, so that an example that no longer works fails here.

An example is a line of a ```sh block (or of a manual page's EXAMPLES) that runs qk4410-cli,
qk4410-sim or qk4410-replay, or that only sets up the shell for such a line. Device paths
are rewritten to simulated devices in a scratch folder (/dev/ttyUSB0 to SCRATCH/ttyUSB0,
each its own device; /tmp/qk likewise; /dev/serial/by-id/* to the simulated adapters
there), and build/... program paths to the programs under test. Every other line (make,
the window, picocom, output shown in a block) is passed over. Each example must exit 0
(diff: 0 or 6).

usage: examples_test.py SOURCE_DIR CLI SIM REPLAY
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile

SOURCE, CLI, SIM, REPLAY = sys.argv[1:5]
DOCUMENTS = ["README.md", "docs/profiles.md", "docs/fleet.md", "docs/simulator.md", "docs/json.md",
             "tools/cli/qk4410-cli.1", "tools/sim/qk4410-sim.1",
             "tools/replay/qk4410-replay.1"]
SHELL_ONLY = re.compile(r"^(shopt |adapters=|\[ )")


def blocks(path):
    """The example blocks of a file, as lists of lines (continuations joined)."""
    with open(os.path.join(SOURCE, path), encoding="utf-8") as f:
        text = f.read()
    if path.endswith(".1"):
        found = re.findall(r"\.SH EXAMPLES\n\.nf\n(.*?)\n\.fi", text, re.S)
        found = [b.replace("\\-", "-") for b in found]
    else:
        found = re.findall(r"```sh\n(.*?)```", text, re.S)
    for block in found:
        yield re.sub(r"&&\n\s*", "&& ", block.replace("\\\n", " ")).splitlines()


def command_of(line):
    words = line.split()
    if not words:
        return None
    if SHELL_ONLY.match(line):
        return "shell"
    program = os.path.basename(words[0])
    if program in ("qk4410-cli", "qk4410-sim", "qk4410-replay"):
        return program
    if words[0] == "[" and "qk4410-cli" in line:
        return "shell"
    return None


def main():
    failures = []
    ran = 0
    for document in DOCUMENTS:
        for number, block in enumerate(blocks(document), 1):
            scratch = tempfile.mkdtemp(prefix="examples-")
            sims = []
            # Each block has a journal of its own: history and undo see its changes alone.
            script = ["set -u", "cd " + shlex.quote(scratch),
                      "export XDG_STATE_HOME=" + shlex.quote(os.path.join(scratch, "state"))]

            def device(name):
                """A simulated device linked as SCRATCH/NAME."""
                link = os.path.join(scratch, name)
                if not os.path.exists(link):
                    os.makedirs(os.path.dirname(link), exist_ok=True)
                    # Each its own device, with an ID of its own.
                    sims.append(subprocess.Popen(
                        [SIM, "--link", link, "--id", "QK4520-%06d" % (len(sims) + 1)],
                        stdout=subprocess.DEVNULL))
                    for _ in range(100):
                        if os.path.exists(link):
                            break
                        subprocess.run(["sleep", "0.05"])
                return link

            lines = [l.split("  #")[0].strip() for l in block]
            lines = [l for l in lines if command_of(l)]
            if not lines:
                continue
            for line in lines:
                # In the order they appear: a set's order changes from run to run, and the
                # devices' IDs follow the order they are started in.
                for path in dict.fromkeys(re.findall(r"/dev/tty(?:USB|ACM)\d+", line)):
                    line = line.replace(path, device(os.path.basename(path)))
                if "/dev/serial/by-id/*" in line:
                    device("by-id/usb-QinHeng_CH340-if00-port0")
                    device("by-id/usb-FTDI_FT232R-if00-port0")
                    line = line.replace("/dev/serial/by-id/*", os.path.join(scratch, "by-id") + "/*")
                for name in set(re.findall(r"/tmp/(qk|ttyQK)(?![-\w])", line)):
                    link = os.path.join(scratch, name)
                    line = re.sub(r"/tmp/%s(?![-\w])" % name, link, line)
                line = re.sub(r"\S*qk4410-cli\b", shlex.quote(CLI), line, count=1)
                line = re.sub(r"\S*qk4410-replay\b", shlex.quote(REPLAY), line, count=1)
                if command_of(line.replace(shlex.quote(CLI), "qk4410-cli")) == "qk4410-sim" or \
                        os.path.basename(line.split()[0]) == "qk4410-sim":
                    # A device the example starts itself: started here, in the background.
                    link = re.search(r"--link (\S+)", line)
                    if link:
                        device(os.path.relpath(link.group(1), scratch))
                    continue
                allowed = "0|6" if " diff " in line else "0"
                script.append(line + "; s=$?; case $s in " + allowed + ") ;; *) echo \"example "
                              "failed with status $s: \"" + shlex.quote(line) + " >&2; exit 1 ;; esac")
            done = subprocess.run(["bash", "-c", "\n".join(script)], capture_output=True,
                                  text=True, timeout=300)
            ran += 1
            if done.returncode != 0:
                failures.append(f"{document}, block {number}:\n{done.stderr}")
            for sim in sims:
                sim.terminate()
                sim.wait()
            subprocess.run(["rm", "-rf", scratch])
    for failure in failures:
        print("FAIL:", failure)
    print(f"{ran} example blocks run, {len(failures)} failed")
    return 1 if failures or ran == 0 else 0


sys.exit(main())
