#pragma once
// Address texts of the formatter through the system's socket library.
#include <cstddef>
#include <cstdint>

// The text of an IPv6 address; false when it cannot be converted.
bool Ipv6AddressText(const uint8_t* address, char* out, size_t capacity) noexcept;
// The text of a socket address: IPv4 dotted, an IPv4-mapped IPv6 address as
// IPv4, other IPv6 through inet_ntop; with the port ":port" follows and IPv6
// is enclosed in brackets. False for other families or when it cannot be
// converted.
bool SocketAddressText(const void* address, bool withPort, char* out, size_t capacity) noexcept;
