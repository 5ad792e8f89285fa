#pragma once
// The standard operating-system error: an error code of the system and its text.

#include "Runtime.Exceptions.h"

class EOSError : public Exception {
 public:
  // The message is the system's text for the code.
  explicit EOSError(int errorCode);
  // The system's text, prefixed with what was being done: "<context>: <text>".
  EOSError(int errorCode, std::string_view context);
  int ErrorCode() const { return FErrorCode; }

 private:
  int FErrorCode;
};

namespace platform {
// The calling thread's last error code (errno here).
int LastErrorCode();
// Leaves an error code for LastErrorCode(), as a failing call does.
void SetLastErrorCode(int errorCode);
// What an error code means, for callers that take a different way on it.
bool IsCrossDeviceError(int errorCode);  // a rename across file systems
bool IsLinkLoopError(int errorCode);     // too many symbolic links on the way
// The system's text for an error code.
std::string SystemErrorText(int errorCode);
// Raises EOSError for the calling thread's last error code.
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(std::string_view context);
}  // namespace platform
