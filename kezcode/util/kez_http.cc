// HTTP/1.0 client over non-blocking BSD sockets, polled with a zero timeout once per step.
//
// A request moves CONNECTING -> SENDING -> RECEIVING -> DONE or sets its error flag on the way. Once it
// has finished either way its socket is closed, so an early failure never holds a descriptor until the
// owner gets round to closing. The reply is kept whole, header included, and never holds more than
// KEZ_HTTP_REPLY_MAX bytes.
#include "kez_http.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

constexpr int HTTP_READ_SIZE = 4096;  // most bytes one step receives
constexpr int HTTP_HEAD_SIZE = 2048;  // room for the longest request head the length limits allow

static std::map<std::string, uint32_t> http_hosts;  // successful lookups only; never shrinks

int kez_net_init() { return 0; }

void kez_net_deinit() {}

const uint32_t *kez_gethostbyname(const char *host) {
  if (!host) return nullptr;
  auto cached = http_hosts.find(host);
  if (cached != http_hosts.end()) return &cached->second;
  fputs("gethostbyname ...\n", stderr);
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  int code = getaddrinfo(host, nullptr, &hints, &found);
  if (code != 0 || !found) {
    fprintf(stderr, "gethostbyname(%s) == null; h_errno = %d\n", host, code);
    return nullptr;
  }
  sockaddr_in first;
  memcpy(&first, found->ai_addr, sizeof first);
  freeaddrinfo(found);
  uint32_t &entry = http_hosts[host];
  entry = first.sin_addr.s_addr;
  fprintf(stderr, "kez_gethostbyname('%s') cached\n", host);
  return &entry;
}

static int64_t _http_now() { return int64_t(time(nullptr)); }

// The request was touched: the timeout counts idle time from here.
static void _http_touch(HttpConn *conn) { conn->deadline = _http_now() + conn->timeout; }

static void _http_close_socket(HttpConn *conn) {
  if (conn->socket != -1) close(conn->socket);
  conn->socket = -1;
}

// Ends the request as failed, after its message was printed, keeping the first reason given; returns
// 1, a finished step's answer.
static int _http_fail(HttpConn *conn, const char *why) {
  if (!conn->error) snprintf(conn->failure, sizeof conn->failure, "%s", why);
  conn->error = 1;
  _http_close_socket(conn);
  return 1;
}

// A failure of a system call, with the system's words for it.
static int _http_fail_errno(HttpConn *conn, int code) { return _http_fail(conn, strerror(code)); }

// Makes room for `n` more bytes, zeroing the new ones: 0, or -1 when the size would pass 31 bits or
// memory runs out (the buffer is then unchanged).
static int _http_buffer_grow(HttpBuffer *b, int64_t n) {
  const int64_t need = int64_t(b->length) + n;
  if (n < 0 || need > INT32_MAX) return -1;
  int64_t capacity = b->capacity ? b->capacity : 1;
  while (capacity < need) capacity *= 2;
  if (capacity > INT32_MAX) capacity = INT32_MAX;
  if (capacity == b->capacity) return 0;
  char *data = static_cast<char *>(realloc(b->data, size_t(capacity)));
  if (!data) return -1;
  memset(data + b->capacity, 0, size_t(capacity - b->capacity));
  b->data = data;
  b->capacity = int32_t(capacity);
  return 0;
}

bool kez_http_host_byte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '_';
}

// Every byte of the text passes the test.
static bool _http_all(const char *text, bool (*ok)(unsigned char)) {
  for (const char *p = text; *p; p++)
    if (!ok(static_cast<unsigned char>(*p))) return false;
  return true;
}

// A byte that may stand in a request line as it is: a blank or a line end would end the line early and
// let the rest be read as headers of the caller's choosing.
static bool _http_path_byte(unsigned char c) { return c > ' ' && c < 127; }

