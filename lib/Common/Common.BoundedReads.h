#pragma once
// Reads whose length comes from the data itself. A file from outside may claim any length, so a
// length is checked against the bytes left in the stream before memory is set aside for it; a
// stream that cannot tell its size is read in blocks, so memory grows only with bytes that are
// really there. A length beyond the data raises EReadError "Stream read error", as the short read
// would.

#include <cstdint>
#include <string>

#include "Runtime.Streams.h"

// Bytes between the position and the end, or -1 when the stream cannot tell.
std::int64_t StreamBytesLeft(TStream& stream);
// EReadError when the stream can tell that fewer than `count` bytes are left.
void CheckBytesLeft(TStream& stream, std::int64_t count);
// Exactly `count` bytes (count >= 0).
std::string ReadBoundedBytes(TStream& stream, std::int64_t count);
// Exactly `count` UTF-16LE code units (count >= 0).
std::u16string ReadBoundedUtf16(TStream& stream, std::int64_t count);
