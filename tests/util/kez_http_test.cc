// Tests of the HTTP client against a one-connection server on 127.0.0.1 run in a thread: request heads,
// header and body split across reads, header lookup, early close, idle timeout, the reply size limit,
// open failures; then the host cache and URL encoding.
#include "kez_http.h"

#include "http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Conn = std::unique_ptr<HttpConn, decltype(&kez_http_close)>;

// Waits on the client's socket for what its state needs next, at most `ms`.
void wait_socket(const HttpConn *conn, int ms) {
  pollfd entry = {conn->socket, short(conn->state == HTTP_RECEIVING ? POLLIN : POLLOUT), 0};
  poll(&entry, 1, ms);
}

// Steps until `done(conn)` holds or the request finishes; false when neither happened within WAIT_MS.
template <typename Pred>
bool step_until(HttpConn *conn, Pred done) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
  while (std::chrono::steady_clock::now() < limit) {
    if (done(conn) || kez_http_step(conn)) return true;
    wait_socket(conn, 50);
  }
  return false;
}

bool finish(HttpConn *conn) {
  return step_until(conn, [](const HttpConn *) { return false; });
}

Conn open_local(const LocalServer &server, const char *path = "/", const std::string &body = "", int timeout = 5) {
  return Conn(kez_http_open("127.0.0.1", server.port, path, body.data(), int(body.size()), timeout), kez_http_close);
}

// The whole reply of a server that sends `reply` in one piece and closes.
Conn fetch(const std::string &reply) {
  LocalServer server({reply});
  Conn conn = open_local(server);
  EXPECT_TRUE(finish(conn.get()));
  return conn;
}

// The body, after checking that it points just after the header inside the current receive block.
std::string body_of(const HttpConn *conn) {
  if (!conn->body) return "";
  EXPECT_EQ(conn->body, conn->recv_buf.data + conn->header_length);
  EXPECT_EQ(conn->body_length, conn->recv_buf.length - conn->header_length);
  return std::string(conn->body, size_t(conn->body_length));
}

std::string header(const HttpConn *conn, const char *name) {
  char out[KEZ_HTTP_HEADER_SIZE];
  kez_http_header(out, conn, name);
  return out;
}

TEST(HttpClient, sends_get_and_post_heads_with_the_port_in_the_host_header) {
  LocalServer get_server({"HTTP/1.0 200 OK\n\n"});
  Conn get = open_local(get_server, "/api.php?a=1");
  ASSERT_TRUE(finish(get.get()));
  get_server.join();
  EXPECT_EQ(get_server.request,
            "GET /api.php?a=1 HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(get_server.port) + "\n\n");

  LocalServer post_server({"HTTP/1.0 200 OK\n\n"});
  Conn post = open_local(post_server, "/p", "&data=a%20b");
  ASSERT_TRUE(finish(post.get()));
  post_server.join();
  EXPECT_EQ(post_server.request, "POST /p HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(post_server.port) +
                                     "\nContent-Type: application/x-www-form-urlencoded\nContent-Length: 11\n\n"
                                     "&data=a%20b");
  EXPECT_EQ(post->error, 0);
  EXPECT_EQ(post->state, HTTP_DONE);
  EXPECT_EQ(post->socket, -1);  // closed as soon as the reply ended
}

TEST(HttpClient, a_blank_line_split_across_reads_still_separates_header_and_body) {
  const std::string first = "HTTP/1.0 200 OK\r\nX-A: 1\r\n\r";  // the CR arrives, its LF does not yet
  LocalServer server({first, "\nbo", "dy"});
  Conn conn = open_local(server);
  HttpConn *c = conn.get();
  ASSERT_TRUE(step_until(c, [&](const HttpConn *h) { return h->recv_buf.length == int(first.size()); }));
  EXPECT_EQ(c->header_length, int(first.size()));
  EXPECT_EQ(c->body_length, 0);
  server.release();
  ASSERT_TRUE(step_until(c, [&](const HttpConn *h) { return h->recv_buf.length == int(first.size()) + 3; }));
  EXPECT_EQ(c->header_length, int(first.size()) + 1);
  EXPECT_EQ(body_of(c), "bo");
  server.release();
  ASSERT_TRUE(finish(c));
  EXPECT_EQ(c->error, 0);
  EXPECT_EQ(body_of(c), "body");
  EXPECT_EQ(header(c, "X-A"), "1");
}

TEST(HttpClient, header_lookup_matches_whole_names_first_line_wins_and_never_reads_the_body) {
  for (const char *eol : {"\n", "\r\n"}) {
    std::string n = eol;
    Conn conn = fetch("HTTP/1.0 404 Not Found" + n + "X-Type:   login" + n + "x-type: lower" + n + "X-Type: second" +
                      n + "XX-Name: no" + n + "X-Long: " + std::string(300, 'v') + n + n + "X-Body: no" + n);
    HttpConn *c = conn.get();
    EXPECT_EQ(c->error, 0) << "the status code is not interpreted";
    EXPECT_EQ(header(c, "X-Type"), "login");
    EXPECT_EQ(header(c, "x-type"), "lower");
    EXPECT_EQ(header(c, "Name"), "");
    EXPECT_EQ(header(c, "X-Long"), std::string(255, 'v'));
    EXPECT_EQ(header(c, "X-Body"), "");
    EXPECT_EQ(header(c, "X-Missing"), "");
    EXPECT_EQ(body_of(c), "X-Body: no" + n);
  }
}

TEST(HttpClient, a_header_block_spanning_many_reads_is_searched_to_its_end) {
  std::string reply = "HTTP/1.0 200 OK\n";
  for (int i = 0; i < 500; i++) reply += "X-Pad-" + std::to_string(i) + ": " + std::string(400, 'p') + "\n";
  reply += "X-Last: found\n\nthe body";
  Conn conn = fetch(reply);
  EXPECT_EQ(conn->error, 0);
  EXPECT_EQ(header(conn.get(), "X-Last"), "found");
  EXPECT_EQ(header(conn.get(), "X-Pad-499"), std::string(255, 'p'));
  EXPECT_EQ(conn->header_length, int(reply.size() - 8));
  EXPECT_EQ(body_of(conn.get()), "the body");
}

TEST(HttpClient, a_close_before_the_blank_line_fails_and_a_close_right_after_it_succeeds) {
  for (const char *cut : {"HTTP/1.0 200 OK\nX-UID: 4", ""}) {
    testing::internal::CaptureStderr();
    Conn conn = fetch(cut);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("connection closed before the end of the reply header"),
              std::string::npos);
    EXPECT_EQ(conn->error, 1) << "reply '" << cut << "'";
    EXPECT_STREQ(conn->failure, "the reply ended inside its header");
    EXPECT_EQ(conn->socket, -1);
  }
  Conn empty_body = fetch("HTTP/1.0 200 OK\nX-UID: 42\n\n");
  EXPECT_EQ(empty_body->error, 0);
  EXPECT_EQ(empty_body->state, HTTP_DONE);
  EXPECT_EQ(empty_body->body_length, 0);
  EXPECT_EQ(header(empty_body.get(), "X-UID"), "42");
}

