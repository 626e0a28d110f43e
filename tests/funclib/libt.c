/* A function library for the tests: vexo loads it with -i or `load`.
 * It registers a real function of two arguments (hyp), one of any number
 * (f), one with a domain to check (g), one with output arguments (h), a
 * string function (echo), a symbolic one (word), a random one (rnd) with a
 * seed callback, reset and exit callbacks, one refused registration
 * (bad, type 7) and a table handler (libt).  Built with LIBT_SECOND it is the second library of the
 * tests (libt2.so), with hyp2 only. */
#include <math.h>
#include <string.h>

#include "eval/vexofunc.h"

static VexoExports *ae;
static unsigned long seed;
static double draws;

/* hyp(x, y): the length of (x, y); a negative x is an error. */
static double hyp(arglist *al) {
  if (al->ra[0] < 0) {
    al->Errmsg = (char *)"negative first argument";
    return 0;
  }
  return sqrt(al->ra[0] * al->ra[0] + al->ra[1] * al->ra[1]);
}

/* f(...): the sum of its arguments. */
static double f(arglist *al) {
  double s = 0;
  for (int i = 0; i < al->nr; ++i) s += al->ra[i];
  return s;
}

/* g(x, y): x + y. */
static double g(arglist *al) { return al->ra[0] + al->ra[1]; }

/* h(x, y): 2x, plus y when y is given as input too; y, an output
 * argument, receives x squared, or the text "sq" and x (in memory from
 * Tempmem) when its target takes strings. */
static double h(arglist *al) {
  double x = al->ra[0], r = 2 * x;
  if (al->at[1] & 1) r += al->ra[1];
  al->ra[1] = x * x;
  if (al->at[1] & 8) {
    char *s = (char *)ae->Tempmem(al->TMI, 64);
    ae->SnprintF(s, 64, "sq%g", x);
    al->sa[1] = s;
  }
  return r;
}

/* echo(s, ...): "null" gives null; otherwise the arguments joined by "+",
 * in memory from Tempmem. */
static const char *echo(arglist *al) {
  if (al->n && al->at[0] < 0 && !strcmp(al->sa[-(al->at[0] + 1)], "null"))
    return 0;
  size_t len = 1;
  char num[64];
  for (int i = 0; i < al->n; ++i)
    len += (al->at[i] < 0 ? strlen(al->sa[-(al->at[i] + 1)]) : 64) + 1;
  char *r = (char *)ae->Tempmem(al->TMI, len);
  r[0] = 0;
  for (int i = 0; i < al->n; ++i) {
    if (i) strcat(r, "+");
    if (al->at[i] < 0) {
      strcat(r, al->sa[-(al->at[i] + 1)]);
    } else {
      ae->SnprintF(num, sizeof num, "%g", al->ra[al->at[i]]);
      strcat(r, num);
    }
  }
  return r;
}

/* word(k): a member text: 1 'a''b', 2 12, else "x y". */
static const char *word(arglist *al) {
  int k = (int)al->ra[0];
  return k == 1 ? "'a''b'" : k == 2 ? "12" : "x y";
}

/* rnd(): the seed plus the number of draws since it was set. */
static double rnd(void) { return (double)seed + draws++; }

static void reseed(void *v, unsigned long s) {
  (void)v;
  seed = s;
  draws = 0;
}

/* The table handler "libt" (a table whose first string is "libt").
 * Reading gives the rows 1, 2, 3: every key column the row's number, every
 * data column ten times it.  Writing prints the rows, numbers and
 * strings. */
static int libt_table(struct TableInfo *ti) {
  return ti->nstrings >= 1 && !strcmp(ti->strings[0], "libt");
}

static int libt_read(VexoExports *a, struct TableInfo *ti) {
  (void)a;
  if (!libt_table(ti)) return DB_Refuse;
  int n = ti->arity + ti->ncols;
  double v[16];
  DbCol c[16];
  if (n > 16) {
    ti->Errmsg = (char *)"libt: too many columns";
    return DB_Error;
  }
  for (int i = 1; i <= 3; ++i) {
    for (int j = 0; j < n; ++j) {
      v[j] = j < ti->arity ? i : 10 * i;
      c[j].dval = &v[j];
      c[j].sval = 0;
    }
    if (ti->AddRows(ti, c, 1)) return DB_Error;
  }
  return DB_Done;
}

static int libt_write(VexoExports *a, struct TableInfo *ti) {
  if (!libt_table(ti)) return DB_Refuse;
  int n = ti->arity + ti->ncols;
  for (long i = 0; i < ti->nrows; ++i) {
    a->PrintF("libt row");
    for (int j = 0; j < n; ++j) {
      DbCol *c = &ti->cols[j];
      if (c->sval && c->sval[i])
        a->PrintF(" %s", c->sval[i] == ti->Missing ? "." : c->sval[i]);
      else
        a->PrintF(" %g", c->dval[i]);
    }
    a->PrintF("\n");
  }
  return DB_Done;
}

static void said(void *v) { ae->FprintF(ae->StdErr, "%s\n", (char *)v); }

void funcadd_ZEF(VexoExports *a) {
  ae = a;
#ifdef LIBT_SECOND
  /* The second library of the tests: one function. */
  a->Addfunc("hyp2", hyp, VEXO_FUNC_REAL, 2, 0, a);
  a->AtExit(a, said, (void *)"libt2: exit");
  return;
#endif
  a->Addfunc("hyp", hyp, VEXO_FUNC_REAL, 2, 0, a);
  a->Addfunc("f", f, VEXO_FUNC_REAL, -1, 0, a);
  a->Addfunc("g", g, VEXO_FUNC_REAL, 2, 0, a);
  a->Addfunc("h", h, VEXO_FUNC_OUTARGS, 2, 0, a);
  a->Addfunc("echo", (VexoRealFunc)(void (*)(void))echo, VEXO_FUNC_STRING | VEXO_FUNC_ANYARG,
             -1, 0, a);
  a->Addfunc("word", (VexoRealFunc)(void (*)(void))word, VEXO_FUNC_STRING, 1, 0, a);
  a->Addfunc("rnd", (VexoRealFunc)(void (*)(void))rnd, VEXO_FUNC_RANDOM_EXPLICIT, 0, 0, a);
  a->Addfunc("bad", hyp, 7, 1, 0, a);
  a->Add_table_handler(libt_read, libt_write,
                       (char *)"libt\nThe tests' handler: reads rows 1, 2, 3; "
                       "prints the rows written.",
                       0, 0);
  a->Addrandinit(a, reseed, 0);
  a->AtReset(a, said, (void *)"libt: reset");
  a->AtExit(a, said, (void *)"libt: exit");
}
