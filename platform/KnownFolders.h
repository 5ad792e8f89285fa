#pragma once
// Special folders of the user and of the machine, addressed by the system's folder identifiers.
//
// The POSIX backend maps them onto the freedesktop base and user directories ("~" is HomeFolder()
// of Environment.h):
//   CSIDL_APPDATA (26)                          $XDG_DATA_HOME, default ~/.local/share
//   CSIDL_LOCAL_APPDATA (28)                    $XDG_STATE_HOME, default ~/.local/state
//   CSIDL_COMMON_APPDATA (35)                   $ORVEL_COMMON_APPDATA, default /var/lib
//   CSIDL_PERSONAL (5)                          XDG_DOCUMENTS_DIR of user-dirs.dirs, default ~/Documents
//   CSIDL_DESKTOP (0), CSIDL_DESKTOPDIRECTORY (16)  XDG_DESKTOP_DIR of user-dirs.dirs, default ~/Desktop
// user-dirs.dirs is read from XdgConfigHome() on every call, in its shell form
// (XDG_DOCUMENTS_DIR="$HOME/Dokumente" or an absolute path; other values are ignored).
// XDG_* variables count only when they hold an absolute path, as the base directory rules say;
// ORVEL_COMMON_APPDATA counts when set and not empty. Tests point these variables at temporary
// folders.

#include <optional>
#include <string>

namespace platform {
inline constexpr int CSIDL_DESKTOP = 0;
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 16;
inline constexpr int CSIDL_APPDATA = 26;
inline constexpr int CSIDL_LOCAL_APPDATA = 28;
inline constexpr int CSIDL_COMMON_APPDATA = 35;

// The folder's path without trailing separator (the root stays "/"). The folder is not created and
// need not exist. EOSError ENOENT when the folder cannot be determined (no home folder), EINVAL
// for an identifier not listed above.
std::string GetSpecialFolderPath(int csidl);

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; nothing without a home folder.
std::optional<std::string> XdgConfigHome();
}  // namespace platform