TEST(HttpClient, a_server_that_never_answers_times_out_in_the_receiving_state) {
  LocalServer server({}, true);
  Conn conn = open_local(server, "/", "", 1);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(finish(conn.get()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "timeout :: state = 3\n");
  EXPECT_EQ(conn->error, 1);
  EXPECT_STREQ(conn->failure, "no answer in time");
  EXPECT_EQ(conn->state, HTTP_RECEIVING);
  EXPECT_EQ(conn->socket, -1);
  EXPECT_EQ(kez_http_step(conn.get()), 1);
}

TEST(HttpClient, a_reply_reaching_the_size_limit_fails_without_growing_past_it) {
  testing::internal::CaptureStderr();
  Conn conn = fetch("HTTP/1.0 200 OK\n\n" + std::string(size_t(KEZ_HTTP_REPLY_MAX), 'b'));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("recv: reply reached"), std::string::npos);
  EXPECT_EQ(conn->error, 1);
  EXPECT_EQ(conn->recv_buf.length, KEZ_HTTP_REPLY_MAX);
  EXPECT_LE(conn->recv_buf.capacity, KEZ_HTTP_REPLY_MAX);
}

TEST(HttpClient, a_refused_connection_fails_long_before_the_timeout) {
  RefusedPort refused;
  testing::internal::CaptureStderr();
  Conn conn(kez_http_open("127.0.0.1", refused.port, "/", nullptr, 0, 60), kez_http_close);
  ASSERT_TRUE(finish(conn.get()));
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(conn->error, 1);
  EXPECT_STREQ(conn->failure, strerror(ECONNREFUSED));
  EXPECT_EQ(conn->socket, -1);
}

TEST(HttpClient, open_failures_set_the_error_flag_hold_no_socket_and_finish_at_the_first_step) {
  struct Case {
    std::string host, path;
    int body_length;
    const char *message;
  } cases[] = {
      {"", "/", 0, "kez_gethostbyname == null\n"},  // refused by the resolver without asking the network
      {std::string(256, 'h'), "/", 0, "host missing or longer than 255 bytes"},
      {"127.0.0.1", "/" + std::string(1023, 'p'), 0, "path missing or longer than 1023 bytes"},
      {"127.0.0.1", "/", -1, "bad body length -1"},
      // What would end the request line or the Host header early, letting the rest pass for headers.
      {"127.0.0.1\nX-Evil: 1", "/", 0, "the host name holds a byte no host name has"},
      {"127.0.0.1:80", "/", 0, "the host name holds a byte no host name has"},
      {"127.0.0.1", "/a b", 0, "the path holds a blank, a control byte or a byte above 126"},
      {"127.0.0.1", "/a\r\nX-Evil: 1", 0, "the path holds a blank"},
      {"127.0.0.1", "/\x7f", 0, "the path holds a blank"},
      {"127.0.0.1", "/caf\xc3\xa9", 0, "the path holds a blank"},
  };
  for (const Case &c : cases) {
    testing::internal::CaptureStderr();
    Conn conn(kez_http_open(c.host.c_str(), 80, c.path.c_str(), "", c.body_length, 5), kez_http_close);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(c.message), std::string::npos) << c.message;
    EXPECT_EQ(conn->error, 1);
    EXPECT_NE(conn->failure[0], 0) << c.message;
    EXPECT_EQ(conn->state, HTTP_NOT_STARTED);
    EXPECT_EQ(conn->socket, -1);
    EXPECT_EQ(kez_http_step(conn.get()), 1);
  }
}

