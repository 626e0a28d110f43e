// Command records and compound commands.
#include "session/cmdrec.h"
#include "instance/problem.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "compiler/compile.h"
#include "compiler/recomp.h"
#include "compiler/context.h"
#include "compiler/tva.h"
#include "eval/builtin.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/set.h"
#include "frontend/cmdbuild.h"
#include "frontend/decl.h"
#include "frontend/dummy.h"
#include "frontend/expr.h"
#include "frontend/exprbuild.h"
#include "frontend/keywords.h"
#include "frontend/lexer.h"
#include "frontend/paramdcl.h"
#include "frontend/parse.h"
#include "frontend/rawtok.h"
#include "frontend/reader.h"
#include "frontend/strexpr.h"
#include "frontend/vardcl.h"
#include "session/cmdmem.h"
#include "session/execute.h"
#include "session/include.h"
#include "session/infiles.h"
#include "session/loop.h"
#include "session/optcmd.h"
#include "session/startup.h"
#include "support/format.h"
#include "support/list.h"
#include "support/message.h"
#include "support/pool.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

int cmdstate;

cmd_fields* first_cmd;
cmd_compound* open_cmds;
cmd_compound* loop_frames;
int cmd_discard;
int cmd_rc;
int cmd_prompts;
int cmd_inslev;

// Where the next finished record goes; null at top level.
static cmd_fields** link_slot;
// The newest record that took a dependency list (the cmdthread chain).
static cmd_fields* last_thread;
// The loop dummies of the for loop being started.
static dummy* pending_dummies;
static int for_depth();
// The continuation-prompt buffer.
static char* prompt_buf;
static int prompt_k = -1;

// ---- Records ---------------------------------------------------------------

// The statement position of a new record: standard input has no file.
static void place(cmd_fields* c) {
  c->stmtfname = infile == 0 ? nullptr : stmtfname;
  c->stmtline = static_cast<long>(stmtline);
  c->stmtoffset = static_cast<long>(stmtoffset);
}

cmd_dep* take_deps(int32_t* n) {
  *n = dac.n;
  if (!dac.n) return nullptr;
  cmd_dep* d = static_cast<cmd_dep*>(cmdmem(sizeof(cmd_dep) * size_t(dac.n)));
  for (int i = 0; i < dac.n; ++i) {
    int32_t num = static_cast<int32_t>(dac.list[i]);
    d[i] = {num, dac.mark[num]};
  }
  dac_clear();
  return d;
}

// Forgets the declarations referred to while a statement that makes no
// record was parsed.
static void drop_deps() { dac_clear(); }

static cmd_fields* new_record(size_t size, const char* fmt, int nfield,
                              int kind) {
  cmd_fields* c = static_cast<cmd_fields*>(cmdmem(size));
  c->kind = kind;
  c->xrp = &c->xr;
  c->nfield = nfield;
  c->fmt = fmt;
  place(c);
  c->deps = take_deps(&c->ndep);
  if (c->ndep) {
    c->cmdthread = last_thread;
    last_thread = c;
  }
  c->cflags = take_prob_needs(req_collect);
  req_collect = 0;
  statement_end();
  if (!first_cmd) first_cmd = c;
  return c;
}

cmd_fields* start_cmd(const char* fmt, int nfield, int kind) {
  if (kind == CK_EMPTY) return nullptr;
  return new_record(sizeof(cmd_fields) + sizeof(cmd_arg) * size_t(nfield), fmt,
                    nfield, kind);
}

static cmd_compound* new_compound(int kind) {
  cmd_compound* o = reinterpret_cast<cmd_compound*>(
      new_record(sizeof(cmd_compound), "", 0, kind));
  o->inslev = inslev;
  o->nfs = nfs;
  o->depth = bracecnt;
  return o;
}

// A record pointing at a compound (an endif at its if, a loop end or a
// loop control at its loop).
static cmd_fields* mark_record(int kind, cmd_compound* target) {
  cmd_fields* c = start_cmd("T", 1, kind);
  c->f()[0].p = target;
  return c;
}

redirect* new_redirect(expr* file, int mode) {
  redirect* r = static_cast<redirect*>(cmdmem(sizeof(redirect)));
  r->file = file;
  r->mode = mode;
  r->find = -1;
  return r;
}

