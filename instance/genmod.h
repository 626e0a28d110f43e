// Generation of the problem instance from the declarations.
#ifndef VEXO_INSTANCE_GENMOD_H
#define VEXO_INSTANCE_GENMOD_H

#include <cstdint>

namespace vexo {

struct convar;
struct TVA;
struct xnode;

// Undoes a partly finished instance generation after an abort.  The least
// form until generation exists: nothing is ever partly generated.
void genmod_cleanup();

// The number of defined variables that generation has processed (a
// defined variable below it may be referred to).  0 until generation
// exists (nothing ever writes it).
extern int recvar_lim;

// The number of d's first member in the problem's column (variables) or
// row (constraints, objectives) numbering.  Least form until generation
// exists: -1, nothing is numbered.
int32_t first_num(const convar* d);

// Copies the suffix values that data gave for members of ent not yet
// generated into its generated members.  Least form until generation
// exists: nothing to copy.
void copy_sufs(xnode* ent, TVA* tva);

}  // namespace vexo

#endif  // VEXO_INSTANCE_GENMOD_H