// Refuses what would not fit the record or the request line instead of cutting it short (a cut path
// would fetch another page and still report success), and what would change the request's meaning.
static const char *_http_check_request(const char *host, int port, const char *path, const char *body,
                                       int body_length) {
  if (!host || strlen(host) > size_t(KEZ_HTTP_HOST_MAX)) {
    fprintf(stderr, "kez_http_open: host missing or longer than %d bytes\n", KEZ_HTTP_HOST_MAX);
    return "the host name is missing or too long";
  }
  if (!_http_all(host, kez_http_host_byte)) {
    fputs("kez_http_open: the host name holds a byte no host name has\n", stderr);
    return "the host name is not valid";
  }
  if (!path || strlen(path) > size_t(KEZ_HTTP_PATH_MAX)) {
    fprintf(stderr, "kez_http_open: path missing or longer than %d bytes\n", KEZ_HTTP_PATH_MAX);
    return "the request is too long";
  }
  if (!_http_all(path, _http_path_byte)) {
    fputs("kez_http_open: the path holds a blank, a control byte or a byte above 126\n", stderr);
    return "the request is not encoded";
  }
  if (port < 0 || port > 65535) {
    fprintf(stderr, "kez_http_open: port %d out of range\n", port);
    return "the port is out of range";
  }
  if (body_length < 0 || (body_length > 0 && !body)) {
    fprintf(stderr, "kez_http_open: bad body length %d\n", body_length);
    return "the request body is not valid";
  }
  return nullptr;
}

// The request head with bare LF line ends; the Host header always carries the port.
static int _http_format_head(char *head, const HttpConn *conn, int body_length) {
  if (body_length == 0)
    return snprintf(head, HTTP_HEAD_SIZE, "GET %s HTTP/1.0\nHost: %s:%d\n\n", conn->path, conn->host, conn->port);
  return snprintf(head, HTTP_HEAD_SIZE,
                  "POST %s HTTP/1.0\nHost: %s:%d\nContent-Type: application/x-www-form-urlencoded\n"
                  "Content-Length: %d\n\n",
                  conn->path, conn->host, conn->port, body_length);
}

// Fills the send buffer with head and body: 0, or -1 when memory runs out.
static int _http_write_request(HttpConn *conn, const char *body, int body_length) {
  char head[HTTP_HEAD_SIZE];
  int head_length = _http_format_head(head, conn, body_length);
  HttpBuffer *b = &conn->send_buf;
  if (head_length < 0 || head_length >= HTTP_HEAD_SIZE) return -1;  // cannot happen within the limits
  if (_http_buffer_grow(b, int64_t(head_length) + body_length) != 0) return -1;
  memcpy(b->data, head, size_t(head_length));
  if (body_length > 0) memcpy(b->data + head_length, body, size_t(body_length));
  b->length = head_length + body_length;
  return 0;
}

// Resolves the host and makes the non-blocking socket: 0, or 1 once the request has failed.
static int _http_make_socket(HttpConn *conn) {
  const uint32_t *address = kez_gethostbyname(conn->host);
  if (!address) {
    fputs("kez_gethostbyname == null\n", stderr);
    return _http_fail(conn, "the host name does not resolve");
  }
  conn->address.sin_family = AF_INET;
  conn->address.sin_port = htons(uint16_t(conn->port));
  conn->address.sin_addr.s_addr = *address;
  // Non-blocking from birth: no window in which a failed mode switch could leave a blocking socket.
  conn->socket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (conn->socket == -1) {
    const int code = errno;
    perror("socket");
    fputs("socket() == -1\n", stderr);
    return _http_fail_errno(conn, code);
  }
  return 0;
}

HttpConn *kez_http_open(const char *host, int port, const char *path, const char *body, int body_length, int timeout) {
  HttpConn *conn = new HttpConn();  // zero-filled
  conn->socket = -1;
  conn->timeout = timeout;
  _http_touch(conn);
  if (const char *refused = _http_check_request(host, port, path, body, body_length)) {
    _http_fail(conn, refused);
    return conn;
  }
  snprintf(conn->host, sizeof conn->host, "%s", host);
  snprintf(conn->path, sizeof conn->path, "%s", path);
  conn->port = port;
  if (_http_write_request(conn, body, body_length) != 0) {
    fputs("kez_http_open: out of memory\n", stderr);
    _http_fail(conn, "out of memory");
    return conn;
  }
  if (_http_make_socket(conn) != 0) return conn;
  conn->state = HTTP_CONNECTING;
  return conn;
}

