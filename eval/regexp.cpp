// The regular-expression engine (an operator-precedence compiler into an
// instruction program, and a matcher that steps all threads of the program
// together) and the built-ins match, sub and gsub with their one-entry
// pattern cache.
#include "eval/regexp.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "eval/evalerr.h"
#include "eval/funcall.h"
#include "support/format.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/numfmt.h"
#include "support/pool.h"

namespace vexo {

cstr* Cur_regpat;
Reprog* Cur_regexp;

namespace {

// ---- The program -----------------------------------------------------------

// Instruction codes.  Those from 128 to 135 are also the operators of the
// compiler, whose precedence is their order (a larger code binds tighter;
// the three postfix operators bind equally).
enum : int {
  LITERAL = 127,  // one given character
  BOTTOM = 128,   // bottom of the operator stack
  RBRA = 129,     // close group: a sub-match ends here
  LBRA = 130,     // open group: a sub-match starts here
  OR = 131,       // alternative: go on at both successors
  CAT = 132,      // concatenation (operator only)
  STAR = 133,     // zero or more (operator only)
  PLUS = 134,     // one or more (operator only)
  QUEST = 135,    // zero or one (operator only)
  ANY = 192,      // any character but newline
  ANYNL = 193,    // any character
  NOP = 194,      // nothing: joins the ends of loops and alternatives
  BOL = 195,      // beginning of a line
  EOL = 196,      // end of a line
  CCLASS = 197,   // a character in the class
  NCCLASS = 198,  // a character outside the class
  END = 255       // the whole pattern matched
};

constexpr int NCLASS = 16;           // classes in one pattern
constexpr int CLASS_ITEMS = 34;      // characters or ranges in one class
constexpr int NSUBEXP = 32;          // groups numbered below this
constexpr int NSTACK = 20;           // pending operators, pending operands
constexpr int LIST_FIRST = 10;       // threads of the first matching pass
constexpr int LIST_MAX = 100;        // threads of the second
constexpr int NCAP = 2 * NSUBMATCH;  // positions a thread records

// A class: its merged ranges, sorted, each a (low, high) pair.
struct Reclass {
  int n;
  Rune spans[2 * CLASS_ITEMS];
};

struct Reinst {
  int type;
  Rune r;         // LITERAL: the character
  int subid;      // LBRA, RBRA: the group's number
  Reclass* cls;   // CCLASS, NCCLASS
  Reinst* next;   // the successor (OR: the first one)
  Reinst* right;  // OR: the second successor
  // The thread list that last took this instruction in (its stamp), so
  // that no instruction enters one list twice.
  uint32_t mark;
};

// One step of the closure walk: an instruction to visit, or (ip null) a
// recorded position to put back when the walk returns from a group.
struct walk_step {
  Reinst* ip;
  int slot;
  ptrdiff_t old;
};

// Where a match can start: anywhere, only at a given ASCII character, only
// at a character of the start set, or only at the beginning of a line.
enum start_hint { HINT_NONE, HINT_CHAR, HINT_SET, HINT_BOL };

}  // namespace

struct Reprog {
  Reinst* startinst;
  int ninst;    // instructions made
  int maxinst;  // room for instructions
  int ncap;     // positions a thread records: 2 per reported group + 2
  start_hint hint;
  Rune hint_char;
  // HINT_SET: the ASCII characters a match can start with (bit c of word
  // c / 64), and whether it can start with any other character.
  uint64_t start_set[2];
  bool start_other;
  Reclass classes[NCLASS];
  Reinst* inst;     // the instructions, after this record
  walk_step* walk;  // the closure walk's stack, after the instructions
};

namespace {

// The one program block, kept between compilations (class prog_class);
// null until the first compilation and after a reset.
Reprog* prog_block;
int prog_class = -1;

// Stamps of thread lists; 0 marks no list.
uint32_t list_stamp;

// ---- The compiler ----------------------------------------------------------

// A bad pattern: what is wrong, for "bad regular expression: %s".
struct pattern_error {
  char text[64];
};

[[noreturn]] void rcerror(const char* text) {
  pattern_error e;
  Snprintf(e.text, sizeof e.text, "%s", text);
  throw e;
}

[[noreturn]] void cant(const char* text) {
  char b[64];
  Snprintf(b, sizeof b, "can't happen: %s", text);
  rcerror(b);
}

// The text followed by the number n (as the class limit is written).
[[noreturn]] void regerr2(const char* text, int n) {
  char b[64];
  Snprintf(b, sizeof b, "%s %d", text, n);
  rcerror(b);
}

struct fragment {
  Reinst* first;
  Reinst* last;
};

struct compiler {
  Reprog* prog;
  const char* p;  // the pattern text still to read
  bool lexdone;
  Rune yyrune;       // the literal just read
  Reclass* yyclass;  // the class just read
  int nclass;
  int ops[NSTACK];    // pending operators
  int opsub[NSTACK];  // the group number pushed with each
  int nops;
  fragment ands[NSTACK];  // pending operands
  int nands;
  bool lastwasand;  // the last item was an operand
  int nbra;         // open parentheses
  int cursubid;     // groups so far

