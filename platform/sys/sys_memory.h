// Physical memory status.
#pragma once
#include <cstdint>

struct SysMemoryStatus {
    uint64_t total_phys; // bytes of physical memory
    uint64_t avail_phys; // bytes available now
};

// False (and zeros) when the status cannot be read.
bool sys_get_memory_status(SysMemoryStatus *out);
