// Member sets shared between declarations indexed alike.
#include "instance/memberset.h"

#include "eval/set.h"
#include "instance/genmod.h"

namespace vexo {

member_builder::member_builder(int arity) : arity_(arity) {
  n_like_ = like_sets(arity, like_, MAX_LIKE);
  for (int i = 0; i < n_like_; ++i) {
    like_[i]->refcnt++;
    cur_[i] = like_[i]->first;
  }
}

member_builder::~member_builder() {
  drop_candidates();
  if (own_) sdelete(own_);
}

void member_builder::drop_candidates() {
  for (int i = 0; i < n_like_; ++i) sdelete(like_[i]);
  n_like_ = 0;
}

void member_builder::materialize(set* from) {
  own_ = set_enum(new_enum(), arity_);
  set_forget_table(own_);
  int32_t i = 0;
  for (setmem* m = from ? from->first : nullptr; i < n_; m = m->next, ++i)
    set_append(own_, m->tup());
}

void member_builder::add(symbol* const* t) {
  if (!own_) {
    // Candidates that still match take the tuple; the first that fails
    // last supplies the members so far.
    set* matched = nullptr;
    int kept = 0;
    for (int i = 0; i < n_like_; ++i) {
      setmem* m = cur_[i];
      bool same = m && m->ord == n_;
      for (int j = 0; same && j < arity_; ++j) same = m->tup()[j] == t[j];
      if (same) {
        like_[kept] = like_[i];
        cur_[kept++] = m->next;
      } else if (!matched) {
        matched = like_[i];
      } else {
        sdelete(like_[i]);
      }
    }
    if (kept) {
      if (matched) sdelete(matched);
      n_like_ = kept;
      ++n_;
      return;
    }
    n_like_ = 0;
    materialize(matched);
    if (matched) sdelete(matched);
  }
  set_append(own_, t);
  ++n_;
}

int32_t member_builder::expected() const {
  int32_t most = 0;
  for (int i = 0; i < n_like_; ++i)
    if (like_[i]->nmem > most) most = like_[i]->nmem;
  return most;
}

set* member_builder::finish() {
  set* s = own_;
  own_ = nullptr;
  if (!s) {
    // Every tuple matched: a candidate with no more members is the set.
    for (int i = 0; i < n_like_ && !s; ++i)
      if (!cur_[i] && like_[i]->nmem == n_) {
        s = like_[i];
        s->refcnt++;
      }
    if (!s) {
      materialize(n_like_ ? like_[0] : nullptr);
      s = own_;
      own_ = nullptr;
    }
  }
  drop_candidates();
  n_ = 0;
  return s;
}

}  // namespace vexo
