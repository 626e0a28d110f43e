#!/usr/bin/env python3
"""Tests of the default solver: vexocbc run on the problem files of nl/ in
the text form and in the binary form made from it, its solution files
compared with scipy's HiGHS and with the outcomes it must report.

    vexocbc_test.py <vexocbc> <test>
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import nltool  # noqa: E402

NL = os.path.join(HERE, "nl")
VEXOCBC = None
failures = []
# Every run's folder lies in one that goes at the end.
SCRATCH = tempfile.TemporaryDirectory(prefix="vexocbc_test.")


def scratch():
    return tempfile.mkdtemp(dir=SCRATCH.name)


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAIL:", what)


def close(a, b):
    return abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))


def all_close(a, b):
    return len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))


class Run:
    """vexocbc on a copy of a problem file (or given text) in a scratch
    folder, as "stub.nl"."""

    def __init__(self, name=None, form="g", text=None, options=None,
                 args=("-VEXO",), interrupt_after=None):
        self.dir = scratch()
        self.stub = os.path.join(self.dir, "stub")
        nl = self.stub + ".nl"
        if text is not None:
            open(nl, "wb").write(text if isinstance(text, bytes)
                                 else text.encode())
        elif form == "g":
            open(nl, "w").write(open(os.path.join(NL, name + ".nl")).read())
        else:
            nltool.to_binary(os.path.join(NL, name + ".nl"), nl)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        if "ASAN_OPTIONS" in os.environ:
            env["ASAN_OPTIONS"] = os.environ["ASAN_OPTIONS"]
        if options is not None:
            env["vexocbc_options"] = options
        proc = subprocess.Popen([VEXOCBC, self.stub] + list(args), env=env,
                                stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        if interrupt_after:
            time.sleep(interrupt_after)
            proc.send_signal(signal.SIGINT)
        self.out, self.err = proc.communicate(timeout=600)
        self.rc = proc.returncode
        sol = self.stub + ".sol"
        self.sol = nltool.read_sol(sol) if os.path.exists(sol) else None
        self.sol_text = open(sol).read() if self.sol else None

    def objective(self):
        m = re.search(r"; objective (\S+)", self.sol["message"])
        return float(m.group(1)) if m else None


def problems(names):
    for name in names:
        for form in "gb":
            yield name, form


def test_oracle():
    """Values, duals and objective equal HiGHS's within 1e-9 relative."""
    for name, form in problems(["lp_max", "lp_min1", "lp_mixed_min",
                                "lp_mixed_max", "mip_max", "mip_last"]):
        where = "%s (%s)" % (name, form)
        ref = nltool.oracle(nltool.read_nl(os.path.join(NL, name + ".nl")))
        r = Run(name, form)
        check(r.rc == 0 and r.sol, where + ": no solution file")
        if not r.sol:
            continue
        obj, x, y = ref
        check(r.sol["code"] == 0, where + ": code %d" % r.sol["code"])
        check(all_close(r.sol["x"], x), where + ": x %s, HiGHS %s" %
              (r.sol["x"], x))
        check(close(r.objective(), obj), where + ": objective %s, HiGHS %s"
              % (r.objective(), obj))
        if y is None:
            check(r.sol["y"] == [], where + ": duals of a MIP")
        else:
            check(all_close(r.sol["y"], y), where + ": duals %s, HiGHS %s" %
                  (r.sol["y"], y))


def test_duals():
    """Duals are d(objective)/d(row bound) in the problem's sense."""
    for name, y in [("lp_min1", [3.0]), ("lp_max", [0.75, 0.5])]:
        r = Run(name)
        check(all_close(r.sol["y"], y), "%s: duals %s" % (name, r.sol["y"]))


def test_mip():
    """Integer columns are the last nbv + niv: all of them, or only y."""
    for form in "gb":
        r = Run("mip_max", form)
        check(r.sol["x"] == [4.0, 0.0] and r.objective() == 20.0,
              "mip_max: %s" % r.sol)
        check(r.sol["counts"] == [2, 0, 2, 2], "mip_max: counts %s" %
              r.sol["counts"])
        r = Run("mip_last", form)
        check(r.sol["x"][1] == 1.0 and close(r.objective(), 62 / 3),
              "mip_last: %s" % r.sol)


