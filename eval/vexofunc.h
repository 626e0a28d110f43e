/* The interface between vexo and the function libraries it loads (plain C,
 * so that libraries written in C compile against it; this header is all a
 * library needs).  A library exports funcadd_ZEF (or funcadd), which vexo
 * calls with its own copy of the table of services, VexoExports; through
 * it the library registers functions (Addfunc), reset, exit and
 * re-seeding callbacks and table handlers.  A registered function
 * receives one argument record, arglist.  For each read table or write
 * table, vexo fills one TableInfo and offers it to the handlers in turn; a
 * handler refuses it (DB_Refuse), does the work through the record's data
 * and callbacks (DB_Done), or reports an error in Errmsg (DB_Error).  The
 * layouts are fixed (64-bit: pointer-sized slots, 4-byte ints; a 128-byte
 * argument record) and checked below. */
#ifndef VEXO_EVAL_VEXOFUNC_H
#define VEXO_EVAL_VEXOFUNC_H

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
namespace vexo {
struct function;
struct TVA;
}  // namespace vexo
typedef vexo::function VexoFunction;
typedef vexo::TVA VexoTVA;
extern "C" {
#define VEXO_STATIC_ASSERT(c, m) static_assert(c, m)
#else
typedef struct VexoFunction VexoFunction;
typedef struct VexoTVA VexoTVA;
#define VEXO_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

struct TableInfo;
struct VexoLib;
typedef struct VexoExports VexoExports;

/* What a called function receives. */
typedef struct arglist {
  int n;                /* arguments */
  int nr;               /* numeric arguments */
  int *at;              /* per argument: plain calls k >= 0 ra[k], k < 0
                           sa[-(k+1)]; calls of functions with output
                           arguments (type bit 16) flags: 1 input, 2 output,
                           4 string value, 8 string output */
  double *ra;           /* numeric values (one per argument with bit 16) */
  const char **sa;      /* string values */
  double *derivs;       /* null */
  double *hes;          /* null */
  char *dig;            /* null */
  void *funcinfo;       /* the info word given to Addfunc */
  VexoExports *AE;      /* the exports table of the function's library */
  VexoFunction *f;      /* vexo's record of the function */
  VexoTVA *tva;         /* the evaluation context */
  char *Errmsg;         /* null on entry; a failing function sets it */
  void *TMI;            /* temporary memory of the call (Tempmem) */
  char *Private;        /* not touched by vexo */
  int nin;              /* input arguments */
  int nout;             /* output arguments */
  int nsin;             /* string input arguments */
  int nsout;            /* string output arguments */
} arglist;

typedef double (*VexoRealFunc)(arglist *al);
typedef const char *(*VexoStringFunc)(arglist *al);
typedef void VexoCallback(void *arg);
typedef void VexoRandInit(void *arg, unsigned long seed);
typedef int VexoTableHandler(VexoExports *ae, struct TableInfo *ti);

/* Addfunc types: 0 real valued, numeric arguments; bit 0 (1) arguments may
 * be strings; 2 string valued; 4 random; 6 random with 0, 1 or 2 plain
 * real arguments (called with them directly); bit 4 (16) output arguments
 * allowed.  nargs >= 0 exactly nargs arguments, nargs < 0 at least
 * -(nargs+1). */
enum {
  VEXO_FUNC_REAL = 0,
  VEXO_FUNC_ANYARG = 1,
  VEXO_FUNC_STRING = 2,
  VEXO_FUNC_RANDOM = 4,
  VEXO_FUNC_RANDOM_EXPLICIT = 6,
  VEXO_FUNC_OUTARGS = 16
};

struct VexoExports {
  FILE *StdErr;                                                   /* 0 */
  void (*Addfunc)(const char *name, VexoRealFunc f, int type, int nargs,
                  void *funcinfo, VexoExports *ae);               /* 1 */
  long ASLdate;                                                   /* 2 */
  int (*FprintF)(FILE *f, const char *fmt, ...);                  /* 3 */
  int (*PrintF)(const char *fmt, ...);                            /* 4 */
  int (*SprintF)(char *s, const char *fmt, ...);                  /* 5 */
  int (*VfprintF)(FILE *f, const char *fmt, va_list ap);          /* 6 */
  int (*VsprintF)(char *s, const char *fmt, va_list ap);          /* 7 */
  double (*Strtod)(const char *s, char **end);                    /* 8 */
  void *Unused9;                                                  /* 9 */
  void *Unused10;                                                 /* 10 */
  void *(*AtExit)(VexoExports *ae, VexoCallback *cb, void *arg);  /* 11 */
  void *(*AtReset)(VexoExports *ae, VexoCallback *cb, void *arg); /* 12 */
  void *(*Tempmem)(void *tmi, size_t n);                          /* 13 */
  void (*Add_table_handler)(VexoTableHandler *read,
                            VexoTableHandler *write, char *desc, int flags,
                            void *vinfo);                         /* 14 */
  struct VexoLib *Lib;                                            /* 15 */
  void (*Qsortv)(void *base, size_t n, size_t es,
                 int (*cmp)(const void *, const void *, void *),
                 void *v);                                        /* 16 */
  FILE *StdIn;                                                    /* 17 */
  FILE *StdOut;                                                   /* 18 */
  void (*Clearerr)(FILE *f);                                      /* 19 */
  int (*Fclose)(FILE *f);                                         /* 20 */
  FILE *(*Fdopen)(int fd, const char *mode);                      /* 21 */
  int (*Feof)(FILE *f);                                           /* 22 */
  int (*Ferror)(FILE *f);                                         /* 23 */
  int (*Fflush)(FILE *f);                                         /* 24 */
  int (*Fgetc)(FILE *f);                                          /* 25 */
  char *(*Fgets)(char *s, int n, FILE *f);                        /* 26 */
  int (*Fileno)(FILE *f);                                         /* 27 */
  FILE *(*Fopen)(const char *name, const char *mode);             /* 28 */
  int (*Fputc)(int c, FILE *f);                                   /* 29 */
  int (*Fputs)(const char *s, FILE *f);                           /* 30 */
  size_t (*Fread)(void *p, size_t s, size_t n, FILE *f);          /* 31 */
  FILE *(*Freopen)(const char *name, const char *mode, FILE *f);  /* 32 */
  int (*Fscanf)(FILE *f, const char *fmt, ...);                   /* 33 */
  int (*Fseek)(FILE *f, long off, int whence);                    /* 34 */
  long (*Ftell)(FILE *f);                                         /* 35 */
  size_t (*Fwrite)(const void *p, size_t s, size_t n, FILE *f);   /* 36 */
  int (*Pclose)(FILE *f);                                         /* 37 */
  void (*Perror)(const char *s);                                  /* 38 */
  FILE *(*Popen)(const char *cmd, const char *mode);              /* 39 */
  int (*Puts)(const char *s);                                     /* 40 */
  void (*Rewind)(FILE *f);                                        /* 41 */
  int (*Scanf)(const char *fmt, ...);                             /* 42 */
  void (*Setbuf)(FILE *f, char *b);                               /* 43 */
  int (*Setvbuf)(FILE *f, char *b, int mode, size_t n);           /* 44 */
  int (*Sscanf)(const char *s, const char *fmt, ...);             /* 45 */
  char *(*Tempnam)(const char *dir, const char *pfx);             /* 46 */
  FILE *(*Tmpfile)(void);                                         /* 47 */
  char *(*Tmpnam)(char *buf);                                     /* 48 */
  int (*Ungetc)(int c, FILE *f);                                  /* 49 */
  void *Unused50;                                                 /* 50 */
  const char *(*Getenv)(const char *name);                        /* 51 */
  void *Unused52;                                                 /* 52 */
  void *Unused53;                                                 /* 53 */
  int (*SnprintF)(char *s, size_t n, const char *fmt, ...);       /* 54 */
  int (*VsnprintF)(char *s, size_t n, const char *fmt, va_list ap); /* 55 */
  void *Unused56;                                                 /* 56 */
  void (*Addrandinit)(VexoExports *ae, VexoRandInit *f, void *arg); /* 57 */
};

VEXO_STATIC_ASSERT(sizeof(void *) == 8, "a 64-bit interface");
VEXO_STATIC_ASSERT(sizeof(arglist) == 128, "the argument record");
VEXO_STATIC_ASSERT(offsetof(arglist, funcinfo) == 56 &&
                       offsetof(arglist, Errmsg) == 88 &&
                       offsetof(arglist, nin) == 112 &&
                       offsetof(arglist, nsout) == 124,
                   "argument record fields");
VEXO_STATIC_ASSERT(sizeof(VexoExports) == 58 * 8, "58 slots");
VEXO_STATIC_ASSERT(offsetof(VexoExports, Addfunc) == 1 * 8 &&
                       offsetof(VexoExports, FprintF) == 3 * 8 &&
                       offsetof(VexoExports, Strtod) == 8 * 8 &&
                       offsetof(VexoExports, AtExit) == 11 * 8 &&
                       offsetof(VexoExports, Add_table_handler) == 14 * 8 &&
                       offsetof(VexoExports, Lib) == 15 * 8 &&
                       offsetof(VexoExports, StdOut) == 18 * 8 &&
                       offsetof(VexoExports, Fopen) == 28 * 8 &&
                       offsetof(VexoExports, Perror) == 38 * 8 &&
                       offsetof(VexoExports, Tempnam) == 46 * 8 &&
                       offsetof(VexoExports, Getenv) == 51 * 8 &&
                       offsetof(VexoExports, SnprintF) == 54 * 8 &&
                       offsetof(VexoExports, Addrandinit) == 57 * 8,
                   "slot positions");

/* One column: row i holds a string when sval and sval[i] are non-null (the
 * Missing sentinel, compared by address, marks a missing value), else the
 * number dval[i].  Either array may be null when no row needs it. */
typedef struct DbCol {
  double *dval;
  char **sval;
} DbCol;

typedef struct TableInfo TableInfo;

struct TableInfo {
  /* Reading: stores nrows rows of cols; 0 when done, else Errmsg says why. */
  int (*AddRows)(TableInfo *ti, DbCol *cols, long nrows);
  char *tname;     /* the table's name */
  char **strings;  /* nstrings handler strings, evaluated */
  char **colnames; /* arity + ncols names, key columns first */
  DbCol *cols;     /* arity + ncols columns in the order of colnames */
  char *Missing;   /* the missing-value sentinel */
  char *Errmsg;    /* set by a handler to explain an error */
  void *Vinfo;     /* the calling handler's registration value */
  void *TMI;       /* temporary memory of this call (exports slot Tempmem) */
  int nstrings;
  int arity;       /* key columns */
  int ncols;       /* data columns of this direction */
  int flags;       /* 1 reads, 2 writes, 4 has an "in set" */
  long nrows;      /* writing: rows present in cols */
  void *Private;   /* vexo's own record; handlers pass it back */
  /* Key tuple (entry i of dv or sv per key column) to 0-based row, or -1. */
  long (*Lookup)(double *dv, char **sv, TableInfo *ti);
  /* Writing: grows every column to hold at least n rows; new maxrows. */
  long (*AdjustMaxrows)(TableInfo *ti, long n);
  /* Writing: allocates the dval (sval 0) or sval array of column ncol. */
  void *(*ColAlloc)(TableInfo *ti, int ncol, int sval);
  long maxrows;    /* writing: rows the column arrays can hold */
};

enum { DB_Done = 0, DB_Refuse = 1, DB_Error = 2 };
enum { DBTI_flags_IN = 1, DBTI_flags_OUT = 2, DBTI_flags_INSET = 4 };

VEXO_STATIC_ASSERT(sizeof(DbCol) == 16 && offsetof(DbCol, sval) == 8,
                   "column record");
VEXO_STATIC_ASSERT(sizeof(TableInfo) == 136, "table record size");
VEXO_STATIC_ASSERT(offsetof(TableInfo, tname) == 8 &&
                       offsetof(TableInfo, strings) == 16 &&
                       offsetof(TableInfo, colnames) == 24 &&
                       offsetof(TableInfo, cols) == 32 &&
                       offsetof(TableInfo, Missing) == 40 &&
                       offsetof(TableInfo, Errmsg) == 48 &&
                       offsetof(TableInfo, Vinfo) == 56 &&
                       offsetof(TableInfo, TMI) == 64 &&
                       offsetof(TableInfo, nstrings) == 72 &&
                       offsetof(TableInfo, arity) == 76 &&
                       offsetof(TableInfo, ncols) == 80 &&
                       offsetof(TableInfo, flags) == 84 &&
                       offsetof(TableInfo, nrows) == 88 &&
                       offsetof(TableInfo, Private) == 96 &&
                       offsetof(TableInfo, Lookup) == 104 &&
                       offsetof(TableInfo, AdjustMaxrows) == 112 &&
                       offsetof(TableInfo, ColAlloc) == 120 &&
                       offsetof(TableInfo, maxrows) == 128,
                   "table record fields");

/* A library defines its entry as
 *   void funcadd_ZEF(VexoExports *ae);
 * with C linkage. */

#ifdef __cplusplus
}
#endif

#endif /* VEXO_EVAL_VEXOFUNC_H */
