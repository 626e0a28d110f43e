// The lexer.  The scanner is a deterministic automaton built once from the
// forty pattern rules (small Thompson fragments, then the subset
// construction over byte equivalence classes), so that it reads ahead and
// backs up exactly as a longest-match scanner does: it reads while the
// text so far can still grow into a match, keeps the longest match (ties
// to the lower rule), and pushes back what it read beyond it.  The context
// line of a message therefore shows the token up to the last character
// read, the look-ahead included.  The actions and the name classification
// around it follow the lexer state cmd_start.
#include "frontend/lexer.h"

#include <cstring>

#include "frontend/decl.h"
#include "frontend/keywords.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/suffix.h"
#include "frontend/vardcl.h"
#include "session/xref.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/located.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/scratch.h"
#include "support/strtod.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

lexval yylval;

const uint32_t rvfix1[N_RVFIX] = {
    57378, 57429, 57403, 57404, 57413, 57414, 57417, 57418, 57419, 57420, 57421,
    57422, 57427, 0,     57415, 57416, 57408, 57409, 57533, 57534, 57521, 57522,
    0,     0,     57520, 57443, 57537, 57444, 57405, 57412, 57495, 57494, 57362,
    57363, 57364, 57523, 57524, 57525, 57526, 57392, 57359, 57360, 57554};
const uint32_t rvfix2[N_RVFIX] = {
    57378, 57429, 57406, 57407, 57413, 57414, 57417, 57418, 57423, 57424, 57425,
    57426, 57427, 0,     57415, 57416, 57410, 57411, 57535, 57536, 57521, 57522,
    0,     0,     57520, 57443, 57537, 57444, 57405, 57412, 57495, 57494, 57362,
    57363, 57364, 57523, 57524, 57525, 57526, 57392, 57359, 57360, 57554};
const uint32_t* const rvfixi[2] = {rvfix1, rvfix2};
const uint32_t* rvfix = rvfix1;

