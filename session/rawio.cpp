// The raw-terminal reader thread and its line editor.
//
// The thread shares nothing with the main thread but three pipes (made
// before it starts, never closed) and the terminal modes (set before it
// starts, then only read): requests (one byte, 0 or 1) go to it on the
// request pipe and are answered on the reply pipe; lines come back on the
// line pipe.  It never calls the session's code: its memory is its own
// (standard containers on its stack), and all its signals are blocked, so
// every signal, also the SIGINT it sends for ^C, is handled by the main
// thread.  File-name completion reads the process's current directory,
// which `cd` changes with chdir, so no directory text is shared either.
#include "session/rawio.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "session/loop.h"

namespace vexo {

// hfd[0], hfd[1]: the request pipe (read in the thread); hfd[2], hfd[3]:
// the reply pipe; hfd[4], hfd[5]: the line pipe (written in the thread).
static int hfd[6] = {-1, -1, -1, -1, -1, -1};
// The terminal's modes as found and in raw mode.
static termios ti0, ti1;
// The process that started the thread (a forked child must not touch the
// terminal modes when it exits), 0 while there is no thread.
static pid_t term_owner;
// Set once the modes found were put back for good: the thread no longer
// makes the terminal raw.
static std::atomic<int> term_gone;
// Bytes of the line being handed out that are still in the line pipe.
static int line_rest;

// ---------------------------------------------------------------------------
// History

int hist_count(const hist_store* h) { return h->last - h->first; }

const char* hist_entry(const hist_store* h, int i, int* n) {
  const int* e = h->ent[(h->first + i) % HIST_LINES];
  *n = e[1];
  return h->text + e[0];
}

static bool blank_only(const char* s, int n) {
  for (int i = 0; i < n; ++i)
    if (s[i] != ' ') return false;
  return true;
}

static void drop_oldest(hist_store* h) {
  if (++h->first >= HIST_LINES) {
    h->first -= HIST_LINES;
    h->last -= HIST_LINES;
  }
}

void hist_add(hist_store* h, const char* s, int n) {
  if (n <= 0 || n > HIST_TEXT || blank_only(s, n)) return;
  int k = hist_count(h);
  if (k > 0) {
    int m;
    const char* t = hist_entry(h, k - 1, &m);
    if (m == n && memcmp(t, s, n) == 0) return;
  }
  if (k == HIST_LINES) drop_oldest(h);
  // The texts lie in the order of their entries, wrapping once: the
  // oldest entries lie above free_off.  A line that does not fit below the
  // end goes to offset 0, and those oldest entries go first.
  int off = h->free_off;
  if (off + n > HIST_TEXT) {
    while (h->last > h->first && h->ent[h->first % HIST_LINES][0] >= off)
      drop_oldest(h);
    off = 0;
  }
  while (h->last > h->first) {
    const int* e = h->ent[h->first % HIST_LINES];
    if (e[0] >= off + n || e[0] + e[1] <= off) break;
    drop_oldest(h);
  }
  int* e = h->ent[h->last % HIST_LINES];
  e[0] = off;
  e[1] = n;
  memcpy(h->text + off, s, n);
  h->free_off = off + n;
  ++h->last;
}

// ---------------------------------------------------------------------------
// The line editor

static bool word_char(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
         (c >= 'a' && c <= 'z') || c == '_' || c >= 128;
}

static void new_line(line_editor* e) {
  e->len = e->cur = 0;
  e->browse = hist_count(&e->hist);
  e->saved_len = e->saved_cur = 0;
  e->esc = 0;
}

void editor_start(line_editor* e) {
  e->hist.free_off = e->hist.first = e->hist.last = 0;
  e->uses = 0;
  e->dirs.clear();
  e->out.clear();
  e->sent.clear();
  new_line(e);
}

static void back(line_editor* e, int n) {
  if (n > 0) e->out.append(static_cast<size_t>(n), '\b');
}

static void blanks(line_editor* e, int n) {
  if (n > 0) e->out.append(static_cast<size_t>(n), ' ');
}

// Moves the cursor to p: back with backspaces, forward by writing the
// characters passed over again.
static void move_to(line_editor* e, int p) {
  if (p < e->cur)
    back(e, e->cur - p);
  else
    e->out.append(e->line + e->cur, static_cast<size_t>(p - e->cur));
  e->cur = p;
}

// Removes line[a, b): the rest is written over it, the freed columns
// blanked, and the cursor stands at a.
static void delete_range(line_editor* e, int a, int b) {
  if (a >= b) return;
  move_to(e, a);
  int k = b - a;
  memmove(e->line + a, e->line + b, static_cast<size_t>(e->len - b));
  e->len -= k;
  e->out.append(e->line + a, static_cast<size_t>(e->len - a));
  blanks(e, k);
  back(e, e->len - a + k);
}

static int word_left(const line_editor* e, int p) {
  while (p > 0 && !word_char(e->line[p - 1])) --p;
  while (p > 0 && word_char(e->line[p - 1])) --p;
  return p;
}

static int word_right(const line_editor* e, int p) {
  while (p < e->len && word_char(e->line[p])) ++p;
  while (p < e->len && !word_char(e->line[p])) ++p;
  return p;
}

// The end of the word after p: non-word characters, then word characters.
static int word_after(const line_editor* e, int p) {
  while (p < e->len && !word_char(e->line[p])) ++p;
  while (p < e->len && word_char(e->line[p])) ++p;
  return p;
}

// The line ends: stored in the history, and it becomes the line to send
// (with the newline when nl).
static edit_result finish(line_editor* e, bool nl) {
  hist_add(&e->hist, e->line, e->len);
  e->out.append("\r\n");
  e->sent.assign(e->line, static_cast<size_t>(e->len));
  if (nl) e->sent.push_back('\n');
  new_line(e);
  return EDIT_LINE;
}

static edit_result insert(line_editor* e, unsigned char c) {
  e->out.push_back(static_cast<char>(c));
  int rest = e->len - e->cur;
  if (rest > 0) {
    e->out.append(e->line + e->cur, static_cast<size_t>(rest));
    back(e, rest);
    memmove(e->line + e->cur + 1, e->line + e->cur, static_cast<size_t>(rest));
  }
  e->line[e->cur++] = static_cast<char>(c);
  if (++e->len >= RD_LINE_MAX) return finish(e, false);
  return EDIT_MORE;
}

// The displayed line becomes s (n bytes) with the cursor at its end: what
// it shares with the old line stays, the rest is written, the old tail
// blanked.
static void show_line(line_editor* e, const char* s, int n) {
  int c = 0;
  while (c < n && c < e->len && e->line[c] == s[c]) ++c;
  move_to(e, c);
  memcpy(e->line + c, s + c, static_cast<size_t>(n - c));
  e->out.append(e->line + c, static_cast<size_t>(n - c));
  int old = e->len;
  e->len = e->cur = n;
  if (old > n) {
    blanks(e, old - n);
    back(e, old - n);
  }
}

static void browse_to(line_editor* e, int pos) {
  int k = hist_count(&e->hist);
  if (pos < 0) pos = 0;
  if (pos > k) pos = k;
  if (pos == e->browse) return;
  if (e->browse == k) {
    memcpy(e->saved, e->line, static_cast<size_t>(e->len));
    e->saved_len = e->len;
    e->saved_cur = e->cur;
  }
  e->browse = pos;
  if (pos == k) {
    show_line(e, e->saved, e->saved_len);
    move_to(e, e->saved_cur);
  } else {
    int n;
    const char* s = hist_entry(&e->hist, pos, &n);
    show_line(e, s, n);
  }
}

bool s_cmp(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  int c = memcmp(a.data(), b.data(), n);
  return c ? c < 0 : a.size() < b.size();
}

// The names in directory path (but "." and ".."), each led by a blank type
// byte, sorted; false when it cannot be read.
static bool read_listing(const std::string& path, dir_listing* d) {
  DIR* dp = opendir(path.c_str());
  if (!dp) return false;
  d->names.clear();
  while (dirent* de = readdir(dp)) {
    if (strcmp(de->d_name, ".") == 0 || strcmp(de->d_name, "..") == 0) continue;
    d->names.push_back(std::string(" ") + de->d_name);
  }
  closedir(dp);
  std::sort(d->names.begin(), d->names.end(), s_cmp);
  return true;
}

// The cached listing of directory path (st its stat), read again when the
// directory changed; a new one replaces the least recently used of 10.
static dir_listing* find_listing(line_editor* e, const std::string& path,
                                 const struct stat& st) {
  int64_t stamp[2] = {int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec)};
  auto at = std::lower_bound(e->dirs.begin(), e->dirs.end(), path,
                             [](const dir_listing& d, const std::string& p) {
                               return s_cmp(d.path, p);
                             });
  dir_listing* d;
  if (at != e->dirs.end() && at->path == path) {
    d = &*at;
    if (d->stamp[0] != stamp[0] || d->stamp[1] != stamp[1]) {
      if (!read_listing(path, d)) {
        e->dirs.erase(at);
        return nullptr;
      }
    }
  } else {
    dir_listing fresh;
    fresh.path = path;
    if (!read_listing(path, &fresh)) return nullptr;
    if (e->dirs.size() >= 10) {
      auto old =
          std::min_element(e->dirs.begin(), e->dirs.end(),
                           [](const dir_listing& a, const dir_listing& b) {
                             return a.used < b.used;
                           });
      if (old < at) --at;
      e->dirs.erase(old);
    }
    d = &*e->dirs.insert(at, std::move(fresh));
  }
  d->stamp[0] = stamp[0];
  d->stamp[1] = stamp[1];
  d->used = ++e->uses;
  return d;
}