// Starts the connection once: 0 when it is made or under way, 1 once the request has failed.
static int _http_connect(HttpConn *conn) {
  const sockaddr *address = reinterpret_cast<const sockaddr *>(&conn->address);
  if (connect(conn->socket, address, sizeof conn->address) != 0 && errno != EINPROGRESS && errno != EINTR) {
    const int code = errno;
    fprintf(stderr, "connect: %d\n", code);
    return _http_fail_errno(conn, code);
  }
  conn->state = HTTP_SENDING;
  _http_touch(conn);
  return 0;
}

static bool _http_retry_later(int code) { return code == EAGAIN || code == EWOULDBLOCK || code == EINTR; }

static int _http_send(HttpConn *conn) {
  HttpBuffer *b = &conn->send_buf;
  ssize_t sent = send(conn->socket, b->data + b->position, size_t(b->length - b->position), MSG_NOSIGNAL);
  if (sent < 0) {
    const int code = errno;
    if (_http_retry_later(code)) return 0;
    perror("send");
    fputs("send error!!\n", stderr);
    return _http_fail_errno(conn, code);
  }
  b->position += int32_t(sent);
  if (sent > 0) _http_touch(conn);
  if (b->position >= b->length) conn->state = HTTP_RECEIVING;
  return 0;
}

// Scans the bytes that arrived since the last scan for the blank line that ends the header: a CR is
// skipped, and an LF right after an LF ends it. Until then the whole reply counts as header.
static void _http_scan_header(HttpConn *conn) {
  const HttpBuffer *b = &conn->recv_buf;
  for (int32_t i = conn->header_length; i < b->length; i++) {
    char c = b->data[i];
    if (c == '\r') continue;
    if (c == '\n' && conn->header_lf) {
      conn->header_done = 1;
      conn->header_length = i + 1;
      return;
    }
    conn->header_lf = c == '\n';
  }
  conn->header_length = b->length;
}

// The server closed the connection. A reply cut off inside its header is a failure: the headers read
// so far may stop mid-value.
static int _http_finish(HttpConn *conn) {
  if (!conn->header_done) {
    fputs("recv: connection closed before the end of the reply header\n", stderr);
    return _http_fail(conn, "the reply ended inside its header");
  }
  conn->state = HTTP_DONE;
  _http_close_socket(conn);
  return 1;
}

// The body is whatever follows the header in the receive block.
static void _http_point_body(HttpConn *conn) {
  conn->body = conn->recv_buf.data + conn->header_length;
  conn->body_length = conn->recv_buf.length - conn->header_length;
}

static int _http_too_large(HttpConn *conn) {
  fprintf(stderr, "recv: reply reached %d bytes\n", KEZ_HTTP_REPLY_MAX);
  return _http_fail(conn, "the reply is too large");
}

int kez_http_take(HttpConn *conn, const char *data, int length) {
  if (conn->error) return 1;
  HttpBuffer *b = &conn->recv_buf;
  if (length < 0 || length > KEZ_HTTP_REPLY_MAX - b->length) return _http_too_large(conn);
  if (_http_buffer_grow(b, length) != 0) {
    fputs("recv: out of memory\n", stderr);
    return _http_fail(conn, "out of memory");
  }
  if (length > 0) memcpy(b->data + b->length, data, size_t(length));
  b->length += length;
  if (!conn->header_done) _http_scan_header(conn);
  _http_point_body(conn);
  return 0;
}

static int _http_receive(HttpConn *conn) {
  char block[HTTP_READ_SIZE];
  const int32_t left = KEZ_HTTP_REPLY_MAX - conn->recv_buf.length;
  // The server is still sending at the cap: refuse to grow without bound.
  if (left <= 0) return _http_too_large(conn);
  ssize_t got = recv(conn->socket, block, size_t(left < HTTP_READ_SIZE ? left : HTTP_READ_SIZE), 0);
  if (got < 0) {
    const int code = errno;
    if (_http_retry_later(code)) return 0;
    perror("recv");
    return _http_fail_errno(conn, code);
  }
  if (got == 0) return _http_finish(conn);
  _http_touch(conn);
  return kez_http_take(conn, block, int(got));
}