// ---- Open compounds ---------------------------------------------------------

static void push(cmd_compound* o) {
  o->up = open_cmds;
  open_cmds = o;
  cmdstate = 1;
}

static void pop(cmd_compound* o) {
  open_cmds = o->up;
  o->up = nullptr;
  cmdstate = open_cmds != nullptr;
}

static void push_frame(cmd_compound* o) {
  o->frame = loop_frames;
  loop_frames = o;
}

// Takes o (and any brace frame above it) off the loop-frame chain.
static void pop_frame(cmd_compound* o) {
  for (cmd_compound** p = &loop_frames; *p; p = &(*p)->frame) {
    if (*p == o) {
      *p = o->frame;
      return;
    }
  }
}

// Stores a record in the link slot, which then follows it.
static void link(cmd_fields* c) {
  if (link_slot) *link_slot = c;
  link_slot = &c->next;
}

// The lexer puts a ";" before a "}" that closes the innermost open brace
// when the statement before it has none: it learns that brace's depth here.
static void note_semibrace() {
  for (cmd_compound* o = open_cmds; o; o = o->up) {
    if (o->h.kind == CK_RBRACE || o->h.kind == CK_BRACES) {
      semicolon_before_brace(o->depth - 1);
      return;
    }
  }
  semicolon_before_brace(-1);
}

// Runs a complete outermost compound.
static void run_outermost(cmd_compound* o) {
  link_slot = nullptr;
  int saved = cmd_inslev;
  cmd_inslev = o->inslev;
  try {
    execute(&o->h);
  } catch (...) {
    cmd_inslev = saved;
    throw;
  }
  cmd_inslev = saved;
}

// The names of a for loop's dummies get their meaning outside the loop
// back, newest first.
static void give_back(dummy* first) {
  for (dummy* d = first; d; d = d->next) {
    // A scope still open over the name (after an error) must not give it
    // this dummy back when it closes.
    rebind_saved(d, d->oldval);
    d->name->binding = d->oldval;
  }
}

static void restore_dummies(cmd_compound* o) { give_back(o->dummies); }

// A loop whose body is complete: the names of its dummies get their outer
// meaning back, and a loop-end record carrying the statement position
// (for a repeat without a trailing condition, where its brace closed) ends
// the body.
static void close_loop(cmd_compound* o) {
  pop_frame(o);
  if (o->h.kind == CK_LOOP_FOR) restore_dummies(o);
  cmd_fields* end = mark_record(CK_LOOPEND, o);
  if (o->h.kind == CK_LOOP_REPEAT && !o->tcond && o->endfname) {
    end->stmtfname = o->endfname;
    end->stmtline = o->endline;
    end->stmtoffset = o->endoffset;
  }
  link(end);
}

void havestmt(int exec) {
  cmd_compound* o = open_cmds;
  if (!o) return;
  switch (o->h.kind) {
    case CK_THEN:
      o->h.kind = CK_ELSE_CHECK;
      return;
    case CK_ELSE:
    case CK_REPEAT_END:
    case CK_LOOP_FOR:
      break;
    default:
      bug("Bad ncmd = %d in havestmt()", o->h.kind);
  }
  for (;;) {
    if (o->h.kind == CK_ELSE) {
      o->h.kind = CK_IF;
      link(mark_record(CK_ENDIF, o));
    } else {
      if (o->h.kind == CK_REPEAT_END) o->h.kind = CK_LOOP_REPEAT;
      close_loop(o);
    }
    pop(o);
    link_slot = &o->h.next;
    if (!open_cmds) {
      link_slot = nullptr;
      if (exec) run_outermost(o);
      return;
    }
    o = open_cmds;
    if (o->h.kind == CK_THEN) {
      o->h.kind = CK_ELSE_CHECK;
      return;
    }
    if (o->h.kind != CK_ELSE && o->h.kind != CK_LOOP_FOR) return;
  }
}

// A waiting if gets an empty else part and closes.
static void empty_else() {
  else_cmd();
  havestmt(1);
}

// A repeat waiting for its condition ends without one.
void finish_repeat() {
  if (open_cmds && open_cmds->h.kind == CK_REPEAT_END) havestmt(1);
}

