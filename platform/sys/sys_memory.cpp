#include "platform/sys/sys_memory.h"

#include <cstdio>
#include <cstring>
#include <sys/sysinfo.h>

bool sys_get_memory_status(SysMemoryStatus *out) {
    if (!out) return false;
    out->total_phys = 0;
    out->avail_phys = 0;
    struct sysinfo si;
    if (sysinfo(&si) != 0) return false;
    out->total_phys = (uint64_t)si.totalram * si.mem_unit;
    out->avail_phys = (uint64_t)si.freeram * si.mem_unit;
    // MemAvailable counts reclaimable caches too, closer to what "available" means.
    if (FILE *f = fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kb;
        while (fgets(line, sizeof line, f)) {
            if (sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
                out->avail_phys = (uint64_t)kb * 1024u;
                break;
            }
        }
        fclose(f);
    }
    return true;
}
