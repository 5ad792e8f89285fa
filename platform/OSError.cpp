#include "platform/OSError.h"

EOSError::EOSError(int errorCode) : Exception(platform::SystemErrorText(errorCode)), FErrorCode(errorCode) {}

EOSError::EOSError(int errorCode, std::string_view context)
    : Exception(std::string(context) + ": " + platform::SystemErrorText(errorCode)), FErrorCode(errorCode) {}

namespace platform {
void RaiseLastOSError() { throw EOSError(LastErrorCode()); }
void RaiseLastOSError(std::string_view context) { throw EOSError(LastErrorCode(), context); }
}  // namespace platform
