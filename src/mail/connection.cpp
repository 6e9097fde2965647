#include "mail/connection.h"

#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <vector>

#include "win/unique_resource.h"

namespace mail {
namespace {

struct socket_traits {
  using pointer = SOCKET;
  static pointer invalid() noexcept { return INVALID_SOCKET; }
  static void close(pointer p) noexcept { closesocket(p); }
};
struct cert_traits {
  using pointer = PCCERT_CONTEXT;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { CertFreeCertificateContext(p); }
};
struct chain_traits {
  using pointer = PCCERT_CHAIN_CONTEXT;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer p) noexcept { CertFreeCertificateChain(p); }
};
using unique_socket = win::unique_resource<socket_traits>;
using unique_cert = win::unique_resource<cert_traits>;
using unique_chain = win::unique_resource<chain_traits>;

// The SSPI handles are structures, not pointers: each has an owner of its own.
struct Credentials {
  CredHandle handle{};
  bool set = false;
  Credentials() = default;
  Credentials(const Credentials&) = delete;
  Credentials& operator=(const Credentials&) = delete;
  ~Credentials() {
    if (set) FreeCredentialsHandle(&handle);
  }
};
struct SecurityContext {
  CtxtHandle handle{};
  bool set = false;
  SecurityContext() = default;
  SecurityContext(const SecurityContext&) = delete;
  SecurityContext& operator=(const SecurityContext&) = delete;
  ~SecurityContext() {
    if (set) DeleteSecurityContext(&handle);
  }
};

// A buffer that SSPI allocated for us.
struct ContextBuffer {
  void* p = nullptr;
  ~ContextBuffer() {
    if (p) FreeContextBuffer(p);
  }
};

std::string describe(long code) {
  std::string text = std::system_category().message(static_cast<int>(code));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  char hex[16];
  std::snprintf(hex, sizeof hex, code < 0 || code > 0xFFFF ? "0x%08lX" : "%lu",
                static_cast<unsigned long>(code));
  return text.empty() ? std::string("error ") + hex : text + " (" + hex + ")";
}

std::string networkError(int code) { return "network error: " + describe(code); }

int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

// Waits until the socket can be written (or read), or the deadline passes.
std::string waitFor(SOCKET s, bool write, Clock::time_point deadline) {
  for (;;) {
    const int ms = millisecondsLeft(deadline);
    if (ms == 0) return write ? "the server took no more data in time" : "the server did not answer in time";
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &tv);
    if (n == SOCKET_ERROR) return networkError(WSAGetLastError());
    if (n > 0) return {};
  }
}

std::wstring wide(const std::string& text) {
  std::wstring out(text.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

std::string certificateProblem(DWORD code, const std::string& host) {
  switch (code) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
      return "its issuer is not among the certificate authorities this computer trusts";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return "it was issued for another name than " + host;
    case static_cast<DWORD>(CERT_E_EXPIRED):
      return "it has expired or is not yet valid";
    case static_cast<DWORD>(CRYPT_E_REVOKED):
      return "it has been revoked";
    default:
      return describe(static_cast<long>(code));
  }
}

}  // namespace

struct Connection::State {
  unique_socket socket;
  Credentials credentials;
  SecurityContext context;
  bool secure = false;
  SecPkgContext_StreamSizes sizes{};
  std::string raw;       // bytes received and not yet decrypted
  std::string peerName;  // the name the certificate was checked for