const uint8_t isxnode[42] = {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0,
                             1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0,
                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

int bracecnt;

void forget_braces() { bracecnt = 0; }

int32_t semibrace = -1;
int32_t rlook8;

void semicolon_before_brace(int32_t depth) { semibrace = depth; }

char yytext[200];
int32_t yyleng;

// Start conditions: INITIAL (before the first token only), the
// statement-start condition (adds "end" and "subject to") and the
// in-statement condition (adds "there exists" and "for all").
enum { COND_INITIAL, COND_STMT_START, COND_IN_STMT, N_COND };
static int lex_cond = COND_INITIAL;

// Longest lexeme kept; reaching it is the oversize error.
constexpr int YYLMAX = 199;

// ---------------------------------------------------------------------------
// The automaton

constexpr int MAX_NFA = 512;
constexpr int MAX_CSET = 64;
constexpr int MAX_DFA = 256;
constexpr int MAX_EQ = 64;
constexpr int NFA_WORDS = MAX_NFA / 64;

struct nfa_node {
  int16_t cset;  // character set of the one labelled edge, or -1
  int16_t to;    // target of the labelled edge
  int16_t e1;    // empty edges, -1 when absent
  int16_t e2;
  uint8_t rule;  // the rule this node accepts, 0 for none
};

static nfa_node nfa[MAX_NFA];
static int n_nfa;
static uint64_t csets[MAX_CSET][4];
static int n_cset;

static uint8_t eqclass[256];   // byte -> class; class 0 is the end
static uint8_t eqrep[MAX_EQ];  // a byte of each class
static int n_eq;
static int16_t dtrans[MAX_DFA][MAX_EQ];  // -1: no transition
static uint8_t drule[MAX_DFA];           // lowest rule accepting here, 0 none
static uint8_t dout[MAX_DFA];            // 1 when any transition leaves
static uint64_t dset[MAX_DFA][NFA_WORDS];
static int n_dfa;
static int16_t dstart[N_COND];
static bool tables_built;

struct frag {
  int s, e;
};

static int new_node() {
  if (n_nfa >= MAX_NFA) bug("lexer automaton: too many nodes");
  nfa[n_nfa] = {-1, -1, -1, -1, 0};
  return n_nfa++;
}

static void eps(int a, int b) {
  if (nfa[a].e1 < 0) {
    nfa[a].e1 = static_cast<int16_t>(b);
  } else if (nfa[a].e2 < 0) {
    nfa[a].e2 = static_cast<int16_t>(b);
  } else {
    bug("lexer automaton: node %d has two empty edges", a);
  }
}

static int cset_of(const uint64_t* bits) {
  for (int i = 0; i < n_cset; ++i) {
    if (!memcmp(csets[i], bits, sizeof csets[i])) return i;
  }
  if (n_cset >= MAX_CSET) bug("lexer automaton: too many character sets");
  memcpy(csets[n_cset], bits, sizeof csets[n_cset]);
  return n_cset++;
}

static frag edge(const uint64_t* bits) {
  int s = new_node();
  int e = new_node();
  nfa[s].cset = static_cast<int16_t>(cset_of(bits));
  nfa[s].to = static_cast<int16_t>(e);
  return {s, e};
}

static void bit_set(uint64_t* bits, int c) {
  bits[c >> 6] |= uint64_t{1} << (c & 63);
}

// Any one of the characters of chars.
static frag one_of(const char* chars) {
  uint64_t bits[4] = {};
  for (const char* p = chars; *p; ++p) {
    bit_set(bits, static_cast<unsigned char>(*p));
  }
  return edge(bits);
}

static frag cat(frag a, frag b) {
  eps(a.e, b.s);
  return {a.s, b.e};
}

static frag lit(const char* s) {
  char one[2] = {s[0], 0};
  frag f = one_of(one);
  for (++s; *s; ++s) {
    one[0] = *s;
    f = cat(f, one_of(one));
  }
  return f;
}

static frag alt(frag a, frag b) {
  int s = new_node();
  int e = new_node();
  eps(s, a.s);
  eps(s, b.s);
  eps(a.e, e);
  eps(b.e, e);
  return {s, e};
}

static frag star(frag a) {
  int s = new_node();
  int e = new_node();
  eps(s, a.s);
  eps(s, e);
  eps(a.e, a.s);
  eps(a.e, e);
  return {s, e};
}

static frag plus(frag a) {
  int e = new_node();
  eps(a.e, a.s);
  eps(a.e, e);
  return {a.s, e};
}

static frag opt(frag a) {
  int s = new_node();
  int e = new_node();
  eps(s, a.s);
  eps(s, e);
  eps(a.e, e);
  return {s, e};
}

// Letters: A-Z, a-z, "_" and the bytes 128..255.
static frag letter() {
  uint64_t bits[4] = {};
  for (int c = 0; c < 256; ++c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
        c >= 128) {
      bit_set(bits, c);
    }
  }
  return edge(bits);
}

static frag letter_or_digit() { return alt(letter(), one_of("0123456789")); }

static frag digits() { return plus(one_of("0123456789")); }

static frag hex_digit() { return one_of("0123456789abcdefABCDEF"); }

// Any byte but the newline (and the end, 0).
static frag any_but_newline() {
  uint64_t bits[4] = {};
  for (int c = 1; c < 256; ++c) {
    if (c != '\n') bit_set(bits, c);
  }
  return edge(bits);
}

static frag space() { return one_of(" "); }

// The chain of empty edges from each condition's start node.
static int cond_tail[N_COND];

static void add_rule(int rule, frag f, unsigned conds) {
  nfa[f.e].rule = static_cast<uint8_t>(rule);
  for (int c = 0; c < N_COND; ++c) {
    if (!(conds & (1u << c))) continue;
    int next = new_node();
    eps(cond_tail[c], f.s);
    eps(cond_tail[c], next);
    cond_tail[c] = next;
  }
}

