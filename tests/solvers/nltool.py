"""Test tools of the default solver: a reader of linear text nl files, the
same file in the binary form, the reference solution by scipy's HiGHS, and
a reader of text solution files.  Only what the test problems use."""
import math
import struct

INF = math.inf
# Opcodes whose operand count precedes the operands, and one-operand ones.
LIST_OPS = {11, 12, 54}
UNARY_OPS = {13, 14, 15, 16, 34}
HEADER_FIELDS = [
    None,
    ["n_var", "n_con", "n_obj", "n_ranges", "n_eqns", "n_lcons", "n_rand"],
    ["nlc", "nlo"], ["nlnc", "lnc"], ["nlvc", "nlvo", "nlvb"],
    ["nwv", "nfunc", "arith", "flags"],
    ["nbv", "niv", "nlvbi", "nlvci", "nlvoi"], ["nzc", "nzo"],
    ["maxrow", "maxcol"], ["comb", "comc", "como", "comc1", "como1"],
]


def numbers(line):
    return line.split("#")[0].split()


class Lines:
    def __init__(self, lines):
        self.lines, self.i = lines, 0

    def next(self):
        line = self.lines[self.i]
        self.i += 1
        return line

    def done(self):
        return self.i >= len(self.lines)


def read_header(lines):
    h = {}
    first = numbers(lines[0])
    h["form"], h["words"] = first[0][0], [int(first[0][1:])] + [
        int(w) for w in first[1:]]
    for k in range(1, 10):
        for name, v in zip(HEADER_FIELDS[k], numbers(lines[k])):
            h[name] = int(v)
    return h


def read_graph(ls):
    """An expression graph of constants, variables, 0, 1, 2, 3, 16, 54 as
    (constant, {variable: coefficient})."""
    line = ls.next().split("#")[0].strip()
    tag, rest = line[0], line[1:]
    if tag == "n":
        return float(rest), {}
    if tag == "v":
        return 0.0, {int(rest): 1.0}
    op = int(rest)
    if op == 16:
        c, t = read_graph(ls)
        return -c, {v: -a for v, a in t.items()}
    n = int(ls.next().split("#")[0]) if op == 54 else 2
    args = [read_graph(ls) for _ in range(n)]
    if op == 2:
        (c1, t1), (c2, t2) = args
        if t1:
            c1, t1, c2, t2 = c2, t2, c1, t1
        return c1 * c2, {v: c1 * a for v, a in t2.items()}
    if op == 3:
        (c1, t1), (c2, _) = args
        return c1 / c2, {v: a / c2 for v, a in t1.items()}
    if op == 1:
        args[1] = (-args[1][0], {v: -a for v, a in args[1][1].items()})
    c, t = 0.0, {}
    for ci, ti in args:
        c += ci
        for v, a in ti.items():
            t[v] = t.get(v, 0.0) + a
    return c, t


def bound_line(line):
    f = numbers(line)
    code, vals = int(f[0]), [float(x) for x in f[1:]]
    return {0: (lambda: (vals[0], vals[1])), 1: (lambda: (-INF, vals[0])),
            2: (lambda: (vals[0], INF)), 3: (lambda: (-INF, INF)),
            4: (lambda: (vals[0], vals[0]))}[code]()


def read_nl(path):
    """The linear problem of a text nl file."""
    lines = open(path).read().split("\n")
    p = read_header(lines)
    n, m = p["n_var"], p["n_con"]
    p.update(A=[{} for _ in range(m)], c=[{} for _ in range(p["n_obj"])],
             sense=[0] * p["n_obj"], obj_const=[0.0] * p["n_obj"],
             row_const=[0.0] * m, lo=[-INF] * n, hi=[INF] * n,
             row_lo=[-INF] * m, row_hi=[INF] * m, row_code=[3] * m)
    ls = Lines(lines[10:])
    while not ls.done():
        line = ls.next()
        if not line:
            continue
        f = numbers(line[1:])
        s = line[0]
        if s in "CO":
            i = int(f[0])
            c, t = read_graph(ls)
            target = p["A"][i] if s == "C" else p["c"][i]
            for v, a in t.items():
                target[v] = target.get(v, 0.0) + a
            if s == "C":
                p["row_const"][i] = c
            else:
                p["sense"][i], p["obj_const"][i] = int(f[1]), c
        elif s in "br":
            for i in range(n if s == "b" else m):
                line = ls.next()
                lo, hi = bound_line(line)
                if s == "b":
                    p["lo"][i], p["hi"][i] = lo, hi
                else:
                    p["row_lo"][i], p["row_hi"][i] = lo, hi
                    p["row_code"][i] = int(line[0])
        elif s in "JG":
            target = (p["A"] if s == "J" else p["c"])[int(f[0])]
            for _ in range(int(f[1])):
                v, a = numbers(ls.next())
                target[int(v)] = target.get(int(v), 0.0) + float(a)
        elif s in "xdk":
            for _ in range(int(f[0])):
                ls.next()
        else:
            raise ValueError("nltool reads no %s segment" % s)
    return p


