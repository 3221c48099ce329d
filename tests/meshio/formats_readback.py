#!/usr/bin/python3
"""Writes one model in every standard and solver format through the pelgrove binary, reads
each file back with meshio (the universal file with pelgrove's own import and --compare) and
compares points, cells, groups and shell sections with the .dvk file of the same run. A
second model, whose part names are awkward (blanks, control bytes, bytes that are not UTF-8,
quotes, XML's special characters, a long name), goes through the writers that keep names and
--compare with its own .dvk.
Usage: formats_readback.py PELGROVE_BINARY"""
import os
import subprocess
import sys
import tempfile

import meshio
import numpy as np

MODEL = """
set element_type quads
set thickness 0.002
material steel
plate floor 5 4  0 0 0  1 0 0  1 1 0  0 1 0
set element_type tri1
set thickness 0.003
material alu
plate wall 2 1  0 0 0  0 0 1  1 0 1  1 0 0
line rail 3  0 1 0  1 1 0
set element_type quads
plate floor 1 1  1 0 0  2 0 0  2 1 0  1 1 0
set thickness 0.004
material steel
plate roof 2 2  0 0 1  1 0 1  1 1 1  0 1 1
"""
FACE = b" 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"
NAMES = (b"import dxf layer.dxf\ninclude tail.vmf\nline 2  0 0 0  0 0 1\nbegin a\x01b\xff\xc2\xa0c plate" + FACE +
         b"set element_type quads\nbegin q\"u\\o'te<&> plate" + FACE + b"begin " + b"\xc3\xa9" * 3000 + b" line 1  0 0 0  1 0 0\n")
LAYER_DXF = ("0\nSECTION\n2\nENTITIES\n0\n3DFACE\n8\nmy layer <1>\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
             "12\n1\n22\n1\n32\n0\n13\n0\n23\n1\n33\n0\n0\nENDSEC\n0\nEOF\n")
KINDS = {2: "line", 3: "triangle", 4: "quad"}
failures = []
checks = [0]


def check(cond, what):
    checks[0] += 1
    if not cond:
        failures.append(what)


def read_dvk(path):
    words = open(path, encoding="utf-8").read().split("\n", 1)[1].split()
    np_, ne, ng = int(words[0]), int(words[1]), int(words[2])
    at = 3
    pts = []
    for _ in range(np_):
        pts.append([float(w) for w in words[at + 1:at + 4]])
        at += 4
    elems = []  # (kind, point indices from 0, group number)
    for _ in range(ne):
        count, group = int(words[at + 2]), int(words[at + 3])
        at += 4
        elems.append((KINDS[count], [int(w) - 1 for w in words[at:at + count]], group))
        at += count
    names = {}
    for _ in range(ng):
        names[int(words[at])] = words[at + 1]
        at += 2
    return np.array(pts), [(k, p, names[g]) for k, p, g in elems]


def cells_of(mesh, tag_key, name_of_tag):
    """(kind, points, group name) of every cell, in file order."""
    out = []
    for block, tags in zip(mesh.cells, mesh.cell_data[tag_key]):
        for cell, tag in zip(block.data, tags):
            out.append((block.type, [int(v) for v in cell], name_of_tag(block.type, int(tag))))
    return out


