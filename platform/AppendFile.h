#pragma once
// A file that only grows, one whole record at a time, for records that must outlive their writer:
// the update's journal and the run's log. Its writer holds an exclusive lock on it for as long as it
// lives; the system drops the lock when the process dies, however it dies, so another process can
// tell a file whose writer still runs from one whose writer is gone.

#include <string>
#include <string_view>

namespace platform {

class TAppendFile {
 public:
  // Creates Path (mode 0600) or opens it for appending, and takes its lock. EOSError when it cannot
  // be opened, or EWOULDBLOCK when another writer holds it.
  explicit TAppendFile(std::string Path);
  ~TAppendFile();
  TAppendFile(const TAppendFile&) = delete;
  TAppendFile& operator=(const TAppendFile&) = delete;

  const std::string& Path() const { return FPath; }
  // Writes Text whole; with Sync it is on the disk when this returns. EOSError.
  void Append(std::string_view Text, bool Sync);

 private:
  std::string FPath;
  int FHandle = -1;
};

// Whether a living process holds the lock of the file at Path. False when nobody does or the file
// cannot be opened.
bool IsWriterAlive(const std::string& Path);

}  // namespace platform
