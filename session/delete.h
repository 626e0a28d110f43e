// Xref, delete, purge and redeclaration.
#ifndef VEXO_SESSION_DELETE_H
#define VEXO_SESSION_DELETE_H

namespace vexo {

struct xnode;

// Checks the redeclaration of old by d: 2 refused (after a message), 1
// accepted (*out = old, d takes old's number), 0 declare d as new.  The
// least form: accepted when old and d are records of the same pool (x_copy
// copies one over the other), else declared as new.
int redclchk(xnode* old, xnode* d, xnode** out);
// Deletes a user function declaration so that its name can be declared
// anew.  The least form: the name is unbound.
void del_function(xnode* f);

}  // namespace vexo

#endif  // VEXO_SESSION_DELETE_H