  std::string sendRaw(std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
      const int chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<int>(bytes.size());
      const int n = ::send(socket.get(), bytes.data(), chunk, 0);
      if (n == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return networkError(error);
        if (std::string problem = waitFor(socket.get(), true, deadline); !problem.empty()) return problem;
        continue;
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
  }

  std::string receiveRaw(Clock::time_point deadline) {
    char buffer[16384];
    for (;;) {
      const int n = recv(socket.get(), buffer, sizeof buffer, 0);
      if (n > 0) {
        raw.append(buffer, static_cast<std::size_t>(n));
        return {};
      }
      if (n == 0) return "the server closed the connection";
      const int error = WSAGetLastError();
      if (error != WSAEWOULDBLOCK) return networkError(error);
      if (std::string problem = waitFor(socket.get(), false, deadline); !problem.empty()) return problem;
    }
  }

  // Runs the client side of the handshake until the context is complete.
  std::string handshake(const std::string& host, Clock::time_point deadline) {
    const DWORD wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                         ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;
    std::string target = host;
    bool first = !context.set;
    for (;;) {
      SecBuffer in[2] = {{static_cast<unsigned long>(raw.size()), SECBUFFER_TOKEN, raw.data()},
                         {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
      SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
      SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
      unsigned long got = 0;
      const SECURITY_STATUS status = InitializeSecurityContextA(
          &credentials.handle, first ? nullptr : &context.handle, target.data(), wanted, 0, 0,
          first ? nullptr : &inDesc, 0, first ? &context.handle : nullptr, &outDesc, &got, nullptr);
      if (first) context.set = status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
      first = false;
      ContextBuffer token{out[0].pvBuffer};
      if (status == SEC_E_INCOMPLETE_MESSAGE) {
        if (std::string problem = receiveRaw(deadline); !problem.empty()) return problem;
        continue;
      }
      if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED && status != SEC_I_INCOMPLETE_CREDENTIALS)
        return "the secure connection could not be set up: " + describe(status);
      if (out[0].cbBuffer && out[0].pvBuffer) {
        std::string_view bytes(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
        if (std::string problem = sendRaw(bytes, deadline); !problem.empty()) return problem;
      }
      // Bytes beyond this handshake message stay for the next step.
      if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= raw.size())
        raw.erase(0, raw.size() - in[1].cbBuffer);
      else if (status != SEC_I_INCOMPLETE_CREDENTIALS)
        raw.clear();
      if (status == SEC_E_OK) return {};
      if (status == SEC_I_CONTINUE_NEEDED && raw.empty())
        if (std::string problem = receiveRaw(deadline); !problem.empty()) return problem;
    }
  }

  std::string checkCertificate(const std::string& host) {
    unique_cert certificate;
    if (QueryContextAttributesA(&context.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, certificate.put()) !=
        SEC_E_OK)
      return "the server sent no certificate";
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    unique_chain chain;
    if (!CertGetCertificateChain(nullptr, certificate.get(), nullptr, certificate.get()->hCertStore,
                                 &chainPara, 0, nullptr, chain.put()))
      return "the server's certificate could not be checked: " + describe(static_cast<long>(GetLastError()));
    std::wstring name = wide(host);
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS verdict{};
    verdict.cbSize = sizeof verdict;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &verdict))
      return "the server's certificate could not be checked: " + describe(static_cast<long>(GetLastError()));
    if (verdict.dwError)
      return "the server's certificate is not trusted: " + certificateProblem(verdict.dwError, host);
    return {};
  }

  std::string encryptAndSend(std::string_view bytes, Clock::time_point deadline) {
    std::vector<char> message;
    while (!bytes.empty()) {
      const std::size_t n = bytes.size() < sizes.cbMaximumMessage ? bytes.size() : sizes.cbMaximumMessage;
      message.assign(sizes.cbHeader + n + sizes.cbTrailer, 0);
      std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n),
                message.begin() + sizes.cbHeader);
      SecBuffer buffers[4] = {
          {sizes.cbHeader, SECBUFFER_STREAM_HEADER, message.data()},
          {static_cast<unsigned long>(n), SECBUFFER_DATA, message.data() + sizes.cbHeader},
          {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, message.data() + sizes.cbHeader + n},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      if (const SECURITY_STATUS status = EncryptMessage(&context.handle, 0, &desc, 0); status != SEC_E_OK)
        return "the data could not be encrypted: " + describe(status);
      const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
      if (std::string problem = sendRaw(std::string_view(message.data(), total), deadline); !problem.empty())
        return problem;
      bytes.remove_prefix(n);
    }
    return {};
  }

  std::string receiveAndDecrypt(std::string& input, Clock::time_point deadline) {
    for (;;) {
      if (!raw.empty()) {
        SecBuffer buffers[4] = {{static_cast<unsigned long>(raw.size()), SECBUFFER_DATA, raw.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context.handle, &desc, 0, nullptr);
        if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) {
          std::string extra;
          std::size_t plain = 0;
          for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.pvBuffer) {
              input.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
              plain += b.cbBuffer;
            }
            if (b.BufferType == SECBUFFER_EXTRA && b.pvBuffer)
              extra.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
          }
          raw = std::move(extra);
          // A server may start a new handshake (TLS 1.3 sends its session tickets so).
          if (status == SEC_I_RENEGOTIATE) {
            if (std::string problem = handshake(peerName, deadline); !problem.empty()) return problem;
          }
          if (plain > 0) return {};
          continue;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) return "the server closed the secure connection";
        if (status != SEC_E_INCOMPLETE_MESSAGE) return "the data could not be decrypted: " + describe(status);
      }
      if (std::string problem = receiveRaw(deadline); !problem.empty()) return problem;
    }
  }
};

