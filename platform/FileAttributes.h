#pragma once
// The read-only attribute of a file: here, the file's write permission bits.

#include <string>

namespace platform {

// Read-only removes every write bit; writable again gives the owner the write bit (the others
// keep what they have). EOSError naming the path when the file cannot be changed.
void SetFileReadOnly(const std::string& path, bool readOnly);
// No write bit is set. False also when the file is not there.
bool FileIsReadOnly(const std::string& path);

}  // namespace platform
