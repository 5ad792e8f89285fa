#pragma once
// Random bytes from the operating system's generator.

#include <cstddef>

namespace platform {
// Fills the buffer; returns 0, or the system's error code when the generator fails.
[[nodiscard]] int FillRandomBytes(void* buffer, std::size_t count);
}  // namespace platform
