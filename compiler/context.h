// Context levels and the context stack of the compiler.  Every Index entry
// of an indexing expression opens one context level while the indexing is
// compiled; level 0 is the outermost scope of a command or declaration.
// Each shared record (compiler/eexpr.h) carries the levels whose dummies
// its value reads and lies at the innermost of them; when a level closes,
// its records go to opcode generation, which decides whether a value is
// stored once per member of its level (STORE, chosen by mandate) or
// computed on first use and kept until the level moves on (REWRITE).
#ifndef VEXO_COMPILER_CONTEXT_H
#define VEXO_COMPILER_CONTEXT_H

#include <cstdint>

namespace vexo {

// Written outside compiler/, by design: iflevel by the distributing
// builder of conditional expressions (frontend/distrib.cpp).

struct eexpr;
struct expr;
struct set;
struct set_spec;
struct Index;
struct xnode;
struct list;

constexpr int MAX_CONTEXT = 31;  // deepest level

// Flag that opening an indexing with its owner ORs into the owner's flags
// when the indexing iterates over its one set directly (no result set of
// its own).  Any declaration kind can carry it.
constexpr uint64_t XF_SETRESULT = 0x800000;

struct context_rec {
  Index* ix;          // entry that opened the level (level 0: lev0)
  set_spec* ss;       // the indexing expression being compiled
  int32_t iflevel;    // conditional depth of the enclosing code
  int32_t framesize;  // dummy cells needed by the levels inside this one
  eexpr* chain;       // records made at this level
  eexpr* early;       // ... while its sets and condition were compiled
  uint64_t levbit;    // 1 << level
  uint64_t scope;     // this level's bit and every outer one
  double stamp;       // newest data stamp of the level's sets
  uint64_t mandmask;  // levels at which mandate marks (0 at level 0)
};

extern context_rec con[MAX_CONTEXT + 1];
extern context_rec* ccon;  // innermost open level
extern int curcon;         // its number
// Deepest level any compiled expression reached; sizes every evaluation
// context.
extern int max_context;
extern set_spec* curss;  // indexing expression being compiled
// Depth of conditional code: records made inside are never given a STORE.
extern int iflevel;
// Level mask of the rows of a table being read or written: records that
// meet it get EE_COND instead of starting out mandated.
extern uint64_t ee_no_mand;
// Level mask of a let command's indexing, 1 otherwise.
extern uint64_t let_sslev;
// 1 while the body chain of a level with a condition goes to opcode
// generation, else 0.
extern int mand_stel;
// Nodes rewritten at the level being closed; the closed levels' Indexes.
extern list* rew_list;
extern list* rew_list0;
// The Index of level 0, and the second empty level-0 Index.
extern Index* lev0;
extern Index* lev00;

// Start-up and `reset`: the context records with their level bits, new
// level-0 Indexes (lev0, lev00), level 0 current, max_context 0, no
// indexing being compiled, the switches at rest.
void context_reset();

// The innermost open level whose bit lies in lev; bits that meet no open
// level are a bug ("level has impossible levbits 0x%lx").
context_rec* level(uint64_t lev);
// Makes record n current.
void lev_adjust(int n);
// Opens the levels of an indexing expression and gives it its record;
// owner is the declaration the indexing belongs to, or null.  A 32nd
// level is a bug ("context stack overflow").
void ss_start(set_spec* ss, xnode* owner);
// Closes them, handing their records to opcode generation.
void ss_end(set_spec* ss);
// Moves rew_list into ix and pushes ix on rew_list0 (used for level 0).
void rewlist(Index* ix);

// Marking: a record (and what it depends on) is needed at its level.
void mandate(eexpr* r);
void smandate(set* s);
// A set stored at its own level although it is used inside it.
void sforce(context_rec* c, set* s);
void lmandate(expr* list);

// Pushes negation inwards in a logical expression at *pe (negate
// nonzero: the expression is negated) and returns the new expression.
expr* not_elim(expr** pe, int negate);
// Wraps a bare variable reference in a value-of-variable node with a
// private record (logged); other records are returned unchanged.
eexpr* varfix(eexpr* r, expr** pe);

}  // namespace vexo

#endif  // VEXO_COMPILER_CONTEXT_H
