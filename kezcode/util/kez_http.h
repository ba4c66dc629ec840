// HTTP/1.0 client: non-blocking requests advanced by polling, URL encoding and a cached host lookup.
//
// The owner opens a request, calls `kez_http_step` once per frame until it returns 1, then reads the
// error flag, the reply headers and the body, and closes the record. Only the first lookup of a host
// blocks. Replies are read until the server closes the connection; status codes and reply lengths are
// not interpreted. Main thread only: the host cache is not locked.
#pragma once

#include <netinet/in.h>

#include <cstdint>

// Request states.
enum {
  HTTP_NOT_STARTED = 0,  // opening failed
  HTTP_CONNECTING = 1,
  HTTP_SENDING = 2,
  HTTP_RECEIVING = 3,
  HTTP_DONE = 4,  // the server closed the connection after a complete reply header
};

constexpr int KEZ_HTTP_HOST_MAX = 255;                   // longest host name, in bytes
constexpr int KEZ_HTTP_PATH_MAX = 1023;                  // longest path and query, in bytes
constexpr int KEZ_HTTP_HEADER_SIZE = 256;                // size of `kez_http_header`'s out buffer
constexpr int32_t KEZ_HTTP_REPLY_MAX = 8 * 1024 * 1024;  // a reply that reaches this many bytes fails
constexpr int KEZ_HTTP_FAILURE_SIZE = 96;                // size of `HttpConn::failure`

// A growing byte block.
struct HttpBuffer {
  int32_t length;    // bytes held
  int32_t capacity;  // bytes allocated
  int32_t position;  // bytes already sent (send buffer only)
  char *data;        // heap block; null until the first growth
};

// One request, made by `kez_http_open` and freed by `kez_http_close`.
struct HttpConn {
  char *body;           // into the received data, just after the reply header; null until the first read
  int32_t body_length;  // received bytes after the header
  int error;            // set by any failure; ends the request
  char host[KEZ_HTTP_HOST_MAX + 1];
  int port;
  char path[KEZ_HTTP_PATH_MAX + 1];
  HttpBuffer send_buf;  // the request
  HttpBuffer recv_buf;  // the reply, header included
  int header_length;    // reply bytes that belong to the header (all of them until the blank line)
  int state;            // HTTP_NOT_STARTED .. HTTP_DONE
  int64_t deadline;     // wall-clock seconds; the request fails once the time is past it
  int timeout;          // seconds of idle time allowed
  int socket;           // -1 when there is none: before opening and once the request has finished
  sockaddr_in address;  // the server
  int header_done;      // the blank line that ends the header was seen
  int header_lf;        // the last header byte scanned, CRs aside, was an LF
  // Why the error flag was set, in words a player can be shown; empty while it is clear.
  char failure[KEZ_HTTP_FAILURE_SIZE];
};

// Socket start-up for the Game: BSD sockets need none, so this always returns 0 (-1 would be failure).
int kez_net_init();
// Socket clean-up for the Game's shut-down; nothing to undo with BSD sockets.
void kez_net_deinit();

// The IPv4 address of `host` in network order, looked up once per process and cached; null when it
// does not resolve (failures are not cached).
const uint32_t *kez_gethostbyname(const char *host);

// Whether c may stand in a host name (letters, digits, '.', '-', '_'): a host goes into the request's
// Host header as it is.
bool kez_http_host_byte(unsigned char c);
// Starts a GET (body_length 0) or a form-encoded POST of `body` to host:port/path; never null. A
// failure (bad arguments, lookup, socket) leaves the error flag set and the state HTTP_NOT_STARTED.
// The request line and Host header are written as given, so a host holding anything but letters,
// digits, '.', '-' and '_', or a path holding a blank, a control byte or a byte above 126, is refused:
// the caller encodes what it puts into a URL.
HttpConn *kez_http_open(const char *host, int port, const char *path, const char *body, int body_length, int timeout);
// Advances the request by at most one send or one receive: 1 once it has finished (done or failed, see
// the error flag), 0 while it is in progress.
int kez_http_step(HttpConn *conn);
// Appends `length` reply bytes that arrived to the receive block, finds the end of the header and
// points the body past it: 0, or 1 once the request has failed (the reply would pass KEZ_HTTP_REPLY_MAX
// bytes, or memory ran out). `kez_http_step` hands it every read.
int kez_http_take(HttpConn *conn, const char *data, int length);
// Copies the value of reply header `name` (case-sensitive, at most 255 bytes) into `out`, which holds
// KEZ_HTTP_HEADER_SIZE bytes; `out` is left empty when the header is missing. Returns the bytes of the
// value, which may hold a NUL.
int kez_http_header(char *out, const HttpConn *conn, const char *name);
// Closes the socket if still open and frees the record and its buffers; null is allowed.
void kez_http_close(HttpConn *conn);

// Bytes `kez_urlencode` needs for `length` bytes of `text`, terminator included.
int kez_urlencode_len(const char *text, int length);
// URL-encodes `text` into `out` (`size` bytes, zero-filled first): letters and digits are kept, every
// other byte becomes %xx in lower-case hex. 0 when all of it fit; -1 when it stopped before the first
// item that did not (the output is still terminated).
int kez_urlencode(char *out, int size, int length, const char *text);
