#pragma once
// Desktop shortcuts as freedesktop desktop entries: "<desktop>/<Name>.desktop" with Type=Link, the
// target's file URL and the icon of its type, marked executable so that desktops trust it. A link
// has no working folder: the Path key is valid only for Type=Application.

#include <string>

#include "Runtime.Exceptions.h"

// A shortcut name that would leave the desktop folder or name nothing there.
KV_DECLARE_EXCEPTION(EShortcutNameError, Exception);

// The user's desktop folder (the XDG desktop folder), without trailing separator. EOSError when it
// cannot be determined.
std::string DesktopFolder();

// The file URL of an absolute path: "file://" and the path with every byte other than the
// unreserved characters and "/" percent-encoded ("/a b" -> "file:///a%20b").
std::string FileUrlOf(const std::string& Path);

// DesktopFolder + "/" + Name + ".desktop", the file CreateDesktopLink writes. EShortcutNameError as
// CreateDesktopLink.
std::string DesktopLinkFile(const std::string& DesktopFolder, const std::string& Name);

// Writes the shortcut of Target named Name into DesktopFolder and returns its full file name,
// DesktopFolder + "/" + Name + ".desktop". The icon is that of Target's type (platform::IconNameOf)
// as the entry is written. A missing DesktopFolder is created; an existing entry of the same name is
// replaced through a temporary file and a rename. A Name that is empty, "." or "..", or holds a
// path separator ("/" or "\\", the one the package's Windows authors meant) or a NUL raises
// EShortcutNameError and writes nothing: nothing is ever written outside DesktopFolder.
// EOSError when the folder or the file cannot be written.
std::string CreateDesktopLink(const std::string& DesktopFolder, const std::string& Target, const std::string& Name);

// The same in the user's desktop folder.
std::string CreateDesktopLink(const std::string& Target, const std::string& Name);
