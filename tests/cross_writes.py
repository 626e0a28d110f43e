#!/usr/bin/env python3
"""Lists the globals written from outside their owner's folder.

    cross_writes.py [--check] [<source root>]

A global is a variable declared `extern` in a header of a subsystem folder
(support/ frontend/ ... presolve/); its owner is that folder.  A write is
an assignment (plain or compound) to the variable, an element or a member
of it, an increment or decrement, a swap or a memcpy/memset into it; the
address taken with & is reported too, as it may be written through.  Each
write from a .cpp or .h file of another folder prints as

    <global> (<owner>/) <file>:<line>: <code>

and a count ends the list.  Comments and string literals are left out, and
a name that the writing function (or its file) declares for itself is not
the global.

With --check the list is printed only where it fails the rule: every global
written from outside its owner's folder must be named in its owner header's
paragraph "Written outside <folder>/, by design: ..." (the comment block
that starts so and runs to the first blank line), or, for a write still
to be moved behind a routine of the owner's, "Written outside <folder>/:
...".  The exit code is 1 when
a global is not named there, else 0.

This is a text search, not a compiler: a write through a reference
parameter or a pointer stored earlier is not seen.
"""
import os
import re
import sys

FOLDERS = ["support", "frontend", "compiler", "eval", "session", "data",
           "report", "instance", "solver", "presolve"]

# The option table: its rows point at option cells and its update routines
# write them, wherever the cells live (a cell belongs to its reader).
OPTION_FILES = {"session/opttable.cpp"}

KEYWORDS = {"return", "case", "default", "goto", "else", "do", "throw", "sizeof",
            "delete", "new", "co_return", "co_yield", "not", "and", "or"}


def strip_code(text):
  """Blanks comments, string and character literals, keeping the lines."""
  out = []
  i, n = 0, len(text)
  while i < n:
    c = text[i]
    if text.startswith("//", i):
      j = text.find("\n", i)
      j = n if j < 0 else j
      out.append(" " * (j - i))
      i = j
    elif text.startswith("/*", i):
      j = text.find("*/", i + 2)
      j = n if j < 0 else j + 2
      out.append(re.sub(r"[^\n]", " ", text[i:j]))
      i = j
    elif text.startswith('R"', i) and (i == 0 or not text[i - 1].isalnum()):
      m = re.match(r'R"([^(]*)\(', text[i:])
      end = text.find(")" + m.group(1) + '"', i) if m else -1
      j = n if end < 0 else end + len(m.group(1)) + 2
      out.append(re.sub(r"[^\n]", " ", text[i:j]))
      i = j
    elif c == '"' or (c == "'" and not (i and text[i - 1].isalnum())):
      j = i + 1
      while j < n and text[j] != c and text[j] != "\n":
        j += 2 if text[j] == "\\" else 1
      j = min(j + 1, n)
      out.append(c + " " * (j - i - 2) + c if j - i >= 2 else " ")
      i = j
    else:
      out.append(c)
      i += 1
  return "".join(out)


def extern_names(code):
  """(name, is_pointer) of the writable variables a header declares
  extern; what a pointer points at is not the variable."""
  names = []
  for m in re.finditer(r"\bextern\s+(?!\"C\")([^;{}()]*(?:\([^;{}]*)?);",
                       code):
    decl = " ".join(m.group(1).split())
    if re.search(r"\)\s*\(", decl) or re.match(r"[^(]*\w\s*\(", decl):
      if not re.search(r"\(\s*\*\s*\w+\s*\)", decl):
        continue  # a function, not a variable
    if re.match(r"(const|constexpr)\b", decl) and "*" not in decl:
      continue
    # Declarators: split at commas outside brackets.
    depth, parts, cur = 0, [], ""
    for ch in decl:
      depth += ch in "([<"
      depth -= ch in ")]>"
      if ch == "," and depth == 0:
        parts.append(cur)
        cur = ""
      else:
        cur += ch
    parts.append(cur)
    for k, p in enumerate(parts):
      fp = re.search(r"\(\s*\*\s*(\w+)\s*\)", p)
      if fp:
        names.append((fp.group(1), True))
        continue
      array = "[" in p
      p = re.sub(r"\[[^\]]*\]", "", p).strip()
      mm = re.search(r"(\bconst\b\s*)?(\w+)\s*$", p)
      if not mm or mm.group(1):
        continue  # T* const x: the pointer itself does not change
      if k == 0 and re.match(r"const\b", p) and "*" not in p:
        continue
      pointer = not array and "*" in p
      names.append((mm.group(2), pointer))
  return names


def written_outside_paragraphs(text):
  """The names in a header's "Written outside <folder>/" paragraph."""
  words = set()
  for m in re.finditer(r"^// Written outside \w+/(?:, by design)?:.*?(?=^\s*$)",
                       text, re.M | re.S):
    words.update(re.findall(r"\w+", m.group(0)))
  return words


