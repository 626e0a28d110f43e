// Reader of linear problems in the nl problem file, text ("g") and binary
// ("b") forms, for the default solver and for tests of the nl writer.
//
// Every segment may come in any order; affine expression graphs are folded
// into the linear parts (a constraint's constant moves into its bounds, an
// objective's constant is kept beside it).  What a linear solver cannot
// take (nonlinear parts, logical and complementarity constraints, random
// variables, imported functions, defined variables, the forms "z", "Z"
// and "P") is not an error: reading stops and the problem comes
// back with a refusal text.  A malformed file is an error, thrown as
// nl_error with the file name and the place (line of the text form, byte
// offset of the binary form).  Counts are checked against the bytes the
// file holds before anything is allocated for them.
#ifndef VEXO_SOLVERS_NLREAD_H
#define VEXO_SOLVERS_NLREAD_H

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexo {

// A malformed problem file; what() is the whole message.
struct nl_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The ten header lines.  Numbers that a line may leave out read as 0.
struct nl_header {
  char form = 0;             // 'g', 'b', or a refused 'z', 'Z', 'P'
  int n_opts = 0;            // option words that follow (0 to 9)
  int64_t opts[9] = {};      // option words 1 to n_opts
  double vb_tol = 0;         // the var_bounds tolerance, when word 2 is 3
  // line 2
  int n_var = 0, n_con = 0, n_obj = 0, n_ranges = 0, n_eqns = 0;
  int n_lcons = 0, n_randvars = 0;
  // line 3: nonlinear constraints and objectives, complementarity counts,
  // random constraints and objectives
  int nlc = 0, nlo = 0, n_cc = 0, nl_cc = 0, nd_cc = 0, nzlb = 0;
  int n_rand_con = 0, n_rand_obj = 0;
  // line 4: network constraints, stages
  int nlnc = 0, lnc = 0, n_stages = 0;
  // line 5: nonlinear variables in constraints, objectives, both
  int nlvc = 0, nlvo = 0, nlvb = 0;
  // line 6
  int nwv = 0, nfunc = 0, arith = 0, flags = 0, randcalls = 0;
  // line 7: binary, integer, nonlinear discrete (both, constraints, objs)
  int nbv = 0, niv = 0, nlvbi = 0, nlvci = 0, nlvoi = 0;
  // line 8: Jacobian and gradient nonzeros
  int64_t nzc = 0, nzo = 0;
  // line 9: longest row and column names
  int max_row_name = 0, max_col_name = 0;
  // line 10: common expressions b, c, o, c1, o1, random
  int comb = 0, comc = 0, como = 0, comc1 = 0, como1 = 0, comrand = 0;
};

// One linear term.
struct nl_term {
  int index;
  double coef;
};

// A linear problem: columns in file order (the integer ones last: nbv
// binary then niv integer), rows with their constants moved into the
// bounds, objectives with their constants.  Infinite bounds are
// +-infinity.
struct nl_problem {
  std::string name;       // file name, for messages
  nl_header h;
  std::string refusal;    // why a linear solver cannot take it; else empty
  std::vector<double> var_lo, var_hi;
  std::vector<double> row_lo, row_hi;
  // Row-wise terms: row i holds row_terms[row_start[i] .. row_start[i+1]),
  // each variable once, in increasing variable order.
  std::vector<size_t> row_start;
  std::vector<nl_term> row_terms;
  // Objectives: sense (0 minimise, 1 maximise), constant, terms (each
  // variable once, in increasing order).
  std::vector<int> obj_sense;
  std::vector<double> obj_const;
  std::vector<std::vector<nl_term>> obj_terms;
};

// Reads the problem file at path.  Throws nl_error for a file that cannot
// be read or is malformed.
nl_problem read_nl(const char* path);

// Reads a problem file held in memory; name appears in messages.  Throws
// nl_error as read_nl does.
nl_problem read_nl_bytes(const char* name, const unsigned char* data,
                         size_t size);

}  // namespace vexo

#endif  // VEXO_SOLVERS_NLREAD_H
