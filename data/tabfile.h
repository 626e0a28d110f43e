// The built-in table handlers: "tab" (text files, tab-separated, with a
// "vexo.tab" header) and "bit" (binary files in the writer's byte order,
// read with swapping on a machine of the other order).  They work only
// through the TableInfo record, the exports record and the file; every
// failure sets Errmsg (in the call's temporary memory) and returns
// DB_Error with the file closed, a refusal returns DB_Refuse.
#ifndef VEXO_DATA_TABFILE_H
#define VEXO_DATA_TABFILE_H

#include <vector>

#include "eval/vexofunc.h"

namespace vexo {

extern "C" {
// DbRead and DbWrite of "tab": refuse unless there is one string that ends
// in ".tab" from its last ".".
int Read_vexo_tab(VexoExports* ae, TableInfo* ti);
int Write_vexo_tab(VexoExports* ae, TableInfo* ti);
// The work on the named file (also the engine's debug copies).
int Read_vexo_tab1(VexoExports* ae, TableInfo* ti, const char* fname);
int Write_vexo_tab1(VexoExports* ae, TableInfo* ti, const char* fname);
// DbRead and DbWrite of "bit": one string ending in ".bit".
int Read_vexo_bit(VexoExports* ae, TableInfo* ti);
int Write_vexo_bit(VexoExports* ae, TableInfo* ti);
}

// What the writers share when they merge an existing file: the file's
// data columns (file positions fa .. fa + fn - 1, named by names) that no
// table column matched (pos: the file position of each table column, -1
// for none) become columns of the table (cols and colnames copied into
// the call's memory, ncols grown), missing in the rows the table has;
// returns their file positions.
std::vector<int> add_file_columns(TableInfo* ti, const std::vector<int>& pos,
                                  int fa, int fn, const char* const* names);
// A missing value in row r of column j (its sval array made first).
void set_missing(TableInfo* ti, int j, long r);
// The row of the key tuple (entry j of kd or ks for key column j) among
// the rows to write, or a new row appended at nrows (the columns grown
// first when full); *added tells which.
long merge_row(TableInfo* ti, double* kd, char** ks, bool* added);
// A copy of s in the call's temporary memory.
char* keep(TableInfo* ti, const char* s);

// Matches n table column names among m file column names: res[i] gets
// the file position of table name i.  Returns 0, or the 1-based position
// (in sorted order) of the first table name not found.
int permute(int n, int m, int* res, char** tnames, char** fnames);

}  // namespace vexo

#endif  // VEXO_DATA_TABFILE_H
