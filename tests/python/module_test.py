#!/usr/bin/python3
"""The Python module against the batch program: the same points, cells and groups as the
.dvk of a batch run (with and without pins), failing scripts raising at their line, flat
memory over 1,000 runs, the meshio conversion read back from a .vtu, and the README's
example run as it stands.
Usage: module_test.py PELGROVE_BINARY SOURCE_DIR (PYTHONPATH holds the built module)"""
import os
import subprocess
import sys
import tempfile

import meshio
import numpy as np
import pelgrove

BIN, SRC = sys.argv[1], sys.argv[2]
EX = os.path.join(SRC, "examples")
KINDS = {2: "line", 3: "triangle", 4: "quad"}
failures = []


def expect(ok, what):
    if not ok:
        failures.append(what)


def read_dvk(path):
    """Points, cells per kind, and part name per cell per kind, of a .dvk file."""
    lines = open(path).read().split("\n")
    npts, nel, ngroups = map(int, lines[1].split())
    points = np.array([[float(v) for v in l.split()[1:4]] for l in lines[2:2 + npts]])
    names = dict(l.split(None, 1) for l in lines[2 + npts + 2 * nel:2 + npts + 2 * nel + ngroups])
    cells, parts = {}, {}
    for k in range(nel):
        head, body = lines[2 + npts + 2 * k].split(), lines[3 + npts + 2 * k].split()
        kind = KINDS[int(head[2])]
        cells.setdefault(kind, []).append([int(v) - 1 for v in body])
        parts.setdefault(kind, []).append(names[head[3]])
    return points, cells, parts


def same_as_batch(mesh, script, pins):
    with tempfile.TemporaryDirectory() as d:
        out = os.path.join(d, "out.dvk")
        subprocess.run([BIN] + [a for p in pins.items() for a in ("--D", "%s=%s" % p)] + ["--run", script, out],
                       check=True, capture_output=True)
        points, cells, parts = read_dvk(out)
    return (mesh.points.shape == points.shape and np.allclose(mesh.points, points, rtol=1e-12, atol=1e-12) and
            sorted(mesh.cells) == sorted(cells) and
            all(np.array_equal(mesh.cells[k], cells[k]) for k in cells) and
            all([mesh.parts[i] for i in mesh.cell_parts[k]] == parts[k] for k in parts))


# Script, pins: the module's mesh is the batch run's, point for point.
for name, pins in [("box.vmf", {}), ("box.vmf", {"n": 3, "lx": 5}), ("flanged_pipe.vmf", {}),
                   ("flanged_pipe.vmf", {"L": 7.5}), ("pipe_elbow.vmf", {"nt": 12})]:
    script = os.path.join(EX, name)
    expect(same_as_batch(pelgrove.run(script, D=pins), script, pins), "%s %s differs from batch" % (name, pins))

# A script's text and its file are the same run; colours, thickness and the check come along.
box = pelgrove.run(open(os.path.join(EX, "box.vmf")).read(), D={"n": "[2*2]"})
expect(box.points.shape == (98, 3) and box.cells["quad"].shape == (96, 4), "box text with n=[2*2]: %r" % box)
expect(np.allclose(box.colors["top"], (0.2, 0.5, 0.9, 1)) and box.thickness == {}, "box colours %r" % box.colors)
report = box.check()
expect(report["free_edges"]["count"] == 0 and report["points"] == 98, "box check %r" % report)
shell = pelgrove.run("set thickness 0.002\nplate skin 2 2  0 0 0  1 0 0  1 1 0  0 1 0\n", tolerance=1e-3)
expect(shell.thickness == {"skin": 0.002}, "thickness %r" % shell.thickness)

# Failing runs raise at the failing line; the next run starts clean; a bad pin is refused.
for script, line in [("set n 2\nplate a [n] [n] 0 0 0 1 0 0 1 1 0 0 1 0\nnosuchword\n", 3),
                     ("plate a 2 2 0 0 0 1 0 0 1 1 0\n", 1), ("set x [1 +]\n\nbogus\n", 3)]:
    try:
        pelgrove.run(script)
        failures.append("no error from %r" % script)
    except pelgrove.ScriptError as e:
        expect(e.line == line and e.file == "script" and e.messages, "%r: line %s, %s" % (script, e.line, e))
