// A one-connection HTTP server on 127.0.0.1 in a thread, for tests of the clients of the web service.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

constexpr int WAIT_MS = 5000;  // bound on every wait of the client or the server

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

  static bool wait_readable(int fd) {
    pollfd entry = {fd, POLLIN, 0};
    return poll(&entry, 1, WAIT_MS) == 1;
  }
  bool wait_release() {
    char byte;
    return wait_readable(gate[0]) && read(gate[0], &byte, 1) == 1;
  }
  bool request_complete() const {
    size_t end = request.find("\n\n");
    if (end == std::string::npos) return false;
    size_t field = request.find("Content-Length: ");
    size_t body = field == std::string::npos ? 0 : std::stoul(request.substr(field + 16));
    return request.size() >= end + 2 + body;
  }
  void read_request(int client) {
    char buffer[4096];
    while (!request_complete() && wait_readable(client)) {
      ssize_t got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      request.append(buffer, size_t(got));
    }
  }
  static bool send_all(int client, const std::string &bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;  // the client gave up
      sent += size_t(n);
    }
    return true;
  }
  void serve() {
    if (!wait_readable(listener)) return;
    int client = accept(listener, nullptr, nullptr);
    if (client < 0) return;
    read_request(client);
    for (size_t i = 0; i < pieces.size(); i++)
      if ((i > 0 && !wait_release()) || !send_all(client, pieces[i])) break;
    if (hold) wait_release();
    close(client);
  }
};
