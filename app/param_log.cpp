#include "app/param_log.h"
#include "platform/sys/sys_file.h"
#include "platform/sys/sys_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

static char *g_log_name;

void paramlog_set_file(const char *name) {
    paramlog_free();
    if (!name) return;
    size_t n = strlen(name) + 1;
    g_log_name = (char *)malloc(n);
    if (g_log_name) memcpy(g_log_name, name, n);
}

void paramlog_free(void) {
    free(g_log_name);
    g_log_name = nullptr;
}

void paramlog_format_line(char *out, int out_size, const char *date, const char *time, uint32_t a,
                          uint32_t b, uint32_t c) {
    if (!out || out_size <= 0) return;
    snprintf(out, (size_t)out_size, "%s\t%s\t%08x\t%08x\t%08x\n", date ? date : "",
             time ? time : "", a, b, c);
}

void paramlog_flush_file(const char *path) {
    sys_flush_file(path);
}

void paramlog_write(uint32_t a, uint32_t b, uint32_t c) {
    if (!g_log_name) return;
    // Date as month/day/two-digit year, time as hours:minutes:seconds.
    time_t now = time(nullptr);
    struct tm tm_now;
    localtime_r(&now, &tm_now);
    char date[16], clock[16], line[96];
    strftime(date, sizeof date, "%m/%d/%y", &tm_now);
    strftime(clock, sizeof clock, "%H:%M:%S", &tm_now);
    paramlog_format_line(line, sizeof line, date, clock, a, b, c);
    FILE *f = sys_fopen(g_log_name, "at");
    if (!f) return;
    fputs(line, f);
    fclose(f);
    paramlog_flush_file(g_log_name);
}

// The original status words are 32 bits: larger amounts read as the largest value.
static uint32_t clamp32(uint64_t v) {
    return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)v;
}

uint32_t sys_avail_phys_memory(void) {
    SysMemoryStatus s;
    sys_get_memory_status(&s);
    return clamp32(s.avail_phys);
}

uint32_t sys_total_phys_memory(void) {
    SysMemoryStatus s;
    sys_get_memory_status(&s);
    return clamp32(s.total_phys);
}

uint32_t sys_query_stub(void) {
    return 0;
}