def to_binary(text_path, bin_path):
    """The binary form of a text nl file: the header with letter "b" and
    arith 1, then each item's bytes."""
    lines = open(text_path).read().split("\n")
    out = bytearray()
    head = lines[:10]
    head[0] = "b" + head[0][1:]
    f = numbers(head[5])
    f = (f + ["0", "0"])[:2] + ["1"] + (f[3:] or ["0"])
    head[5] = " " + " ".join(f) + "\t# linear network variables; functions;" \
        " arith, flags"
    out += ("\n".join(head) + "\n").encode()
    i32 = lambda v: struct.pack("<i", int(v))
    f64 = lambda v: struct.pack("<d", float(v))

    def number(v):
        v = float(v)
        if v == int(v) and -32768 <= v <= 32767:
            return b"s" + struct.pack("<h", int(v))
        if v == int(v) and -2**31 <= v < 2**31:
            return b"l" + i32(v)
        return b"n" + f64(v)

    ls = Lines(lines[10:])
    h = read_header(lines)

    def graph():
        line = ls.next().split("#")[0].strip()
        tag, rest = line[0], line[1:]
        if tag == "n":
            return number(rest)
        if tag == "v":
            return b"v" + i32(rest)
        op = int(rest)
        b = b"o" + i32(op)
        if op in LIST_OPS:
            n = int(ls.next().split("#")[0])
            b += i32(n)
        else:
            n = 1 if op in UNARY_OPS else 2
        for _ in range(n):
            b += graph()
        return b

    while not ls.done():
        line = ls.next()
        if not line:
            continue
        s, f = line[0], numbers(line[1:])
        out += s.encode()
        if s in "CO":
            out += b"".join(i32(x) for x in f) + graph()
        elif s in "br":
            for _ in range(h["n_var"] if s == "b" else h["n_con"]):
                g = numbers(ls.next())
                out += g[0].encode() + b"".join(f64(x) for x in g[1:])
        elif s in "JG":
            out += i32(f[0]) + i32(f[1])
            for _ in range(int(f[1])):
                v, a = numbers(ls.next())
                out += i32(v) + f64(a)
        elif s in "xd":
            out += i32(f[0])
            for _ in range(int(f[0])):
                v, a = numbers(ls.next())
                out += i32(v) + f64(a)
        elif s == "k":
            out += i32(f[0])
            for _ in range(int(f[0])):
                out += i32(numbers(ls.next())[0])
        else:
            raise ValueError("nltool writes no %s segment" % s)
    open(bin_path, "wb").write(bytes(out))


def oracle(p):
    """scipy's HiGHS on objective 0 (or none): (objective, x, duals) with
    duals as d(objective)/d(row bound) in the problem's sense; for problems
    with integer columns (the last nbv + niv) no duals."""
    import numpy as np
    from scipy.optimize import LinearConstraint, linprog, milp

    n, m = p["n_var"], p["n_con"]
    c = np.zeros(n)
    k, const = 1.0, 0.0
    if p["n_obj"]:
        for v, a in p["c"][0].items():
            c[v] = a
        const = p["obj_const"][0]
        if p["sense"][0]:
            k = -1.0
    A = np.zeros((m, n))
    for i, row in enumerate(p["A"]):
        for v, a in row.items():
            A[i, v] = a
    rlo = np.array(p["row_lo"]) - np.array(p["row_const"])
    rhi = np.array(p["row_hi"]) - np.array(p["row_const"])
    bounds = list(zip(p["lo"], p["hi"]))
    nint = p.get("nbv", 0) + p.get("niv", 0)
    if nint:
        integrality = np.zeros(n)
        integrality[n - nint:] = 1
        cons = [LinearConstraint(A, rlo, rhi)] if m else []
        r = milp(k * c, integrality=integrality, constraints=cons,
                 bounds=(np.array(p["lo"]), np.array(p["hi"])))
        if r.status != 0:
            return None
        return k * r.fun + const, list(r.x), None
    ub, bub, eq, beq, where = [], [], [], [], []
    for i in range(m):
        if rlo[i] == rhi[i]:
            where.append(("eq", len(eq)))
            eq.append(A[i])
            beq.append(rlo[i])
            continue
        pos = []
        if rhi[i] < INF:
            pos.append((len(ub), 1.0))
            ub.append(A[i])
            bub.append(rhi[i])
        if rlo[i] > -INF:
            pos.append((len(ub), -1.0))
            ub.append(-A[i])
            bub.append(-rlo[i])
        where.append(("ub", pos))
    r = linprog(k * c, A_ub=np.array(ub) if ub else None,
                b_ub=bub or None, A_eq=np.array(eq) if eq else None,
                b_eq=beq or None, bounds=bounds, method="highs")
    if r.status != 0:
        return None
    y = []
    for kind, w in where:
        if kind == "eq":
            y.append(k * r.eqlin.marginals[w])
        else:
            y.append(k * sum(s * r.ineqlin.marginals[j] for j, s in w))
    return k * r.fun + const, list(r.x), y


def read_sol(path):
    """A text solution file: message, option words, duals, primals, objno
    and result code."""
    lines = open(path).read().split("\n")
    i = lines.index("")
    sol = {"message": "\n".join(lines[:i])}
    rest = [s for s in lines[i:] if s != ""]
    assert rest[0] == "Options", rest[0]
    n = int(rest[1])
    j = 2
    words = [int(w) for w in rest[j:j + 3]]
    count = n - 2 if words[1] == 3 else n
    sol["words"] = [int(w) for w in rest[j:j + count]]
    j += count
    sol["counts"] = [int(w) for w in rest[j:j + 4]]
    j += 4
    if words[1] == 3:
        sol["tol"] = float(rest[j])
        j += 1
    nd, nx = sol["counts"][1], sol["counts"][3]
    sol["y"] = [float(v) for v in rest[j:j + nd]]
    sol["x"] = [float(v) for v in rest[j + nd:j + nd + nx]]
    objno = rest[j + nd + nx].split()
    assert objno[0] == "objno", objno
    sol["objno"], sol["code"] = int(objno[1]), int(objno[2])
    assert len(rest) == j + nd + nx + 1
    return sol
