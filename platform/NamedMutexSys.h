#pragma once
// The system primitives of the named mutex: take the name (a handle, or -1 with the error code),
// give it back.
// Private to the service: its shared and its POSIX file include this, so the compiler checks the seam.

#include <string_view>

namespace platform {
int AcquireNamedMutexSys(std::string_view name, int& errorCode);
void ReleaseNamedMutexSys(int handle);
}  // namespace platform
