// HTTP servers on 127.0.0.1 (ephemeral ports) in a thread, for the tests of the HTTP client and of the
// game's web service client: LocalServer answers one connection piece by piece as the test releases
// it; WebService answers every connection as the game's web service does, until it is stopped.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr int WAIT_MS = 5000;  // bound on every wait of the client or the server

inline bool http_wait_readable(int fd) {
  pollfd entry = {fd, POLLIN, 0};
  return poll(&entry, 1, WAIT_MS) == 1;
}

// True once the request holds its head and the Content-Length bytes of body after it.
inline bool http_request_complete(const std::string &request) {
  size_t end = request.find("\n\n");
  if (end == std::string::npos) return false;
  size_t field = request.find("Content-Length: ");
  size_t body = field == std::string::npos ? 0 : std::stoul(request.substr(field + 16));
  return request.size() >= end + 2 + body;
}

// Reads a request from the client (bounded waits); what arrived when the client stopped sending.
inline std::string http_read_request(int client) {
  std::string request;
  char buffer[4096];
  while (!http_request_complete(request) && http_wait_readable(client)) {
    ssize_t got = recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    request.append(buffer, size_t(got));
  }
  return request;
}

// False when the client gave up before all of it was sent.
inline bool http_send_all(int client, const std::string &bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

// A server for one connection: it reads the request (head and Content-Length body), writes the reply
// pieces, each after the test releases it (the first goes at once), optionally holds the connection
// until one more release, then closes.
struct LocalServer {
  int listener = -1;
  int port = 0;
  int gate[2] = {-1, -1};  // the test writes one byte per release
  std::vector<std::string> pieces;
  bool hold = false;
  std::string request;  // read only after join()
  std::thread thread;

  explicit LocalServer(std::vector<std::string> reply, bool hold_open = false)
      : pieces(std::move(reply)), hold(hold_open) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin = {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    if (bind(listener, reinterpret_cast<sockaddr *>(&sin), length) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&sin), &length) != 0 || pipe(gate) != 0)
      ADD_FAILURE() << "local server set-up failed";
    port = ntohs(sin.sin_port);
    thread = std::thread([this] { serve(); });
  }
  ~LocalServer() {
    join();
    close(listener);
    close(gate[0]);
    close(gate[1]);
  }
  void release() { ASSERT_EQ(write(gate[1], "r", 1), 1); }
  void join() {
    if (!thread.joinable()) return;
    for (size_t i = 0; i <= pieces.size(); i++) release();  // frees every wait still to come
    thread.join();
  }

  bool wait_release() {
    char byte;
    return http_wait_readable(gate[0]) && read(gate[0], &byte, 1) == 1;
  }
  void serve() {
    if (!http_wait_readable(listener)) return;
    int client = accept(listener, nullptr, nullptr);
    if (client < 0) return;
    request = http_read_request(client);
    for (size_t i = 0; i < pieces.size(); i++)
      if ((i > 0 && !wait_release()) || !http_send_all(client, pieces[i])) break;
    if (hold) wait_release();
    close(client);
  }
};

// One request as the web service read it.
struct WebServiceRequest {
  std::string method, path;                        // path without the query
  std::map<std::string, std::string> query, form;  // decoded fields of the query and of a POST body
  std::string raw;                                 // the request's bytes, head and body
};

// "%xx"-decoded text; false when a '%' is not followed by two hexadecimal digits.
inline bool web_url_decode(const std::string &text, std::string &out) {
  out.clear();
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size() || !isxdigit((unsigned char)text[i + 1]) || !isxdigit((unsigned char)text[i + 2]))
      return false;
    out += char(strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
    i += 2;
  }
  return true;
}

// The fields of "&a=1&b=2" (empty items skipped); an undecodable value reads "<bad encoding>".
inline std::map<std::string, std::string> web_form_decode(const std::string &text) {
  std::map<std::string, std::string> fields;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const size_t eq = item.find('=');
    std::string key, value;
    if (!item.empty() && web_url_decode(item.substr(0, eq), key)) {
      if (eq == std::string::npos || !web_url_decode(item.substr(eq + 1), value)) value = "<bad encoding>";
      fields[key] = value;
    }
    start = end + 1;
  }
  return fields;
}

