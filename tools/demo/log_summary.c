#include "log_summary.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The recorder drops a line that does not fit whole; with less room than its
 * longest line left, later lines may be missing. */
#define LONGEST_LINE 4096
#define MAX_FUNCTIONS 64
#define FUNCTION_NAME_SIZE 64
#define WRAP_COLUMN 78

struct function_count {
    char name[FUNCTION_NAME_SIZE];
    int lines;
};

/* Level 1 logs every status but these two; level 2 logs them too. */
static int shown_at_level_1(const char* status, size_t length) {
    static const char ok[] = "S_OK";
    static const char no_preview_pin[] = "VFW_S_NOPREVIEWPIN";
    if (length == strlen(ok) && memcmp(status, ok, length) == 0) return 0;
    return !(length >= strlen(no_preview_pin) && memcmp(status, no_preview_pin, strlen(no_preview_pin)) == 0);
}

/* Failure codes have names of the form E_... or ..._E_...; a code without a
 * name ends in its value, "0x%08x", whose top bit marks a failure. */
static int is_failure(const char* status, size_t length) {
    if (length >= 2 && memcmp(status, "E_", 2) == 0) return 1;
    for (size_t i = 0; i + 3 <= length; ++i) {
        if (memcmp(status + i, "_E_", 3) == 0) return 1;
    }
    if (length >= 10 && memcmp(status + length - 10, "0x", 2) == 0) {
        return strtoul(status + length - 8, NULL, 16) >= 0x80000000ul;
    }
    return 0;
}

static void count_function(struct function_count* counts, int* used, const char* context, size_t length) {
    /* Exported functions are C names: the first '-' starts the "->". */
    const char* arrow = memchr(context, '-', length);
    size_t name_length = arrow ? (size_t)(arrow - context) : length;
    if (name_length >= FUNCTION_NAME_SIZE) name_length = FUNCTION_NAME_SIZE - 1;
    for (int i = 0; i < *used; ++i) {
        if (strlen(counts[i].name) == name_length && memcmp(counts[i].name, context, name_length) == 0) {
            ++counts[i].lines;
            return;
        }
    }
    if (*used == MAX_FUNCTIONS) return;
    memcpy(counts[*used].name, context, name_length);
    counts[*used].name[name_length] = '\0';
    counts[*used].lines = 1;
    ++*used;
}

void show_log_summary(const char* text, size_t capacity, const char* path) {
    static struct function_count counts[MAX_FUNCTIONS];
    int functions = 0, lines = 0, level_1 = 0;
    const char* first_failure = NULL;
    size_t first_failure_length = 0;

    for (const char* line = text; *line;) {
        const char* end = strstr(line, "\r\n");
        if (!end) break;
        /* "1 " <context> " = " <status name> */
        const char* context = line + 2;
        const char* equals = strstr(context, " = ");
        if (equals && equals < end) {
            const char* status = equals + 3;
            const size_t status_length = (size_t)(end - status);
            ++lines;
            count_function(counts, &functions, context, (size_t)(equals - context));
            if (shown_at_level_1(status, status_length)) ++level_1;
            if (!first_failure && is_failure(status, status_length)) {
                first_failure = line;
                first_failure_length = (size_t)(end - line);
            }
        }
        line = end + 2;
    }

    const size_t length = strlen(text);
    int written = 0;
    FILE* file = fopen(path, "wb");
    if (file) {
        written = fwrite(text, 1, length, file) == length;
        written = fclose(file) == 0 && written;
    }
    if (written) {
        printf("log: %d lines, the whole log in %s\n", lines, path);
    } else {
        printf("log: %d lines (cannot write %s)\n", lines, path);
    }
    printf("  by level: %d at level 1 (statuses but S_OK), %d at level 2 (every call)\n", level_1, lines);
    if (capacity - length <= LONGEST_LINE) printf("  the log buffer is nearly full: later lines may be missing\n");

    int column = printf("  by function:%s", functions ? "" : " none");
    for (int i = 0; i < functions; ++i) {
        char item[FUNCTION_NAME_SIZE + 16];
        const int item_length = snprintf(item, sizeof item, " %s %d%s", counts[i].name, counts[i].lines,
                                         i + 1 < functions ? "," : "");
        if (column + item_length > WRAP_COLUMN) column = printf("\n ");
        column += printf("%s", item);
    }
    printf("\n");
    if (first_failure) {
        printf("  first failing call: %.*s\n", (int)first_failure_length, first_failure);
    } else {
        printf("  no call failed\n");
    }
}
