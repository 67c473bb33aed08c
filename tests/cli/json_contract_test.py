#!/usr/bin/env python3
"""Every --json line of every command, with one device and with three, parses and
validates against docs/json-schema.json (the journal's history and undo too); settings the table types as numbers are numbers;
a port path holding the byte 0xFF comes back, unescaped, as the same bytes.

usage: json_contract_test.py CLI SIM SCHEMA
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

CLI, SIM, SCHEMA = sys.argv[1:4]
NUMBERS = {"deviceBaud", "destPort", "workType", "dataBits", "registerEnable"}
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def unescape(text):
    """The profiles' escapes back to bytes: \\xHH, \\\\, \\r, \\n, \\t."""
    out = bytearray()
    i = 0
    while i < len(text):
        if text[i] == "\\":
            kind = text[i + 1]
            if kind == "x":
                out.append(int(text[i + 2:i + 4], 16))
                i += 4
                continue
            out += {"\\": b"\\", "r": b"\r", "n": b"\n", "t": b"\t"}[kind]
            i += 2
            continue
        out += text[i].encode()
        i += 1
    return bytes(out)


def run(*arguments, status=0):
    done = subprocess.run([CLI, "--settle", "300", "--json", "--journal", JOURNAL, *arguments],
                          capture_output=True, timeout=120)
    what = " ".join(os.fsdecode(a) for a in arguments)
    check(done.returncode == status, f"{what}: status {done.returncode}, wanted {status}: "
          f"{done.stderr.decode(errors='replace')}")
    lines = done.stdout.decode("utf-8").splitlines()
    for line in lines:
        try:
            obj = json.loads(line)
        except ValueError as error:
            failures.append(f"{what}: not JSON ({error}): {line!r}")
            continue
        for error in validator.iter_errors(obj):
            failures.append(f"{what}: {error.message} in {line}")
        settings = obj.get("settings") or {}
        for name, value in settings.items():
            if name in NUMBERS and value is not None:
                check(isinstance(value, (int, float)), f"{what}: {name} is {value!r}")
    return [json.loads(line) for line in lines]


with open(SCHEMA, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)

folder = tempfile.mkdtemp(prefix="qk-json-")
JOURNAL = os.path.join(folder, "journal.sqlite")
sims = []
try:
    ports = []
    for n in range(3):
        sim = subprocess.Popen([SIM, "--id", "QK-%d" % n], stdout=subprocess.PIPE, text=True)
        sims.append(sim)
        ports.append(sim.stdout.readline().strip())
    # A path a file system allows and UTF-8 does not: the byte 0xFF.
    odd = os.path.join(os.fsencode(folder), b"tty\xff")
    os.symlink(os.fsencode(ports[0]), odd)
    one = ["--port", odd]
    three = ["--port", odd, "--port", ports[1], "--port", ports[2]]
    profile = os.path.join(folder, "site.profile")

    for targets, count in ((one, 1), (three, 3)):
        got = run(*targets, "get")
        check(len(got) == count, f"get: {len(got)} lines for {count} devices")
        if got:
            check(unescape(got[0]["port"]) == odd, f"port {got[0]['port']!r} is not {odd!r}")
            check(got[0]["settings"]["destPort"] in (5000, 6001), "get: destPort is no number")
        got = run(*targets, "set", "destPort=6001", "heartbeat=45s")
        check(len(got) == count and all(g["settings"]["destPort"] == 6001 for g in got),
              f"set: {got}")
        got = run(*targets, "scan", status=0)
        check(len(got) == count and all(g["found"] for g in got), f"scan: {got}")

    got = run(*one, "save", profile)
    check(len(got) == 1 and got[0].get("file") == profile, f"save: {got}")
    subprocess.run(["sed", "-i", "s/^destPort=.*/destPort=7001/", profile], check=True)
    got = run(*three, "diff", profile, status=6)
    check(len(got) == 3 and all(line["result"] == "differs" and line["differences"] ==
                                [{"name": "destPort", "device": 6001, "file": 7001}]
                                for line in got), f"diff: {got}")
    got = run(*three, "apply", profile)
    check(len(got) == 3 and all(g["result"] == "ok" and g["written"] == ["destPort"]
                                for g in got), f"apply: {got}")
    got = run(*one, "diff", profile)
    check(len(got) == 1 and got[0]["differences"] == [], f"diff: {got}")
    got = run(*one, "apply", profile)
    check(len(got) == 1 and got[0]["written"] == [], f"apply: {got}")
    values = os.path.join(folder, "fleet.csv")
    with open(values, "w", encoding="utf-8") as f:
        f.write("id,registerData,destPort\nQK-0,SITE-A,6100\nQK-1,SITE-B,\n")
    got = run(*three, "apply", "--values", values, status=3)
    check(len(got) == 3 and [g["result"] for g in got] == ["ok", "ok", "failed"] and
          all(isinstance(g.get("change"), int) for g in got[:2]), f"apply --values: {got}")
    got = run("history", "--id", "QK-0")
    check(len(got) >= 2 and got[-1]["operation"] == "apply" and
          {"name": "destPort", "before": 7001, "wanted": 6100, "after": 6100}
          in got[-1]["values"], f"history: {got}")
    got = run(*one, "undo", "--id", "QK-0")
    check(len(got) == 1 and got[0]["result"] == "ok" and "destPort" in got[0]["written"] and
          isinstance(got[0]["undone"], int), f"undo: {got}")
    got = run("history", "--since", "2000-01-01")
    check(len(got) >= 6 and all(g["result"] == "ok" for g in got), f"history: {got}")
    got = run("--com", "1=" + ports[1], "ports")
    check(any(g["com"] == 1 and g["pinned"] for g in got), f"ports: {got}")
finally:
    for sim in sims:
        sim.terminate()
        sim.wait()
    subprocess.run(["rm", "-rf", folder])

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
