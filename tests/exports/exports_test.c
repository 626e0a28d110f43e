/* A library in C that uses functions of the vexo executable by name, the
 * way user-function and table-handler libraries do.  It is built without
 * linking them and preloaded into vexo, so the dynamic loader must find them
 * in the executable's dynamic symbol table; its constructor then calls each
 * one, checks the results and prints "exports: ok" (or "exports: FAIL ..."
 * and ends the process with status 1). */
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int Fprintf(FILE* stream, const char* fmt, ...);
int Snprintf(char* s, size_t n, const char* fmt, ...);
double Strtod(const char* s, char** endptr);
char* dtoa_r(double d, int mode, int ndigits, int* decpt, int* sign,
             char** rve, char* buf, size_t blen);

static void fail(const char* what) {
  const char head[] = "exports: FAIL ";
  if (write(1, head, sizeof head - 1) < 0) _exit(1);
  if (write(1, what, strlen(what)) < 0) _exit(1);
  if (write(1, "\n", 1) < 0) _exit(1);
  _exit(1);
}

__attribute__((constructor)) static void check_exports(void) {
  char buf[64], digits[32];
  char* end = NULL;
  int decpt = 0, sign = 0;
  const char* d;

  if (Snprintf(buf, 5, "%s=%d", "key", 12345) != 9 ||
      strcmp(buf, "key=") != 0)
    fail("Snprintf");
  if (Strtod("0.1e1x", &end) != 1.0 || *end != 'x') fail("Strtod");
  d = dtoa_r(0.1, 0, 0, &decpt, &sign, NULL, digits, sizeof digits);
  if (!d || strcmp(d, "1") != 0 || decpt != 0 || sign != 0) fail("dtoa_r");
  if (Fprintf(stdout, "exports: %s\n", "ok") != 12) fail("Fprintf");
  fflush(stdout);
}