Connection::Connection() : state_(std::make_unique<State>()) {}
Connection::~Connection() = default;

bool Connection::secure() const { return state_->secure; }

std::string Connection::localAddress() const {
  sockaddr_storage local{};
  int length = sizeof local;
  if (!state_->socket || getsockname(state_->socket.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
    return {};
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&local), length, host, sizeof host, nullptr, 0,
                  NI_NUMERICHOST) != 0)
    return {};
  return host;
}

std::string Connection::open(const std::string& host, std::uint16_t port, Clock::time_point deadline) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); error != 0)
    return "the server name " + host + " was not found: " + describe(error);
  std::string problem = "the server has no address";
  for (addrinfo* a = found; a; a = a->ai_next) {
    unique_socket s(socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    if (!s) {
      problem = networkError(WSAGetLastError());
      continue;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s.get(), FIONBIO, &nonBlocking);
    if (connect(s.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error != WSAEWOULDBLOCK) {
        problem = describe(error);
        continue;
      }
      problem = waitFor(s.get(), true, deadline);
      int soError = 0;
      int length = sizeof soError;
      if (problem.empty() &&
          (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) != 0 ||
           soError))
        problem = describe(soError ? soError : WSAGetLastError());
      if (!problem.empty()) {
        if (millisecondsLeft(deadline) == 0) problem = "the server did not accept the connection in time";
        continue;
      }
    }
    freeaddrinfo(found);
    state_->socket = std::move(s);
    return {};
  }
  freeaddrinfo(found);
  return problem;
}

std::string Connection::sendAll(std::string_view bytes, Clock::time_point deadline) {
  return state_->secure ? state_->encryptAndSend(bytes, deadline) : state_->sendRaw(bytes, deadline);
}

std::string Connection::receive(std::string& input, Clock::time_point deadline) {
  if (state_->secure) return state_->receiveAndDecrypt(input, deadline);
  if (std::string problem = state_->receiveRaw(deadline); !problem.empty()) return problem;
  input += state_->raw;
  state_->raw.clear();
  return {};
}

std::string Connection::startTls(const std::string& host, Clock::time_point deadline) {
  State& s = *state_;
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  // The certificate is checked below, with the reason of a refusal at hand.
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  char package[] = UNISP_NAME_A;
  const SECURITY_STATUS status =
      AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr,
                                &s.credentials.handle, nullptr);
  if (status != SEC_E_OK) return "the secure connection could not be prepared: " + describe(status);
  s.credentials.set = true;
  s.raw.clear();
  if (std::string problem = s.handshake(host, deadline); !problem.empty()) return problem;
  if (std::string problem = s.checkCertificate(host); !problem.empty()) return problem;
  if (const SECURITY_STATUS sizes =
          QueryContextAttributesA(&s.context.handle, SECPKG_ATTR_STREAM_SIZES, &s.sizes);
      sizes != SEC_E_OK)
    return "the secure connection could not be set up: " + describe(sizes);
  s.peerName = host;
  s.secure = true;
  return {};
}

WinsockUse::WinsockUse() {
  WSADATA data;
  ready_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockUse::~WinsockUse() {
  if (ready_) WSACleanup();
}

}  // namespace mail
