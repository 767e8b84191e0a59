// Stack traces and the memory report, read from what Linux offers: backtrace() and dladdr for
// the trace (executables export their symbols with -rdynamic), the symbol table of the image
// file for functions it does not export, and /proc for the address space and memory figures.
#include "foundation/diag.h"

#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/globals.h"
#include "foundation/nedmalloc.h"
#include "platform/regular_file.h"

namespace {

int first_dump = 1;
std::string g_report_folder, g_report_tag;

// Reads a /proc file line by line without the heap (the trace may run on a broken heap).
template <typename Fn>
bool for_each_line(const char* path, Fn&& fn) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[8192];
  char line[1024];
  size_t used = 0;
  bool stop = false;
  for (;;) {
    ssize_t got = ::read(fd, buf, sizeof buf);
    if (got <= 0) break;
    for (ssize_t i = 0; i < got && !stop; ++i) {
      char c = buf[i];
      if (c == '\n') {
        line[used] = 0;
        stop = !fn(line);
        used = 0;
      } else if (used + 1 < sizeof line) {
        line[used++] = c;
      }
    }
    if (stop) break;
  }
  if (!stop && used) {
    line[used] = 0;
    fn(line);
  }
  ::close(fd);
  return true;
}

struct region {
  uintptr_t start, end;
  bool r, w, shared;
  unsigned long inode;
  char path[512];
};

bool parse_maps_line(const char* line, region* out) {
  unsigned long s, e, off, inode;
  char perms[8] = {};
  int dev_major, dev_minor;
  int consumed = 0;
  if (std::sscanf(line, "%lx-%lx %7s %lx %x:%x %lu %n", &s, &e, perms, &off, &dev_major, &dev_minor, &inode,
                  &consumed) < 7)
    return false;
  out->start = s;
  out->end = e;
  out->r = perms[0] == 'r';
  out->w = perms[1] == 'w';
  out->shared = perms[3] == 's';
  out->inode = inode;
  const char* p = line + consumed;
  while (*p == ' ') ++p;
  std::snprintf(out->path, sizeof out->path, "%s", p);
  return true;
}

const char* last_component(const char* path) {
  const char* leaf = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') leaf = p + 1;
  return leaf;
}

// Looks up the nearest function at or below addr in the symbol table of the image file, for
// functions that the image does not export. Fills name and address; false when none.
bool elf_symbol(const char* image, uintptr_t base, uintptr_t addr, char* name, size_t name_len,
                uintptr_t* sym_addr) {
  if (!image || !*image) return false;
  int fd = ::open(image, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < (off_t)sizeof(ElfW(Ehdr))) {
    ::close(fd);
    return false;
  }
  size_t size = size_t(st.st_size);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return false;
  const auto* bytes = static_cast<const unsigned char*>(map);
  const auto* eh = static_cast<const ElfW(Ehdr)*>(map);
  bool found = false;
  if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) == 0 && eh->e_ident[EI_CLASS] == ELFCLASS64 &&
      eh->e_shoff + size_t(eh->e_shnum) * sizeof(ElfW(Shdr)) <= size) {
    const auto* sh = reinterpret_cast<const ElfW(Shdr)*>(bytes + eh->e_shoff);
    // Executables (not position-independent) hold absolute addresses.
    uintptr_t bias = eh->e_type == ET_DYN ? base : 0;
    uintptr_t best_value = 0;
    size_t best_name = 0;
    const ElfW(Shdr)* best_strtab = nullptr;
    for (int i = 0; i < eh->e_shnum; ++i) {
      if (sh[i].sh_type != SHT_SYMTAB || sh[i].sh_link >= eh->e_shnum) continue;
      const ElfW(Shdr)& strtab = sh[sh[i].sh_link];
      if (sh[i].sh_offset + sh[i].sh_size > size || strtab.sh_offset + strtab.sh_size > size) continue;
      const auto* syms = reinterpret_cast<const ElfW(Sym)*>(bytes + sh[i].sh_offset);
      size_t count = sh[i].sh_size / sizeof(ElfW(Sym));
      for (size_t k = 0; k < count; ++k) {
        if (ELF64_ST_TYPE(syms[k].st_info) != STT_FUNC || syms[k].st_name == 0 || syms[k].st_value == 0) continue;
        uintptr_t v = uintptr_t(syms[k].st_value) + bias;
        if (v > addr) continue;
        if (syms[k].st_size && addr >= v + syms[k].st_size) continue;
        if (!found || v >= best_value) {
          found = true;
          best_value = v;
          best_name = syms[k].st_name;
          best_strtab = &strtab;
        }
      }
    }
    if (found && best_name < best_strtab->sh_size) {
      const char* nm = reinterpret_cast<const char*>(bytes + best_strtab->sh_offset + best_name);
      std::snprintf(name, name_len, "%s", nm);
      *sym_addr = best_value;
    } else {
      found = false;
    }
  }
  ::munmap(map, size);
  return found;
}