static void build_nfa() {
  n_nfa = n_cset = 0;
  int starts[N_COND];
  for (int c = 0; c < N_COND; ++c) starts[c] = cond_tail[c] = new_node();
  const unsigned all = 7;
  const unsigned ss = 1u << COND_STMT_START;
  const unsigned is = 1u << COND_IN_STMT;
  static const char* const plain[] = {"\n",  "&&",  "||",  "!",  "!=", "<>",
                                      "/=",  "<<",  ">>",  "<=", "==", "=",
                                      ">=",  ":=",  "**",  "^",  "..", "&",
                                      "==>", "<==", "<==>"};
  for (int r = 1; r <= 21; ++r) add_rule(r, lit(plain[r - 1]), all);
  add_rule(22, lit("end"), ss);
  add_rule(23, cat(cat(lit("there"), plus(space())), lit("exists")), is);
  add_rule(24, cat(cat(lit("for"), plus(space())), lit("all")), is);
  {
    frag subj_to =
        cat(cat(alt(lit("subj"), lit("subject")), star(space())), lit("to"));
    frag st = alt(alt(lit("s.t."), lit("subj")), subj_to);
    add_rule(25, cat(opt(cat(lit("and"), plus(space()))), st), ss);
  }
  add_rule(26, lit("*"), all);
  add_rule(27, cat(digits(), lit("..")), all);  // the digits only are kept
  {
    frag frac = opt(cat(lit("."), star(one_of("0123456789"))));
    frag r28 = cat(cat(cat(digits(), frac), one_of("dD")),
                   cat(opt(one_of("+-")), digits()));
    add_rule(28, r28, all);
  }
  {
    frag a = cat(digits(), opt(cat(lit("."), star(one_of("0123456789")))));
    frag b = cat(lit("."), digits());
    frag ex = opt(cat(cat(one_of("eE"), opt(one_of("+-"))), digits()));
    add_rule(29, cat(alt(a, b), ex), all);
  }
  {
    frag r30 = cat(cat(lit("0"), one_of("xX")), plus(hex_digit()));
    r30 = cat(r30, opt(cat(lit("."), star(hex_digit()))));
    r30 = cat(r30, opt(cat(cat(one_of("pP"), opt(one_of("+-"))), digits())));
    add_rule(30, r30, all);
  }
  {
    frag a = cat(letter(), star(letter_or_digit()));
    frag b = cat(cat(digits(), letter()), star(letter_or_digit()));
    add_rule(31, alt(a, b), all);
  }
  static const char* const single[] = {"\"", "{", "}", "[", "]", "(", ")", "$"};
  for (int r = 32; r <= 39; ++r) add_rule(r, lit(single[r - 32]), all);
  add_rule(40, any_but_newline(), all);
  for (int c = 0; c < N_COND; ++c) dstart[c] = static_cast<int16_t>(starts[c]);
}

static void closure(uint64_t* set) {
  int stack[MAX_NFA];
  int sp = 0;
  for (int i = 0; i < n_nfa; ++i) {
    if (set[i >> 6] >> (i & 63) & 1) stack[sp++] = i;
  }
  while (sp) {
    int i = stack[--sp];
    for (int j : {nfa[i].e1, nfa[i].e2}) {
      if (j >= 0 && !(set[j >> 6] >> (j & 63) & 1)) {
        set[j >> 6] |= uint64_t{1} << (j & 63);
        stack[sp++] = j;
      }
    }
  }
}

static int dfa_state(const uint64_t* set) {
  for (int i = 0; i < n_dfa; ++i) {
    if (!memcmp(dset[i], set, sizeof dset[i])) return i;
  }
  if (n_dfa >= MAX_DFA) bug("lexer automaton: too many states");
  memcpy(dset[n_dfa], set, sizeof dset[n_dfa]);
  int rule = 0;
  for (int i = 0; i < n_nfa; ++i) {
    if ((set[i >> 6] >> (i & 63) & 1) && nfa[i].rule &&
        (!rule || nfa[i].rule < rule)) {
      rule = nfa[i].rule;
    }
  }
  drule[n_dfa] = static_cast<uint8_t>(rule);
  return n_dfa++;
}

