#!/usr/bin/python3
"""The solver hand-off of the vessel recipe: examples/vessel_nozzle.vmf written as .inp, .bdf
and .unv. meshio reads the deck with one element set and one shell section per part and the
bulk data with one property (and PSHELL) per part; pelgrove's own importer reads the universal
file back and --compare finds it equal to the .dvk of the same run.
Usage: vessel_readback.py PELGROVE_BINARY EXAMPLES_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile

import meshio

# part -> (set name, material, thickness), as the example sets them
PARTS = {"shell": ("shell", "steel", 0.012), "head.surface": ("head_surface", "steel", 0.014),
         "nozzle.window": ("nozzle_window", "forging", 0.02), "nozzle.pipe": ("nozzle_pipe", "forging", 0.02),
         "blind.face": ("blind_face", "forging", 0.03)}
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def run(d, *args):
    r = subprocess.run([os.path.abspath(sys.argv[1]), *args], cwd=d, capture_output=True, text=True, errors="replace")
    check(r.returncode == 0, " ".join(args) + ": " + r.stdout + r.stderr)
    return r.stdout


def main():
    d = tempfile.mkdtemp()
    shutil.copy(os.path.join(sys.argv[2], "vessel_nozzle.vmf"), d)
    for out in ("vessel.dvk", "vessel.inp", "vessel.bdf", "vessel.unv"):
        run(d, "--fail-on", "any", "--run", "vessel_nozzle.vmf", out)
    deck = meshio.read(os.path.join(d, "vessel.inp"))
    elements = sum(len(c.data) for c in deck.cells)

    # inp: the sets partition the elements; one *SHELL SECTION per set with its material and T.
    sets = {name: sum(len(b) for b in blocks) for name, blocks in deck.cell_sets.items()}
    check(sorted(sets) == sorted(p[0] for p in PARTS.values()), "inp sets %s" % sorted(sets))
    check(sum(sets.values()) == elements and all(sets.values()), "inp set sizes %s" % sets)
    lines = open(os.path.join(d, "vessel.inp")).read().split("\n")
    sections = []
    for i, line in enumerate(lines):
        if line.startswith("*SHELL SECTION"):
            keys = dict(w.strip().split("=") for w in line.split(",")[1:])
            sections.append((keys["ELSET"], keys["MATERIAL"], float(lines[i + 1])))
    check(sorted(sections) == sorted(PARTS.values()), "inp shell sections %s" % sections)

    # bdf: the same points and elements, one property id per part, a PSHELL for each.
    bdf = meshio.read(os.path.join(d, "vessel.bdf"))
    pids = {int(p) for block in bdf.cell_data["nastran:ref"] for p in block}
    check(len(bdf.points) == len(deck.points) and sum(len(c.data) for c in bdf.cells) == elements, "bdf counts")
    text = open(os.path.join(d, "vessel.bdf")).read()
    pshells = {int(l.split(",")[1]): float(l.split(",")[3]) for l in text.split("\n") if l.startswith("PSHELL,")}
    check(len(pids) == len(PARTS) and set(pshells) == pids, "bdf properties %s, PSHELL %s" % (pids, pshells))
    check(sorted(pshells.values()) == sorted(p[2] for p in PARTS.values()), "bdf thicknesses %s" % pshells)

    # unv: read back as parts by pelgrove itself and compared with the run's .dvk.
    with open(os.path.join(d, "back.vmf"), "w") as f:
        f.write("import unv vessel.unv\n")
    out = run(d, "--compare", "vessel.dvk", "--run", "back.vmf", "back.dvk")
    check("the meshes match (%d points, %d elements, %d groups)" % (len(deck.points), elements, len(PARTS)) in out,
          "unv: " + out)

    for f in failures:
        print("FAILED: " + f)
    print("vessel readback: %d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