  Reinst* newinst(int type) {
    if (prog->ninst >= prog->maxinst) cant("program too long");
    Reinst* i = &prog->inst[prog->ninst++];
    *i = Reinst{};
    i->type = type;
    return i;
  }

  // The next character of the pattern into *r; true when it was quoted.
  // The end of the pattern (also right after a backslash) gives 0.
  bool nextc(Rune* r) {
    if (lexdone || !*p) {
      lexdone = true;
      *r = 0;
      return false;
    }
    p += chartorune(r, p);
    if (*r != '\\') return false;
    if (!*p) {
      lexdone = true;
      *r = 0;
      return true;
    }
    p += chartorune(r, p);
    if (*r == 'n') *r = '\n';
    return true;
  }

  int lex() {
    bool quoted = nextc(&yyrune);
    if (!yyrune) return END;
    if (quoted) return LITERAL;
    switch (yyrune) {
      case '*':
        return STAR;
      case '?':
        return QUEST;
      case '+':
        return PLUS;
      case '|':
        return OR;
      case '.':
        return ANY;
      case '@':
        return ANYNL;
      case '(':
        return LBRA;
      case ')':
        return RBRA;
      case '^':
        return BOL;
      case '$':
        return EOL;
      case '[':
        return bldcclass();
      default:
        return LITERAL;
    }
  }

  // The class after '[': its items collected, sorted by their low end and
  // merged where they touch or overlap.
  int bldcclass() {
    if (nclass >= NCLASS) regerr2("too many character classes; limit", NCLASS);
    Reclass* c = &prog->classes[nclass++];
    struct span {
      Rune lo, hi;
    };
    span items[CLASS_ITEMS];
    int n = 0;
    int type = CCLASS;
    Rune r;
    bool quoted = nextc(&r);
    if (!quoted && r == '^') {
      // A negated class holds the newline too, so it never matches one.
      type = NCCLASS;
      items[n++] = {'\n', '\n'};
      quoted = nextc(&r);
    }
    bool have_char = false;  // a character of the pattern comes before
    for (;; quoted = nextc(&r)) {
      if (!r) rcerror("malformed '[]'");
      if (!quoted && r == ']') break;
      if (!quoted && r == '-') {
        if (!have_char) rcerror("malformed '[]'");
        quoted = nextc(&r);
        if (!r || (!quoted && r == ']')) rcerror("malformed '[]'");
        items[n - 1].hi = r;
        continue;
      }
      // A class that does not fit is refused, never cut short.
      if (n == CLASS_ITEMS) rcerror("malformed '[]'");
      items[n++] = {r, r};
      have_char = true;
    }
    std::sort(items, items + n, [](span a, span b) { return a.lo < b.lo; });
    c->n = 0;
    for (int k = 0; k < n; ++k) {
      Rune* last = c->n ? &c->spans[2 * c->n - 2] : nullptr;
      if (last && items[k].lo <= last[1]) {
        last[1] = std::max(last[1], items[k].hi);
      } else {
        c->spans[2 * c->n] = items[k].lo;
        c->spans[2 * c->n + 1] = items[k].hi;
        ++c->n;
      }
    }
    yyclass = c;
    return type;
  }

  void pushand(Reinst* first, Reinst* last) {
    if (nands >= NSTACK) rcerror("operand stack overflow");
    ands[nands++] = {first, last};
  }

  void pushator(int t) {
    if (nops >= NSTACK) rcerror("Operator stack overflow");
    ops[nops] = t;
    opsub[nops] = cursubid;
    ++nops;
  }