// A reply as the web service writes it: status line, the header lines, a blank line, the body.
inline std::string web_reply(const std::string &headers, const std::string &body = "") {
  return "HTTP/1.0 200 OK\r\n" + headers + "\r\n" + body;
}

// An accepted login for user 42, "Bob", on server "play1", with more header lines and a body.
inline std::string web_login_reply(const std::string &extra = "", const std::string &body = "") {
  return web_reply("X-Response: OK\r\nX-Type: login\r\nX-UID: 42\r\nX-Name: Bob\r\nX-Server: play1\r\n" + extra, body);
}

// A port on 127.0.0.1 that refuses connections while this lives: bound, never listening.
struct RefusedPort {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  RefusedPort() {
    sockaddr_in sin = {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    if (bind(fd, reinterpret_cast<sockaddr *>(&sin), length) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&sin), &length) != 0)
      ADD_FAILURE() << "no port to refuse on";
    port = ntohs(sin.sin_port);
  }
  ~RefusedPort() { close(fd); }
  std::string host() const { return "127.0.0.1:" + std::to_string(port); }
};

// The web service: every connection is read whole (head and Content-Length body), answered with what
// `answer` makes of it and closed, one connection after the other, until the service is stopped.
struct WebService {
  using Answer = std::function<std::string(const WebServiceRequest &)>;

  int listener = -1;
  int port = 0;
  int stop_pipe[2] = {-1, -1};
  Answer answer;
  std::mutex mutex;
  std::vector<WebServiceRequest> requests;  // under `mutex`
  std::thread thread;

  explicit WebService(Answer a) : answer(std::move(a)) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sin = {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    if (bind(listener, reinterpret_cast<sockaddr *>(&sin), length) != 0 || listen(listener, 8) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&sin), &length) != 0 || pipe(stop_pipe) != 0)
      ADD_FAILURE() << "web service set-up failed";
    port = ntohs(sin.sin_port);
    thread = std::thread([this] { serve(); });
  }
  ~WebService() {
    stop();
    close(listener);
    close(stop_pipe[0]);
    close(stop_pipe[1]);
  }
  // "127.0.0.1:port", the value VANTOR_WEB_HOST takes for this service.
  std::string host() const { return "127.0.0.1:" + std::to_string(port); }
  void stop() {
    if (!thread.joinable()) return;
    if (write(stop_pipe[1], "s", 1) != 1) ADD_FAILURE() << "web service stop failed";
    thread.join();
  }
  std::vector<WebServiceRequest> seen() {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
  }

  static WebServiceRequest parse(const std::string &raw) {
    WebServiceRequest r;
    r.raw = raw;
    const size_t space = raw.find(' '), second = raw.find(' ', space + 1);
    r.method = raw.substr(0, space);
    const std::string target = space == std::string::npos ? "" : raw.substr(space + 1, second - space - 1);
    const size_t question = target.find('?');
    r.path = target.substr(0, question);
    if (question != std::string::npos) r.query = web_form_decode(target.substr(question + 1));
    const size_t end = raw.find("\n\n");
    if (r.method == "POST" && end != std::string::npos) r.form = web_form_decode(raw.substr(end + 2));
    return r;
  }
  void answer_one(int client) {
    timeval bound = {WAIT_MS / 1000, 0};  // a client that stops reading must not hold the service forever
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    WebServiceRequest r = parse(http_read_request(client));
    {
      std::lock_guard<std::mutex> lock(mutex);
      requests.push_back(r);
    }
    http_send_all(client, answer(r));
    close(client);
  }
  void serve() {
    for (;;) {
      pollfd entries[2] = {{listener, POLLIN, 0}, {stop_pipe[0], POLLIN, 0}};
      if (poll(entries, 2, -1) < 0 || (entries[1].revents & POLLIN)) return;
      int client = accept(listener, nullptr, nullptr);
      if (client >= 0) answer_one(client);
    }
  }
};