void put_unit(char* out, size_t n, unsigned long long bytes) {
  std::snprintf(out, n, "%5u%c", mem_to_number(bytes), mem_to_suffix(bytes));
}

}  // namespace

void UTL_debug_init() { signal(SIGPIPE, SIG_IGN); }

void UTL_get_debug_symbol(void* addr, symbol_info* out) {
  std::memset(out, 0, sizeof *out);
  out->line = -1;
  Dl_info info{};
  if (!dladdr(addr, &info)) return;
  if (info.dli_fname) std::snprintf(out->image_path, sizeof out->image_path, "%s", info.dli_fname);
  out->image_base = reinterpret_cast<uintptr_t>(info.dli_fbase);
  if (info.dli_sname) std::snprintf(out->symbol_name, sizeof out->symbol_name, "%s", info.dli_sname);
  out->symbol_addr = reinterpret_cast<uintptr_t>(info.dli_saddr);
  // The image's own symbol table names functions it does not export; a nearer function wins.
  char name[1024];
  uintptr_t value = 0;
  const char* image = out->image_path;
  char exe[1024];
  if (out->image_path[0] && out->image_path[0] != '/') {
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
      exe[n] = 0;
      image = exe;
    }
  }
  if (elf_symbol(image, out->image_base, reinterpret_cast<uintptr_t>(addr), name, sizeof name, &value) &&
      (out->symbol_name[0] == 0 || value > out->symbol_addr)) {
    std::snprintf(out->symbol_name, sizeof out->symbol_name, "%s", name);
    out->symbol_addr = value;
  }
}

void print_symbol(FILE* f, void* addr) {
  symbol_info si;
  UTL_get_debug_symbol(addr, &si);
  uintptr_t a = reinterpret_cast<uintptr_t>(addr);
  if (si.symbol_name[0]) {
    if (si.symbol_addr)
      std::fprintf(f, "%s + %ld", si.symbol_name, long(a - si.symbol_addr));
    else
      std::fprintf(f, "0x%08lx", (unsigned long)a);
  } else if (si.symbol_addr) {
    std::fprintf(f, "0x%08lx + %ld", (unsigned long)si.symbol_addr, long(a - si.symbol_addr));
  } else {
    std::fprintf(f, "0x%08lx", (unsigned long)a);
  }
  if (si.source_file[0]) std::fprintf(f, " (%s:%d)", last_component(si.source_file), si.line);
  if (si.image_path[0] && si.image_base)
    std::fprintf(f, " (%s + %ld)\n", last_component(si.image_path), long(a - si.image_base));
  else if (si.image_base)
    std::fprintf(f, " (0x%08lx + %ld)\n", (unsigned long)si.image_base, long(a - si.image_base));
  else
    std::fprintf(f, " (?\?\?)\n");
}

__attribute__((noinline)) void UTL_dump_stack(FILE* f, stack_frame* start, void* pc) {
  int n = 0;
  if (pc) {
    std::fprintf(f, " % 2d) ", 0);
    print_symbol(f, pc);
    n = 1;
  }
  if (!start) {
    // The first line names the code that called this routine: skip the frames inside it (and
    // any that a sanitizer's interceptor puts in front of them).
    void* frames[104];
    int got = backtrace(frames, 104);
    int first = 1;
    for (int i = 0; i < got && i < 4; ++i) {
      Dl_info info{};
      if (dladdr(frames[i], &info) && info.dli_saddr == reinterpret_cast<void*>(&UTL_dump_stack)) first = i + 1;
    }
    for (int i = first; i < got && n <= 99; ++i, ++n) {
      std::fprintf(f, " % 2d) ", n);
      print_symbol(f, frames[i]);
    }
    std::fflush(f);
    return;
  }
  for (stack_frame* fp = start; fp; ++n) {
    if (!UTL_valid_memory(fp, sizeof(stack_frame), 1, 1)) break;
    if (n > 99) break;
    if (reinterpret_cast<uintptr_t>(fp) >= reinterpret_cast<uintptr_t>(fp->next)) break;
    std::fprintf(f, " % 2d) ", n);
    print_symbol(f, fp->ret);
    fp = fp->next;
  }
  std::fflush(f);
}

