/* The library's log in short, for a reader who wants the picture first. */
#ifndef VIDLOX_DEMO_LOG_SUMMARY_H
#define VIDLOX_DEMO_LOG_SUMMARY_H

#include <stddef.h>

/* Writes `text` (the log, "1 <context> = <status name>\r\n" lines) whole to
 * `path` and prints a summary naming it: the lines each log level shows, the
 * lines of each exported function in the order they first appear, and the
 * first call that failed. `capacity` is the size of the host's log buffer,
 * to tell when lines may have been dropped for want of room. */
void show_log_summary(const char* text, size_t capacity, const char* path);

#endif