// A request that never connects: its reply is handed over by kez_http_take alone.
Conn unconnected() { return Conn(kez_http_open("127.0.0.1", 9, "/", nullptr, 0, 5), kez_http_close); }

TEST(HttpClient, a_reply_taken_one_byte_at_a_time_reads_like_one_taken_whole) {
  const std::string reply = "HTTP/1.0 200 OK\r\nX-Response: OK\r\nX-Type: login\r\n\r\n<p>Hi</p>";
  Conn whole = unconnected(), bytes = unconnected();
  ASSERT_EQ(kez_http_take(whole.get(), reply.data(), int(reply.size())), 0);
  for (char c : reply) ASSERT_EQ(kez_http_take(bytes.get(), &c, 1), 0);
  for (HttpConn *c : {whole.get(), bytes.get()}) {
    EXPECT_EQ(c->header_done, 1);
    EXPECT_EQ(header(c, "X-Response"), "OK");
    EXPECT_EQ(header(c, "X-Type"), "login");
    EXPECT_EQ(body_of(c), "<p>Hi</p>");
  }
}

TEST(HttpClient, taking_more_than_the_reply_limit_fails_and_keeps_what_was_held) {
  Conn conn = unconnected();
  const std::string head = "HTTP/1.0 200 OK\n\n";
  ASSERT_EQ(kez_http_take(conn.get(), head.data(), int(head.size())), 0);
  const std::string big(size_t(KEZ_HTTP_REPLY_MAX) - head.size() + 1, 'b');
  testing::internal::CaptureStderr();
  EXPECT_EQ(kez_http_take(conn.get(), big.data(), int(big.size())), 1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(conn->error, 1);
  EXPECT_STREQ(conn->failure, "the reply is too large");
  EXPECT_EQ(conn->recv_buf.length, int(head.size()));
  EXPECT_EQ(kez_http_take(conn.get(), "x", 1), 1) << "a failed request takes nothing more";
}

TEST(HttpHostLookup, resolves_once_then_answers_from_the_cache_silently) {
  testing::internal::CaptureStderr();
  const uint32_t *first = kez_gethostbyname("localhost");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "gethostbyname ...\nkez_gethostbyname('localhost') cached\n");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(*first, htonl(INADDR_LOOPBACK));
  testing::internal::CaptureStderr();
  EXPECT_EQ(kez_gethostbyname("localhost"), first);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const uint32_t *dotted = kez_gethostbyname("127.0.0.1");
  ASSERT_NE(dotted, nullptr);
  EXPECT_EQ(*dotted, htonl(INADDR_LOOPBACK));
}

std::string urlencode(const std::string &text, int size = 256) {
  std::vector<char> out(size_t(size) + 1, 'X');  // one byte past the buffer shows an overrun
  int status = kez_urlencode(out.data(), size, int(text.size()), text.data());
  EXPECT_EQ(out[size_t(size)], 'X');
  return std::string(out.data()) + (status == 0 ? "" : " (cut)");
}

TEST(HttpUrlEncode, keeps_letters_and_digits_and_encodes_every_other_byte_in_lower_case_hex) {
  EXPECT_EQ(urlencode("a b"), "a%20b");
  EXPECT_EQ(urlencode("Zz9"), "Zz9");
  EXPECT_EQ(urlencode("-._~,"), "%2d%2e%5f%7e%2c");
  EXPECT_EQ(urlencode("\xc3\xa9"), "%c3%a9");
  EXPECT_EQ(urlencode(std::string("\0x", 2)), "%00x");
  EXPECT_EQ(kez_urlencode_len("a b", 3), 6);
  EXPECT_EQ(kez_urlencode_len("", 0), 1);
}

TEST(HttpUrlEncode, stops_before_an_item_that_does_not_fit_and_says_so) {
  EXPECT_EQ(urlencode("a b", 6), "a%20b");
  EXPECT_EQ(urlencode("a b", 5), "a%20 (cut)");
  EXPECT_EQ(urlencode("a b", 4), "a (cut)");
  EXPECT_EQ(urlencode("ab", 1), " (cut)");
}

}  // namespace
