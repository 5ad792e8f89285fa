#include "platform/FileKind.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include "SysCalls.h"

namespace platform {
using posix::Sys;

namespace {
TFileKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return TFileKind::fkRegular;
  if (S_ISDIR(mode)) return TFileKind::fkFolder;
  if (S_ISFIFO(mode)) return TFileKind::fkPipe;
  if (S_ISSOCK(mode)) return TFileKind::fkSocket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return TFileKind::fkDevice;
  return TFileKind::fkOther;
}

// The canonical path, every link on the way resolved; the system's code when that fails.
std::optional<std::string> Resolved(const std::string& path, int& error) {
  std::unique_ptr<char, decltype(&std::free)> resolved(Sys().realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) {
    error = errno;
    return std::nullopt;
  }
  return std::string(resolved.get());
}

bool LiesInside(const std::string& path, const std::string& root) {
  return path == root || (path.starts_with(root) && (root.ends_with('/') || path[root.size()] == '/'));
}
}  // namespace

TFileVerdict JudgeFileWithin(const std::string& Root, const std::string& Path) {
  TFileVerdict verdict;
  struct stat st {};
  if (Sys().lstat(Path.c_str(), &st) != 0) {
    verdict.ErrorCode = errno;
    return verdict;
  }
  if (!S_ISLNK(st.st_mode)) {
    verdict.Kind = KindOfMode(st.st_mode);
    if (verdict.Kind == TFileKind::fkRegular || verdict.Kind == TFileKind::fkFolder) verdict.OpenPath = Path;
    return verdict;
  }
  verdict.IsLink = true;
  int error = 0;
  const std::optional<std::string> target = Resolved(Path, error);
  if (!target) {
    verdict.Kind = TFileKind::fkLinkBroken;
    verdict.ErrorCode = error;
    return verdict;
  }
  const std::optional<std::string> root = Resolved(Root, error);
  if (!root || !LiesInside(*target, *root)) {
    verdict.Kind = TFileKind::fkLinkOutside;
    return verdict;
  }
  // The resolved path holds no link, so this stat sees what the link ends at.
  if (Sys().lstat(target->c_str(), &st) != 0) {
    verdict.Kind = TFileKind::fkLinkBroken;
    verdict.ErrorCode = errno;
    return verdict;
  }
  verdict.Kind = KindOfMode(st.st_mode);
  if (verdict.Kind == TFileKind::fkRegular || verdict.Kind == TFileKind::fkFolder) verdict.OpenPath = *target;
  return verdict;
}

}  // namespace platform