// Whether name (after its type byte) begins with prefix.
static bool has_prefix(const std::string& name, const std::string& prefix) {
  return name.size() > prefix.size() &&
         memcmp(name.data() + 1, prefix.data(), prefix.size()) == 0;
}

// TAB: the file name before the cursor is completed as far as the names
// of its directory agree.  A name begun with a quote that completes to a
// file gets its closing quote; a directory gets "/".
static void complete(line_editor* e) {
  if (e->cur == 0) return;
  int ws = 0;
  char q = 0;
  for (int i = 0; i < e->cur; ++i) {
    char c = e->line[i];
    if (q) {
      if (c == q) q = 0, ws = i + 1;
    } else if (static_cast<unsigned char>(c) <= 32) {
      ws = i + 1;
    } else if (c == '\'' || c == '"') {
      q = c;
      ws = i + 1;
    }
  }
  std::string word(e->line + ws, static_cast<size_t>(e->cur - ws));
  // The directory: the word's part before its last "/" (quotes dropped),
  // from the current directory unless it begins with "/".
  size_t slash = word.rfind('/');
  bool rooted = slash != std::string::npos && word[0] == '/';
  std::string dir;
  if (!rooted) {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return;
    dir.append(cwd);
  }
  if (slash != std::string::npos) {
    if (!rooted) dir.push_back('/');
    for (size_t i = 0; i <= slash; ++i)
      if (word[i] != '\'' && word[i] != '"') dir.push_back(word[i]);
  }
  std::string prefix =
      slash == std::string::npos ? word : word.substr(slash + 1);
  if (dir.size() >= 4096) return;
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  dir_listing* d = find_listing(e, dir, st);
  if (!d) return;
  std::vector<std::string>& names = d->names;
  auto lo = std::lower_bound(names.begin(), names.end(), prefix,
                             [](const std::string& n, const std::string& p) {
                               return s_cmp(n.substr(1), p);
                             });
  auto hi = lo;
  while (hi != names.end() && has_prefix(*hi, prefix)) ++hi;
  if (lo == hi) return;
  std::string add;
  if (hi - lo == 1) {
    std::string& name = *lo;
    if (name[0] == ' ') {
      struct stat ns;
      std::string full = dir + "/" + name.substr(1);
      name[0] = stat(full.c_str(), &ns) == 0 && S_ISDIR(ns.st_mode) ? 'D' : 'F';
    }
    add = name.substr(1 + prefix.size());
    if (name[0] == 'D')
      add.push_back('/');
    else if (q)
      add.push_back(q);
  } else {
    const std::string& a = *lo;
    const std::string& b = *(hi - 1);
    size_t i = 1 + prefix.size();
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    add = a.substr(1 + prefix.size(), i - 1 - prefix.size());
  }
  if (e->len + static_cast<int>(add.size()) + 2 >= RD_LINE_MAX) return;
  for (char c : add) insert(e, static_cast<unsigned char>(c));
}

