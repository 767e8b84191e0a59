// Facts about the machine the program runs on.
// Stands for: MPProcessors of Multiprocessing Services.
// Implemented on Linux: sched_getaffinity with CPU_COUNT, else sysconf(_SC_NPROCESSORS_ONLN).
// Missing: nothing the program asks for.
#pragma once

// Processors this process may run on (the affinity mask), else the online count; at least 1.
int PLAT_processor_count();

// Makes PLAT_processor_count return n (n > 0), or the real count again (n <= 0). For tests
// that need a machine of a given size.
void PLAT_set_processor_count_override(int n);