int UTL_valid_memory(void* addr, size_t len, int need_read, int need_write) {
  if (len == 0) return 1;
  uintptr_t cur = reinterpret_cast<uintptr_t>(addr);
  uintptr_t end = cur + len;
  if (end < cur) return 0;
  bool ok = false;
  // Regions come sorted by address: each must start at or below the current address.
  for_each_line("/proc/self/maps", [&](const char* line) {
    region r;
    if (!parse_maps_line(line, &r)) return true;
    if (r.end <= cur) return true;
    if (r.start > cur) return false;  // a hole
    if ((need_read && !r.r) || (need_write && !r.w)) return false;
    cur = r.end;
    if (cur >= end) {
      ok = true;
      return false;
    }
    return true;
  });
  return ok ? 1 : 0;
}

void dump_hex(FILE* f, void* data, int len) {
  const auto* b = static_cast<const unsigned char*>(data);
  for (int off = 0; off < len; off += 16) {
    for (int g = 0; g < 4; ++g) {
      std::fputc(' ', f);
      for (int k = 0; k < 4; ++k) {
        int i = off + g * 4 + k;
        if (i < len)
          std::fprintf(f, "%02X", b[i]);
        else
          std::fputs("  ", f);
      }
    }
    std::fputs("    ", f);
    std::fputc(' ', f);
    for (int k = 0; k < 16; ++k) {
      if (k == 4 || k == 8 || k == 12) std::fputc(' ', f);
      int i = off + k;
      if (i < len) {
        unsigned char c = b[i];
        std::fputc(c >= 32 && c < 127 ? c : '.', f);
      } else {
        std::fputc(' ', f);
      }
    }
    std::fputc('\n', f);
  }
}

unsigned mem_to_number(unsigned long long bytes) {
  if (bytes > 15032385536ull) return unsigned(bytes >> 30);
  if (double(bytes) > 1468006.4) return unsigned(bytes >> 20);
  if (double(bytes) > 1433.6) return unsigned(bytes >> 10);
  return unsigned(bytes);
}

char mem_to_suffix(unsigned long long bytes) {
  if (bytes > 15032385536ull) return 'G';
  if (double(bytes) > 1468006.4) return 'M';
  if (double(bytes) > 1433.6) return 'K';
  return 'B';
}

const char* sm_string(unsigned char mode) {
  switch (mode) {
    case 1: return "Copy-on-write";
    case 2: return "Private";
    case 3: return "Empty";
    case 4: return "Shared";
    case 5: return "True-Shared";
    case 6: return "Private-Aliased";
    case 7: return "Shared-Aliased";
    default: return "Unknown";
  }
}

void UTL_set_report_place(const std::string& folder, const std::string& tag) {
  g_report_folder = folder;
  g_report_tag = tag;
}

std::string UTL_report_path(const std::string& name) {
  if (g_report_folder.empty()) return std::string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return g_report_folder + name + g_report_tag;
  return g_report_folder + name.substr(0, dot) + g_report_tag + name.substr(dot);
}

