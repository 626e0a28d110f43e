/* The interface between vexo and its table handlers (plain C, so that
 * handler libraries written in C compile against it).  For each read table
 * or write table, vexo fills one TableInfo and offers it to the handlers in
 * turn; a handler refuses it (1), does the work through the record's data
 * and callbacks (0), or reports an error in Errmsg (2).  The layouts are
 * fixed (64-bit pointers and longs, 4-byte ints) and checked below. */
#ifndef VEXO_DATA_TABINFO_H
#define VEXO_DATA_TABINFO_H

#include <stddef.h>

#include "eval/vexofunc.h"

#ifdef __cplusplus
extern "C" {
#endif

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

#ifdef __cplusplus
}
#endif

#endif /* VEXO_DATA_TABINFO_H */