// Closes an if waiting for else and a repeat waiting for its condition, as
// long as one is innermost; each closing that runs a compound does so under
// a recovery point of its own, so that an error in it abandons that
// compound only.
static void close_waiting() {
  while (open_cmds && (open_cmds->h.kind == CK_ELSE_CHECK ||
                       open_cmds->h.kind == CK_REPEAT_END)) {
    int32_t special = yy_special;
    int level = nfs;
    try {
      if (open_cmds->h.kind == CK_ELSE_CHECK)
        empty_else();
      else
        finish_repeat();
    } catch (const command_abort&) {
      // An abort that closed the file being read (an error inside a file
      // read by `commands` or `include`) takes the statement being read
      // with that file: the recovery point gets it, and the reader goes
      // on in the input below.
      if (nfs < level) throw;
      set_yy_special(special);
    }
  }
}

void end_cmd(cmd_fields* c) {
  if (!c) return;
  if (!link_slot) {
    execute(c);
    return;
  }
  link(c);
  int k = open_cmds->h.kind;
  // An if waiting for else meets a statement that did not announce its
  // start (start_check closes it otherwise): it ends with that statement.
  if (k == CK_ELSE_CHECK) else_cmd();
  if (k == CK_THEN || k == CK_ELSE || k == CK_LOOP_FOR || k == CK_ELSE_CHECK)
    havestmt(1);
}

// The statement-end mark.
static void statement_end_mark() {
  cmd_compound* o = open_cmds;
  if (!o) return;
  switch (o->h.kind) {
    case CK_REPEAT_END:
      finish_repeat();
      break;
    case CK_THEN:
    case CK_ELSE:
    case CK_LOOP_FOR:
      havestmt(1);
      break;
    case CK_ELSE_CHECK:
      empty_else();
      break;
    default:
      break;
  }
}

// ---- Typed builders --------------------------------------------------------

// Closes the scope of an indexing that a record takes.
static set_spec* scope(set_spec* ix) {
  if (ix) end_context(ix, nullptr);
  return ix;
}

void cmd0(int kind) {
  if (kind == CK_EMPTY) {
    statement_end();
    statement_end_mark();
    return;
  }
  end_cmd(start_cmd("", 0, kind));
}

void cmd_e(int kind, expr* e) {
  cmd_fields* c = start_cmd("e", 1, kind);
  c->f()[0].e = e;
  end_cmd(c);
}

void cmd_r(int kind, expr* chain) {
  cmd_fields* c = start_cmd("r", 1, kind);
  c->f()[0].e = chain;
  end_cmd(c);
}

void cmd_f(int kind, redirect* r) {
  cmd_fields* c = start_cmd("f", 1, kind);
  c->f()[0].r = r;
  end_cmd(c);
}

void cmd_b(int kind, symbol* b) {
  cmd_fields* c = start_cmd("b", 1, kind);
  c->f()[0].b = b;
  end_cmd(c);
}

void cmd_ef(int kind, expr* e, redirect* r) {
  cmd_fields* c = start_cmd("ef", 2, kind);
  c->f()[0].e = e;
  c->f()[1].r = r;
  end_cmd(c);
}

void cmd_rf(int kind, expr* chain, redirect* r) {
  cmd_fields* c = start_cmd("rf", 2, kind);
  c->f()[0].e = chain;
  c->f()[1].r = r;
  end_cmd(c);
}

void cmd_if(int kind, int i, redirect* r) {
  cmd_fields* c = start_cmd("if", 2, kind);
  c->f()[0].i = i;
  c->f()[1].r = r;
  end_cmd(c);
}

void cmd_il(int kind, int i, list* names) {
  cmd_fields* c = start_cmd("il", 2, kind);
  c->f()[0].i = i;
  c->f()[1].l = names;
  end_cmd(c);
}

void cmd_of(int kind, Optioncmd* items, redirect* r) {
  cmd_fields* c = start_cmd("of", 2, kind);
  c->f()[0].o = items;
  c->f()[1].r = r;
  end_cmd(c);
}

void cmd_be(int kind, symbol* b, expr* e) {
  cmd_fields* c = start_cmd("be", 2, kind);
  c->f()[0].b = b;
  c->f()[1].e = e;
  end_cmd(c);
}

void cmd_bef(int kind, symbol* b, expr* e, redirect* r) {
  cmd_fields* c = start_cmd("bef", 3, kind);
  c->f()[0].b = b;
  c->f()[1].e = e;
  c->f()[2].r = r;
  end_cmd(c);
}

