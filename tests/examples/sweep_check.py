#!/usr/bin/python3
"""The parameter-study recipe (examples/sweep/sweep.sh) on eight variants of its panel model
through GNU parallel, one of them failing (its stiffeners miss the skin's lattice lines): the
seven decks are named from their values and carry their thickness, the eighth is listed with
its message and leaves no deck.
Usage: sweep_check.py PELGROVE_BINARY EXAMPLES_DIR"""
import os
import subprocess
import sys
import tempfile

# t, n, s -> ok?  n = 10 with 3 stiffeners puts them between lattice lines: T-joints.
VARIANTS = [("1.5", "8", "3", True), ("2", "8", "3", True), ("2", "10", "3", False), ("2", "12", "5", True),
            ("2.5", "12", "3", True), ("3", "12", "5", True), ("3", "24", "5", True), ("4", "8", "1", True)]


def main():
    sweep = os.path.join(os.path.abspath(sys.argv[2]), "sweep")
    d = tempfile.mkdtemp()
    with open(os.path.join(d, "study.csv"), "w") as f:
        f.write("t,n,s\r\n" + "".join("%s,%s,%s\r\n" % v[:3] for v in VARIANTS))
    env = dict(os.environ, PELGROVE=os.path.abspath(sys.argv[1]))
    r = subprocess.run(["sh", os.path.join(sweep, "sweep.sh"), "-j", "2", os.path.join(sweep, "panel.vmf"), "study.csv",
                        "out"], cwd=d, env=env, capture_output=True, text=True)
    failures = []
    names = {"panel_t=%s_n=%s_s=%s" % v[:3]: v for v in VARIANTS}
    want = sorted(n + (".inp" if v[3] else ".failed") for n, v in names.items())
    if not os.path.isdir(os.path.join(d, "out")) or sorted(os.listdir(os.path.join(d, "out"))) != want:
        print("FAILED: outputs: " + r.stdout + r.stderr)
        return 1
    for name, (t, n, s, ok) in names.items():
        if not ok:
            continue
        text = open(os.path.join(d, "out", name + ".inp")).read()
        skin = text.split("*SHELL SECTION, ELSET=skin", 1)[1].split("\n")[1]
        if abs(float(skin) - float(t) / 1000) > 1e-12:
            failures.append(name + ": skin thickness " + skin)
    report = r.stdout.split("\n")
    failed = [i for i, line in enumerate(report) if line.startswith("FAILED ")]
    if r.returncode != 1 or [report[i] for i in failed] != ["FAILED panel_t=2_n=10_s=3"]:
        failures.append("status %d, report:\n%s%s" % (r.returncode, r.stdout, r.stderr))
    elif "--fail-on t-joints" not in report[failed[0] + 1] or "7 variants meshed, 1 failed" not in r.stdout:
        failures.append("failure message:\n" + r.stdout)
    for f in failures:
        print("FAILED: " + f)
    print("sweep: %d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
