#pragma once
// Canonical bencode of an entity: dictionary keys in byte order.
#include "bencode/bencentity.h"
#include "bencode/bytebuffer.h"

// The encoding, trimmed to max(size, 16) bytes; the caller takes the bytes
// with Release() or lets the buffer free them. Size 0 for an entity of kind
// none, and also when memory ran out (nothing half-encoded is handed out).
ByteBuffer BencEncode(const BencEntity& entity) noexcept;