void cmd_ri(int kind, expr* chain, int i) {
  cmd_fields* c = start_cmd("ri", 2, kind);
  c->f()[0].e = chain;
  c->f()[1].i = i;
  end_cmd(c);
}

void cmd_x(int kind, set_spec* ix) {
  if (kind == CK_EMPTY) {
    scope(ix);
    cmd0(kind);
    return;
  }
  cmd_fields* c = start_cmd("_", 1, kind);
  c->f()[0].ss = scope(ix);
  end_cmd(c);
}

void cmd_xe(int kind, set_spec* ix, expr* e) {
  cmd_fields* c = start_cmd("_e", 2, kind);
  c->f()[0].ss = scope(ix);
  c->f()[1].e = e;
  end_cmd(c);
}

void cmd_xrf(int kind, set_spec* ix, expr* chain, redirect* r) {
  cmd_fields* c = start_cmd("_rf", 3, kind);
  c->f()[0].ss = scope(ix);
  c->f()[1].e = chain;
  c->f()[2].r = r;
  end_cmd(c);
}

void cmd_ixrf(int kind, int i, set_spec* ix, expr* chain, redirect* r) {
  cmd_fields* c = start_cmd("i_rf", 4, kind);
  c->f()[0].i = i;
  c->f()[1].ss = scope(ix);
  c->f()[2].e = chain;
  c->f()[3].r = r;
  end_cmd(c);
}

void cmd_irf(int kind, int i, expr* chain, redirect* r) {
  cmd_fields* c = start_cmd("irf", 3, kind);
  c->f()[0].i = i;
  c->f()[1].e = chain;
  c->f()[2].r = r;
  end_cmd(c);
}

void cmd_ixei(int kind, int i, set_spec* ix, expr* e, int j) {
  cmd_fields* c = start_cmd("i_ei", 4, kind);
  c->f()[0].i = i;
  c->f()[1].ss = scope(ix);
  c->f()[2].e = e;
  c->f()[3].i = j;
  end_cmd(c);
}

void cmd_ixbe(int kind, int i, set_spec* ix, symbol* b, expr* e) {
  cmd_fields* c = start_cmd("i_be", 4, kind);
  c->f()[0].i = i;
  c->f()[1].ss = scope(ix);
  c->f()[2].b = b;
  c->f()[3].e = e;
  end_cmd(c);
}

void cmd_xbebe(int kind, set_spec* ix, symbol* b1, expr* e1, symbol* b2,
               expr* e2) {
  cmd_fields* c = start_cmd("_bebe", 5, kind);
  c->f()[0].ss = scope(ix);
  c->f()[1].b = b1;
  c->f()[2].e = e1;
  c->f()[3].b = b2;
  c->f()[4].e = e2;
  end_cmd(c);
}

static void free_field(char letter, cmd_arg& a);

// ---- Statement builders ----------------------------------------------------

void printcmd(set_spec* ix, expr* items, redirect* r) {
  cmd_fields* c = start_cmd("_ef", 3, CK_PRINT);
  c->f()[0].ss = scope(ix);
  c->f()[1].e = func_call(print_func, items);
  c->f()[2].r = r;
  end_cmd(c);
}

void printfcmd(set_spec* ix, expr* format, expr* items, redirect* r) {
  cmd_fields* c = start_cmd("_eef", 4, CK_PRINTF);
  c->f()[0].ss = scope(ix);
  // A condition as the format prints as its number.
  if (format && is_logical(format)) format = make_numeric(format);
  c->f()[1].e = format;
  c->f()[2].e = func_call(printf_func, items);
  c->f()[3].r = r;
  end_cmd(c);
}

// Whether the declaration a let assigns to is referred to more than once
// in the statement (read before the record takes the references).
static int multi_ref(const expr* target) {
  if (!target || !dac.mark) return 0;
  int32_t sh = shape(target);
  if (sh != SH_SUBSCRIPTED && sh != SH_ENTITY) return 0;
  const xnode* x = target->L.x;
  return x && dac.mark[x->num] > 1;
}