// The key table's actions apart from insertion.
static edit_result act(line_editor* e, int key);

enum {
  K_HOME = 256,
  K_END,
  K_LEFT,
  K_RIGHT,
  K_WLEFT,
  K_WRIGHT,
  K_DELC,
  K_UP,
  K_DOWN,
  K_PGUP,
  K_PGDN,
  K_WDEL,
  K_WDELF,
  K_NONE
};

// Escape sequences, a byte at a time: e->esc says how far one has come.
// 1 ESC; 2 ESC O; 3 ESC [; 4 ESC [ 1; 5 ESC [ 1 ;; 6 ESC [ 1 ; 2 (or 9);
// 7 ESC [ 1 ; 5; 8 ESC [ 3; 9 ESC [ 5; 10 ESC [ 6.  Returns the key the
// sequence makes, or K_NONE (dropped, or not complete yet).
static int escape(line_editor* e, unsigned char c) {
  int s = e->esc;
  e->esc = 0;
  switch (s) {
    case 1:
      if (c == 'O') e->esc = 2;
      if (c == '[') e->esc = 3;
      if (c == 'b') return K_WLEFT;
      if (c == 'f') return K_WRIGHT;
      if (c == 'd') return K_WDELF;
      if (c == 127) return K_WDEL;
      return K_NONE;
    case 2:
      if (c == 'H') return K_HOME;
      if (c == 'F') return K_END;
      return K_NONE;
    case 3:
      switch (c) {
        case '1':
          e->esc = 4;
          return K_NONE;
        case '3':
          e->esc = 8;
          return K_NONE;
        case '5':
          e->esc = 9;
          return K_NONE;
        case '6':
          e->esc = 10;
          return K_NONE;
        case 'A':
          return K_UP;
        case 'B':
          return K_DOWN;
        case 'C':
          return K_RIGHT;
        case 'D':
          return K_LEFT;
        case 'F':
          return K_END;
        case 'H':
          return K_HOME;
        default:
          return K_WLEFT;  // an unknown key: as ESC b
      }
    case 4:
      if (c == ';') e->esc = 5;
      return K_NONE;
    case 5:
      if (c == '2' || c == '9') e->esc = 6;
      if (c == '5') e->esc = 7;
      return K_NONE;
    case 6:
      if (c == 'C') return K_END;
      if (c == 'D') return K_HOME;
      return K_NONE;
    case 7:
      if (c == 'C') return K_WRIGHT;
      if (c == 'D') return K_WLEFT;
      return K_NONE;
    case 8:
      return c == '~' ? K_DELC : K_NONE;
    case 9:
      if (c == 'C') return K_END;
      if (c == 'D') return K_HOME;
      if (c == '~') return K_PGUP;
      return K_NONE;
    case 10:
      return c == '~' ? K_PGDN : K_NONE;
  }
  return K_NONE;
}

