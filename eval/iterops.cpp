// Iterated operators, counting, alldiff and its relatives, list minimum and
// maximum, and the guard routines.
#include "eval/iterops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "eval/arith.h"
#include "eval/dispatch.h"
#include "eval/indexing.h"
#include "eval/iterate.h"
#include "eval/set.h"
#include "frontend/expr.h"
#include "support/machine.h"
#include "support/message.h"
#include "support/symbol.h"
#include "support/text.h"

namespace vexo {

namespace {

eval_result num(double d) { return {.d = d}; }
eval_result truth(bool b) { return {.i = b ? 1 : 0}; }

// ---- Indexing expressions ----------------------------------------------

// The body's values over the tuples of e's indexing, folded by step from
// the first value on; none gives empty.
template <class Step>
double fold(expr* e, TVA* tva, double empty, Step step) {
  set_spec* ss = e->L.ss;
  expr* body = e->R.e;
  TVA* c = ss_begin(ss, tva);
  if (!c) return empty;
  double r = eval_num(body, c);
  while (ss_continue(ss, c)) r = step(r, eval_num(body, c));
  return r;
}

// ---- Argument lists -------------------------------------------------------

// Calls f(item, context) for every plain item of the list, nested lists
// once per tuple of their indexing.
template <class F>
void each_item(expr* items, TVA* tva, F&& f) {
  for (expr* a = items; a; a = a->next) {
    if (opcode(a) == OP258) continue;
    if (set_spec* ss = a->L.ss) {
      if (TVA* c = ss_begin(ss, tva)) do
          each_item(a->R.e, c, f);
        while (ss_continue(ss, c));
    } else {
      f(a, tva);
    }
  }
}

enum kind { NUMBER, STRING, MEMBER };
kind kind_of(const expr* x) {
  return has_flag(x, EF_NUMERIC)  ? NUMBER
         : has_flag(x, EF_STRING) ? STRING
                                  : MEMBER;
}

double count_of(expr* e, TVA* tva) {
  double n = 0;
  each_item(e->R.e, tva, [&](expr* a, TVA* c) { n += eval_true(a->R.e, c); });
  return n;
}

// Items equal to the number x.
double numberof_num(expr* items, double x, TVA* tva) {
  double n = 0;
  each_item(items, tva, [&](expr* a, TVA* c) {
    expr* x1 = a->R.e;
    switch (kind_of(x1)) {
      case NUMBER:
        n += eval_num(x1, c) == x;
        break;
      case MEMBER: {
        symbol* s = eval_sym(x1, c);
        n += is_number(s) && s->value == x;
        break;
      }
      case STRING:
        break;
    }
  });
  return n;
}

// Items equal to the text t.
double numberof_text(expr* items, const char* t, TVA* tva) {
  double n = 0;
  each_item(items, tva, [&](expr* a, TVA* c) {
    expr* x1 = a->R.e;
    switch (kind_of(x1)) {
      case STRING: {
        held_cstr s(eval_str(x1, c));
        n += std::strcmp(s.text(), t) == 0;
        break;
      }
      case MEMBER: {
        symbol* s = eval_sym(x1, c);
        n += !is_number(s) && std::strcmp(s->name, t) == 0;
        break;
      }
      case NUMBER:
        break;
    }
  });
  return n;
}

// ---- alldiff
// ------------------------------------------------------------------

// No two of the numbers are equal; a NaN among two or more is equal to
// anything.
bool all_different(std::vector<double>& v) {
  if (v.size() < 2) return true;
  for (double d : v)
    if (std::isnan(d)) return false;
  std::sort(v.begin(), v.end());
  return std::adjacent_find(v.begin(), v.end()) == v.end();
}

bool alldiff_num(expr* e, TVA* tva) {
  std::vector<double> v;
  each_item(e->R.e, tva,
            [&](expr* a, TVA* c) { v.push_back(eval_num(a->R.e, c)); });
  return all_different(v);
}

// Items of any kind: numbers (numeric items and members) and texts
// (strings and other members) never equal each other.
bool alldiff_any(expr* e, TVA* tva) {
  std::vector<double> nums;
  std::vector<std::string> texts;
  each_item(e->R.e, tva, [&](expr* a, TVA* c) {
    expr* x = a->R.e;
    switch (kind_of(x)) {
      case NUMBER:
        nums.push_back(eval_num(x, c));
        break;
      case STRING: {
        held_cstr s(eval_str(x, c));
        texts.emplace_back(s.text());
        break;
      }
      case MEMBER: {
        symbol* s = eval_sym(x, c);
        if (is_number(s))
          nums.push_back(s->value);
        else
          texts.emplace_back(s->name);
      }
    }
  });
  if (!all_different(nums)) return false;
  std::sort(texts.begin(), texts.end());
  return std::adjacent_find(texts.begin(), texts.end()) == texts.end();
}

// ---- Sets of a list -------------------------------------------------------

// A set's members, copied: arity, then the tuples back to back.
struct members {
  int arity;
  std::vector<symbol*> tuples;
  size_t count() const { return arity ? tuples.size() / size_t(arity) : 0; }
};

std::vector<members> collect_sets(expr* e, TVA* tva) {
  std::vector<members> v;
  each_item(e->R.e, tva, [&](expr* a, TVA* c) {
    set* s = a->R.s;
    if (s->nmem < 0) set_genall(s, c);
    members m{s->arity, {}};
    m.tuples.reserve(size_t(s->nmem) * size_t(s->arity));
    for (setmem* x = s->first; x; x = x->next)
      if (x->ord >= 0)
        m.tuples.insert(m.tuples.end(), x->tup(), x->tup() + s->arity);
    v.push_back(std::move(m));
  });
  return v;
}

// The tuples of m in the order of their symbol identities.
void canonical(members& m) {
  size_t n = m.count();
  int ar = m.arity;
  if (n < 2 || !ar) return;
  std::vector<size_t> idx(n);
  for (size_t i = 0; i < n; ++i) idx[i] = i;
  auto at = [&](size_t i) { return m.tuples.begin() + std::ptrdiff_t(i * ar); };
  std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) {
    return std::lexicographical_compare(at(a), at(a) + ar, at(b), at(b) + ar);
  });
  std::vector<symbol*> t;
  t.reserve(m.tuples.size());
  for (size_t i : idx) t.insert(t.end(), at(i), at(i) + ar);
  m.tuples.swap(t);
}

