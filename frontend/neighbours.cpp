// The session's state that the front end reads and writes.
#include "frontend/neighbours.h"

namespace vexo {

int interactive;
const char* prompt0[6] = {"", "", "", "", "", ""};
const char* insprompt = "<%d>";

int log_model;
int log_data;
int* log_what = &log_model;
int log_file_flush;

int inslev;
int nfs;
int ins_nfs;
int ins_eof;
int at_eof;
int infile_changed;
int infile_number;
int ninfile_number;
const char* eofmsg;
char** xargv;

int endjump;
int parse_time;

int cmdstate;
int cmdnum;
int single_step;
int warnings;
int warn0;
int warn_exit;
int stdin_offset;
int adjusted;
volatile std::sig_atomic_t gotbreak;

int pr_cmd;
int pr_badnames;

}  // namespace vexo