  // The top operand; a missing one is reported with the operator's
  // character (nothing for a concatenation).
  fragment popand(int op) {
    if (nands > 0) return ands[--nands];
    char b[32];
    Snprintf(b, sizeof b, "missing operand for %s",
             op == LBRA    ? "("
             : op == OR    ? "|"
             : op == STAR  ? "*"
             : op == PLUS  ? "+"
             : op == QUEST ? "?"
                           : "");
    rcerror(b);
  }

  // Builds the fragment of the operator on top of the stack from its
  // operands.
  void reduce() {
    if (nops <= 1) cant("Operator stack underflow");
    int op = ops[--nops];
    int sub = opsub[nops];
    switch (op) {
      case LBRA: {
        fragment f = popand(LBRA);
        Reinst* close = newinst(RBRA);
        close->subid = sub;
        f.last->next = close;
        Reinst* open = newinst(LBRA);
        open->subid = sub;
        open->next = f.first;
        pushand(open, close);
        break;
      }
      case OR: {
        fragment b = popand(OR);
        fragment a = popand(OR);
        Reinst* join = newinst(NOP);
        a.last->next = join;
        b.last->next = join;
        Reinst* alt = newinst(OR);
        alt->next = a.first;
        alt->right = b.first;
        pushand(alt, join);
        break;
      }
      case CAT: {
        fragment b = popand(CAT);
        fragment a = popand(CAT);
        a.last->next = b.first;
        pushand(a.first, b.last);
        break;
      }
      case STAR:
      case PLUS: {
        // A loop back over the operand; zero-or-more enters at the loop,
        // one-or-more at the operand.
        fragment f = popand(op);
        Reinst* loop = newinst(OR);
        f.last->next = loop;
        loop->right = f.first;
        pushand(op == STAR ? loop : f.first, loop);
        break;
      }
      case QUEST: {
        fragment f = popand(QUEST);
        Reinst* skip = newinst(OR);
        Reinst* join = newinst(NOP);
        skip->next = join;
        skip->right = f.first;
        f.last->next = join;
        pushand(skip, join);
        break;
      }
      default:
        cant("unknown Operator in evaluntil");
    }
  }

  // Reduces while the operator on top binds at least as tightly as pri.
  void evaluntil(int pri) {
    while (ops[nops - 1] >= pri) reduce();
  }

  void operand(int t) {
    if (lastwasand) operator_(CAT);
    Reinst* i = newinst(t);
    if (t == LITERAL) i->r = yyrune;
    if (t == CCLASS || t == NCCLASS) i->cls = yyclass;
    pushand(i, i);
    lastwasand = true;
  }

  void operator_(int t) {
    if (t == RBRA) {
      if (--nbra < 0) rcerror("unmatched right paren");
      // Everything since the matching '(' is reduced, then the group.
      evaluntil(OR);
      if (ops[nops - 1] != LBRA) cant("unmatched '(' on the stack");
      reduce();
      lastwasand = true;
      return;
    }
    if (t == LBRA) {
      if (++cursubid >= NSUBEXP) rcerror("too many subexpressions");
      ++nbra;
      if (lastwasand) operator_(CAT);
    } else {
      evaluntil(t);
    }
    pushator(t);
    lastwasand = t == STAR || t == PLUS || t == QUEST;
  }