// Bytes that belong to the same character sets share a class; byte 0 (the
// end of input) is class 0 and has no transitions.
static void build_classes() {
  uint64_t sig[MAX_EQ];
  n_eq = 1;
  eqclass[0] = 0;
  eqrep[0] = 0;
  sig[0] = ~uint64_t{0};
  for (int c = 1; c < 256; ++c) {
    uint64_t s = 0;
    for (int k = 0; k < n_cset; ++k) {
      if (csets[k][c >> 6] >> (c & 63) & 1) s |= uint64_t{1} << k;
    }
    int q = 1;
    while (q < n_eq && sig[q] != s) ++q;
    if (q == n_eq) {
      if (n_eq >= MAX_EQ) bug("lexer automaton: too many classes");
      sig[n_eq] = s;
      eqrep[n_eq++] = static_cast<uint8_t>(c);
    }
    eqclass[c] = static_cast<uint8_t>(q);
  }
}

static void build_tables() {
  build_nfa();
  build_classes();
  n_dfa = 0;
  for (int c = 0; c < N_COND; ++c) {
    uint64_t set[NFA_WORDS] = {};
    set[dstart[c] >> 6] |= uint64_t{1} << (dstart[c] & 63);
    closure(set);
    dstart[c] = static_cast<int16_t>(dfa_state(set));
  }
  for (int d = 0; d < n_dfa; ++d) {
    dtrans[d][0] = -1;
    dout[d] = 0;
    for (int q = 1; q < n_eq; ++q) {
      int ch = eqrep[q];
      uint64_t set[NFA_WORDS] = {};
      bool any = false;
      for (int i = 0; i < n_nfa; ++i) {
        if (!(dset[d][i >> 6] >> (i & 63) & 1) || nfa[i].cset < 0) continue;
        if (csets[nfa[i].cset][ch >> 6] >> (ch & 63) & 1) {
          int t = nfa[i].to;
          set[t >> 6] |= uint64_t{1} << (t & 63);
          any = true;
        }
      }
      if (!any) {
        dtrans[d][q] = -1;
        continue;
      }
      closure(set);
      dtrans[d][q] = static_cast<int16_t>(dfa_state(set));
      dout[d] = 1;
    }
  }
  tables_built = true;
}

// ---------------------------------------------------------------------------
// Characters

// The scanner's input: the push-back stack, the rest of the raw token, the
// next raw token.  0 is the end of input only: a NUL byte of the text is
// read as the control character 1, which no rule takes.
static int lex_in() {
  if (yysptr > yysbuf) return *--yysptr;
  if (nextc < yylastc) {
    int c = static_cast<unsigned char>(*nextc++);
    return c ? c : 1;
  }
  return yytok();
}

static void lex_unput(int c) { yyunput(c); }

// Puts back the character that ended a name read outside the automaton:
// into the line buffer when it came from there and nothing waits on the
// push-back stack (so that an include resumes before it), else onto the
// stack.
static void put_back(int c) {
  if (c && yysptr == yysbuf && nextc > firstc && nextc <= lastc &&
      static_cast<unsigned char>(nextc[-1]) == c) {
    --nextc;
  } else {
    lex_unput(c);
  }
}

// ---------------------------------------------------------------------------
// The scanner

int yylook() {
  if (!tables_built) build_tables();
  int state = dstart[lex_cond];
  int16_t path[YYLMAX + 1];
  int n = 0;
  for (;;) {
    // A state that no character can leave ends the match without reading.
    if (n > 0 && !dout[state]) break;
    int c = lex_in();
    int next = c ? dtrans[state][eqclass[c]] : -1;
    if (next < 0) {
      if (c || n) lex_unput(c);
      break;
    }
    yytext[n] = static_cast<char>(c);
    path[n++] = static_cast<int16_t>(next);
    state = next;
    if (n >= YYLMAX) {
      char msg[264];
      Snprintf(msg, sizeof msg, "Oversize token starting \"%.*s\"", n, yytext);
      yytext[n] = 0;
      yyleng = n;
      yyerror(msg);
      return LEX_OVERSIZE;
    }
  }
  for (int i = n; i > 0; --i) {
    int rule = drule[path[i - 1]];
    if (!rule) continue;
    int len = rule == 27 ? i - 2 : i;  // trailing context ".."
    while (n > len) lex_unput(static_cast<unsigned char>(yytext[--n]));
    yytext[len] = 0;
    yyleng = len;
    return rule;
  }
  // Every byte but the end starts a match, so this is the end of input.
  yysptr = yysbuf;
  yytext[0] = 0;
  yyleng = 0;
  return 0;
}