void dump_mem_stats(const char* reason) {
  std::string why = reason ? reason : "";
  xer_line("OK check MemoryLog.txt! I just sent him a dump from " + why + "\n");
  // Never beside the program: its folder may be read-only or shared.
  const std::string path = UTL_report_path("MemoryLog.txt");
  FILE* f = path.empty() ? nullptr : PLAT_fopen_regular(path, first_dump ? "w" : "a");
  first_dump = 0;
  FILE* out = f ? f : stdout;

  // Process and machine figures (kB in /proc, reported in bytes).
  unsigned long long vsize = 0, rsize = 0;
  for_each_line("/proc/self/status", [&](const char* line) {
    unsigned long long kb;
    if (std::sscanf(line, "VmSize: %llu", &kb) == 1) vsize = kb << 10;
    if (std::sscanf(line, "VmRSS: %llu", &kb) == 1) rsize = kb << 10;
    return true;
  });
  unsigned long long mem_free = 0, active = 0, inactive = 0, wired = 0, swap_total = 0, swap_free = 0;
  for_each_line("/proc/meminfo", [&](const char* line) {
    unsigned long long kb;
    if (std::sscanf(line, "MemFree: %llu", &kb) == 1) mem_free = kb << 10;
    if (std::sscanf(line, "Active: %llu", &kb) == 1) active = kb << 10;
    if (std::sscanf(line, "Inactive: %llu", &kb) == 1) inactive = kb << 10;
    if (std::sscanf(line, "Unevictable: %llu", &kb) == 1) wired = kb << 10;
    if (std::sscanf(line, "SwapTotal: %llu", &kb) == 1) swap_total = kb << 10;
    if (std::sscanf(line, "SwapFree: %llu", &kb) == 1) swap_free = kb << 10;
    return true;
  });
  long ps = sysconf(_SC_PAGESIZE);
  unsigned long long page = ps > 0 ? (unsigned long long)ps : 4096;
  unsigned long long swap_used = swap_total > swap_free ? swap_total - swap_free : 0;

  std::fprintf(out, "dump_mem_stats: %s\n", why.c_str());
  std::fprintf(out, "OS X Info:\n");
  std::fprintf(out,
               "    Page size:        %5u%c      This is the size of one virtual memory page.\n"
               "    Vsize (reported): %5u%c      This is the total virtual address space used by Volarium (including empty regions).\n"
               "    Rsize:            %5u%c      This is the total amount of real RAM used by Volarium (virtual pages resident in RAM).\n"
               "    Free pages:       %5u%c      This is the total free RAM on the machine.\n"
               "    Active Pages:     %5u%c      This is the total actively used RAM among all apps - it probably can't be paged out without causing huge performance problems.\n"
               "    Inactive Pages:   %5u%c      This is the total inactive RAM from all apps - pages that is elligible to be paged out since it hasn't been used recently.\n"
               "    Wired Pages:      %5u%c      This is the total wired RAM - pages that are 'wired down' and cannot ever be paged out.\n"
               "    Total Swap Pages: %5u%c\n"
               "    Avail Swap Pages: %5u%c\n"
               "    Used  Swap Pages: %5u%c\n",
               mem_to_number(page), mem_to_suffix(page), mem_to_number(vsize), mem_to_suffix(vsize),
               mem_to_number(rsize), mem_to_suffix(rsize), mem_to_number(mem_free), mem_to_suffix(mem_free),
               mem_to_number(active), mem_to_suffix(active), mem_to_number(inactive), mem_to_suffix(inactive),
               mem_to_number(wired), mem_to_suffix(wired), mem_to_number(swap_total), mem_to_suffix(swap_total),
               mem_to_number(swap_free), mem_to_suffix(swap_free), mem_to_number(swap_used), mem_to_suffix(swap_used));

  std::fprintf(out, "    I will now print the entire map of virtual memory.\n");
  std::fprintf(out, "        Address           Size    r-private r-shared sharing-mode (ref count)\n");

  unsigned long long total_virtual = 0, total_private = 0, total_shared = 0, largest_free = 0, total_free = 0,
                     largest_gap = 0, total_gap = 0;
  // One region of smaps is a header line followed by "Key: value kB" lines; write it when the
  // next header (or the end) arrives.
  struct pending_region {
    bool have = false;
    region r{};
    unsigned long long rss = 0, priv = 0, shr = 0;
  } cur;
  uintptr_t prev_end = 0;
  auto flush_region = [&]() {
    if (!cur.have) return;
    const region& r = cur.r;
    if (r.start > prev_end) {
      unsigned long long hole = r.start - prev_end;
      char u[16];
      put_unit(u, sizeof u, hole);
      std::fprintf(out, "        0x%08lX      %s               --------\n", (unsigned long)prev_end, u);
      total_gap += hole;
      if (hole > largest_gap) largest_gap = hole;
    }
    unsigned char mode;
    if (r.shared)
      mode = 4;
    else if (!r.r && !r.w && cur.rss == 0)
      mode = 3;
    else if (r.path[0] == '/')
      mode = 1;
    else
      mode = 2;
    Dl_info info{};
    const char* image = "";
    if (dladdr(reinterpret_cast<void*>(r.start), &info) && info.dli_fbase)
      image = info.dli_fname && info.dli_fname[0] ? last_component(info.dli_fname) : "null";
    unsigned long long size = r.end - r.start;
    char us[16], up[16], uh[16];
    put_unit(us, sizeof us, size);
    put_unit(up, sizeof up, cur.priv);
    put_unit(uh, sizeof uh, cur.shr);
    std::fprintf(out, "        0x%08lX      %s       %s %s   %20s (% 3d)       %s\n", (unsigned long)r.start, us, up, uh,
                 sm_string(mode), 0, image);
    if (mode != 3) {
      total_virtual += size;
    } else {
      total_free += size;
      if (size > largest_free) largest_free = size;
    }
    total_private += cur.priv;
    total_shared += cur.shr;
    prev_end = r.end;
    cur = pending_region{};
  };
  for_each_line("/proc/self/smaps", [&](const char* line) {
    region r;
    if (parse_maps_line(line, &r)) {
      flush_region();
      cur.have = true;
      cur.r = r;
      return true;
    }
    unsigned long long kb;
    char key[64];
    if (std::sscanf(line, "%63[^:]: %llu kB", key, &kb) == 2) {
      unsigned long long bytes = kb << 10;
      if (!std::strcmp(key, "Rss")) cur.rss = bytes;
      if (!std::strcmp(key, "Private_Clean") || !std::strcmp(key, "Private_Dirty")) cur.priv += bytes;
      if (!std::strcmp(key, "Shared_Clean") || !std::strcmp(key, "Shared_Dirty")) cur.shr += bytes;
    }
    return true;
  });
  flush_region();

  unsigned long long total_resident = total_private + total_shared;
  std::fprintf(out,
               "    Total vsize:     %5u%c      This is the total non-empty virtual address space used by Volarium.\n"
               "    Total rsize:     %5u%c      This is the total amount of real memory used by Volarium (shared and exclusive).\n"
               "    Shared rsize:    %5u%c      This is the total amonut of real memory used by Volarium that is shared with other processes.\n"
               "    Private rsize:   %5u%c      This is the total amount of real memory used by Volarium exclusively (private).\n"
               "    Largest free:    %5u%c      This is the largest empty region in Volarium's address space.\n"
               "    Total free:      %5u%c      This is the size of all empty regions in Volarium's address space.\n"
               "    Largest gap:     %5u%c      This is the size of the largest unused gap in Volarium's address space.\n"
               "    Total gap:       %5u%c      This is the size of all of the gaps in Volarium's address space - that is, total unused address space.\n",
               mem_to_number(total_virtual), mem_to_suffix(total_virtual), mem_to_number(total_resident),
               mem_to_suffix(total_resident), mem_to_number(total_shared), mem_to_suffix(total_shared),
               mem_to_number(total_private), mem_to_suffix(total_private), mem_to_number(largest_free),
               mem_to_suffix(largest_free), mem_to_number(total_free), mem_to_suffix(total_free),
               mem_to_number(largest_gap), mem_to_suffix(largest_gap), mem_to_number(total_gap),
               mem_to_suffix(total_gap));

  nedalloc::mallinfo mi = nedmallinfo();
  unsigned long long footprint = (unsigned long long)mi.arena + mi.hblkhd;
  unsigned long long used = footprint > mi.fordblks ? footprint - mi.fordblks : 0;
  std::fprintf(out, "NED-MALLOC INFO:\n");
  std::fprintf(out, "    This version of Volarium is using the NED allocator.\n");
  std::fprintf(out,
               "    Arena:             %5u%c     This is the space NED is using that was not created using mmap.\n"
               "    Free Chunks:       %5u       \n"
               "    Mapped Space:      %5u%c     This is the space NED has allocated for use via mmap.\n"
               "    Max Alloc Space:   %5u%c     This is the most space NED ever had reserved from any source.\n"
               "    Total Alloc Space: %5u%c     This is the current space NED has reserved now from any source.\n"
               "    Total Free Space:  %5u%c     This is how much free space NED has in its reserves.\n"
               "    Total Used Space:  %5u%c     This is how much space Volarium has allocated fmor NED.\n"
               "    Releasable Space:  %5u%c     This is how much space NED could give back to the OS if desired.\n",
               mem_to_number(mi.arena), mem_to_suffix(mi.arena), unsigned(mi.ordblks), mem_to_number(mi.hblkhd),
               mem_to_suffix(mi.hblkhd), mem_to_number(mi.usmblks), mem_to_suffix(mi.usmblks),
               mem_to_number(footprint), mem_to_suffix(footprint), mem_to_number(mi.fordblks),
               mem_to_suffix(mi.fordblks), mem_to_number(used), mem_to_suffix(used), mem_to_number(mi.keepcost),
               mem_to_suffix(mi.keepcost));
  if (f) std::fclose(f);
}

void DumpMemCmd() { dump_mem_stats("Remote Commanded Dump"); }

UTL_remote_cmd dump_mem_now("Dump Memory Info", DumpMemCmd);
