#include "hostlib/mail/blocking_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace plumex::hostlib::mail {
namespace {

// The first IPv4 address of the name; getaddrinfo reads dotted addresses
// itself, so the fallback is built in.
bool resolve(const std::string& server, in_addr& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

} // namespace

std::unique_ptr<BlockingSocket> BlockingSocket::connect(const std::string& server, std::uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (!resolve(server, to.sin_addr)) return nullptr;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  std::unique_ptr<BlockingSocket> socket(new BlockingSocket(fd));
  timeval timeout{kSocketTimeoutMs / 1000, (kSocketTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return nullptr;
  return socket;
}

BlockingSocket::~BlockingSocket() { ::close(static_cast<int>(handle_)); }

bool BlockingSocket::sendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(static_cast<int>(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      lastError_ = errno;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::ptrdiff_t BlockingSocket::receive(char* into, std::size_t size) {
  for (;;) {
    const ssize_t n = ::recv(static_cast<int>(handle_), into, size, 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    lastError_ = errno;
    return -1;
  }
}

std::string BlockingSocket::failureText() const { return std::strerror(lastError_); }

std::string localHostName() {
  char name[256];
  if (gethostname(name, sizeof name) == 0) {
    name[sizeof name - 1] = '\0';
    if (name[0]) return name;
  }
  in_addr address{};
  if (resolve("localhost", address)) return inet_ntoa(address);
  return "127.0.0.1";
}

} // namespace plumex::hostlib::mail