  void compile() {
    nops = 0;
    pushator(BOTTOM);
    for (int t; (t = lex()) != END;) {
      if (t >= BOTTOM && t <= QUEST)
        operator_(t);
      else
        operand(t);
    }
    if (nbra) rcerror("unmatched left paren");
    evaluntil(RBRA);
    operand(END);
    evaluntil(RBRA);
    if (nands != 1) cant("operands left over");
    prog->startinst = ands[0].first;
  }
};

bool in_class(const Reclass* c, Rune r) {
  for (int k = 0; k < c->n; ++k)
    if (r >= c->spans[2 * k] && r <= c->spans[2 * k + 1]) return true;
  return false;
}

// A stamp for a thread list (or a walk) that no instruction holds.
uint32_t new_stamp(Reprog* prog) {
  if (++list_stamp == 0) {
    for (int k = 0; k < prog->ninst; ++k) prog->inst[k].mark = 0;
    list_stamp = 1;
  }
  return list_stamp;
}

// Where a match of prog can start.  When every way from the start
// instruction that reads nothing leads to an instruction that reads a
// character (none to a line end or to the end), a match starts only at a
// character one of those takes: the set of them, or the one ASCII
// character they all take.
void set_start_hint(Reprog* prog) {
  prog->hint = HINT_NONE;
  if (prog->startinst->type == BOL) {
    prog->hint = HINT_BOL;
    return;
  }
  uint64_t set[2] = {0, 0};
  bool other = false;
  uint32_t stamp = new_stamp(prog);
  walk_step* stack = prog->walk;
  int top = 0;
  stack[top++] = {prog->startinst, 0, 0};
  while (top) {
    Reinst* ip = stack[--top].ip;
    if (ip->mark == stamp) continue;
    ip->mark = stamp;
    switch (ip->type) {
      case OR:
        stack[top++] = {ip->right, 0, 0};
        [[fallthrough]];
      case NOP:
      case LBRA:
      case RBRA:
        stack[top++] = {ip->next, 0, 0};
        continue;
      case LITERAL:
        if (ip->r < 0x80)
          set[ip->r / 64] |= uint64_t{1} << (ip->r % 64);
        else
          other = true;
        continue;
      case ANY:
      case ANYNL:
      case CCLASS:
      case NCCLASS:
        for (Rune c = 0; c < 0x80; ++c) {
          bool takes = ip->type == ANY ? c != '\n'
                       : ip->type == ANYNL
                           ? true
                           : in_class(ip->cls, c) == (ip->type == CCLASS);
          if (takes) set[c / 64] |= uint64_t{1} << (c % 64);
        }
        other = other || ip->type != CCLASS ||
                (ip->cls->n && ip->cls->spans[2 * ip->cls->n - 1] >= 0x80);
        continue;
      default:  // a line end or the end: a match may start anywhere
        return;
    }
  }
  int n = __builtin_popcountll(set[0]) + __builtin_popcountll(set[1]);
  if (n == 1 && !other) {
    prog->hint = HINT_CHAR;
    prog->hint_char =
        Rune(set[0] ? __builtin_ctzll(set[0]) : 64 + __builtin_ctzll(set[1]));
    return;
  }
  prog->hint = HINT_SET;
  prog->start_set[0] = set[0];
  prog->start_set[1] = set[1];
  prog->start_other = other;
}

Reinst* past_nops(Reinst* i) {
  while (i && i->type == NOP) i = i->next;
  return i;
}

// The program block, of room for a pattern of len bytes.  Each byte of
// the pattern makes at most two instructions (? and | make two, a group's
// parentheses one each), the end one more; the closure walk pushes at most
// two steps per instruction.
Reprog* program_block(size_t len) {
  size_t maxinst = 2 * len + 2;
  size_t bytes = sizeof(Reprog) + maxinst * sizeof(Reinst) +
                 (2 * maxinst + 2) * sizeof(walk_step);
  int k = htcl(bytes);
  if (!prog_block || k > prog_class) {
    if (prog_block) del_mblk(prog_class, prog_block);
    prog_block = static_cast<Reprog*>(new_mblk(k));
    prog_class = k;
  }
  maxinst =
      ((size_t{8} << prog_class) - sizeof(Reprog) - 2 * sizeof(walk_step)) /
      (sizeof(Reinst) + 2 * sizeof(walk_step));
  Reprog* p = prog_block;
  p->inst = reinterpret_cast<Reinst*>(p + 1);
  p->walk = reinterpret_cast<walk_step*>(p->inst + maxinst);
  p->ninst = 0;
  p->maxinst = static_cast<int>(maxinst);
  return p;
}

}  // namespace

Reprog* regcomp1(const char* pattern, TVA* tva) {
  // The block is about to hold another program.
  zap_cstr(&Cur_regpat);
  Cur_regexp = nullptr;
  Reprog* prog = program_block(std::strlen(pattern));
  compiler c{};
  c.prog = prog;
  c.p = pattern;
  try {
    c.compile();
  } catch (const pattern_error& e) {
    if (!mgwhere(tva)) Fprintf(Stderr, "bad regular expression: %s\n", e.text);
    return nullptr;
  }
  for (int k = 0; k < prog->ninst; ++k)
    prog->inst[k].next = past_nops(prog->inst[k].next);
  prog->startinst = past_nops(prog->startinst);
  prog->ncap = 2 * (std::min(c.cursubid, NSUBMATCH - 1) + 1);
  set_start_hint(prog);
  return prog;
}

// ---- The matcher -----------------------------------------------------------

namespace {

// The two text forms: UTF-8 bytes, decoded as they are read, and 16-bit
// characters.
const char* find_char(const char* s, Rune c) { return utfrune(s, c); }
const Rune* find_char(const Rune* s, Rune c) {
  for (; *s; ++s)
    if (*s == c) return s;
  return nullptr;
}
int decode(const char* s, Rune* r) {
  if (static_cast<unsigned char>(*s) < 0x80) {
    *r = static_cast<unsigned char>(*s);
    return 1;
  }
  return chartorune(r, s);
}
int decode(const Rune* s, Rune* r) {
  *r = *s;
  return 1;
}

// The thread lists: per thread its instruction (always one that reads a
// character) and its recorded positions, offsets from the text's start
// (-1 unset): 0 and 1 the match, 2k and 2k+1 group k.  Scratch of the
// matcher, never kept across calls.
struct thread_list {
  uint32_t stamp;
  int n;
  Reinst* ip[LIST_MAX];
  ptrdiff_t cap[LIST_MAX * NCAP];
};
thread_list lists[2];

// One matching pass over text from `from`, up to the end limit (or the
// text's end), with lists of `limit` threads.
template <class Ch>
struct pass {
  Reprog* prog;
  const Ch* text;
  const Ch* end;  // null: the text ends at its 0
  int limit;
  int ncap;
  bool matched;
  ptrdiff_t best[NCAP];

