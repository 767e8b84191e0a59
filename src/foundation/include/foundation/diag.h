// Crash and memory diagnostics: a symbolised stack trace (the fatal alert appends one to
// "stack_crawl.txt"), the memory report "MemoryLog.txt", a hex dump, a test whether an address
// range is mapped with given rights, and the start-up step that makes a broken pipe harmless.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/stats.h"

// A saved frame record: the caller's saved frame pointer, then the return address.
struct stack_frame {
  stack_frame* next;
  void* ret;
};

struct symbol_info {
  char image_path[1024];  // file of the loaded image holding the address; empty when none
  uintptr_t image_base;   // where that image is loaded; 0 when none
  char symbol_name[1024];
  uintptr_t symbol_addr;
  char source_file[1024];
  int line;  // -1 when unknown
};

// Ignores SIGPIPE, so that a write to a closed socket or pipe fails instead of ending the process.
void UTL_debug_init();

// Writes a trace of the calling thread to f: pc first (numbered 0) when given, then the frames
// from start, or from the caller of this routine when start is null; at most 100 lines.
void UTL_dump_stack(FILE* f, stack_frame* start, void* pc);
void print_symbol(FILE* f, void* addr);
void UTL_get_debug_symbol(void* addr, symbol_info* out);

// 1 when every byte of [addr, addr + len) is mapped with the asked rights, else 0.
int UTL_valid_memory(void* addr, size_t len, int need_read, int need_write);

void dump_hex(FILE* f, void* data, int len);

// Where this run's own reports go: the folder of its log, and the tag its log's name carries
// (empty, or "-" and the process id while another program writes the usual log), so that two
// programs running at once keep their reports apart. Start-up sets it.
void UTL_set_report_place(const std::string& folder, const std::string& tag);
// folder + name with the tag before its extension ("Log.txt" with "-4242": "Log-4242.txt");
// empty while no place is set.
std::string UTL_report_path(const std::string& name);

// Writes the memory report to UTL_report_path("MemoryLog.txt") (the first report of a run
// truncates it, later ones append), or to standard output when it cannot be opened.
void dump_mem_stats(const char* reason);
void DumpMemCmd();

// A byte count scaled to its unit, and the unit letter (B, K, M or G).
unsigned mem_to_number(unsigned long long bytes);
char mem_to_suffix(unsigned long long bytes);

// Names of the sharing modes of a memory region (1 to 7).
const char* sm_string(unsigned char mode);

// The remote command "Dump Memory Info".
extern UTL_remote_cmd dump_mem_now;
