// Parameter log (three values per line with date and time), memory status queries.
#pragma once
#include <cstdint>

void paramlog_set_file(const char *name);
void paramlog_free(void);
void paramlog_write(uint32_t a, uint32_t b, uint32_t c);
void paramlog_flush_file(const char *path);
// Formats one log line for the given date and time texts.
void paramlog_format_line(char *out, int out_size, const char *date, const char *time, uint32_t a,
                          uint32_t b, uint32_t c);

uint32_t sys_avail_phys_memory(void);
uint32_t sys_total_phys_memory(void);
uint32_t sys_query_stub(void);
