#pragma once
// Random bytes from the operating system's generator.

#include <cstddef>

namespace platform {
// Fills the buffer; false, its code left for LastErrorCode(), when the generator fails.
[[nodiscard]] bool FillRandomBytes(void* buffer, std::size_t count);
}  // namespace platform
