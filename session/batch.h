// The batch path after the parser ends, and the times report.
#ifndef VEXO_SESSION_BATCH_H
#define VEXO_SESSION_BATCH_H

namespace vexo {

// The batch path after the parser ends (r the mapped parser result, 0 to
// 3).  The least form, without a problem to collect and write: the
// return-code rules (r 0 sets rc to 2, or 0 with -w; before any command a
// nonzero rc with bailquit ends the session; after commands rc becomes 0),
// with parse_time 0 while it runs.
void Process(int r);
// The two heading lines of the times report, once start-up has ended
// (allow_times); option times calls it too.
void time_heading();

}  // namespace vexo

#endif  // VEXO_SESSION_BATCH_H
