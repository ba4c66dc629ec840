// Fuzz target for reading an HTTP reply: the bytes after the first are handed to the client in pieces
// whose length the first byte chooses, as reads of a socket would. The reply must be kept whole, the
// header must end at the first blank line (CRs aside) and nowhere else, the body must follow it, and
// header lookups must give at most 255 bytes of one line of the header, terminated. A broken rule traps, as do
// sanitizer reports and crashes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "kez_http.h"

// Where a reply's header ends by the client's rule, or -1 when it has not ended.
static long header_end(const std::string &reply) {
  bool lf = false;
  for (size_t i = 0; i < reply.size(); i++) {
    if (reply[i] == '\r') continue;
    if (reply[i] == '\n' && lf) return long(i + 1);
    lf = reply[i] == '\n';
  }
  return -1;
}

static void check_header(const HttpConn *conn, const std::string &reply, const char *name) {
  char out[KEZ_HTTP_HEADER_SIZE];
  memset(out, 'X', sizeof out);
  const int length = kez_http_header(out, conn, name);
  if (length < 0 || length >= int(sizeof out)) __builtin_trap();
  const size_t n = size_t(length);
  for (size_t i = n; i < sizeof out; i++)
    if (out[i] != 0) __builtin_trap();  // zero-filled past the value, so the value is always terminated
  if (memchr(out, '\n', n) || memchr(out, '\r', n)) __builtin_trap();
  if (n > 0 && reply.substr(0, size_t(conn->header_length)).find(std::string(out, n)) == std::string::npos)
    __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = size_t(data[0]) + 1;
  const std::string reply(reinterpret_cast<const char *>(data + 1), size - 1);
  HttpConn *conn = kez_http_open("127.0.0.1", 9, "/", nullptr, 0, 5);  // never stepped: nothing connects
  for (size_t at = 0; at < reply.size(); at += piece) {
    const size_t n = reply.size() - at < piece ? reply.size() - at : piece;
    if (kez_http_take(conn, reply.data() + at, int(n)) != 0) __builtin_trap();
  }
  const long end = header_end(reply);
  if (conn->recv_buf.length != int32_t(reply.size())) __builtin_trap();
  if (!reply.empty() && memcmp(conn->recv_buf.data, reply.data(), reply.size()) != 0) __builtin_trap();
  if ((end >= 0) != (conn->header_done != 0)) __builtin_trap();
  if (conn->header_length != (end >= 0 ? int(end) : int(reply.size()))) __builtin_trap();
  if (!reply.empty() && (conn->body != conn->recv_buf.data + conn->header_length ||
                         conn->body_length != conn->recv_buf.length - conn->header_length))
    __builtin_trap();
  for (const char *name : {"X-Response", "X-Type", "X-Error", "X-UID", "X-Name", "X-Server"})
    check_header(conn, reply, name);
  kez_http_close(conn);
  return 0;
}