  bool at_end(const Ch* s) const { return s == end || !*s; }

  // A thread's positions: the two of the match alone, else the whole
  // array (a copy of fixed size stays in line, unlike a call).
  void copy_caps(ptrdiff_t* to, const ptrdiff_t* from) const {
    if (ncap == 2) {
      to[0] = from[0];
      to[1] = from[1];
    } else {
      std::memcpy(to, from, sizeof(ptrdiff_t) * NCAP);
    }
  }

  // Adds the thread at ip with positions caps, at text position s, to l:
  // the walk follows the instructions that read nothing (recording group
  // positions, testing line ends, taking both ways of an alternative) and
  // puts each instruction that reads a character in the list once.
  // False when the list is full.
  bool add(thread_list& l, Reinst* ip0, const ptrdiff_t* caps, const Ch* s) {
    ptrdiff_t work[NCAP];
    copy_caps(work, caps);
    ptrdiff_t here = s - text;
    walk_step* stack = prog->walk;
    int top = 0;
    stack[top++] = {ip0, 0, 0};
    while (top) {
      walk_step w = stack[--top];
      if (!w.ip) {
        work[w.slot] = w.old;
        continue;
      }
      Reinst* ip = w.ip;
      if (ip->mark == l.stamp) continue;
      ip->mark = l.stamp;
      switch (ip->type) {
        case NOP:
          stack[top++] = {ip->next, 0, 0};
          break;
        case OR:
          stack[top++] = {ip->right, 0, 0};
          stack[top++] = {ip->next, 0, 0};
          break;
        case LBRA:
        case RBRA: {
          int slot = 2 * ip->subid + (ip->type == RBRA);
          if (slot < ncap) {
            stack[top++] = {nullptr, slot, work[slot]};
            work[slot] = here;
          }
          stack[top++] = {ip->next, 0, 0};
          break;
        }
        case BOL:
          if (s == text || s[-1] == '\n') stack[top++] = {ip->next, 0, 0};
          break;
        case EOL:
          if (at_end(s) || *s == '\n') stack[top++] = {ip->next, 0, 0};
          break;
        case END:
          work[1] = here;
          // Leftmost, then longest.
          if (!matched || work[0] < best[0] ||
              (work[0] == best[0] && work[1] > best[1])) {
            copy_caps(best, work);
            matched = true;
          }
          break;
        default:
          if (l.n >= limit) return false;
          l.ip[l.n] = ip;
          copy_caps(&l.cap[l.n * NCAP], work);
          ++l.n;
          break;
      }
    }
    return true;
  }

  // Where the next thread can start at s or after; null when nowhere.
  const Ch* next_start(const Ch* s) const {
    if (prog->hint == HINT_CHAR) {
      s = find_char(s, prog->hint_char);
    } else if (prog->hint == HINT_SET) {
      for (;; ++s) {
        if (at_end(s)) return nullptr;
        unsigned c = static_cast<std::make_unsigned_t<Ch>>(*s);
        if (c < 0x80 ? prog->start_set[c / 64] >> (c % 64) & 1
                     : prog->start_other)
          break;
      }
    } else if (prog->hint == HINT_BOL && s != text && s[-1] != '\n') {
      s = find_char(s, '\n');
      if (s) ++s;
    }
    if (s && end && s > end) return nullptr;
    return s;
  }

