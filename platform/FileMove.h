#pragma once
// Moving files and folder trees so that what is moved stays as it was: a rename where source and
// destination share a file system (content, mode and times kept, atomic), otherwise a copy that
// keeps mode and times, put in place whole, then the source deleted. Links move as themselves.

#include <string>
#include <vector>

namespace platform {

// Moves one file or symbolic link over To (replacing a file or link there). False, the code of what
// failed left for LastErrorCode(); the source is deleted only after its copy is in place.
bool MoveFileKeepingAttributes(const std::string& From, const std::string& To);

struct TMoveFailure {
  std::string Path;  // relative to the source folder; folders end with "/"
  int ErrorCode = 0;
};

// Moves everything inside From into To: files and links replace what is there, folders merge with
// existing ones and are removed from From once empty. Nothing is asked and a failure stops nothing:
// what could not be moved stays in From and is reported. A link at the destination leads into
// another folder only when FindUntrustedLink would trust it. From itself stays.
std::vector<TMoveFailure> MoveFolderContents(const std::string& From, const std::string& To);

}  // namespace platform