void opvalue() {
  int n = yyleng;
  int c;
  while ((c = lex_in()) != 0 && symchars[c]) {
    if (n < YYLMAX) yytext[n++] = static_cast<char>(c);
  }
  lex_unput(c);
  yytext[n] = 0;
  yyleng = n;
  yylval.str = new_cstring(yytext);
}

// Set by fname_tok when it reported "Bad filename syntax.".
static bool bad_fname;

int fname_tok(int c, int w) {
  bad_fname = false;
  size_t n = 0;
  // tok may move when it grows (or when a string is read into it), so the
  // name is kept by offset.
  auto put = [&n](int ch) {
    char* p = tok + n;
    if (p >= tokend) p = bump_tok_k(p);
    *p = static_cast<char>(ch);
    ++n;
  };
  put(c);
  for (;;) {
    // A name that runs to the end of its input ends there: reading on
    // would move to the next input (and an include would resume past it).
    if (yysptr == yysbuf && nextc >= yylastc && eof_nextline) break;
    c = lex_in();
    if (c <= 32 || c == ';' || c == ',' || (w && c == '{')) {
      put_back(c);
      break;
    }
    if (c == '"') {
      yyerror("Bad filename syntax.");
      bad_fname = true;
      break;
    }
    put(c);
  }
  put(0);
  return w && !strcmp(tok, "table");
}

// ---------------------------------------------------------------------------
// Names

static void stmt_start_flags() {
  whole_sfx_allow(false);
  dseen = nullptr;
  dseenexpl = nullptr;
  dxseen = nullptr;
}

// Records a reference to the declaration b of kind k in the dependency
// accumulator.  A reference to the declaration being built is no
// dependency; it is counted in `recursive`, which tells finish_dcl that the
// declaration refers to itself (a recursive definition).
static void record_ref(void* b, uint32_t k) {
  if (k >= 42 || !isxnode[k]) return;
  if (b == rec_xnode) {
    ++recursive;
    return;
  }
  xnode* x = static_cast<xnode*>(b);
  int first = !dac.mark || dac.mark[x->num] == 0;
  dep_note(x->num);
  // Variables, constraints and objectives count their references in the
  // statement.
  uint32_t base = k & ~1u;
  if (base == 2 || base == 8 || base == 10) {
    convar* v = static_cast<convar*>(x);
    v->stmtrefs = first ? 1 : v->stmtrefs + 1;
  }
}

// Results of the name classification besides tokens: a reported error
// (skip the statement), scan on, or start again from the entry.
enum { CLASSIFY_SKIP = -1, CLASSIFY_RESCAN = -2, CLASSIFY_REENTER = -3 };

static int undeclared() {
  if (cmd_start == CS_STMTWORD) {
    cmd_start = CS_REF;
    return TK_STMT_NEWNAME;
  }
  return TK_NEWNAME;
}

// Steps 6 and 7: a name by its binding.
static int declared(symbol* s) {
  void* b = s->binding;
  if (!b) return undeclared();
  uint32_t k = bound_kind(b);
  int st = cmd_start;
  if (k > 42) {
    if (st >= 0 && st <= 2) return static_cast<int>(k);
    return undeclared();
  }
  if (st >= 0 && st <= 2) {
    int n = static_cast<int>(rvfix[k]);
    // Kinds without a token of their own (entry 0: checks, environments)
    // would read as the end of input; such a name is given as a name
    // without a meaning here instead.
    if (!n) return TK_NEWNAME;
    if (k > 31) return n;
    record_ref(b, k);
    yylval.x = static_cast<xnode*>(b);
    return n;
  }
  if (k > 31) return undeclared();
  if (st == CS_PROBLEM1 && (k == DK_PROB || k == DK_PROBI)) {
    record_ref(b, k);
    yylval.x = static_cast<xnode*>(b);
    return static_cast<int>(rvfix[k]);
  }
  xnode* x = static_cast<xnode*>(b);
  if (k == DK_FUNCTION && (x->flags & 32)) {
    del_function(x);
    return undeclared();
  }
  yyerror(msgBf("%s is already defined", s->name));
  return CLASSIFY_SKIP;
}