void letcmd(set_spec* ix, expr* target, expr* value) {
  int multi = multi_ref(target);
  cmd_fields* c = start_cmd("_eei", 4, CK_LET);
  c->f()[0].ss = scope(ix);
  c->f()[1].e = target;
  c->f()[2].e = value;
  c->f()[3].i = multi;
  end_cmd(c);
}

void letsetcmd(set_spec* ix, expr* target, set* value) {
  // Dimensions known when the statement is read must agree (0: not known
  // yet; the assignment checks again when it runs).
  const setdcl* sd = static_cast<const setdcl*>(target->L.x);
  if (sd->dimen && value && value->arity && value->arity != sd->dimen) {
    error(0, "left-hand side has dimen %d but\n\t%s%d\n", sd->dimen,
          "right-hand side has dimen ", value->arity);
    cmd_arg a[3];
    a[0].ss = scope(ix);
    a[1].e = target;
    a[2].s = value;
    for (int i = 0; i < 3; ++i) free_field("_es"[i], a[i]);
    drop_deps();
    cmd0(CK_EMPTY);
    return;
  }
  cmd_fields* c = start_cmd("_esi", 4, CK_LET);
  c->f()[0].ss = scope(ix);
  c->f()[1].e = target;
  c->f()[2].s = value;
  c->f()[3].i = 0;
  end_cmd(c);
}

void fixun(int unfix, set_spec* ix, expr* target, expr* value) {
  int kind = unfix ? CK_UNFIX : CK_FIX;
  cmd_fields* c = start_cmd("i_eei", 5, kind);
  c->f()[0].i = kind;
  c->f()[1].ss = scope(ix);
  c->f()[2].e = target;
  c->f()[3].e = value;
  c->f()[4].i = 1;
  end_cmd(c);
}

void dropadd_cmd(int restore, set_spec* ix, expr* target) {
  cmd_ixei(restore ? CK_RESTORE : CK_DROP, restore ? CK_RESTORE : CK_DROP, ix,
           target, 0);
}

void expand(int variant, expr* items, redirect* r) {
  cmd_irf(CK_EXPAND, variant, items, r);
}

int quit_cmd() {
  if (!open_cmds) return 1;
  cmd_e(CK_EXIT, nullptr);
  return 0;
}

// ---- Compound commands -----------------------------------------------------

// Opens a compound: it is linked like any record, pushed, and its body
// becomes the link slot.
static void open_compound(cmd_compound* o) {
  link(&o->h);
  push(o);
  link_slot = &o->body;
}

void if_cmd(expr* cond) {
  cmd_compound* o = new_compound(CK_THEN);
  o->cond = cond;
  open_compound(o);
}

// After a misplaced statement: the open compounds are abandoned, and a
// session reading a file ends at once with the pending code (the rest of
// an abandoned brace group would otherwise be reported as well).
static void misplaced_reset() {
  cmd_reset2();
  if (stepping || bottom_infile() <= 0) return;
  if (nfs > 0) end_include(0);
  myexit(cmd_rc);
}

void else_cmd() {
  for (;;) {
    cmd_compound* o = open_cmds;
    if (o && o->h.kind == CK_REPEAT_END) {
      finish_repeat();
      continue;
    }
    if (!o || o->h.kind != CK_ELSE_CHECK) {
      error(0, "Misplaced %s.", "\"else\"");
      misplaced_reset();
      return;
    }
    o->h.kind = CK_ELSE;
    link(mark_record(CK_ENDIF, o));
    link_slot = &o->els;
    return;
  }
}

void loopstart(int kind, symbol* name, void* what) {
  cmd_compound* o = new_compound(kind);
  o->name = name;
  if (kind == CK_LOOP_FOR) {
    o->ix = static_cast<set_spec*>(what);
    o->loopdepth = for_depth();
    o->dummies = pending_dummies;
    pending_dummies = nullptr;
  } else {
    o->cond = static_cast<expr*>(what);
  }
  open_compound(o);
  push_frame(o);
  if (kind == CK_LOOP_REPEAT) {
    // The repeat's brace, read with it, is its body.
    cmd_compound* b = new_compound(CK_RBRACE);
    push(b);
    note_semibrace();
  }
}