def block_starts(code):
  """For each position, the start of the outermost brace block around it
  (the function body), or -1 at file scope."""
  starts, depth, start = [], 0, -1
  for i, c in enumerate(code):
    if c == "{":
      if depth == 0:
        start = i
      depth += 1
    elif c == "}":
      depth -= 1
      if depth == 0:
        start = -1
    starts.append(start)
  return starts


def declares(code, name, lo, hi):
  """Whether code[lo:hi] declares name other than as the extern global:
  a local, a parameter, a lambda or a static of the file."""
  # The code is formatted pointer-left (char* p, int& r), so a type is
  # followed by * or & and a space, or by a space: binary operators have
  # spaces on both sides.
  pat = re.compile(r"(?<![\w.])([A-Za-z_][\w:]*(?:<[^;]*?>)?\]?)(?:[*&]+\s+|\s+)"
                   + name + r"\s*(?:=(?!=)|[;,)\[{(]|:(?!:))")
  for m in pat.finditer(code, lo, hi):
    if m.group(1) in KEYWORDS:
      continue
    line_start = code.rfind("\n", 0, m.start()) + 1
    if re.match(r"\s*extern\b", code[line_start:m.start()]):
      continue
    return True
  return False


def write_patterns(name, pointer):
  """Patterns of a write of the global name; for a pointer, writes through
  it (p[i] = x, p->f = x) are not writes of it."""
  n = r"(?<![\w.>])(?:vexo::)?" + name + r"\b"
  sub = "" if pointer else r"(?:\s*\[[^\];]*\]|\s*\.\s*\w+)*"
  pats = [
      n + sub + r"\s*(?:[-+*/%&|^]|<<|>>)?=(?!=)",
      n + sub + r"\s*(?:\+\+|--)",
      r"(?:\+\+|--)\s*" + n + sub + r"(?!\s*(?:->|\[|\.))",
      r"\bswap\s*\(\s*" + n + r"|\bswap\s*\([^;]*,\s*" + n,
      r"(?:^|[(,=?:{;!]|return)\s*&\s*" + n + sub +
      r"(?!\s*(?:->|\(|\[|\.))",
  ]
  if not pointer:
    pats.append(r"\b(?:memcpy|memset|memmove|strcpy|Strcpy|strcat)\s*"
                r"\(\s*&?\s*" + n)
  return [re.compile(p) for p in pats]


def main():
  args = sys.argv[1:]
  check = "--check" in args
  args = [a for a in args if a != "--check"]
  root = args[0] if args else os.path.dirname(os.path.dirname(
      os.path.abspath(__file__)))
  files = {}
  for folder in FOLDERS:
    d = os.path.join(root, folder)
    if not os.path.isdir(d):
      continue
    for f in sorted(os.listdir(d)):
      if f.endswith((".cpp", ".h")):
        path = folder + "/" + f
        with open(os.path.join(root, path), encoding="utf-8") as fh:
          text = fh.read()
        files[path] = (text, strip_code(text))

  owner, pointer, allowed = {}, {}, {}
  for path, (text, code) in files.items():
    if not path.endswith(".h"):
      continue
    folder = path.split("/")[0]
    words = written_outside_paragraphs(text)
    for name, is_pointer in extern_names(code):
      owner[name] = folder
      pointer[name] = is_pointer
      if name in words:
        allowed[name] = path

  hits = []
  for path, (text, code) in sorted(files.items()):
    folder = path.split("/")[0]
    if path in OPTION_FILES:
      continue
    starts = None
    lines = text.split("\n")
    for name, own in sorted(owner.items()):
      if own == folder or name not in code:
        continue
      seen = set()
      for pat in write_patterns(name, pointer[name]):
        for m in pat.finditer(code):
          at = code.find(name, m.start())
          line = code.count("\n", 0, at)
          if line in seen:
            continue
          if starts is None:
            starts = block_starts(code)
          body = starts[at]
          eol = code.find("\n", at)
          # A declaration in the function (its parameters included) or at
          # file scope names something else.
          head = code.rfind(";", 0, body) + 1 if body >= 0 else at
          if declares(code, name, max(head, 0), eol):
            continue
          if declares(code, name, 0, body if body >= 0 else at):
            continue
          seen.add(line)
          hits.append((name, own, path, line + 1, lines[line].strip()))

  written = {}
  for name, own, path, line, src in hits:
    written.setdefault(name, []).append((path, line, src))
  bad = 0
  for name in sorted(written):
    named = name in allowed
    if check and named:
      continue
    if check:
      bad += 1
    for path, line, src in written[name]:
      print("%s (%s/) %s:%d: %s" % (name, owner[name], path, line, src))
  if check:
    if bad:
      print("%d globals written outside their owner's folder and not named "
            "in the owner header's \"Written outside\" paragraph" % bad)
    return 1 if bad else 0
  print("%d writes of %d globals from outside their owner's folder" %
        (len(hits), len(written)))
  return 0


if __name__ == "__main__":
  sys.exit(main())
