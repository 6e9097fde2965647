#pragma once
// One TCP connection to a mail server, made secure with TLS when asked. Each
// call gives up at the deadline it is given. Failures come back as a short
// explanation ("the server did not answer in time"); success as empty text.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mail {

using Clock = std::chrono::steady_clock;

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects to the first address of `host` that accepts.
  std::string open(const std::string& host, std::uint16_t port, Clock::time_point deadline);

  std::string sendAll(std::string_view bytes, Clock::time_point deadline);

  // Waits for bytes from the server and appends them, decrypted, to `input`.
  std::string receive(std::string& input, Clock::time_point deadline);

  // The TLS handshake, then a check of the server's certificate against the
  // trusted authorities of this computer and against `host`.
  std::string startTls(const std::string& host, Clock::time_point deadline);

  bool secure() const;

  // The numeric address of this end of the connection ("192.0.2.10"), empty
  // when there is none.
  std::string localAddress() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Winsock ready for this thread's connections for as long as it lives.
class WinsockUse {
 public:
  WinsockUse();
  ~WinsockUse();
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

}  // namespace mail
