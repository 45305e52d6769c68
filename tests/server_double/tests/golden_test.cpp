// The server double's side of the negotiation, byte for byte, against bytes
// written out by hand from the protocol's frame layouts (not produced by any
// of the system's own code).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "server_double/server_double.h"

namespace sd = kelda::server_double;

namespace {

using Bytes = std::vector<uint8_t>;

class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  }
  ~RawClient() { ::close(fd_); }
  void send(const Bytes& b) { ASSERT_EQ(::send(fd_, b.data(), b.size(), 0), ssize_t(b.size())); }
  Bytes recv(std::size_t n) {
    Bytes out(n);
    std::size_t done = 0;
    while (done < n) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      ssize_t r = ::recv(fd_, out.data() + done, n - done, 0);
      if (r <= 0) break;
      done += static_cast<std::size_t>(r);
    }
    out.resize(done);
    return out;
  }

 private:
  int fd_ = -1;
};

}  // namespace

TEST(ServerDoubleGolden, NegotiationAndControlFramesByteForByte) {
  sd::ServerDouble server;
  std::unique_ptr<sd::Session> session;
  std::optional<sd::HandshakeResult> result;
  std::thread peer([&] {
    session = server.accept();
    ASSERT_TRUE(session);
    sd::HandshakeScript script;
    script.permissions = 7;
    result = session->handshake(script);
    session->send_ping();
    session->send_error_frame(5, "ok");
    session->send_info_frame(6, "");
  });
  RawClient client(server.port());

  struct Step {
    const char* what;
    Bytes client_sends;
    Bytes server_answers;
  };
  const std::vector<Step> steps = {
      {"cipher provider request and its answer",
       {0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 4, 'R', 'F', 'I', 'N'},
       {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 1,
        'A', 'F', 'I', 'N'}},
      {"locale request and its answer",
       {0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 2, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1,
        'R', 'F', 'I', 'N'},
       {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A', 0, 0, 0, 2, 0, 0, 0, 1, 'A', 'F', 'I', 'N'}},
      {"check time-out as two raw bytes, then the layout check; permissions 7 come back",
       {0x00, 0x96,
        0x00, 0x12, 0xF0, 0x03, 0x00, 0x03, 0x00, 0x16, 0x00, 0x02, 0x12, 0x34, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x03},
       {0x00, 0x08, 0xF0, 0x06, 0x00, 0x00, 0x00, 0x07, 0x61, 0x29}},
      {"a ping",
       {},
       {0x00, 0x04, 0xF0, 0x01, 0x61, 0x29}},
      {"an error frame with code 5 and the text \"ok\"",
       {},
       {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A', 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0, 3, 'o', 'k', 0,
        'A', 'F', 'I', 'N'}},
      {"an information frame with code 6 and an empty text",
       {},
       {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A', 0, 0, 0, 4, 0, 0, 0, 6, 0, 0, 0, 1, 0,
        'A', 'F', 'I', 'N'}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (!step.client_sends.empty()) client.send(step.client_sends);
    EXPECT_EQ(client.recv(step.server_answers.size()), step.server_answers);
  }
  peer.join();
  ASSERT_TRUE(result);
  EXPECT_EQ(result->provider_id, 4u);
  EXPECT_EQ(result->locale, (std::array<uint32_t, 3>{9, 1, 1}));
  EXPECT_EQ(result->check_timeout, 150);
  EXPECT_EQ(result->layout_check.id, sd::kLayoutCheck);
  EXPECT_FALSE(result->layout_check.has_check_word);
  EXPECT_EQ(result->layout_check.body,
            (Bytes{0x00, 0x03, 0x00, 0x16, 0x00, 0x02, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 3}));
}

TEST(ServerDoubleGolden, RefusalsAnswerWithTheNotSupportedWord) {
  struct Case {
    const char* what;
    bool accept_provider;
    std::optional<uint32_t> answered_id;
    Bytes answer;
  };
  const std::vector<Case> cases = {
      {"provider refused", false, std::nullopt,
       {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0,
        'A', 'F', 'I', 'N'}},
      {"another provider id answered", true, 9u,
       {0xFF, 0xFF, 0, 0, 0, 1, 'A', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 1,
        'A', 'F', 'I', 'N'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sd::ServerDouble server;
    std::thread peer([&] {
      auto session = server.accept();
      ASSERT_TRUE(session);
      sd::HandshakeScript script;
      script.accept_provider = c.accept_provider;
      script.answered_provider_id = c.answered_id;
      script.expect_layout_check = false;
      session->handshake(script);
      session->wait_closed(2000);
    });
    {
      RawClient client(server.port());
      client.send({0xFF, 0xFF, 0, 0, 0, 1, 'R', 'S', 'T', 'A', 0, 0, 0, 1, 0, 0, 0, 1,
                   'R', 'F', 'I', 'N'});
      EXPECT_EQ(client.recv(c.answer.size()), c.answer);
    }
    peer.join();
  }
}
