// The log: every line goes to standard output and to "kezcode.log" in the user folder.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

// The program's log call; use it through LOG_PRINTF, which passes the call site.
void log_printf(const char *file, int line, const char *function, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// The platform library's own lines: always the short "[file:function:line] message" form.
void driver_log_printf(const char *file, int line, const char *function, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// The function is named as "Class::method" or "function": the signature is cut to its name.
#define LOG_PRINTF(...) log_printf(__FILE__, __LINE__, __PRETTY_FUNCTION__, __VA_ARGS__)
#define DRIVER_LOG_PRINTF(...) driver_log_printf(__FILE__, __LINE__, __PRETTY_FUNCTION__, __VA_ARGS__)

// Outside bytes made safe for one log line: at most max of them, control bytes and bytes that are no
// well-formed UTF-8 as "\xNN", and a cut text followed by " ... (N bytes)" with its whole length.
std::string log_escape(const std::string &bytes, size_t max);

// Where the instance id comes from: the game's port while the game exists, null ("-1") otherwise.
void log_set_instance(const int *port);

// Opens (truncating) the log file in the user folder; lines queued while it was closed follow.
void _driver_log_init();
// Formats one line and appends it to the log file, opening it first when it is not open.
void _driver_log_write(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Writes the closing mark and closes the log file.
void _driver_log_deinit();