clean = pelgrove.run("plate b 1 1 0 0 0 1 0 0 1 1 0 0 1 0\n")
expect(clean.parts == ["b"] and clean.messages == [], "state left over: %r %r" % (clean.parts, clean.messages))
try:
    pelgrove.run("plate b 1 1 0 0 0 1 0 0 1 1 0 0 1 0\n", D={"n": "[1 +]"})
    failures.append("bad pin accepted")
except ValueError:
    pass

# A library file given to one run only: the next run without it does not know its function.
with tempfile.TemporaryDirectory() as d:
    lib = os.path.join(d, "lib.vmf")
    open(lib, "w").write("define square 0 {\nbegin sq plate 1 1 0 0 0 1 0 0 1 1 0 0 1 0\n}\n")
    expect(pelgrove.run("square\n", libraries=[lib]).parts[-1].endswith("sq"), "library function not run")
    try:
        pelgrove.run("square\n")
        failures.append("a library of an earlier run is still loaded")
    except pelgrove.ScriptError:
        pass

# A deck written after later runs keeps its own run's element type names.
deck = pelgrove.run("set element_type quads\nelement_name quadrilateral S4R\nplate d 1 1 0 0 0 1 0 0 1 1 0 0 1 0\n")
pelgrove.run("plate e 1 1 0 0 0 1 0 0 1 1 0 0 1 0\n")
with tempfile.TemporaryDirectory() as d:
    deck.write(os.path.join(d, "d.inp"))
    expect("TYPE=S4R" in open(os.path.join(d, "d.inp")).read(), "element names of a later run")

# Every writer of the table writes a mesh kept from an earlier run; meshio reads the .vtu back.
with tempfile.TemporaryDirectory() as d:
    for fmt in pelgrove.formats:
        path = os.path.join(d, "box." + fmt)
        box.write(path, format=fmt)
        expect(os.path.getsize(path) > 0, "writer %s wrote nothing" % fmt)
    back = meshio.read(os.path.join(d, "box.vtu"))
    expect(np.allclose(back.points, box.points), "vtu points")
    vtu = os.path.join(d, "via_meshio.vtu")
    box.to_meshio().write(vtu)
    back = meshio.read(vtu)
    expect((back.cells_dict["quad"] == box.cells["quad"]).all() and
           (back.cell_data["part"][0] == box.cell_parts["quad"]).all(), "meshio cells or parts")


# 1,000 runs of a small model: the resident size after the first hundred stays within 2 MB.
def resident_kb():
    return int(next(l for l in open("/proc/self/status") if l.startswith("VmRSS")).split()[1])


small = "set n 6\nplate p [n] [n] 0 0 0 1 0 0 1 1 0 0 1 0\ncylinder c 8 4 1 0 0 1 360 0 1 360 1 1 0 1\n"
for i in range(1000):
    pelgrove.run(small, D={"n": 4 + i % 5}).check()
    if i == 99:
        settled = resident_kb()
grown = resident_kb() - settled
expect(grown < 2048, "memory grew by %d kB over 900 runs" % grown)

# The README's example, as shown there: the indented block that starts with "import pelgrove".
readme, block = open(os.path.join(SRC, "README.md")).read().split("\n"), []
start = readme.index("    import pelgrove")
for line in readme[start:]:
    if line and not line.startswith("    "):
        break
    block.append(line[4:])
r = subprocess.run(["/usr/bin/python3", "-c", "\n".join(block)], cwd=SRC, capture_output=True, text=True,
                   env=dict(os.environ, PYTHONPATH=os.path.dirname(os.path.abspath(pelgrove.__file__))))
rows = [l.split() for l in r.stdout.strip().split("\n")]
expect(r.returncode == 0 and len(rows) >= 3 and all(0 < float(a) <= 90 for _, _, a in rows) and
       len({e for _, e, _ in rows}) == len(rows), "README example: %s %s" % (r.stdout, r.stderr))

print("\n".join(failures) or "ok")
sys.exit(1 if failures else 0)