void while_cmd(expr* cond) {
  cmd_compound* o = open_cmds;
  if (!o || o->h.kind != CK_REPEAT_END) {
    error(0, "Misplaced %s.",
          opcode(cond) == OPNOT ? "until expression" : "while expression");
    edelete(cond);
    drop_deps();
    misplaced_reset();
    return;
  }
  o->tcond = cond;
  o->tdeps = take_deps(&o->ntdeps);
  havestmt(1);
}

void lbrace() {
  close_waiting();
  cmd_compound* o = open_cmds;
  int k = o ? o->h.kind : 0;
  if (k == CK_LOOP_FOR || k == CK_THEN || k == CK_ELSE) {
    push(new_compound(CK_RBRACE));
  } else {
    cmd_compound* g = new_compound(CK_BRACES);
    push_frame(g);
    open_compound(g);
    if (!cmd_prompts) {
      switch_prompts(prompt0 + 4);
      cmd_prompts = 1;
      cmd_rc = rc;
    }
  }
  note_semibrace();
}

void rbrace() {
  for (;;) {
    cmd_compound* o = open_cmds;
    if (!o) {
      error(0, "Misplaced %s.", "\"}\"");
      misplaced_reset();
      return;
    }
    switch (o->h.kind) {
      case CK_ELSE_CHECK:
        empty_else();
        continue;
      case CK_REPEAT_END:
      case CK_THEN:
      case CK_ELSE:
      case CK_LOOP_FOR:
        // A body that the brace ends before its statement: empty.
        havestmt(1);
        continue;
      case CK_RBRACE: {
        pop(o);
        cmd_compound* p = open_cmds;
        if (p && p->h.kind == CK_LOOP_REPEAT) {
          p->h.kind = CK_REPEAT_END;
          p->endfname = infile == 0 ? nullptr : stmtfname;
          p->endline = static_cast<long>(stmtline);
          p->endoffset = static_cast<long>(stmtoffset);
        } else {
          havestmt(1);
        }
        break;
      }
      case CK_BRACES:
        pop(o);
        pop_frame(o);
        link_slot = &o->h.next;
        if (!open_cmds) run_outermost(o);
        break;
      default:
        bug("Bad ncmd = %d in rbrace()", o->h.kind);
    }
    note_semibrace();
    return;
  }
}

int breakcont(int kind, symbol* name) {
  // The innermost loop (brace groups are not loops).
  cmd_compound* f = loop_frames;
  while (f && f->h.kind == CK_BRACES) f = f->frame;
  if (name && (name == All || name == Commands)) {
    kind = name == All ? CK_BREAK_ALL : CK_BREAK_COMMANDS;
    if (!f && !open_cmds) {
      // Outside loops these take effect at once.
      break_files(kind);
      return 0;
    }
    f = nullptr;
  } else if (name) {
    while (f && (f->h.kind == CK_BRACES || f->name != name)) f = f->frame;
    if (!f && !open_cmds && step_loop_control(kind, name)) return 1;
    if (!f) {
      error(0, "%s is not a loop name", name->name);
      misplaced_reset();
      return 0;
    }
  } else if (!f) {
    if (!open_cmds && step_loop_control(kind, nullptr)) return 1;
    error(0, "Misplaced %s.", kind == CK_BREAK ? "break" : "continue");
    misplaced_reset();
    return 0;
  }
  end_cmd(mark_record(kind, f));
  return 0;
}

void start_check() { close_waiting(); }

void cmd_eof() {
  int saved = at_eof;
  at_eof = 0;
  statement_end_mark();
  at_eof = saved ? saved : -1;
}

int eof_loopend() {
  while (open_cmds && (open_cmds->h.kind == CK_ELSE_CHECK ||
                       open_cmds->h.kind == CK_REPEAT_END)) {
    at_eof = 0;
    bailquit = 1;
    statement_end_mark();
  }
  if (open_cmds) {
    error(0, "Premature end of file.");
    close_compounds();
  }
  return rc;
}

// The prompt text with the loop's name.
static const char* named_prompt(const char* fmt, symbol* name) {
  size_t need = strlen(fmt) + strlen(name->name) + 1;
  if (prompt_k < 0 || (size_t(8) << prompt_k) < need) {
    if (prompt_k >= 0) del_mblk(prompt_k, prompt_buf);
    prompt_k = htcl(need);
    prompt_buf = static_cast<char*>(new_mblk(prompt_k));
  }
  Snprintf(prompt_buf, need, fmt, name->name);
  return prompt_buf;
}