edit_result edit_key(line_editor* e, unsigned char c) {
  if (e->esc) return act(e, escape(e, c));
  switch (c) {
    case 13:
    case 10:
      return finish(e, true);
    case 1:
      return act(e, K_HOME);
    case 5:
      return act(e, K_END);
    case 127:
    case 8:
      if (e->cur > 0) delete_range(e, e->cur - 1, e->cur);
      return EDIT_MORE;
    case 4:
      if (e->len == 0) {
        new_line(e);
        return EDIT_EOF;
      }
      return act(e, K_DELC);
    case 23:
      return act(e, K_WDEL);
    case 21:
      move_to(e, 0);
      blanks(e, e->len);
      back(e, e->len);
      new_line(e);
      return EDIT_MORE;
    case 3:
      e->out.append("^C\r\n");
      new_line(e);
      return EDIT_INTR;
    case 9:
      complete(e);
      return EDIT_MORE;
    case 27:
      e->esc = 1;
      return EDIT_MORE;
  }
  return insert(e, c);
}

static edit_result act(line_editor* e, int key) {
  int k = hist_count(&e->hist);
  switch (key) {
    case K_HOME:
      move_to(e, 0);
      break;
    case K_END:
      move_to(e, e->len);
      break;
    case K_LEFT:
      if (e->cur > 0) move_to(e, e->cur - 1);
      break;
    case K_RIGHT:
      if (e->cur < e->len) move_to(e, e->cur + 1);
      break;
    case K_WLEFT:
      move_to(e, word_left(e, e->cur));
      break;
    case K_WRIGHT:
      move_to(e, word_right(e, e->cur));
      break;
    case K_DELC:
      if (e->cur < e->len)
        delete_range(e, e->cur, e->cur + 1);
      else if (e->cur > 0)
        delete_range(e, e->cur - 1, e->cur);
      break;
    case K_WDEL:
      delete_range(e, word_left(e, e->cur), e->cur);
      break;
    case K_WDELF:
      delete_range(e, e->cur, word_after(e, e->cur));
      break;
    case K_UP:
      if (e->browse > 0) browse_to(e, e->browse - 1);
      break;
    case K_DOWN:
      if (e->browse < k) browse_to(e, e->browse + 1);
      break;
    case K_PGUP:
      browse_to(e, e->browse - 10);
      break;
    case K_PGDN:
      browse_to(e, e->browse + 10);
      break;
  }
  return EDIT_MORE;
}

