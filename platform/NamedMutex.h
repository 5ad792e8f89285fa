#pragma once
// Named mutexes, used for one thing: a running program holds one, and another program asks whether
// it already exists.
//
// POSIX backend: a Unix socket bound in the Linux abstract namespace under the mutex's name ("\0"
// followed by the name's bytes). The kernel frees the name when the last descriptor of the socket
// closes, so a crashed holder leaves nothing stale behind, unlike a lock file. The socket is
// SOCK_STREAM on both sides (the kernel keeps abstract names of different socket types apart) and
// close-on-exec, so that programs the holder starts do not keep the name alive. Names are visible
// to every user of the network namespace, as a global mutex is, and compare byte for byte.

#include <string_view>

namespace platform {

// Holds the named mutex for its lifetime, as the running client does.
// EOSError EADDRINUSE when the name is held already, EINVAL for an empty name, ENAMETOOLONG for a
// name over 107 bytes, and the system's error when the socket cannot be made.
class TNamedMutexHolder {
 public:
  explicit TNamedMutexHolder(std::string_view name);
  ~TNamedMutexHolder();
  TNamedMutexHolder(const TNamedMutexHolder&) = delete;
  TNamedMutexHolder& operator=(const TNamedMutexHolder&) = delete;

 private:
  int FHandle;
};

// True when the named mutex exists (someone holds it, this process included). The check takes the
// name itself for a moment and gives it back at once, so it leaves no mutex behind; it never waits.
// EOSError for a failure other than "exists", with the codes of TNamedMutexHolder.
bool NamedMutexExists(std::string_view name);

}  // namespace platform
