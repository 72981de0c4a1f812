#include "util/strfmtnet.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <string_view>

namespace {
// Appends to a bounded, terminated text; false when it does not fit.
class BoundedText {
 public:
  BoundedText(char* out, size_t capacity) : out(out), capacity(capacity) { out[0] = 0; }
  bool Add(std::string_view text) {
    if (text.size() >= capacity - used) return false;
    memcpy(out + used, text.data(), text.size());
    used += text.size();
    out[used] = 0;
    return true;
  }
  bool AddNumber(unsigned number) {
    char digits[12];
    size_t count = 0;
    do {
      digits[sizeof digits - 1 - count++] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number);
    return Add(std::string_view(digits + sizeof digits - count, count));
  }

 private:
  char* out;
  size_t capacity;
  size_t used = 0;
};

bool IsIpv4Mapped(const uint8_t* bytes) {
  static const uint8_t prefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  return memcmp(bytes, prefix, sizeof prefix) == 0;
}

bool Ipv4Text(const uint8_t* bytes, char* out, size_t capacity) {
  BoundedText text(out, capacity);
  return text.AddNumber(bytes[0]) && text.Add(".") && text.AddNumber(bytes[1]) && text.Add(".") &&
         text.AddNumber(bytes[2]) && text.Add(".") && text.AddNumber(bytes[3]);
}
}  // namespace

bool Ipv6AddressText(const uint8_t* address, char* out, size_t capacity) noexcept {
  if (!address || !out || capacity == 0) return false;
  IN6_ADDR copy;
  memcpy(&copy, address, sizeof copy);
  return inet_ntop(AF_INET6, &copy, out, capacity) != nullptr;
}

bool SocketAddressText(const void* address, bool withPort, char* out, size_t capacity) noexcept {
  if (!address || !out || capacity < 2) return false;
  ADDRESS_FAMILY family;
  memcpy(&family, address, sizeof family);
  char text[INET6_ADDRSTRLEN + 8];
  unsigned port = 0;
  bool bracketed = false;
  if (family == AF_INET) {
    sockaddr_in v4;
    memcpy(&v4, address, sizeof v4);
    if (!Ipv4Text(reinterpret_cast<const uint8_t*>(&v4.sin_addr), text, sizeof text)) return false;
    port = ntohs(v4.sin_port);
  } else if (family == AF_INET6) {
    sockaddr_in6 v6;
    memcpy(&v6, address, sizeof v6);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&v6.sin6_addr);
    if (IsIpv4Mapped(bytes)) {
      if (!Ipv4Text(bytes + 12, text, sizeof text)) return false;
    } else {
      if (!Ipv6AddressText(bytes, text, sizeof text)) return false;
      bracketed = true;
    }
    port = ntohs(v6.sin6_port);
  } else {
    return false;
  }
  BoundedText result(out, capacity);
  if (!withPort) return result.Add(text);
  const bool addressAdded =
      bracketed ? result.Add("[") && result.Add(text) && result.Add("]") : result.Add(text);
  return addressAdded && result.Add(":") && result.AddNumber(port);
}
