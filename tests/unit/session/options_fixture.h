// Set-up of the option tests: a fresh session's modules (environments are
// declarations, _LOCAL_OPTIONS and _ENVS are system sets), then the option
// table from a given process environment.
#ifndef VEXO_UNIT_SESSION_OPTIONS_FIXTURE_H
#define VEXO_UNIT_SESSION_OPTIONS_FIXTURE_H

#include "frontend/frontend_fixture.h"
#include "session/located.h"
#include "session/options.h"
#include "session/startup.h"
#include "session/sysdecls.h"
#include "support/text.h"

extern char** environ;

namespace vexo::test {

// Builds the options from env (a null-ended array; the process environment
// when null) and leaves env_db installed as environ: callers that pass env
// put the real environment back with reset_environ.
inline void start_options(char** env = nullptr) {
  start_session();
  if (env) environ = env;
  envinit();
}

// Puts the process environment back and forgets the option table, so that
// a later test's session does not end by writing the option files this
// test named.
inline void stop_options() {
  reset_environ();
  ev = nullptr;
}

}  // namespace vexo::test

#endif  // VEXO_UNIT_SESSION_OPTIONS_FIXTURE_H
