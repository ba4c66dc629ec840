// The log: console and "kezcode.log" in the user folder, with lines queued until the file opens.
#include "kez_log.h"
#include "kez_log_internal.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>

#include "kez_driver-files.h"
#include "kez_driver-sdl2.h"
#include "kez_utf8.h"
#include "kez_var.h"

// Lines kept while the log file cannot be opened; beyond this the oldest are dropped, so a
// user folder that is not writable never grows the queue without bound.
static const size_t LOG_QUEUE_MAX = 4096;

// The most a run writes to the log file: past it one line says so and the file stops growing, so a
// server left running for weeks cannot fill its disk. Standard output still gets every line.
static const size_t LOG_FILE_MAX = 64u << 20;

static FILE *log_file;
static size_t log_file_bytes;  // written to the file since it was started
static bool log_file_full;
static std::deque<std::string> log_queue;
static const int *log_port;

void log_set_instance(const int *port) { log_port = port; }

// Open to the tests: number of lines waiting for the log file to open.
int _driver_log_pending() { return (int)log_queue.size(); }

static std::string _log_vformat(const char *format, va_list ap) {
  std::string out;
  str_vformat(out, format, ap);
  return out;
}

// "src/game_settings.cc" -> "game_settings": a line names its module, not where its file lies.
static std::string _log_module(const char *file) {
  const char *slash = strrchr(file, '/');
  std::string name = slash ? slash + 1 : file;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// "void Game::init()" -> "Game::init": the text before the parameter list, after the return type.
static std::string _log_function(const char *signature) {
  std::string name = signature;
  size_t paren = name.find('(');
  if (paren != std::string::npos) name.resize(paren);
  size_t space = name.rfind(' ');
  if (space != std::string::npos) name.erase(0, space + 1);
  while (!name.empty() && (name[0] == '*' || name[0] == '&')) name.erase(0, 1);
  return name;
}

static const char *_log_end(const std::string &message) {
  return (!message.empty() && message.back() == '\n') ? "" : "\n";
}

void _driver_log_deinit() {
  if (!log_file) return;
  fputs("\n[_driver_log_deinit]\n", log_file);
  fclose(log_file);
  log_file = nullptr;
}

void _driver_log_init() {
  _driver_log_deinit();
  if (!app_info || !app_info->app_name[0]) return;
  const std::string path = driver_user_path("kezcode.log");  // empty without a home: no file opens
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return;
  fputs("[_driver_log_init]\n", f);
  fclose(f);
  log_file = fopen(path.c_str(), "a");
  log_file_bytes = 0;
  log_file_full = false;
}

// Writes one line to the open file unless the file has reached its bound, which it tells once.
static void _log_file_put(const std::string &line) {
  if (log_file_full) return;
  if (log_file_bytes + line.size() > LOG_FILE_MAX) {
    fprintf(log_file, "[kez_log] the log file has reached %zu MiB: later lines go to standard output only\n",
            LOG_FILE_MAX >> 20);
    log_file_full = true;
    return;
  }
  fputs(line.c_str(), log_file);
  log_file_bytes += line.size();
}

static void _log_append(std::string line) {
  if (!log_file) _driver_log_init();
  log_queue.push_back(std::move(line));
  if (log_queue.size() > LOG_QUEUE_MAX) log_queue.pop_front();
  if (!log_file) return;
  while (!log_queue.empty()) {
    _log_file_put(log_queue.front());
    log_queue.pop_front();
  }
}

void _driver_log_write(const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string line = _log_vformat(format, ap);
  va_end(ap);
  _log_append(std::move(line));
}

static void _log_emit(const std::string &line) {
  fputs(line.c_str(), stdout);
  fflush(stdout);  // a server's console is often a pipe or file: keep it current
  _log_append(line);
}

static std::string _log_short(const char *file, int line, const char *function, const std::string &message) {
  char head[512];
  snprintf(head, sizeof head, "[%s:%s:%d] ", _log_module(file).c_str(), _log_function(function).c_str(), line);
  return head + message + _log_end(message);
}

void log_printf(const char *file, int line, const char *function, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string message = _log_vformat(format, ap);
  va_end(ap);
  char id[16];
  snprintf(id, sizeof id, "%d", log_port ? *log_port : -1);
  if (strcmp(id, "0") == 0) {
    _log_emit(_log_short(file, line, function, message));
    return;
  }
  time_t now = time(nullptr);
  struct tm t;
  localtime_r(&now, &t);
  char head[640];
  snprintf(head, sizeof head, "[%s][%04d-%02d-%02d %02d:%02d:%02d][%s:%s:%d] ", id, t.tm_year + 1900, t.tm_mon + 1,
           t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, _log_module(file).c_str(), _log_function(function).c_str(), line);
  _log_emit(head + message + _log_end(message));
}

void driver_log_printf(const char *file, int line, const char *function, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  std::string message = _log_vformat(format, ap);
  va_end(ap);
  _log_emit(_log_short(file, line, function, message));
}

std::string log_escape(const std::string &bytes, size_t max) {
  const size_t shown = bytes.size() < max ? bytes.size() : max;
  std::string out;
  out.reserve(shown + 32);
  for (size_t i = 0; i < shown;) {
    const unsigned char c = (unsigned char)bytes[i];
    const size_t length = utf8_char_length(&bytes[i], shown - i);
    if (length && c >= 0x20 && c != 0x7f) {
      out.append(bytes, i, length);
      i += length;
      continue;
    }
    char hex[5];
    snprintf(hex, sizeof hex, "\\x%02x", c);
    out += hex;
    i++;
  }
  if (shown < bytes.size()) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}