// The word q is the quit statement only when nothing but blanks stands
// between it and a ";" or the end of the line.
static bool q_quits() {
  for (unsigned char* p = yysptr; p > yysbuf;) {
    int c = *--p;
    if (c == 0) return true;
    if (c > ' ') return c == ';';
  }
  if (nextc >= firstc && nextc <= lastc) {
    for (char* p = nextc; p < lastc; ++p) {
      int c = static_cast<unsigned char>(*p);
      if (c > ' ') return c == ';';
    }
  }
  return true;
}

// Step 5: the first word of a statement.
static int statement_word(symbol* s) {
  int r = stmt_row_of(s);
  if (r < 0) {
    rvfix = rvfix1;
    return declared(s);
  }
  const stmt_row& row = stmt_info[r];
  if (row.state == CS_STEPWORD) {
    if (inslev) return static_cast<int>(row.code);
    error(0, "Single-stepping command \"%s\" ignored.", s->name);
    prompt2 = 0;
    cmd_start = CS_STMTWORD;
    lex_cond = COND_STMT_START;
    stmt_start_flags();
    return CLASSIFY_RESCAN;
  }
  if (row.code == TK_QUIT && yyleng == 1 && !q_quits()) {
    rvfix = rvfix1;
    return declared(s);
  }
  cmd_start = row.state;
  rvfix = rvfixi[row.remap];
  uint32_t t = row.code;
  stmtsave(t == TK_ELSE || t == TK_STMT_UNTIL || t == TK_STMT_WHILE ? 0 : 1);
  return static_cast<int>(t);
}

// An option name, or a pattern when "*" follows it.
static int option_name() {
  char buf[YYLMAX + 1];
  int n = 0;
  int c = lex_in();
  if (c == '*') {
    buf[n++] = '*';
    for (int i = 0; i < yyleng && n < YYLMAX; ++i) buf[n++] = yytext[i];
    if (n < YYLMAX) buf[n++] = '*';
    while ((c = lex_in()) != 0 && tokstar_type[c] == 4) {
      if (n < YYLMAX) buf[n++] = static_cast<char>(c);
    }
    lex_unput(c);
  } else {
    lex_unput(c);
    for (int i = 0; i < yyleng; ++i) buf[n++] = yytext[i];
  }
  buf[n] = 0;
  cmd_start = CS_OPTVALUE;
  yylval.str = new_cstring(buf);
  return TK_OPTNAME;
}

// Name classification of the lexeme in yytext: a token, or CLASSIFY_SKIP
// after a reported error, or CLASSIFY_RESCAN to scan on.
static int classify() {
  switch (cmd_start) {
    case CS_WORD:
      cmd_start = CS_NEWNAME;
      yylval.str = new_cstring(yytext);
      return TK_WORD;
    case CS_PLAIN: {
      symbol* s = Symbol(yytext, 1);
      yylval.sym = s;
      if (rlook8) {
        // Only the words that name a kind of thing in these lists are
        // tokens; any other reserved word (sum, in, ...) is a name.
        int r = reserved_row_of(s);
        uint32_t t = r >= 0 ? reserved_info[r].code : 0;
        if (t == TK_CHECK || t == TK_ENVIRON || t == TK_SUFFIX ||
            t == TK_TABLE || t == TK_OPTION)
          return static_cast<int>(t);
      }
      return TK_PLAINNAME;
    }
    case CS_OPTNAME:
      return option_name();
    case CS_OPTVALUE:
      opvalue();
      return TK_WORD;
    default:
      break;
  }
  symbol* s = Symbol(yytext, 1);
  yylval.sym = s;
  int st = cmd_start;
  if (st == CS_STMTWORD) return statement_word(s);
  int r = reserved_row_of(s);
  if (r < 0) return declared(s);
  uint32_t v = reserved_info[r].value;
  uint32_t t = reserved_info[r].code;
  bool ref_state = st >= 0 && st <= 2;
  if (!(v & RESERVED_UNLESS_DECLARED)) {
    if (!ref_state) {
      yyerror(msgBf("%s is reserved", s->name));
      return CLASSIFY_SKIP;
    }
    yylval.i = v;
    return static_cast<int>(t);
  }
  if (s->binding) return declared(s);
  if (!ref_state) return TK_NEWNAME;
  yylval.i = v & ~RESERVED_UNLESS_DECLARED;
  return static_cast<int>(t);
}