const char* cmdprompt() {
  cmd_compound* o = open_cmds;
  if (!o) return "???";
  switch (o->h.kind) {
    case CK_LOOP_FOR:
      return o->name ? named_prompt("for %s {...} ?", o->name) : "for{...} ?";
    case CK_THEN:
      return "if ... then ?";
    case CK_ELSE_CHECK:
      return "if ... then {...} ?";
    case CK_ELSE:
      return "else ?";
    case CK_REPEAT_END:
      return o->name ? named_prompt("repeat %s {...} ?", o->name)
                     : "repeat {...} ?";
    case CK_RBRACE: {
      cmd_compound* p = o->up;
      switch (p ? p->h.kind : 0) {
        case CK_THEN:
          return "if ... then { ?";
        case CK_ELSE:
          return "else { ?";
        case CK_LOOP_FOR:
          return p->name ? named_prompt("for %s {...} { ?", p->name)
                         : "for{...} { ?";
        case CK_LOOP_REPEAT:
          return p->name ? named_prompt("repeat %s { ?", p->name)
                         : "repeat { ?";
        default:
          return "{ ?";
      }
    }
    case CK_BRACES:
      return "{ ?";
    default:
      return "???";
  }
}

// ---- Loop dummies ----------------------------------------------------------

// The nesting depth of a for loop being started: one more than the for
// loops open around it.
static int for_depth() {
  int depth = 1;
  for (cmd_compound* f = loop_frames; f; f = f->frame)
    depth += f->h.kind == CK_LOOP_FOR;
  return depth;
}

void loopdumifye(expr* dummies, int first) {
  int depth = for_depth();
  int pos = first;
  for (expr* e = dummies; e; e = e->next, ++pos) {
    if (opcode(e) != OPDUMMY) continue;
    // Before compilation the routine slot holds the dummy's name.
    symbol* name = reinterpret_cast<symbol*>(e->op);
    dummy* d = static_cast<dummy*>(cmdmem(sizeof(dummy)));
    d->kind = LOOPDUMMY_KIND;
    d->name = name;
    d->oldval = name->binding;
    d->level = static_cast<uint32_t>(depth);
    d->offset = static_cast<uint32_t>(pos);
    d->next = pending_dummies;
    pending_dummies = d;
    name->binding = d;
  }
}

set* new_set_db(dummy* d) {
  for (cmd_compound* f = loop_frames; f; f = f->frame) {
    if (f->h.kind != CK_LOOP_FOR) continue;
    for (dummy* x = f->dummies; x; x = x->next) {
      if (x != d) continue;
      int pos = 0;
      for (Index* ix = f->ix->first; ix; ix = ix->next) {
        if (int(d->offset) < pos + ix->s->arity)
          return ix->ndum == 1 ? ix->s : nullptr;
        pos += ix->s->arity;
      }
      return nullptr;
    }
  }
  return nullptr;
}

// ---- Resets ----------------------------------------------------------------

// The dummies of a for loop whose statement was abandoned before its
// record was made (they live in command memory) give their names back.
static void drop_pending_dummies() {
  give_back(pending_dummies);
  pending_dummies = nullptr;
}

void close_compounds() {
  while (cmd_compound* o = open_cmds) {
    if (o->h.kind == CK_LOOP_FOR) restore_dummies(o);
    pop(o);
  }
  drop_pending_dummies();
  loop_frames = nullptr;
  link_slot = nullptr;
  cmdstate = 0;
  semicolon_before_brace(-1);
  if (cmd_prompts) {
    switch_prompts(prompt0);
    cmd_prompts = 0;
  }
}

// Frees what one field owns.
static void free_field(char letter, cmd_arg& a) {
  switch (letter) {
    case 'e':
      edelete(a.e);
      break;
    case 'r':
      ldelete(a.e);
      break;
    case '_':
    case 's':
      if (a.s) sdelete(a.s);
      break;
    case 'f':
      if (a.r) edelete(a.r->file);
      break;
    case 'l':
      free_list(a.l);
      break;
    case 'o':
      option_free(a.o);
      break;
    case 'b':
    case 'i':
    case 'T':
      break;
    default:
      bug("Bad code '%c' = #%x in cmdmem_free", letter, letter);
  }
  a.p = nullptr;
}

