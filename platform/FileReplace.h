#pragma once
// Writing a whole file so that a reader, or a crash, never meets it half-written.

#include <string>
#include <string_view>

namespace platform {
// Writes Contents into a new temporary file in Path's folder, flushes it to the disk and renames it
// over Path: Path holds its old content (or does not exist) until the new one is complete. An
// existing Path is replaced, a symbolic link named Path included (the link, not its target). The
// new file gets Permissions less the process's umask. EOSError naming the file on failure; the
// temporary file is then removed and Path is untouched.
void WriteFileReplacing(const std::string& Path, std::string_view Contents, unsigned Permissions);
}  // namespace platform
