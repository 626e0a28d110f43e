// Named problems: the problem declaration, the membership of each problem
// member (p_info), the current problem and the switching between problems
// with their option environments and explicit drop/fix state.
//
// A problem names variables, constraints and objectives, whole or member
// by member, possibly over indexings; an indexed problem is a family of
// problems, one per member chosen so far.  Exactly one problem member is
// current.  Its membership is built lazily (get_prob, when need_prob says
// so) and applied to the declarations' member status bytes (GS_DROPPED,
// instance/members.h); while Initial is current and untouched, no
// membership applies and every entity takes part.
#ifndef VEXO_INSTANCE_PROBLEM_H
#define VEXO_INSTANCE_PROBLEM_H

#include <functional>

#include <cstdint>
#include <type_traits>

#include "frontend/decl.h"
#include "instance/sufstore.h"

namespace vexo {

struct convar;
struct cstr;
struct expr;
struct objsolve;
struct redirect;
struct set;
struct set_spec;
struct symbol;
struct xenvir;
struct xrecomp;

// Bits of the member status bytes and declaration flags read and written
// here (besides GS_DROPPED and CV_ALLDROPPED of instance/members.h).
enum : uint64_t {
  PF_NOPROB = 0x20,          // a declaration never part of problems
  PF_EXPLICIT1 = 0x100000,   // some members' state set explicitly
  PF_EXPLICIT2 = 0x200000,   // the whole declaration's state set explicitly
  PF_EXPLICIT = PF_EXPLICIT1 | PF_EXPLICIT2
};
enum : uint8_t {
  PS_EXPLICIT = 0x40  // member status: set by drop/restore/fix/unfix here
};

// One declaration in a problem member's membership.  inset: a byte per
// member slot of the declaration (0 in the problem, 2 not in it), or null
// when the whole declaration belongs.
struct p_entry {
  convar* d;
  uint8_t* inset;
  int32_t insetk;  // size class of inset
  uint32_t flags;  // PF_EXPLICIT bits kept from the declaration, and
                   // CV_ALLDROPPED when every member was excluded
};

// One problem member.  decls null: no membership built.
struct p_info {
  cstr* env_name;     // texts kept for the member's environment
  cstr* env_text;
  xenvir* env;        // the environment in force when last left, or null
  symbol** env_sub;   // its member tuple when indexed (a block), or null
  int32_t env_subk;   // size class of env_sub
  int32_t n_explicit; // entries carrying explicit state
  set* decls;         // the declarations' names, ordinal = entry index
  p_entry** entries;  // by ordinal in decls
  int32_t entriesk;   // size class of entries
  double stamp;       // the problem's stamp when the membership was built
};
static_assert(std::is_trivially_destructible_v<p_info>);

// The problem record (kind 20/21, record kind 4).  Two item chains: items,
// those of the declaration (entity items of frontend/cmdbuild.h: OPXNODE
// over a whole declaration, a subscripted reference whose R is the
// look-up of its subscripts, an OPARG group over an indexing), and ents,
// the variables and constraints declared later while the problem was
// current (OPARG nodes whose L is an OP281 node over the declaration),
// newest first.  Suffix values given by data are the per-member arrays of
// xnode2.
struct problem : xnode2 {
  expr* ents;        // entities declared while current, newest first
  set_spec* pix;     // unused (the indexing is xnode::indexing)
  expr* sufinits;    // suffix initialisers (OP248 nodes)
  expr* environ;     // environment reference (OPENV or OPENVSUB node)
  expr* items;       // the declaration's items, in source order
  set* members;      // kind 21: the member tuples chosen so far
  p_info* pinfo;     // a p_info per member (one for kind 20)
  int32_t pinfok;    // size class of pinfo
  sufstore sufs;     // its suffix values (instance/sufstore.h)
  objsolve* solves;  // what the last solve left, per member of the
                     // indexing (instance/members.h); null before one
  int32_t solvesk;   // size class of solves
  static void* operator new(size_t size);
  static void operator delete(void* p);
};
static_assert(std::is_trivially_destructible_v<problem>);

extern problem* cur_prob;      // the current problem
extern problem* initial_prob;  // the problem Initial made at start-up
extern problem* Current_prob;  // the placeholder named Current
// The current member's tuple (a block of class cur_prob_subk) of an
// indexed problem, null for a scalar one or when no member is chosen.
extern symbol** cur_prob_sub;
extern int32_t cur_prob_subk;
// The current member's p_info once its membership is built, else null.
extern p_info* cur_pinfo;
// Explicit drop/fix changes made in the current problem, and 64 while a
// membership is applied keeping them (0 otherwise).
// Written outside instance/, by design: cur_pinfo and n_explicit by drop,
// restore, fix and unfix (session/let.cpp), which change the membership.
extern int n_explicit;
extern int honor_explicit;
// need_prob (0 up to date, 1 membership to build, 3 indexed problem
// without a chosen member; 4 ORed in by references that need the
// instance) lives with the parser's flags, frontend/keywords.h.

// Pushes declaration d on the problem's entity list and records the
// problem among d's referrers.
void prob_add(problem* p, xnode* d);
// `problem NAME [alias] [ix] settings [: items];`: settings is a chain of
// environment references (OPENV/OPENVSUB; the first counts, a further one
// is "Extra environ clause in declaration of problem %s." and return-code
// bit 8) and suffix initialisers; items a chain of entity items, those
// that are no entity dropped by badname_omit.  Without an environ clause
// the environment named after the problem (declared when new) is the
// problem's.  The problem becomes current.  Returns the surviving record.
problem* new_problem(symbol* name, cstr* alias, set_spec* ix, expr* settings,
                     expr* items);
// Drops from the chain *items the items that name no entity of a problem
// (a problem, an undeclared name (null item), a declaration that is no
// variable, constraint or objective; a variable flagged PF_NOPROB goes
// silently); each such named item after the first is reported "Ignoring
// \"%s\"".  An indexed group whose list becomes empty goes too.  Returns
// the count dropped.
int badname_omit(expr** items, int flag);

// The problem itself, or the current one for the placeholder Current.
problem* prob_adj(problem* p);
// Makes p current, first recording the outgoing member's environment and
// explicit drop/fix state.
void save_cur_prob(problem* p);
// `problem p[sub];` / `problem p;` (command kind 55).  Raises errors.
void problem_cmd(problem* p, expr* sub, xrecomp* xr);
// `problem;` (kind 56): "problem NAME[SUB];" on the command's output.
void curprob_cmd(redirect* r, xrecomp* xr);
// `reset problem [p[sub]];` (kind 45): the memberships of the member (or
// of every member; p null: the current problem) are freed, to be rebuilt.
void reset_prob(problem* p, expr* sub, xrecomp* xr);
// Declaration d is deleted: its items leave problem p (a group left empty
// goes too), and the memberships of p's members are freed, to be built
// again without it.
void probadj1(problem* p, xnode* d);
// Selects (making it when new) the member tuple of indexed problem p.
void adj_cur_prob(problem* p, symbol** tuple);
// The member tuple that sub (a subscript chain) names, evaluated at
// command level, into tuple; a tuple outside p's indexing is the
// bad-subscript error.  Returns tuple.
symbol** probsub(problem* p, expr* sub, xrecomp* xr, symbol** tuple);
// Brings the current problem's membership up to date and applies it to
// the declarations.  An indexed problem without a chosen member: "problem
// %s[...] command needed" (no_prob_sub), the command is abandoned.
void get_prob();
[[noreturn]] void no_prob_sub();
// Indexed problem p lost the members flagged in removed (one byte per
// member ordinal, n of them): the survivors' p_info are compacted in
// order; when the current member went, Current becomes current.
void prob_subfix(problem* p, int n, const uint8_t* removed);
// Frees a member's membership and its texts (the environment stays).
void zap_pinfo(p_info* pi);
// Member slots of d (members, doubled for complementarity) into *n and
// the size class of that many bytes into *k; 1 for complementarity.
int get_k_n0(const convar* d, int32_t* k, int32_t* n);

// Problem-need flags of the instance generator, cleared by forget_prob_needs
// (at start-up once the system problems are declared, and at reset):
// need_prob bit 1, a declaration of the problem changed since it was
// collected; bit 4, the statement being read refers to the problem (only
// noted while bit 1 is set); would_need_prob 4, the statement refers to it.
extern int need_prob;
extern int would_need_prob;
// A declaration of the collected problem changed (instance/stamps.cpp).
void prob_changed();
// The statement (or the command about to run, session/execute.cpp, with
// its record's flags) refers to the problem: bits & 4 join need_prob when
// the problem changed.
void note_prob_use(int bits);
// The flags of the statement just read for its command record (bits 1-2:
// collection requests req, its own or would_need_prob's; bit 4: need_prob's)
// and clears them for the next statement.
int take_prob_needs(int req);
// The statement refers to the problem through a suffix or a synonym:
// would_need_prob 4, and with mark, note_prob_use(4).
void note_problem_ref(bool mark);
// Start-up and reset: no problem needs.
void forget_prob_needs();

// The problems Initial (current) and Current at start-up and after
// `reset`; a step of the keyword set-up (parse_init).
void sysdecl_problems();
// No problem yet: every global above null or zero until sysdecl_problems.
void problem_reset();

// What an item list names (a problem's items, expand's arguments), in
// order: whole(d) for a declaration named whole, member(d, ord) for member
// ord of d (-1 when d is not generated yet; a subscript outside d's
// indexing is an error of the command).  A synonym array stands for the
// entities it lists in the collected problem (presolved first), unless
// synonym(k), given, takes the array of kind k itself and answers true.
// Groups with an indexing are walked for each of its members in tva.
struct item_visitor {
  std::function<void(convar*)> whole;
  std::function<void(convar*, int64_t)> member;
  std::function<bool(int)> synonym;
};
void items_walk(expr* items, TVA* tva, const item_visitor& v);

}  // namespace vexo

#endif  // VEXO_INSTANCE_PROBLEM_H
