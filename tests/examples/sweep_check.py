#!/usr/bin/python3
"""The parameter-study recipe (examples/sweep/sweep.sh) on eight variants of its panel model
through GNU parallel, one failing (its stiffeners miss the skin's lattice lines): seven decks
named from their values with their thickness, the eighth listed with its message, no deck.
Usage: sweep_check.py PELGROVE_BINARY EXAMPLES_DIR"""
import os
import subprocess
import sys
import tempfile

# t, n, s; n = 10 with 3 stiffeners puts them between lattice lines: T-joints.
VARIANTS = [("1.5", "8", "3"), ("2", "8", "3"), ("2", "10", "3"), ("2", "12", "5"), ("2.5", "12", "3"),
            ("3", "12", "5"), ("3", "24", "5"), ("4", "8", "1")]
FAILING = "panel_t=2_n=10_s=3"


def main():
    sweep, d = os.path.join(os.path.abspath(sys.argv[2]), "sweep"), tempfile.mkdtemp()
    with open(os.path.join(d, "study.csv"), "w") as f:
        f.write("t,n,s\r\n" + "".join("%s,%s,%s\r\n" % v for v in VARIANTS))
    r = subprocess.run(["sh", os.path.join(sweep, "sweep.sh"), "-j", "2", os.path.join(sweep, "panel.vmf"),
                        "study.csv", "out"], cwd=d, env=dict(os.environ, PELGROVE=os.path.abspath(sys.argv[1])),
                       capture_output=True, text=True)
    decks = {"panel_t=%s_n=%s_s=%s.inp" % v: float(v[0]) / 1000 for v in VARIANTS}
    del decks[FAILING + ".inp"]
    out = os.path.join(d, "out")
    got = sorted(os.listdir(out)) if os.path.isdir(out) else []
    ok = got == sorted(list(decks) + [FAILING + ".failed"])
    for name, t in decks.items() if ok else []:
        skin = open(os.path.join(out, name)).read().split("*SHELL SECTION, ELSET=skin", 1)[1].split("\n")[1]
        ok = ok and abs(float(skin) - t) < 1e-12
    report = r.stdout.split("\n")
    failed = [i for i, line in enumerate(report) if line.startswith("FAILED ")]
    ok = ok and r.returncode == 1 and [report[i] for i in failed] == ["FAILED " + FAILING]
    ok = ok and "--fail-on t-joints" in report[failed[0] + 1] and "7 variants meshed, 1 failed" in r.stdout
    print("sweep: as expected" if ok else "FAILED: sweep gave %s, status %d:\n%s" % (got, r.returncode, r.stdout[-2000:]))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