bool all_distinct(expr* e, TVA* tva) {
  std::vector<members> v = collect_sets(e, tva);
  if (v.size() < 2) return true;
  for (members& m : v) canonical(m);
  std::sort(v.begin(), v.end(), [](const members& a, const members& b) {
    if (a.arity != b.arity) return a.arity < b.arity;
    if (a.tuples.size() != b.tuples.size())
      return a.tuples.size() < b.tuples.size();
    return a.tuples < b.tuples;
  });
  for (size_t i = 1; i < v.size(); ++i)
    if (v[i].arity == v[i - 1].arity && v[i].tuples == v[i - 1].tuples)
      return false;
  return true;
}

// Every pair of sets of one dimension is tested: a member met twice lies
// in two of them.
bool all_disjoint(expr* e, TVA* tva) {
  std::vector<members> v = collect_sets(e, tva);
  if (v.size() < 2) return true;
  std::stable_sort(v.begin(), v.end(), [](const members& a, const members& b) {
    return a.arity < b.arity;
  });
  bool disjoint = true;
  for (size_t i = 0; i < v.size() && disjoint;) {
    size_t j = i;
    size_t total = 0;
    while (j < v.size() && v[j].arity == v[i].arity) total += v[j++].count();
    if (j - i >= 2 && total) {
      set* seen = set_enum(new_enum(), v[i].arity);
      seen->new_htab(int(std::min<size_t>(total, 1u << 30)));
      for (size_t k = i; k < j && disjoint; ++k) {
        int ar = v[k].arity;
        for (size_t t = 0; t < v[k].count(); ++t)
          if (seen->addmem(v[k].tuples.data() + t * size_t(ar))) {
            disjoint = false;
            break;
          }
      }
      sdelete(seen);
    }
    i = j;
  }
  return disjoint;
}

// ---- List minimum and maximum ----------------------------------------------

template <double (*step)(double, double)>
eval_result list_extreme2(expr* e, TVA* tva, double r) {
  std::vector<double> v;
  each_item(e->R.e, tva,
            [&](expr* a, TVA* c) { v.push_back(eval_num(a->R.e, c)); });
  for (size_t i = v.size(); i-- > 0;) r = step(r, v[i]);
  return num(r);
}

eval_result guard(TVA* tva, const char* name) {
  terror(tva, "%s called", name);
  return {.i = 0};
}

}  // namespace

eval_result f_SUM(expr* e, TVA* tva) {
  return num(fold(e, tva, 0., [](double r, double v) { return r + v; }));
}
eval_result f_PROD(expr* e, TVA* tva) {
  return num(fold(e, tva, 1., [](double r, double v) { return r * v; }));
}
eval_result f_MIN(expr* e, TVA* tva) {
  return num(fold(e, tva, Infinity, min_step));
}
eval_result f_MAX(expr* e, TVA* tva) {
  return num(fold(e, tva, negInfinity, max_step));
}