def test_outcomes():
    """Codes and messages of the outcomes, and which values they send."""
    cases = [
        ("feasible", 0, -1, "vexocbc 1.0: feasible solution", True),
        ("infeasible", 200, 0, "vexocbc 1.0: infeasible problem", False),
        ("unbounded", 300, 0, "vexocbc 1.0: unbounded problem", False),
        ("nonlinear", 500, 0, "vexocbc 1.0: cannot solve nonlinear problems"
         " (1 nonlinear objective)", False),
    ]
    for name, code, objno, message, values in cases:
        for form in "gb":
            r = Run(name, form)
            where = "%s (%s)" % (name, form)
            check(r.rc == 0, where + ": exit code %d" % r.rc)
            check(r.sol["code"] == code, where + ": code %d" % r.sol["code"])
            check(r.sol["objno"] == objno, where + ": objno")
            check(r.sol["message"] == message, where + ": message %r" %
                  r.sol["message"])
            check(bool(r.sol["x"]) == values, where + ": values %s" %
                  r.sol["x"])
    # no variables: the objective is its constant
    r = Run(text="g3 1 1 0\n 0 0 1 0 0\n 0 0\n 0 0\n 0 0 0\n 0 0 0 1\n"
            " 0 0 0 0 0\n 0 0\n 0 0\n 0 0 0 0 0\nO0 1\nn5\n")
    check(r.sol["code"] == 0 and r.sol["message"] ==
          "vexocbc 1.0: optimal solution; objective 5", "constant: %s" % r.sol)
    r = Run("feasible")
    x = r.sol["x"]
    check(abs(x[0] + x[1] - 3) < 1e-9 and all(0 <= v <= 2 for v in x),
          "feasible: %s" % x)


def test_golden():
    """The whole solution file, byte for byte (checked by hand)."""
    for name in ["lp_min1", "mip_max"]:
        want = open(os.path.join(HERE, "expected", name + ".sol")).read()
        for form in "gb":
            r = Run(name, form)
            check(r.sol_text == want, "%s (%s):\n%s" % (name, form,
                                                         r.sol_text))


def with_line1(name, line1):
    text = open(os.path.join(NL, name + ".nl")).read()
    return line1 + text[text.index("\t"):]


def test_var_bounds_tolerance():
    """With option word 2 = 3 the block counts two more words than it holds
    and ends with the tolerance; beyond 9 words it cannot be echoed."""
    r = Run(text=with_line1("mip_max", "g5 1 3 0 4 20190616 1e-06"))
    check(r.sol["words"] == [1, 3, 0, 4, 20190616] and r.sol["tol"] == 1e-06,
          "tolerance echo: %s" % r.sol)
    check("\nOptions\n7\n1\n3\n0\n4\n20190616\n2\n0\n2\n2\n1e-06\n4\n0\n"
          in r.sol_text, "tolerance block:\n" + r.sol_text)
    r = Run(text=with_line1("mip_max", "g8 1 3 0 4 20190616 0 0 0 1e-06"))
    check(r.rc == 1 and r.sol is None, "8 words: rc %d" % r.rc)
    check(r.err == "vexocbc: %s.nl: cannot echo 8 option words with a "
          "var_bounds tolerance (a solution file holds at most 7)\n" % r.stub,
          "8 words: %r" % r.err)


def test_options():
    """outlev shows the libraries' log and the counts; bad words are
    refused by name; good ones are taken."""
    for name in ["lp_max", "mip_max"]:
        quiet = Run(name)
        check(quiet.out == "" and quiet.err == "", "%s: output %r %r" %
              (name, quiet.out, quiet.err))
        loud = Run(name, options="outlev=1")
        check(loud.out != "", name + ": outlev=1 shows no log")
        check(re.search(r"\n\d+ (branch-and-bound nodes, \d+ )?simplex "
                        r"iterations$", loud.sol["message"]),
              name + ": counts: %r" % loud.sol["message"])
    for words, why in [
            ("foo=1", 'unknown option "foo"'),
            ("timelim=10 foo", 'unknown option "foo"'),
            ("timelim", 'option "timelim" needs a value (timelim=...)'),
            ("timelim=abc", 'bad value "abc" for option timelim'),
            ("mipgap=-1", 'bad value "-1" for option mipgap'),
            ("outlev=2", 'bad value "2" for option outlev'),
            ("maxnodes=1.5", 'bad value "1.5" for option maxnodes')]:
        r = Run("mip_max", options=words)
        check(r.sol["code"] == 500 and r.sol["message"] ==
              "vexocbc 1.0: " + why, "%s: %s" % (words, r.sol["message"]))
    r = Run("mip_max", options=" timelim=100\tmipgap=0 threads=1 "
            "maxnodes=1000 outlev=0 ")
    check(r.sol["code"] == 0 and r.sol["x"] == [4.0, 0.0],
          "good options: %s" % r.sol)