void cmdmem_free(cmd_fields* c) {
  for (; c; c = c->next) {
    switch (c->kind) {
      case CK_LOOP_FOR:
      case CK_LOOP_REPEAT:
      case CK_REPEAT_END:
      case CK_IF:
      case CK_THEN:
      case CK_ELSE_CHECK:
      case CK_ELSE:
      case CK_BRACES:
      case CK_RBRACE: {
        cmd_compound* o = compound(c);
        cmdmem_free(o->body);
        cmdmem_free(o->els);
        o->body = o->els = nullptr;
        if (o->ix) sdelete(o->ix);
        edelete(o->cond);
        edelete(o->tcond);
        o->ix = nullptr;
        o->cond = o->tcond = nullptr;
        break;
      }
      case CK_LET:
        // A member set's look-up below an OPXNODE target (set_target),
        // which edelete leaves alone.
        if (expr* t = c->f()[1].e; t && opcode(t) == OPXNODE && t->R.e) {
          edelete(t->R.e);
          t->R.e = nullptr;
        }
        for (int i = 0; i < c->nfield; ++i) free_field(c->fmt[i], c->f()[i]);
        break;
      default:
        for (int i = 0; i < c->nfield; ++i) free_field(c->fmt[i], c->f()[i]);
    }
  }
}

void cmd_mem_free() {
  release_held();
  cmdmem_free(first_cmd);
  first_cmd = nullptr;
  last_thread = nullptr;
  link_slot = nullptr;
}

// ---- Dependency lists ------------------------------------------------------

void depsetup(const cmd_dep* deps, int n) {
  for (int i = 0; i < n; ++i) {
    dep_note(deps[i].num);
    dac.mark[deps[i].num] = deps[i].val;
  }
}

void dep_renumber(const int32_t* map) {
  for (cmd_fields* c = last_thread; c; c = c->cmdthread) {
    int k = 0;
    for (int i = 0; i < c->ndep; ++i) {
      int32_t to = map[c->deps[i].num];
      if (to >= 0) c->deps[k++] = {to, c->deps[i].val};
    }
    c->ndep = k;
  }
}

void cmdxreset(xrecomp* x, TVA* t) {
  if (t) del_tva(t);
  undo_command(x);
}

void cmdxreset_held(xrecomp* x, TVA* t, int in_record) {
  if (in_record && std::uncaught_exceptions()) {
    if (t) del_tva(t);
    return;
  }
  cmdxreset(x, t);
}

int open_compound_kind() {
  cmd_compound* o = open_cmds;
  if (!o) return 0;
  while (o->up) o = o->up;
  switch (o->h.kind) {
    case CK_THEN:
    case CK_ELSE_CHECK:
    case CK_ELSE:
      return CK_IF;
    case CK_REPEAT_END:
      return CK_LOOP_REPEAT;
    default:
      return o->h.kind;
  }
}

// No command built or being built, no prompts switched.
static void no_commands_built() {
  first_cmd = nullptr;
  open_cmds = nullptr;
  loop_frames = nullptr;
  link_slot = nullptr;
  last_thread = nullptr;
  pending_dummies = nullptr;
  cmd_prompts = 0;
}

cmd_build cmd_build_save() {
  release_held();
  cmd_build b{cmdmem_save(), first_cmd,   open_cmds,       loop_frames,
              link_slot,     last_thread, pending_dummies, cmd_prompts,
              cmd_rc,        cmd_inslev,  cmdstate};
  no_commands_built();
  cmdstate = 0;
  return b;
}

void cmd_build_restore(const cmd_build& b) {
  release_held();
  cmdmem_restore(b.arena);
  first_cmd = b.first;
  open_cmds = b.open;
  loop_frames = b.frames;
  link_slot = b.link;
  last_thread = b.thread;
  pending_dummies = b.pending;
  cmd_prompts = b.prompts_switched;
  cmd_rc = b.rc_saved;
  cmd_inslev = b.inslev_run;
  cmdstate = b.state;
}

void cmd_reinit() {
  no_commands_built();
  cmd_discard = 0;
  cmd_rc = 0;
  cmd_inslev = 0;
  prompt_buf = nullptr;
  prompt_k = -1;
}

void cmdrec_start() { cmdstate = 0; }

}  // namespace vexo
