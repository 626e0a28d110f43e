// Fuzz target: the input is data text after a fixed model, read twice: as a
// data file ("data input;" after the model, where the first error ends the
// session) and as data typed after the model under -vi1 (an error abandons
// one statement, and the input may go on with more data, or with commands
// after "model;").  The model declares something for every statement form of
// data mode: sets of dimensions 1 to 3, ordered and indexed ones, a set
// defined in the model; numeric and symbolic params of arities 0 to 3, with
// and without defaults, one defined in the model; variables, a constraint,
// an objective and a problem with built-in and declared suffixes.  The
// names of the example data files and of the data cases are among them, so
// that those seeds reach past their first statement.
#include "fuzz/harness.h"

namespace {

const char model[] = R"(set A;
set B ordered;
set S;
set T dimen 2;
set U dimen 3;
set IS {A};
set IT {A, B} dimen 2;
set K := {1, 2};
param r;
param w symbolic;
param p {S};
param q {S} default 1;
param c {A, B};
param d {A, B};
param e {A, B, S};
param ps {A} symbolic;
param pd {T} default 0;
param m := 3;
set PLANTS;
set MARKETS;
param capacity {PLANTS};
param demand {MARKETS};
param cost {PLANTS, MARKETS};
set PROD;
set WEEKS ordered;
param rate {PROD};
param avail {WEEKS};
param inv0 {PROD} default 0;
param prodcost {PROD};
param invcost {PROD};
param market {PROD, WEEKS};
param revenue {PROD, WEEKS};
suffix mysuf;
suffix sfs symbolic;
var x {S};
var y := 1;
var z {A, B};
s.t. con {s in S}: x[s] >= 0;
minimize obj: sum {s in S} x[s];
problem P: x, con, obj;
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using vexo::fuzz::input_mode;
  vexo::fuzz::run_program(input_mode::data, data, size, model);
  return vexo::fuzz::run_program(input_mode::data_typed, data, size, model);
}
