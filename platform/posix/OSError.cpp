#include "platform/OSError.h"

#include <cerrno>
#include <cstring>

namespace platform {
int LastErrorCode() { return errno; }
void SetLastErrorCode(int errorCode) { errno = errorCode; }
bool IsCrossDeviceError(int errorCode) { return errorCode == EXDEV; }
bool IsLinkLoopError(int errorCode) { return errorCode == ELOOP; }

std::string SystemErrorText(int errorCode) {
  char buffer[256];
  // GNU strerror_r returns the text, which may or may not be the buffer.
  const char* text = strerror_r(errorCode, buffer, sizeof buffer);
  return text ? text : "Unknown error " + std::to_string(errorCode);
}
}  // namespace platform
