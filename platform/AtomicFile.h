#pragma once
// Replacing a file's contents so that it is never seen, nor left, half-written: the new contents go
// to a temporary file beside it, which is renamed over the old file only once it is complete.

#include <string>
#include <string_view>

namespace platform {

// Writes contents to path through a temporary file in path's folder, flushed to the disk and then
// renamed over path. The file gets the old file's permission bits (a new one 0666 less the umask).
// On any failure the temporary is removed, path keeps its old contents, and EOSError names path.
// A symbolic link at path is replaced by the file, not followed.
void WriteFileAtomically(const std::string& path, std::string_view contents);

// The same, for a file whose permissions the caller decides (a desktop entry must be executable):
// the file gets permissions less the umask, whatever the old file had.
void WriteFileAtomically(const std::string& path, std::string_view contents, unsigned permissions);

}  // namespace platform
