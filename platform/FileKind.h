#pragma once
// What a file inside a folder tree is, judged without opening it: so that only regular files of
// the tree are ever opened for copying, and a symbolic link counts only where everything it leads
// to lies inside the tree (an unpacked archive may carry links to any file of the machine).

#include <string>

namespace platform {

enum class TFileKind {
  fkRegular,      // a regular file, or a link resolving to one inside the root
  fkFolder,       // a folder, or a link resolving to one inside the root
  fkLinkOutside,  // a link resolving to anything outside the root
  fkLinkBroken,   // a link that dangles, loops or cannot be resolved (ErrorCode says which)
  fkPipe,
  fkSocket,
  fkDevice,
  fkOther,
  fkMissing,
};

struct TFileVerdict {
  TFileKind Kind = TFileKind::fkMissing;
  bool IsLink = false;   // the path itself is a symbolic link
  // A file or folder only: the path, or where a link inside the root resolves to; else empty.
  std::string OpenPath;
  int ErrorCode = 0;     // fkLinkBroken: ENOENT (dangles), ELOOP (loops), or the system's other code

  // Only these may be opened for copying.
  bool IsCopyable() const { return Kind == TFileKind::fkRegular; }
};

// The verdict on Path, which lies inside the folder Root. A link is followed (every link on the way
// resolved) only when where it ends lies inside Root; what lies outside is neither looked at nor
// opened. Never opens Path, so a pipe or a device cannot block it.
TFileVerdict JudgeFileWithin(const std::string& Root, const std::string& Path);

}  // namespace platform