// The word "include": reads the file name and switches the input to it.
// False after a bad file name was reported.
static bool include_word() {
  int c;
  do c = lex_in();
  while (c && c <= ' ');
  if (!c) {
    lex_unput(0);
    return true;
  }
  if (c == '"') {
    include(tok, 0, 1);
  } else if (c == ';') {
    include(tok, -1, 1);
  } else {
    fname_tok(c, 0);
    if (bad_fname) return false;
    include(tok, 0, 1);
  }
  return true;
}

// ---------------------------------------------------------------------------
// yylex

// Skips input to the next ";" after a reported error; the parser then gets
// the filler token, and three semicolons are injected after it.
static int error_skip() {
  for (;;) {
    int c = lex_in();
    if (!c) return 0;
    if (c == ';') break;
  }
  abandon_rest(true);
  yy_special = 2;
  return TK_ERRFILL;
}

static int number_token(int rule) {
  if (rule == 28) {
    for (char* p = yytext; *p; ++p) {
      if (*p == 'd' || *p == 'D') *p = 'e';
    }
  }
  yylval.d = Strtod(yytext, nullptr);
  return TK_NUMBER;
}

extern "C" int yylex(void) {
  for (;;) {  // entry
    prompt2 = 1;
    switch (cmd_start) {
      case CS_PREFIX:
      case CS_START:
      case CS_SKIPPED:
        if (cmd_start != CS_PREFIX) prompt2 = 0;
        cmd_start = CS_STMTWORD;
        lex_cond = COND_STMT_START;
        stmt_start_flags();
        break;
      case CS_STMTWORD:
        lex_cond = COND_IN_STMT;
        cmd_start = CS_NEWNAME;
        break;
      case CS_PROBLEM:
        lex_cond = COND_IN_STMT;
        cmd_start = CS_PROBLEM1;
        break;
      case CS_PROBLEM1:
      case CS_NEWNAME:
        lex_cond = COND_IN_STMT;
        cmd_start = CS_REF;
        break;
      case CS_SKIP: {
        cmd_start = CS_SKIPPED;
        int c;
        do c = lex_in();
        while (c && c != ';');
        return ';';
      }
      case CS_FILE:
      case CS_WRITEFILE: {
        int w = cmd_start == CS_WRITEFILE;
        cmd_start = CS_NEWNAME;
        int c;
        do c = lex_in();
        while (c && c <= ' ');
        if (!c) {
          lex_unput(0);
          break;
        }
        if (c == '"') {
          yylval.str = new_cstring(tok);
          return TK_FILENAME;
        }
        if (c == '(' || c == ';') {
          yylval.i = c;
          return c;
        }
        if (c == '<') {
          cmd_start = CS_FILE;
          yylval.i = c;
          return c;
        }
        if (fname_tok(c, w)) return TK_TABLE;
        // A statement with a bad file name is abandoned, not run with
        // part of the name.
        if (bad_fname) return error_skip();
        yylval.str = new_cstring(tok);
        return TK_FILENAME;
      }
      default:
        break;
    }
    // scan
    for (;;) {
      int rule = yylook();
      int t;
      switch (rule) {
        case 0:
          return 0;
        case LEX_OVERSIZE:
          return error_skip();
        case 1:
          continue;
        case 2:
          yylval.i = TK_AND;
          return TK_AND;
        case 3:
          yylval.i = TK_OR;
          return TK_OR;
        case 4:
          return TK_NOT;
        case 5:
        case 6:
        case 7:
          yylval.i = 15360;
          return TK_COMPARE;
        case 8:
          return TK_LTLT;
        case 9:
          return TK_GTGT;
        case 10:
          yylval.i = 11778;
          return TK_COMPARE;
        case 11:
        case 12:
          yylval.i = 12288;
          return TK_COMPARE;
        case 13:
          yylval.i = 14338;
          return TK_COMPARE;
        case 14:
          return TK_ASSIGN;
        case 15:
        case 16:
          return '^';
        case 17:
          return TK_DOTDOT;
        case 18:
          return '&';
        case 19:
          return TK_IMPLIES;
        case 20:
          return TK_REVIMPLIES;
        case 21:
          return TK_IFF;
        case 22:
          if (cmd_start == CS_PLAIN) {
            t = classify();
            break;
          }
          end_file();
          continue;
        case 23:
          yylval.i = 8704;
          return TK_ITLOGIC;
        case 24:
          yylval.i = 9216;
          return TK_ITLOGIC;
        case 25:
          rvfix = rvfix1;
          stmtsave(1);
          return TK_SUBJECT_TO;
        case 26: {
          if (cmd_start != CS_OPTNAME) return '*';
          char buf[YYLMAX + 1] = "**";
          int n = 2;
          int c;
          while ((c = lex_in()) != 0 && tokstar_type[c] == 4) {
            if (n < YYLMAX) buf[n++] = static_cast<char>(c);
          }
          lex_unput(c);
          buf[n] = 0;
          cmd_start = CS_OPTVALUE;
          yylval.str = new_cstring(buf);
          return TK_OPTNAME;
        }
        case 27:
        case 28:
        case 29:
          if (cmd_start == CS_OPTVALUE) {
            opvalue();
            return TK_WORD;
          }
          return number_token(rule);
        case 30:
          if (cmd_start == CS_OPTVALUE) {
            opvalue();
            return TK_WORD;
          }
          if (!no_hexfp) return number_token(rule);
          if (char* dot = strchr(yytext, '.')) {
            int keep = static_cast<int>(dot - yytext);
            while (yyleng > keep) {
              lex_unput(static_cast<unsigned char>(yytext[--yyleng]));
            }
            yytext[yyleng] = 0;
          }
          t = classify();
          break;
        case 31:
          if (!strcmp(yytext, "include")) {
            if (!include_word()) return error_skip();
            continue;
          }
          t = classify();
          break;
        case 32:
          yylval.str = new_cstring(tok);
          return TK_STRING;
        case 33:
          ++bracecnt;
          if (cmd_start == CS_STMTWORD) {
            cmd_start = CS_START;
            return TK_STMT_LBRACE;
          }
          cmd_start = CS_NEWNAME;
          return '{';
        case 34:
          if (--bracecnt < 0) {
            yyerror("extra }");
            bracecnt = 0;
            t = CLASSIFY_REENTER;  // now in the skip state yyerror set
            break;
          }
          if (cmd_start == CS_STMTWORD) {
            cmd_start = CS_START;
            semibrace = -1;
            stmtsave(0);
            return TK_STMT_RBRACE;
          }
          if (semibrace == bracecnt) {
            semibrace = -1;
            lex_unput('}');
            ++bracecnt;
            return ';';
          }
          return '}';
        case 35:
          return '[';
        case 36:
          return ']';
        case 37:
          cmd_start = CS_NEWNAME;
          return '(';
        case 38:
          return ')';
        case 39:
          cmd_start = CS_WORD;
          return '$';
        default: {  // 40
          int c = static_cast<unsigned char>(yytext[0]);
          if (c <= ' ' || c == 127) continue;
          if (cmd_start == CS_OPTVALUE && symchars[c] && c != '.') {
            opvalue();
            return TK_WORD;
          }
          yylval.i = c;
          return c;
        }
      }
      if (t == CLASSIFY_SKIP) return error_skip();
      if (t == CLASSIFY_RESCAN) continue;
      if (t == CLASSIFY_REENTER) break;
      return t;
    }
  }
}

void lexer_start() {
  yysptr = yysbuf;
  cmd_start = CS_START;
  lex_cond = COND_INITIAL;
  rvfix = rvfix1;
  bracecnt = 0;
  semibrace = -1;
  rlook8 = 0;
  yytext[0] = 0;
  yyleng = 0;
  yylval.p = nullptr;
}

}  // namespace vexo