def test_node_limit():
    """A node limit that the search cannot close at its root gives 4xx."""
    r = Run("market_split", options="maxnodes=1")
    check(r.sol["code"] in (401, 411), "code %d" % r.sol["code"])
    check(r.sol["message"].startswith("vexocbc 1.0: node limit, "),
          r.sol["message"])
    check(r.sol["y"] == [] and bool(r.sol["x"]) == (r.sol["code"] == 401),
          "values: %s" % r.sol)


def test_interrupt():
    """An interrupt stops the search and still writes a solution file."""
    r = Run("market_split", interrupt_after=2)
    check(r.rc == 0 and r.sol and r.sol["code"] in (402, 412),
          "rc %d, %s" % (r.rc, r.sol))
    check(r.sol["message"].startswith("vexocbc 1.0: interrupted, "),
          r.sol["message"])


def test_errors():
    """A malformed problem file: its name and place on stderr, exit 1, no
    solution file."""
    text = open(os.path.join(NL, "lp_max.nl")).read()
    header = re.sub(r"\t#[^\n]*", "", text[:text.index("C0")])
    binary_dir = scratch()
    nltool.to_binary(os.path.join(NL, "lp_max.nl"),
                     os.path.join(binary_dir, "b.nl"))
    binary = open(os.path.join(binary_dir, "b.nl"), "rb").read()
    cases = [
        (text[:len(text) - 3], r"line 33: expected a number"),
        # the last double of the file cut
        (binary[:len(binary) - 3], r"byte %d: unexpected end of file" %
         (len(binary) - 8)),
        ("x" + text[1:], r"line 1: not an nl problem file"),
        (text.replace("C1\n", "Q1\n"), r"line 13: unknown segment letter"),
        (text.replace("J1 2\n0 1", "J1 2\n9 1"),
         r"line 29: variable 9 out of range \[0, 1\]"),
        # 200 bytes that claim 2^31 and 2^31 - 1 variables
        (header.replace(" 2 2 1 0 0", " 2147483648 2 1 0 0")[:200],
         r"line 2: count 2147483648 out of range"),
        ((header.replace(" 2 2 1 0 0", " 2147483647 2 1 0 0") +
          "b\n" + "3\n" * 200)[:200],
         r"line 11: header claims 2147483647 variables; the file holds "
         r"\d+ bytes more"),
    ]
    for content, message in cases:
        r = Run(text=content)
        where = "%r..." % content[:12]
        check(r.rc == 1, where + ": exit code %d" % r.rc)
        check(r.sol is None, where + ": a solution file")
        check(re.fullmatch(r"vexocbc: %s\.nl, %s.*\n" % (re.escape(r.stub),
                                                         message), r.err),
              where + ": stderr %r" % r.err)
    missing = os.path.join(scratch(), "none")
    proc = subprocess.run([VEXOCBC, missing], capture_output=True, text=True)
    check(proc.returncode == 1 and proc.stderr ==
          "vexocbc: can't open %s.nl: No such file or directory\n" % missing,
          "missing file: %r" % proc.stderr)


def test_usage():
    usage = "usage: vexocbc stub [-VEXO]\n       vexocbc -v\n"
    for args in [[], ["a", "b"], ["-x"], ["a", "-VEXO", "c"], [""]]:
        p = subprocess.run([VEXOCBC] + args, capture_output=True, text=True)
        check(p.returncode == 1 and p.stderr == usage and p.stdout == "",
              "%s: %d %r" % (args, p.returncode, p.stderr))
    p = subprocess.run([VEXOCBC, "-v"], capture_output=True, text=True)
    check(p.returncode == 0 and re.fullmatch(
        r"vexocbc 1\.0\nCBC \d+\.\d+\.\d+\nCLP \d+\.\d+\.\d+\n", p.stdout),
        "-v: %r" % p.stdout)


if __name__ == "__main__":
    VEXOCBC = os.path.abspath(sys.argv[1])
    globals()["test_" + sys.argv[2]]()
    if failures:
        sys.exit(1)
    print("%s: ok" % sys.argv[2])
