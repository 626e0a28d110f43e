// The built-in suffix names by code: variables 0..22, constraints 23..42,
// the status group 43..46, the left (47..69) and right (70..92) sides of a
// complementarity constraint, its slack 93, objectives 94..102, logical
// constraints 103..107, synonym kinds 5 and 11 108..110, problems 111..114.
#include "report/dotnames.h"

namespace vexo {

const char* const dotnames[115] = {
    "defeqn",      "domain",       "int",         "lb",          "ub",
    "lb0",         "ub0",          "lb1",         "ub1",         "lb2",
    "ub2",         "val",          "rc",          "lrc",         "urc",
    "init",        "init0",        "slack",       "lslack",      "uslack",
    "dual",        "no",           "sno",         "defvar",      "lb",
    "ub",          "lbs",          "ubs",         "lbs1",        "ubs1",
    "lbs2",        "ubs2",         "body",        "slack",       "lslack",
    "uslack",      "dual",         "ldual",       "udual",       "dinit",
    "dinit0",      "no",           "sno",         "astatus_num", "status_num",
    "astatus",     "status",       "Llb",         "Lub",         "Llbs",
    "Lubs",        "Llbs1",        "Lubs1",       "Llbs2",       "Lubs2",
    "Lbody",       "Lslack",       "Llslack",     "Luslack",     "Ldual",
    "Lldual",      "Ludual",       "Ldinit",      "Ldinit0",     "Lno",
    "Lsno",        "Lastatus_num", "Lstatus_num", "Lastatus",    "Lstatus",
    "Rlb",         "Rub",          "Rlbs",        "Rubs",        "Rlbs1",
    "Rubs1",       "Rlbs2",        "Rubs2",       "Rbody",       "Rslack",
    "Rlslack",     "Ruslack",      "Rdual",       "Rldual",      "Rudual",
    "Rdinit",      "Rdinit0",      "Rno",         "Rsno",        "Rastatus_num",
    "Rstatus_num", "Rastatus",     "Rstatus",     "slack",       "exitcode",
    "message",     "result",       "result_num",  "sense",       "sense_num",
    "val",         "no",           "sno",         "no",          "lno",
    "sno",         "val",          "val_num",     "no",          "sno",
    "val",         "exitcode",     "result_num",  "message",     "result",
};

}  // namespace vexo
