// A snapshot of every global of the program (every object of namespace
// vexo with static storage: file-scope, class-static and function-local),
// found in the test binary's own symbol table, and the comparison of two
// snapshots.  Nothing is listed by hand, so a global that a module adds
// later is covered without a change here.
//
// Values are compared byte for byte, except an aligned word that holds a
// pointer outside the program's image in both snapshots (into the heap or
// a pool): the pools are freed and rebuilt by `reset`, so such pointers
// may differ; they must agree in being live.  Under the address sanitizer a
// pointer into freed memory (a stale record that no reset forgot) counts
// as a difference of its own.
#ifndef VEXO_UNIT_SESSION_GLOBAL_STATE_H
#define VEXO_UNIT_SESSION_GLOBAL_STATE_H

#include <cxxabi.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VEXO_TEST_ASAN 1
#endif

// The end of the executable's zero-filled data (the linker's symbol).
extern "C" char _end[];

namespace vexo::test {

struct global_object {
  std::string name;  // demangled, "vexo::..."
  uintptr_t at;
  size_t size;
};

// The writable objects of namespace vexo defined in this binary (the test
// code's own, vexo::test and vexo::fuzz, left out).
inline std::vector<global_object> program_globals() {
  std::vector<global_object> out;
  int fd = open("/proc/self/exe", O_RDONLY);
  if (fd < 0) return out;
  struct stat st;
  fstat(fd, &st);
  size_t len = static_cast<size_t>(st.st_size);
  void* map = mmap(nullptr, len, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return out;
  const auto* base = static_cast<const unsigned char*>(map);
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(base);
  const auto* sh = reinterpret_cast<const Elf64_Shdr*>(base + eh->e_shoff);
  // The load bias of the executable (0 unless it is position independent).
  uintptr_t bias = 0;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        *static_cast<uintptr_t*>(data) = info->dlpi_addr;
        return 1;  // the first entry is the executable
      },
      &bias);
  for (int i = 0; i < eh->e_shnum; ++i) {
    if (sh[i].sh_type != SHT_SYMTAB) continue;
    const auto* syms = reinterpret_cast<const Elf64_Sym*>(base + sh[i].sh_offset);
    size_t n = sh[i].sh_size / sizeof(Elf64_Sym);
    const char* names =
        reinterpret_cast<const char*>(base + sh[sh[i].sh_link].sh_offset);
    for (size_t k = 0; k < n; ++k) {
      const Elf64_Sym& s = syms[k];
      if (ELF64_ST_TYPE(s.st_info) != STT_OBJECT || s.st_size == 0) continue;
      if (s.st_shndx == SHN_UNDEF || s.st_shndx >= eh->e_shnum) continue;
      if (!(sh[s.st_shndx].sh_flags & SHF_WRITE)) continue;
      if (sh[s.st_shndx].sh_flags & SHF_TLS) continue;
      int status = 0;
      char* d = abi::__cxa_demangle(names + s.st_name, nullptr, nullptr,
                                    &status);
      if (!d) continue;
      std::string name = d;
      std::free(d);
      if (name.rfind("vexo::", 0) != 0) continue;
      if (name.rfind("vexo::test::", 0) == 0) continue;
      if (name.rfind("vexo::fuzz::", 0) == 0) continue;
      out.push_back({name, bias + s.st_value, s.st_size});
    }
  }
  munmap(map, len);
  return out;
}

// The address ranges of the executable's own mappings.
inline std::vector<std::pair<uintptr_t, uintptr_t>> image_ranges() {
  std::vector<std::pair<uintptr_t, uintptr_t>> r;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return r;
  self[n] = 0;
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.size() < strlen(self) ||
        line.compare(line.size() - strlen(self), strlen(self), self) != 0)
      continue;
    uintptr_t lo = 0, hi = 0;
    std::sscanf(line.c_str(), "%lx-%lx", &lo, &hi);
    r.emplace_back(lo, hi);
  }
  // The executable's zero-filled data follows its last file mapping and
  // ends at _end, which the linker defines.  Only so far: the plain heap
  // can begin right after it (a build without the address sanitizer,
  // whose allocator maps its own regions).
  uintptr_t end = reinterpret_cast<uintptr_t>(_end);
  if (!r.empty() && end > r.back().second) r.back().second = end;
  return r;
}

