// Fuzz target: the input is the bytes typed at the terminal, fed to the
// reader thread's line editor (no terminal, no thread).  After every byte
// what a terminal would show from the editor's output must be the line
// being edited with the cursor in its place, and the line, its cursor and
// the history must stay within their bounds; a violation aborts.  TAB
// completes against the directory the replay runs in.  Its extra seeds,
// tests/fuzz/seeds/lineedit/, use the editing and history keys.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "session/rawio.h"
#include "unit/session/term_screen.h"

using vexo::test::term_screen;
using vexo::test::trimmed;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto e = std::make_unique<vexo::line_editor>();
  vexo::editor_start(e.get());
  term_screen scr;
  for (size_t i = 0; i < size; ++i) {
    vexo::edit_result r = vexo::edit_key(e.get(), data[i]);
    scr.show(e->out);
    e->out.clear();
    if (e->len < 0 || e->len >= vexo::RD_LINE_MAX || e->cur < 0 ||
        e->cur > e->len)
      abort();
    if (r == vexo::EDIT_LINE &&
        (e->sent.empty() || e->sent.size() > size_t(vexo::RD_LINE_MAX) + 1))
      abort();
    if (!e->esc && r == vexo::EDIT_MORE &&
        (trimmed(scr.row) != trimmed(std::string(e->line, e->len)) ||
         scr.col != size_t(e->cur)))
      abort();
    const vexo::hist_store& h = e->hist;
    int k = vexo::hist_count(&h);
    if (k < 0 || k > vexo::HIST_LINES || h.free_off > vexo::HIST_TEXT) abort();
  }
  return 0;
}