// The socket's ready events, 0 when none, or -1 once the request has failed.
static int _http_poll(HttpConn *conn) {
  pollfd entry = {conn->socket, POLLIN | POLLOUT, 0};
  int ready = poll(&entry, 1, 0);
  if (ready < 0 && errno != EINTR) {
    const int code = errno;
    perror("select");  // the readiness check keeps its established log wording
    fputs("error in select\n", stderr);
    _http_fail_errno(conn, code);
    return -1;
  }
  return ready > 0 ? entry.revents : 0;
}

int kez_http_step(HttpConn *conn) {
  if (conn->state == HTTP_DONE || conn->state == HTTP_NOT_STARTED || conn->error) return 1;
  if (_http_now() > conn->deadline) {
    fprintf(stderr, "timeout :: state = %d\n", conn->state);
    return _http_fail(conn, "no answer in time");
  }
  if (conn->state == HTTP_CONNECTING && _http_connect(conn) != 0) return 1;
  const int ready = _http_poll(conn);
  if (ready < 0) return 1;
  // An error or hang-up counts as ready: the send or receive then reports it at once.
  const int trouble = POLLERR | POLLHUP;
  if (conn->state == HTTP_SENDING && (ready & (POLLOUT | trouble))) return _http_send(conn);
  if (conn->state == HTTP_RECEIVING && (ready & (POLLIN | trouble))) return _http_receive(conn);
  return 0;
}

int kez_http_header(char *out, const HttpConn *conn, const char *name) {
  memset(out, 0, KEZ_HTTP_HEADER_SIZE);
  if (!conn || !name || !conn->recv_buf.data) return 0;
  const char *data = conn->recv_buf.data;
  const size_t end = size_t(conn->header_length), name_length = strlen(name);
  size_t pos = 0;
  while (pos + name_length + 1 < end) {  // the pattern is the name and a colon
    if (memcmp(data + pos, name, name_length) == 0 && data[pos + name_length] == ':') {
      pos += name_length + 1;
      while (pos < end && data[pos] == ' ') pos++;
      size_t n = 0;
      while (pos + n < end && n < KEZ_HTTP_HEADER_SIZE - 1 && data[pos + n] != '\r' && data[pos + n] != '\n') n++;
      memcpy(out, data + pos, n);
      return int(n);
    }
    const char *lf = static_cast<const char *>(memchr(data + pos, '\n', end - pos));
    if (!lf) return 0;
    pos = size_t(lf - data) + 1;
  }
  return 0;
}

void kez_http_close(HttpConn *conn) {
  if (!conn) return;
  _http_close_socket(conn);
  free(conn->send_buf.data);
  free(conn->recv_buf.data);
  delete conn;
}

static bool _http_url_kept(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int kez_urlencode_len(const char *text, int length) {
  int n = 1;  // the terminator
  for (int i = 0; i < length; i++) n += _http_url_kept(static_cast<unsigned char>(text[i])) ? 1 : 3;
  return n;
}

int kez_urlencode(char *out, int size, int length, const char *text) {
  static const char HEX[] = "0123456789abcdef";
  if (size <= 0) return -1;
  memset(out, 0, size_t(size));
  int used = 0;
  for (int i = 0; i < length; i++) {
    const unsigned char c = static_cast<unsigned char>(text[i]);  // bytes above 127 become %80..%ff
    const bool kept = _http_url_kept(c);
    if (used + (kept ? 1 : 3) > size - 1) return -1;  // the terminator keeps its byte
    if (kept) {
      out[used++] = char(c);
    } else {
      out[used++] = '%';
      out[used++] = HEX[c >> 4];
      out[used++] = HEX[c & 15];
    }
  }
  return 0;
}
