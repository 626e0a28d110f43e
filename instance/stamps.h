// Generation stamps of declarations: what records that data or a
// declaration changed, so that instance generation redoes what depends on
// it.
#ifndef VEXO_INSTANCE_STAMPS_H
#define VEXO_INSTANCE_STAMPS_H

namespace vexo {

struct xnode;

// Records that d changed: its stamp becomes the next generation level and a
// generated problem counts as changed.  flag 1 marks a change of current
// values (solution data).  Least form until instance generation exists:
// the stamp and the translation state only.
void ts_update(xnode* d, int flag);

}  // namespace vexo

#endif  // VEXO_INSTANCE_STAMPS_H
