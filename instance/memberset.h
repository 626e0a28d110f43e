// The member set of an indexed variable, constraint or objective, built as
// the generator walks the declaration's indexing.  Models often index
// several declarations alike (a variable over the same pairs as the param
// of its costs, the rows of one family over the same nodes as another):
// when the tuples walked are, in order, exactly the members of a set that
// an earlier declaration of the walk holds, that set is shared (one more
// reference) instead of stored again.  Otherwise the members are appended
// in walk order, without a hash table: the first look-up makes it at its
// final size.  The tuples of one walk of an indexing are distinct, so no
// test for duplicates is needed.
#ifndef VEXO_INSTANCE_MEMBERSET_H
#define VEXO_INSTANCE_MEMBERSET_H

#include <cstdint>

namespace vexo {

struct set;
struct setmem;
struct symbol;

class member_builder {
 public:
  // Sets to compare with: up to this many, newest first.
  static constexpr int MAX_LIKE = 4;
  // A builder of tuples of the arity; the candidates are the sets that
  // genmod's walk offers (like_sets, instance/genmod.h).
  explicit member_builder(int arity);
  ~member_builder();
  member_builder(const member_builder&) = delete;
  member_builder& operator=(const member_builder&) = delete;

  // The next tuple of the walk.
  void add(symbol* const* t);
  // Members the walk is expected to give: the size of the largest set that
  // still matches every tuple so far (0 when none does).  A guess that lets
  // the per-member arrays be sized once.
  int32_t expected() const;
  // The member set of the tuples added (the caller holds one reference);
  // the builder is then empty.
  set* finish();

 private:
  // Stores the tuples so far in a set of the builder's own, copied from
  // the candidate that matched them; no candidate is followed after.
  void materialize(set* from);
  void drop_candidates();

  int arity_;
  int32_t n_ = 0;      // tuples added
  set* own_ = nullptr;  // the members stored, once no candidate matches
  int n_like_ = 0;
  set* like_[MAX_LIKE];      // candidates still matching (a reference each)
  setmem* cur_[MAX_LIKE];    // each one's member to compare next
};

}  // namespace vexo

#endif  // VEXO_INSTANCE_MEMBERSET_H