eval_result f_EXISTS(expr* e, TVA* tva) {
  set_spec* ss = e->L.ss;
  if (TVA* c = ss_begin(ss, tva)) do {
      if (eval_true(e->R.e, c)) {
        ss_end1(ss, c);
        return truth(true);
      }
    } while (ss_continue(ss, c));
  return truth(false);
}

eval_result f_FORALL(expr* e, TVA* tva) {
  set_spec* ss = e->L.ss;
  if (TVA* c = ss_begin(ss, tva)) do {
      eval_result v = eval(e->R.e, c);
      if (!v.i) {
        ss_end1(ss, c);
        return v;
      }
    } while (ss_continue(ss, c));
  return truth(true);
}

eval_result f_OPCOUNT(expr* e, TVA* tva) { return num(count_of(e, tva)); }

eval_result f_OPNUMBEROF(expr* e, TVA* tva) {
  return num(numberof_num(e->R.e, eval_num(e->L.e, tva), tva));
}

eval_result f_OPNUMBEROFs(expr* e, TVA* tva) {
  expr* x = e->L.e;
  switch (kind_of(x)) {
    case NUMBER:
      return num(numberof_num(e->R.e, eval_num(x, tva), tva));
    case STRING: {
      held_cstr t(eval_str(x, tva));
      return num(numberof_text(e->R.e, t.text(), tva));
    }
    default: {
      symbol* s = eval_sym(x, tva);
      if (is_number(s)) return num(numberof_num(e->R.e, s->value, tva));
      return num(numberof_text(e->R.e, s->name, tva));
    }
  }
}

// The counting relations: L the bound, R the count node.
eval_result f_OPATLEAST(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  return truth(k <= eval_num(e->R.e, tva));
}
eval_result f_OPATMOST(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  return truth(k >= eval_num(e->R.e, tva));
}
eval_result f_OPEXACTLY(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  return truth(k == eval_num(e->R.e, tva));
}
eval_result f_OPNOTATLEAST(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  return truth(k > eval_num(e->R.e, tva));
}
eval_result f_OPNOTATMOST(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  return truth(k < eval_num(e->R.e, tva));
}
eval_result f_OPNOTEXACTLY(expr* e, TVA* tva) {
  double k = eval_num(e->L.e, tva);
  return truth(k != eval_num(e->R.e, tva));
}

eval_result f_OPALLDIFF(expr* e, TVA* tva) {
  return truth(alldiff_num(e, tva));
}
eval_result f_OPSOMESAME(expr* e, TVA* tva) {
  return truth(!alldiff_num(e, tva));
}
eval_result f_OPALLDIFFs(expr* e, TVA* tva) {
  return truth(alldiff_any(e, tva));
}
eval_result f_OPSOMESAMEs(expr* e, TVA* tva) {
  return truth(!alldiff_any(e, tva));
}
eval_result f_OPALLDISTINCT(expr* e, TVA* tva) {
  return truth(all_distinct(e, tva));
}
eval_result f_OPNOTDISTINCT(expr* e, TVA* tva) {
  return truth(!all_distinct(e, tva));
}
eval_result f_OPALLDISJOINT(expr* e, TVA* tva) {
  return truth(all_disjoint(e, tva));
}
eval_result f_OPNOTDISJOINT(expr* e, TVA* tva) {
  return truth(!all_disjoint(e, tva));
}

eval_result f_MINLIST2(expr* e, TVA* tva) {
  return list_extreme2<min_step>(e, tva, Infinity);
}
eval_result f_MAXLIST2(expr* e, TVA* tva) {
  return list_extreme2<max_step>(e, tva, negInfinity);
}

eval_result f_OPRELOPCH(expr*, TVA* tva) { return guard(tva, "f_OPRELOPCH"); }
eval_result f_OPVARVAL(expr*, TVA* tva) { return guard(tva, "f_OPVARVAL"); }
eval_result f_ORLIST(expr*, TVA* tva) { return guard(tva, "f_ORLIST"); }
eval_result f_ANDLIST(expr*, TVA* tva) { return guard(tva, "f_ANDLIST"); }
eval_result f_OPPLTERM(expr*, TVA* tva) { return guard(tva, "f_OPPLTERM"); }
eval_result f_OPSUMLIST(expr*, TVA* tva) { return guard(tva, "f_OPSUMLIST"); }
eval_result f_OPIFrew(expr*, TVA* tva) { return guard(tva, "f_OPIFrew"); }

}  // namespace vexo
