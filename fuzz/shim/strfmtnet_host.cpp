// Address texts on the host through the POSIX inet_ntop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <string>

#include "util/strfmtnet.h"

namespace {
bool CopyOut(const std::string& text, char* out, size_t capacity) {
  if (text.size() >= capacity) return false;
  memcpy(out, text.c_str(), text.size() + 1);
  return true;
}
}  // namespace

bool Ipv6AddressText(const uint8_t* address, char* out, size_t capacity) noexcept {
  if (!address || !out || capacity == 0) return false;
  in6_addr copy;
  memcpy(&copy, address, sizeof copy);
  return inet_ntop(AF_INET6, &copy, out, static_cast<socklen_t>(capacity)) != nullptr;
}

bool SocketAddressText(const void* address, bool withPort, char* out, size_t capacity) noexcept {
  if (!address || !out || capacity < 2) return false;
  sa_family_t family;
  memcpy(&family, address, sizeof family);
  char text[INET6_ADDRSTRLEN];
  std::string result;
  unsigned port = 0;
  if (family == AF_INET) {
    sockaddr_in v4;
    memcpy(&v4, address, sizeof v4);
    if (!inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) return false;
    result = text;
    port = ntohs(v4.sin_port);
  } else if (family == AF_INET6) {
    sockaddr_in6 v6;
    memcpy(&v6, address, sizeof v6);
    if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
      if (!inet_ntop(AF_INET, v6.sin6_addr.s6_addr + 12, text, sizeof text)) return false;
      result = text;
    } else {
      if (!inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text)) return false;
      result = withPort ? "[" + std::string(text) + "]" : std::string(text);
    }
    port = ntohs(v6.sin6_port);
  } else {
    return false;
  }
  if (withPort) result += ":" + std::to_string(port);
  return CopyOut(result, out, capacity);
}