class global_state {
 public:
  // Copies every global's bytes now.
  void take() {
    if (objects_.empty()) objects_ = program_globals();
    image_ = image_ranges();
    bytes_.clear();
    freed_.clear();
    for (const auto& o : objects_) {
      const auto* p = reinterpret_cast<const unsigned char*>(o.at);
      bytes_.emplace_back(p, p + o.size);
      freed_.push_back(freed_words(o));
    }
  }

  size_t count() const { return objects_.size(); }

  // The globals whose value differs from other's, each with the offset of
  // its first differing byte, one line each; names in kept are skipped.
  std::string differences(const global_state& other,
                          const std::set<std::string>& kept = {}) const {
    std::ostringstream out;
    for (size_t i = 0; i < objects_.size(); ++i) {
      if (kept.count(objects_[i].name)) continue;
      std::string why = compare(i, other);
      if (!why.empty()) out << objects_[i].name << ": " << why << "\n";
    }
    return out.str();
  }

  // Whether a global of that name exists.
  bool has(const std::string& name) const {
    for (const auto& o : objects_)
      if (o.name == name) return true;
    return false;
  }

 private:
  bool in_image(uintptr_t v) const {
    for (const auto& r : image_)
      if (v >= r.first && v < r.second) return true;
    return false;
  }
  // A word that may be a pointer into the heap, the pools or the stack:
  // in the upper application range of x86-64 (above the sanitizer's shadow
  // memory, where the heap, the stacks and the program are mapped), not
  // into the program's image.  Two 32-bit counts packed in a word reach
  // there only when the upper one exceeds 4096.
  bool heap_like(uintptr_t v) const {
    return v >= 0x10007fff8000 && v < (uintptr_t{1} << 47) && !in_image(v);
  }
  static bool poisoned(uintptr_t v) {
#ifdef VEXO_TEST_ASAN
    return __asan_address_is_poisoned(reinterpret_cast<void*>(v));
#else
    (void)v;
    return false;
#endif
  }
  // For each aligned word of o: whether it points into freed memory now.
  std::vector<bool> freed_words(const global_object& o) const {
    std::vector<bool> f;
    for (size_t off = (8 - o.at % 8) % 8; off + 8 <= o.size; off += 8) {
      uintptr_t v;
      std::memcpy(&v, reinterpret_cast<const void*>(o.at + off), 8);
      f.push_back(heap_like(v) && poisoned(v));
    }
    return f;
  }

  static std::string hex(uintptr_t v) {
    char b[24];
    std::snprintf(b, sizeof b, "%#lx", static_cast<unsigned long>(v));
    return b;
  }

  std::string compare(size_t i, const global_state& other) const {
    const global_object& o = objects_[i];
    const auto& a = bytes_[i];
    const auto& b = other.bytes_[i];
    size_t head = (8 - o.at % 8) % 8;
    for (size_t off = 0; off < o.size;) {
      bool word = off >= head && (off - head) % 8 == 0 && off + 8 <= o.size;
      if (!word) {
        if (a[off] != b[off]) return "byte " + std::to_string(off);
        ++off;
        continue;
      }
      uintptr_t va, vb;
      std::memcpy(&va, &a[off], 8);
      std::memcpy(&vb, &b[off], 8);
      size_t w = (off - head) / 8;
      if (other.freed_[i][w] && !freed_[i][w])
        return "word " + std::to_string(off) + " points into freed memory";
      // Pointers into the heap agree when both are live, or both point
      // where nothing lives (one past the end of a block, say).
      if (va != vb && !(heap_like(va) && heap_like(vb) &&
                        freed_[i][w] == other.freed_[i][w]))
        return "word " + std::to_string(off) + " (" + hex(va) + ", then " +
               hex(vb) + ")";
      off += 8;
    }
    return "";
  }

  std::vector<global_object> objects_;
  std::vector<std::pair<uintptr_t, uintptr_t>> image_;
  std::vector<std::vector<unsigned char>> bytes_;
  std::vector<std::vector<bool>> freed_;
};

}  // namespace vexo::test

#endif  // VEXO_UNIT_SESSION_GLOBAL_STATE_H
