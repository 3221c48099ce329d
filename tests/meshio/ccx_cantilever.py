#!/usr/bin/python3
"""A cantilevered plate meshed by pelgrove and solved by CalculiX: a driver deck includes the
written .inp, adds the material, clamps the root and loads the tip. The tip deflection must
agree with beam theory, P L^3 / 3 E I, within 5 %.
Usage: ccx_cantilever.py PELGROVE_BINARY CCX_BINARY"""
import os
import subprocess
import sys
import tempfile

L, B, T, E, P = 1.0, 0.1, 0.01, 210000.0, 1.0
MODEL = """set element_type quads
set thickness %g
material steel
plate plate 20 2  0 0 0  %g 0 0  %g %g 0  0 %g 0
""" % (T, L, L, B, B)


def main():
    d = tempfile.mkdtemp()
    with open(os.path.join(d, "plate.vmf"), "w") as f:
        f.write(MODEL)
    r = subprocess.run([sys.argv[1], "--run", "plate.vmf", "plate.inp"], cwd=d, capture_output=True, text=True)
    if r.returncode != 0:
        print("FAILED: pelgrove: " + r.stderr)
        return 1
    nodes, keyword = {}, ""
    for line in open(os.path.join(d, "plate.inp")):
        if line.startswith("*"):
            keyword = line.split(",")[0].strip()
        elif keyword == "*NODE":
            w = line.split(",")
            nodes[int(w[0])] = float(w[1])
    root = [n for n, x in nodes.items() if abs(x) < 1e-9]
    tip = [n for n, x in nodes.items() if abs(x - L) < 1e-9]
    with open(os.path.join(d, "run.inp"), "w") as f:
        f.write("*INCLUDE, INPUT=plate.inp\n*NSET, NSET=ROOT\n%s\n*NSET, NSET=TIP\n%s\n" %
                (",".join(map(str, root)), ",".join(map(str, tip))))
        f.write("*MATERIAL, NAME=steel\n*ELASTIC\n%g, 0.0\n*BOUNDARY\nROOT, 1, 6\n*STEP\n*STATIC\n*CLOAD\n" % E)
        f.writelines("%d, 3, %g\n" % (n, P / len(tip)) for n in tip)
        f.write("*NODE PRINT, NSET=TIP\nU\n*END STEP\n")
    r = subprocess.run([sys.argv[2], "run"], cwd=d, capture_output=True, text=True)
    if r.returncode != 0 or "*ERROR" in r.stdout:
        print("FAILED: ccx: " + r.stdout[-2000:] + r.stderr)
        return 1
    w = [l.split() for l in open(os.path.join(d, "run.dat")) if l.split() and l.split()[0] in map(str, tip)]
    deflection = sum(float(v[3]) for v in w) / len(w)
    theory = P * L**3 / (3 * E * B * T**3 / 12)
    ok = len(w) == len(tip) and abs(deflection / theory - 1) < 0.05
    print("%s: tip deflection %g, beam theory %g" % ("passed" if ok else "FAILED", deflection, theory))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