def formats(model, solvers):
    """Checks `model` (bytes) in every format, the solver formats only when `solvers`; returns
    the part names the .vtu holds."""
    d = tempfile.mkdtemp()
    with open(os.path.join(d, "model.vmf"), "wb") as f:
        f.write(model)
    with open(os.path.join(d, "layer.dxf"), "w") as f:
        f.write(LAYER_DXF)
    with open(os.path.join(d, "tail.vmf"), "w") as f:
        f.write("begin")  # an empty name for the part after the include

    def export(args, out, file_format=None):
        """Runs the model into `out`; the mesh meshio reads back (None for dvk, unv) and standard error."""
        r = subprocess.run([sys.argv[1]] + args + ["--run", "model.vmf", out], cwd=d, capture_output=True, text=True,
                           errors="replace")
        check(r.returncode == 0, out + " run: " + r.stderr)
        path = os.path.join(d, out)
        return (meshio.read(path, file_format=file_format) if file_format not in ("dvk", "unv") else None), r.stderr

    export([], "model.dvk", "dvk")
    pts, elems = read_dvk(os.path.join(d, "model.dvk"))
    faces = [e for e in elems if e[0] != "line"]
    same_points = lambda m: np.allclose(m.points, pts, rtol=1e-13, atol=0)

    # vtu, chosen by --format; part numbers as cell data, names as field data.
    m, _ = export(["--format", "vtu"], "out.vtu")
    names = {int(v[0]): k for k, v in m.field_data.items()}
    check(same_points(m) and sorted(cells_of(m, "part", lambda t, g: names[g])) == sorted(elems), "vtu")

    # msh, chosen by the extension (any case); one physical group per part and dimension.
    m, _ = export([], "out.MSH", "gmsh")
    dims = {"line": 1, "triangle": 2, "quad": 2}
    physical = {(int(v[1]), int(v[0])): k for k, v in m.field_data.items()}
    got = cells_of(m, "gmsh:physical", lambda t, g: physical[(dims[t], g)])
    check(same_points(m) and sorted(got) == sorted(elems), "msh")

    # stl: triangles only, quadrilaterals split, bars left out with one warning.
    m, err = export([], "out.stl")
    bars = sum(1 for e in elems if e[0] == "line")
    check(err.count("warning: %d bars left out" % bars) == 1, "stl warning: " + err)
    tris = []
    for kind, p, _ in faces:
        tris += [p] if kind == "triangle" else [p[:3], [p[0], p[2], p[3]]]
    want = sorted(sorted(map(tuple, pts[t].astype(np.float32).tolist())) for t in tris)
    got = sorted(sorted(map(tuple, m.points[c].astype(np.float32).tolist())) for c in m.cells[0].data)
    check(len(m.cells) == 1 and want == got, "stl triangles")

    # obj: one group per part, in group order; meshio reads faces only.
    m, _ = export(["--format", "obj"], "out.txt", "obj")
    order = list(dict.fromkeys(g for _, _, g in elems))  # meshio numbers every "g" line
    check(same_points(m) and sorted(cells_of(m, "obj:group_ids", lambda t, g: order[g])) == sorted(faces), "obj")
    groups = [line.split() for line in open(os.path.join(d, "out.txt"), encoding="utf-8") if line.startswith("g ")]
    check([g[1:] for g in groups] == [[g] for g in order], "obj group names")

    r = subprocess.run([sys.argv[1], "--compare", "model.dvk", "--run", "model.vmf", "again.dvk"], cwd=d,
                       capture_output=True, text=True, errors="replace")
    check(r.returncode == 0, "--compare with its own .dvk: " + r.stdout + r.stderr)
    if not solvers:
        return list(names.values())

    # inp: one block per kind, an element and a node set per part, a section per thickness.
    # floor and roof share a material, not a thickness; floor's sets run over several lines
    sections = {"floor": ("steel", 0.002), "wall": ("alu", 0.003), "roof": ("steel", 0.004)}
    m, _ = export([], "out.inp")
    got = []
    for name, blocks in m.cell_sets.items():
        for block, members in zip(m.cells, blocks):
            got += [(block.type, [int(v) for v in block.data[i]], name) for i in members]
    nodes = {g: sorted({p for _, ps, n in elems if n == g for p in ps}) for g in order}
    check(same_points(m) and sorted(got) == sorted(elems), "inp cells and element sets")
    check({k: sorted(v.tolist()) for k, v in m.point_sets.items()} == nodes, "inp node sets")
    lines = open(os.path.join(d, "out.inp")).read().split("\n")
    shells = {}
    for i, line in enumerate(lines):
        if line.startswith("*SHELL SECTION"):
            keys = dict(w.strip().split("=") for w in line.split(",")[1:])
            shells[keys["ELSET"]] = (keys["MATERIAL"], float(lines[i + 1]))
    check(shells == sections, "inp shell sections: %s" % shells)

    # bdf: elements in .dvk order, each with its part's property id; a PSHELL per thickness.
    m, _ = export([], "out.bdf")
    number = {g: i + 1 for i, g in enumerate(order)}
    pids = np.concatenate(m.cell_data["nastran:ref"]).tolist()
    got = [(b.type, [int(v) for v in c]) for b in m.cells for c in b.data]
    check(same_points(m) and got == [(k, p) for k, p, _ in elems], "bdf cells")
    check(pids == [number[g] for _, _, g in elems] and np.concatenate(m.cells_id).tolist() == list(range(1, len(elems) + 1)),
          "bdf property and element numbers")
    text = open(os.path.join(d, "out.bdf")).read()
    mids = {int(l.split()[2].rstrip(":")): l.split()[-1] for l in text.split("\n") if l.startswith("$ MID")}
    shells = {}
    for line in text.split("\n"):
        if line.startswith("PSHELL,"):
            w = line.split(",")
            shells[order[int(w[1]) - 1]] = (mids[int(w[2])], float(w[3]))
    check(shells == sections, "bdf shells: %s" % shells)

    # unv: pelgrove's own reader takes the groups back as parts; the meshes match.
    export([], "out.unv", "unv")
    with open(os.path.join(d, "back.vmf"), "w") as f:
        f.write("import unv out.unv\n")
    r = subprocess.run([sys.argv[1], "--run", "back.vmf", "back.dvk", "--compare", "model.dvk"], cwd=d,
                       capture_output=True, text=True)
    check(r.returncode == 0 and "the meshes match (%d points, %d elements, %d groups)" % (len(pts), len(elems), len(order)) in r.stdout,
          "unv: " + r.stdout + r.stderr)

    return list(names.values())


def main():
    formats(MODEL.encode(), True)
    names = sorted(formats(NAMES, False))
    want = ["a_b?_c", "my_layer_<1>", "q\"u\\o'te<&>", "unnamed", "\u00e9" * 2048]
    check(names == sorted(want), "awkward names: %r" % [n[:20] for n in names])

    for f in failures:
        print("FAILED: " + f)
    print("%d passed, %d failed" % (checks[0] - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
