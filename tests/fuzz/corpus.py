#!/usr/bin/env python3
"""The seed corpus of a fuzz target, and its replay.

  corpus.py seeds <target> <repo> <dir> [<max>]
      fills dir with the seeds; a seed longer than max bytes is cut at line
      ends into pieces of at most max bytes (a longer line alone is cut
      where it must), so that the fuzzer, which reads no more than its
      length limit of an input, gets all of it
  corpus.py replay <target> <repo> <prog>
      runs prog (replay_<target>) over the seeds and every past finding of
      the target

The seeds: the example models, data and command files (examples/), every
input of the behaviour cases (tests/cases/*/*/, without the runner's
expected, env and timeout files) and the target's own extra seeds
(tests/fuzz/seeds/<target>/).  The block target takes each text as one
framed block ("<length> <text>"), besides the case inputs as they are (the
block-mode cases' standard input is framed already).  The data target, whose
input is data text, takes the example data files, the inputs of the data
cases after their first "data;" line (the whole file when there is none) and
its own seeds.  Findings live in tests/fuzz/findings/<target>/, a file each.
Inputs that take more than 2 s under the sanitizers are left out of both
(the suite's time): the seeds listed in tests/fuzz/slow/seeds (paths from
the repository root; their cases run them all the same) and the slow
findings, kept in tests/fuzz/slow/<target>/ (replay_<target> runs them by
hand).

One process writes them all: the suite builds the seeds at every replay,
and a process per file cost minutes on a loaded machine.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

RUNNER_FILES = ("expected", "env", "timeout")
FRAME_ROOM = 24  # the frame's length and blank


def pieces(text, limit):
    """text cut at line ends into pieces of at most limit bytes."""
    if limit <= 0 or len(text) <= limit:
        return [text]
    out, cur = [], b""
    for line in text.splitlines(keepends=True):
        while len(line) > limit:  # a line longer than a piece: cut it
            if cur:
                out.append(cur)
                cur = b""
            out.append(line[:limit])
            line = line[limit:]
        if len(cur) + len(line) > limit:
            out.append(cur)
            cur = b""
        cur += line
    if cur:
        out.append(cur)
    return out


class Seeds:
    def __init__(self, target, repo, dest, limit):
        self.target, self.repo, self.dest, self.limit = target, repo, dest, limit
        self.slow = set()
        listed = os.path.join(repo, "tests/fuzz/slow/seeds")
        if os.path.isfile(listed):
            with open(listed) as f:
                self.slow = {l.strip() for l in f if l.strip() and l[0] != "#"}

    def rel(self, path):
        return os.path.relpath(path, self.repo)

    def is_slow(self, path):
        return self.rel(path) in self.slow

    def put(self, name, text, framed=False):
        """Writes text as seed name (name.000, name.001, ... when cut);
        framed, each piece becomes one block named framed_<piece>."""
        parts = pieces(text, self.limit - FRAME_ROOM if framed else self.limit)
        for k, part in enumerate(parts):
            piece = name if len(parts) == 1 else "%s.%03d" % (name, k)
            if framed:
                piece = "framed_" + piece
                part = b"%d " % len(part) + part
            with open(os.path.join(self.dest, piece), "wb") as f:
                f.write(part)

    def put_file(self, path, framed=False, text=None):
        if text is None:
            with open(path, "rb") as f:
                text = f.read()
        self.put(self.rel(path).replace("/", "_"), text, framed)

    def case_inputs(self, pattern):
        for path in sorted(glob.glob(os.path.join(self.repo, pattern))):
            base = os.path.basename(path)
            if not os.path.isfile(path) or base in RUNNER_FILES:
                continue
            if base.startswith("expected."):
                continue
            yield path

    def data(self):
        for path in sorted(glob.glob(os.path.join(self.repo, "examples/*.dat"))):
            if os.path.isfile(path) and not self.is_slow(path):
                self.put_file(path)
        for path in self.case_inputs("tests/cases/data/*/*"):
            if self.is_slow(path):
                continue
            with open(path, "rb") as f:
                text = f.read()
            lines = text.splitlines(keepends=True)
            for i, line in enumerate(lines):
                if line.startswith(b"data;"):
                    text = b"".join(lines[i + 1:])
                    break
            self.put_file(path, text=text)

    def general(self):
        texts = [p for p in sorted(glob.glob(os.path.join(self.repo, "examples/*")))
                 if os.path.isfile(p)]
        texts += list(self.case_inputs("tests/cases/*/*/*"))
        for path in texts:
            if self.is_slow(path):
                continue
            if self.target == "block":
                self.put_file(path, framed=True)
            self.put_file(path)

    def write(self):
        os.makedirs(self.dest, exist_ok=True)
        if self.target == "data":
            self.data()
        else:
            self.general()
        own = os.path.join(self.repo, "tests/fuzz/seeds", self.target)
        for path in sorted(glob.glob(os.path.join(own, "*"))):
            if os.path.isfile(path):
                self.put_file(path)


def main(argv):
    if len(argv) < 5 or argv[1] not in ("seeds", "replay"):
        sys.stderr.write("usage: corpus.py seeds|replay <target> <repo> "
                         "<dir|prog> [<max>]\n")
        return 2
    what, target, repo = argv[1], argv[2], os.path.abspath(argv[3])
    limit = int(argv[5]) if len(argv) > 5 else 0
    if what == "seeds":
        Seeds(target, repo, argv[4], limit).write()
        return 0
    tmp = tempfile.mkdtemp(prefix="vexo_seeds.")
    try:
        Seeds(target, repo, tmp, limit).write()
        findings = os.path.join(repo, "tests/fuzz/findings", target)
        return subprocess.call([argv[4], tmp, findings])
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
