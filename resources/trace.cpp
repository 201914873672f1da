#include "resources/trace.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;
std::string g_openName;  // the TARVO_TRACE value g_file was opened for
FILE* g_file = nullptr;  // null: stderr or nothing

// Writes one line under the lock; opens (or reopens) the trace file when the
// variable names another one than last time.
void WriteLine(const char* text, size_t length) {
  const char* target = std::getenv("TARVO_TRACE");
  if (!target || !*target) return;
  bool toStderr = std::strcmp(target, "1") == 0;

  std::lock_guard lock(g_mutex);
  FILE* out = stderr;
  if (!toStderr) {
    if (!g_file || g_openName != target) {
      if (g_file) std::fclose(g_file);
      g_file = std::fopen(target, "ae");
      g_openName = g_file ? target : "";
      if (!g_file) return;
    }
    out = g_file;
  }
  std::fprintf(out, "tarvo[%d]: ", static_cast<int>(getpid()));
  std::fwrite(text, 1, length, out);
  if (length == 0 || text[length - 1] != '\n') std::fputc('\n', out);
  std::fflush(out);
}

}  // namespace

void TarvoTrace(const char* fmt, ...) {
  if (!fmt) return;
  const char* target = std::getenv("TARVO_TRACE");
  if (!target || !*target) return;  // the usual case: nothing to format

  char small[512];
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(small, sizeof small, fmt, args);
  va_end(args);
  if (needed < 0) {
    va_end(copy);
    return;
  }
  if (static_cast<size_t>(needed) < sizeof small) {
    va_end(copy);
    WriteLine(small, static_cast<size_t>(needed));
    return;
  }
  std::string big(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), fmt, copy);
  va_end(copy);
  WriteLine(big.data(), static_cast<size_t>(needed));
}

void DebugOutput(const char* text) {
  if (!text) return;
  WriteLine(text, std::strlen(text));
}