  // 1 matched, 0 not, -1 a list overflowed.
  int run(const Ch* from) {
    thread_list* cl = &lists[0];
    thread_list* nl = &lists[1];
    cl->n = 0;
    cl->stamp = new_stamp(prog);
    ptrdiff_t start[NCAP];
    std::fill(start, start + NCAP, ptrdiff_t{-1});
    for (const Ch* s = from;;) {
      if (!matched) {
        // A new thread here, unless no match can start here.
        if (!cl->n) {
          if (prog->hint != HINT_NONE && !(s = next_start(s))) break;
          // An empty list may have been marked at an earlier position.
          cl->stamp = new_stamp(prog);
        }
        start[0] = s - text;
        if (!add(*cl, prog->startinst, start, s)) return -1;
      }
      if (at_end(s) || (matched && !cl->n)) break;
      Rune r;
      const Ch* next = s + decode(s, &r);
      if (!cl->n) {
        s = next;
        continue;
      }
      nl->n = 0;
      nl->stamp = new_stamp(prog);
      for (int k = 0; k < cl->n; ++k) {
        const ptrdiff_t* caps = &cl->cap[k * NCAP];
        // A thread that started after the match found cannot beat it.
        if (matched && caps[0] > best[0]) continue;
        Reinst* ip = cl->ip[k];
        bool takes;
        switch (ip->type) {
          case LITERAL:
            takes = r == ip->r;
            break;
          case ANY:
            takes = r != '\n';
            break;
          case ANYNL:
            takes = true;
            break;
          case CCLASS:
            takes = in_class(ip->cls, r);
            break;
          case NCCLASS:
            takes = !in_class(ip->cls, r);
            break;
          default:
            takes = false;
            break;
        }
        if (takes && !add(*nl, ip->next, caps, next)) return -1;
      }
      std::swap(cl, nl);
      s = next;
    }
    return matched;
  }
};

template <class Ch, class Sub>
int exec(Reprog* prog, const Ch* text, Sub* mp) {
  const Ch* from = mp[0].sp ? mp[0].sp : text;
  for (int limit : {LIST_FIRST, LIST_MAX}) {
    pass<Ch> p{prog, text, mp[0].ep, limit, prog->ncap, false, {}};
    int r = p.run(from);
    if (r < 0) continue;
    if (r) {
      for (int k = 0; k < NSUBMATCH; ++k) {
        bool took =
            2 * k < p.ncap && p.best[2 * k] >= 0 && p.best[2 * k + 1] >= 0;
        mp[k].sp = took ? text + p.best[2 * k] : nullptr;
        mp[k].ep = took ? text + p.best[2 * k + 1] : nullptr;
      }
    }
    return r;
  }
  return -1;
}

}  // namespace

int regexec(Reprog* prog, const char* text, Resub* mp) {
  return exec(prog, text, mp);
}

int rregexec(Reprog* prog, const Rune* text, Rresub* mp) {
  return exec(prog, text, mp);
}

const char* utfrune(const char* s, Rune c) {
  if (c < 0x80) return c ? std::strchr(s, c) : nullptr;
  for (;;) {
    Rune r;
    int n = chartorune(&r, s);
    if (r == c) return s;
    if (!r) return nullptr;
    s += n;
  }
}

void regexp_reinit() {
  prog_block = nullptr;
  prog_class = -1;
  list_stamp = 0;
  Cur_regpat = nullptr;
  Cur_regexp = nullptr;
}

// ---- match, sub and gsub ---------------------------------------------------

namespace {

// The program of the pattern string pat: the cached one when pat is the
// cached string or has its text, else pat compiled (and cached).  A bad
// pattern abandons the command, leaving the cache empty.
Reprog* program_for(cstr* pat, TVA* tva) {
  if (Cur_regexp &&
      (pat == Cur_regpat || !std::strcmp(pat->text(), Cur_regpat->text())))
    return Cur_regexp;
  Reprog* prog = regcomp1(pat->text(), tva);
  if (!prog) bailout();
  Cur_regexp = prog;
  Cur_regpat = ref_cstr(pat);
  return prog;
}

// A matcher result of -1: the command is abandoned.
[[noreturn]] void too_complex(TVA* tva, const char* fname) {
  if (!mgwhere(tva))
    Fprintf(Stderr,
            "%s: regular expression too complex (more than %d threads "
            "of the matcher at once)\n",
            fname, LIST_MAX);
  bailout();
}

bool all_ascii(const char* s) {
  for (; *s; ++s)
    if (static_cast<unsigned char>(*s) >= 0x80) return false;
  return true;
}

// The string of argument i of al with one reference for the caller: a
// string argument's own string, a number as its text.
cstr* arg_string(arglist* al, int i) {
  int32_t t = al->at[i];
  if (t >= 0) {
    int64_t n = 0;
    return new_cstring(gfmt(al->ra[t], 0, &n));
  }
  // The argument's text is the text of a counted string, right after its
  // head.
  const char* s = al->sa[-(t + 1)];
  return ref_cstr(reinterpret_cast<cstr*>(const_cast<char*>(s)) - 1);
}

void put_replacement(std::string& out, const char* repl, const Resub* m) {
  for (const char* p = repl; *p; ++p) {
    if (*p == '&') {
      out.append(m[0].sp, size_t(m[0].ep - m[0].sp));
    } else if (*p != '\\') {
      out += *p;
    } else if (!*++p) {
      break;
    } else if (*p >= '0' && *p <= '9') {
      const Resub& g = m[*p - '0'];
      if (g.sp) out.append(g.sp, size_t(g.ep - g.sp));
    } else {
      out += *p == 'n' ? '\n' : *p;
    }
  }
}

int search(Reprog* prog, const char* text, const char* from, Resub* m, TVA* tva,
           const char* fname) {
  std::memset(m, 0, sizeof(Resub) * NSUBMATCH);
  m[0].sp = from;
  int r = regexec(prog, text, m);
  if (r < 0) too_complex(tva, fname);
  return r;
}

// sub (global false) and gsub.  The matcher reads the UTF-8 text as it
// stands, so every byte the replacement does not touch is copied as it
// was.
cstr* subst(arglist* al, bool global) {
  const char* fname = global ? "gsub" : "sub";
  held_cstr text(arg_string(al, 0));
  held_cstr pat(arg_string(al, 1));
  held_cstr repl(arg_string(al, 2));
  Reprog* prog = program_for(pat.get(), al->tva);
  const char* t = text.text();
  Resub m[NSUBMATCH];
  if (!search(prog, t, t, m, al->tva, fname)) return ref_cstr(text.get());
  // Room for a result as long as the text at once: growing a long
  // result step by step costs more than the matching.
  std::string out;
  out.reserve(std::strlen(t) + 64);
  const char* done = t;  // copied up to here
  for (;;) {
    out.append(done, size_t(m[0].sp - done));
    put_replacement(out, repl.text(), m);
    done = m[0].ep;
    if (!global || !*done) break;
    if (m[0].ep == m[0].sp) {
      // After an empty match the next search starts a character later.
      Rune r;
      int n = decode(done, &r);
      out.append(done, size_t(n));
      done += n;
    }
    if (!search(prog, t, done, m, al->tva, fname)) break;
  }
  out += done;
  cstr* r = new_cstr(out.size() + 1);
  std::memcpy(r->text(), out.c_str(), out.size() + 1);
  return r;
}

}  // namespace

eval_result f_OPMATCH(expr* e, TVA* tva) {
  // Both operands first: evaluating one may compile another pattern.
  held_cstr text(eval_str(e->L.e, tva));
  held_cstr pat(eval_str(e->R.e, tva));
  Reprog* prog = program_for(pat.get(), tva);
  const char* t = text.text();
  int r;
  double at = 0;
  if (all_ascii(t)) {
    Resub m[NSUBMATCH] = {};
    r = regexec(prog, t, m);
    if (r > 0) at = double(m[0].sp - t) + 1;
  } else {
    std::vector<Rune> runes(size_t(utflen(t)) + 1);
    Rune* q = runes.data();
    for (const char* s = t; *s;) s += chartorune(q++, s);
    *q = 0;
    Rresub m[NSUBMATCH] = {};
    r = rregexec(prog, runes.data(), m);
    if (r > 0) at = double(m[0].sp - runes.data()) + 1;
  }
  if (r < 0) too_complex(tva, "match");
  return {.d = at};
}

cstr* cs_sub(arglist* al) { return subst(al, false); }

cstr* cs_gsub(arglist* al) { return subst(al, true); }

}  // namespace vexo