edit_result edit_end(line_editor* e) {
  e->esc = 0;
  if (e->len == 0) return EDIT_EOF;
  return finish(e, false);
}

void edit_redraw(line_editor* e) {
  if (e->len == 0) return;
  e->out.append("\r\n");
  e->out.append(e->line, static_cast<size_t>(e->len));
  back(e, e->len - e->cur);
}

// ---------------------------------------------------------------------------
// The thread

static void write_all(int fd, const char* s, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, s, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    s += w;
    n -= static_cast<size_t>(w);
  }
}

static void flush_out(line_editor* e) {
  write_all(0, e->out.data(), e->out.size());
  e->out.clear();
}

// One message of the line pipe: the length, then the bytes, in one write
// (at most 4003 bytes, so that it is never split).
static void send_line(const char* s, int n) {
  char msg[4 + RD_LINE_MAX + 1];
  memcpy(msg, &n, 4);
  memcpy(msg + 4, s, static_cast<size_t>(n));
  write_all(hfd[5], msg, 4 + static_cast<size_t>(n));
}

static void set_modes(int raw) {
  if (raw && term_gone.load()) return;
  tcsetattr(0, TCSADRAIN, raw ? &ti1 : &ti0);
}

static void* Rdthread(void*) {
  line_editor ed;
  line_editor* e = &ed;
  editor_start(e);
  int canread = 1;
  int fails = 0;
  for (;;) {
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(hfd[0], &fds);
    if (canread) FD_SET(0, &fds);
    if (select(hfd[0] + 1, &fds, nullptr, nullptr, nullptr) < 0) {
      if (++fails > 50) {
        fails = 0;
        new_line(e);
        send_line("", 0);
      }
      continue;
    }
    fails = 0;
    if (FD_ISSET(hfd[0], &fds)) {
      unsigned char b;
      if (read(hfd[0], &b, 1) != 1) {
        send_line("", 0);
        continue;
      }
      canread = b;
      set_modes(b);
      if (b) edit_redraw(e);
      flush_out(e);
      write_all(hfd[3], reinterpret_cast<char*>(&b), 1);
      continue;
    }
    if (!canread || !FD_ISSET(0, &fds)) continue;
    unsigned char c;
    ssize_t n = read(0, &c, 1);
    edit_result r;
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      // The terminal has ended: not read again until it is handed back,
      // so that the thread does not spin on it.
      canread = 0;
      r = edit_end(e);
    } else {
      r = edit_key(e, c);
    }
    flush_out(e);
    if (r == EDIT_LINE)
      send_line(e->sent.data(), static_cast<int>(e->sent.size()));
    else if (r == EDIT_EOF)
      send_line("", 0);
    else if (r == EDIT_INTR)
      kill(0, SIGINT);
  }
  return nullptr;
}

