#include "platform/NamedMutex.h"
#include "platform/NamedMutexSys.h"

#include <cerrno>
#include <string>

#include "platform/OSError.h"

namespace platform {

namespace {
std::string Context(std::string_view name) { return "Named mutex \"" + std::string(name) + "\""; }
}  // namespace

TNamedMutexHolder::TNamedMutexHolder(std::string_view name) {
  int errorCode = 0;
  FHandle = AcquireNamedMutexSys(name, errorCode);
  if (FHandle < 0) throw EOSError(errorCode, Context(name));
}

TNamedMutexHolder::~TNamedMutexHolder() { ReleaseNamedMutexSys(FHandle); }

bool NamedMutexExists(std::string_view name) {
  int errorCode = 0;
  int handle = AcquireNamedMutexSys(name, errorCode);
  if (handle >= 0) {
    ReleaseNamedMutexSys(handle);
    return false;
  }
  if (errorCode == EADDRINUSE) return true;
  throw EOSError(errorCode, Context(name));
}

}  // namespace platform
