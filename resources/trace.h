// Trace routine and debugger output. Both are silent unless the environment
// variable TARVO_TRACE is set: "1" sends lines to standard error, any other
// value is a file that lines are appended to. Safe from any thread; the
// variable is looked at on every call, so it can be changed at run time.
#pragma once

#if defined(__GNUC__)
#define TARVO_PRINTF_LIKE(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define TARVO_PRINTF_LIKE(fmt, first)
#endif

// printf-style trace line; a newline is added when the text has none.
void TarvoTrace(const char* fmt, ...) TARVO_PRINTF_LIKE(1, 2);

// One line of debugger output (messages about swallowed exceptions and the like).
void DebugOutput(const char* text);