static void close_pipes() {
  for (int& fd : hfd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void rawio_add(int raw) {
  if (!raw || term_owner) return;
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return;
  bool ok =
      pthread_attr_setstacksize(&attr, 0x40000) == 0 && tcgetattr(0, &ti1) == 0;
  for (int k = 0; ok && k < 3; ++k) ok = pipe2(hfd + 2 * k, O_CLOEXEC) == 0;
  if (ok) {
    ti0 = ti1;
    ti1.c_iflag &= ~(BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    ti1.c_iflag |= IGNBRK;
    ti1.c_oflag |= OPOST | ONLCR;
    ti1.c_cflag &= ~(CSIZE | PARENB);
    ti1.c_cflag |= CS8;
    ti1.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    ti1.c_cc[VMIN] = 1;
    ti1.c_cc[VTIME] = 0;
    ok = tcsetattr(0, TCSADRAIN, &ti1) == 0;
  }
  if (ok) {
    // The thread starts with every signal blocked and keeps them so.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pthread_t t;
    ok = pthread_create(&t, &attr, Rdthread, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (ok) {
      pthread_detach(t);
    } else {
      tcsetattr(0, TCSADRAIN, &ti0);
    }
  }
  pthread_attr_destroy(&attr);
  if (!ok) {
    close_pipes();
    return;
  }
  term_owner = getpid();
  atexit(term_reset);
}

bool rawio_running() { return term_owner != 0; }

void term_reset() {
  if (!term_owner || getpid() != term_owner) return;
  term_gone.store(1);
  tcsetattr(0, TCSANOW, &ti0);
}

static ssize_t read_retry(int fd, void* buf, size_t n) {
  ssize_t r;
  do {
    r = read(fd, buf, n);
  } while (r < 0 && errno == EINTR);
  return r;
}

ssize_t hist_read(int, void* buf, size_t n) {
  if (line_rest == 0) {
    if (session_wait(hfd[4], true) < 0) return -1;
    int len = 0;
    if (read_retry(hfd[4], &len, 4) != 4 || len <= 0) return 0;
    line_rest = len;
  }
  ssize_t r = read_retry(hfd[4], buf, std::min<size_t>(n, size_t(line_rest)));
  if (r > 0) line_rest -= static_cast<int>(r);
  return r;
}

int allow_stdin0(int c) { return c; }

int allow_stdin(int c) {
  unsigned char b = static_cast<unsigned char>(c);
  write_all(hfd[1], reinterpret_cast<char*>(&b), 1);
  return static_cast<int>(read_retry(hfd[2], &b, 1));
}

int Allow_stdin(int c) { return term_owner ? allow_stdin(c) : allow_stdin0(c); }

}  // namespace vexo
