#include "hostlib/mail/blocking_socket.h"

#include <winsock2.h>
#include <windows.h>

namespace plumex::hostlib::mail {
namespace {

// Winsock counts its users: each socket holds the library for its life.
class WinsockUse {
public:
  WinsockUse() { started_ = WSAStartup(MAKEWORD(1, 1), &data_) == 0; }
  ~WinsockUse() {
    if (started_) WSACleanup();
  }
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  bool started() const { return started_; }

private:
  WSADATA data_{};
  bool started_ = false;
};

bool resolve(const std::string& server, in_addr& address) {
  if (const hostent* host = gethostbyname(server.c_str()); host && host->h_addrtype == AF_INET && host->h_addr_list[0]) {
    memcpy(&address, host->h_addr_list[0], sizeof address);
    return true;
  }
  const unsigned long dotted = inet_addr(server.c_str());
  if (dotted == INADDR_NONE) return false;
  address.s_addr = dotted;
  return true;
}

SOCKET socketOf(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

} // namespace

std::unique_ptr<BlockingSocket> BlockingSocket::connect(const std::string& server, std::uint16_t port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return nullptr;
  // From here the object holds the library use, released with it.
  std::unique_ptr<BlockingSocket> socket(new BlockingSocket(static_cast<std::intptr_t>(INVALID_SOCKET)));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (!resolve(server, to.sin_addr)) return nullptr;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return nullptr;
  socket->handle_ = static_cast<std::intptr_t>(s);
  const DWORD timeout = kSocketTimeoutMs;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return nullptr;
  return socket;
}

BlockingSocket::~BlockingSocket() {
  if (socketOf(handle_) != INVALID_SOCKET) closesocket(socketOf(handle_));
  WSACleanup();
}

bool BlockingSocket::sendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<int>(bytes.size());
    const int n = ::send(socketOf(handle_), bytes.data(), chunk, 0);
    if (n == SOCKET_ERROR || n == 0) {
      lastError_ = WSAGetLastError();
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::ptrdiff_t BlockingSocket::receive(char* into, std::size_t size) {
  const int chunk = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
  const int n = ::recv(socketOf(handle_), into, chunk, 0);
  if (n == SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return -1;
  }
  return n;
}

std::string BlockingSocket::failureText() const {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(lastError_), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n && text ? std::string(text, n) : "socket error " + std::to_string(lastError_);
  if (text) LocalFree(text);
  return message;
}

std::string localHostName() {
  WinsockUse use;
  char name[256];
  if (use.started() && gethostname(name, sizeof name) == 0 && name[0]) return name;
  in_addr address{};
  if (use.started() && resolve("localhost", address)) return inet_ntoa(address);
  return "127.0.0.1";
}

} // namespace plumex::hostlib::mail
