#pragma once
// The icon a file manager shows for a file or folder, as a name of the freedesktop icon themes, so
// that a desktop shortcut can carry the icon of what it points at.

#include <string>

namespace platform {
// "folder" for an existing folder; for anything else (also a path that does not exist yet) the
// generic icon of the media type its name has in the shared MIME database ("x-office-document" for
// "Manual.pdf", "text-x-generic" for "Readme.txt"), "application-x-generic" when no type matches.
std::string IconNameOf(const std::string& path);
}  // namespace platform
