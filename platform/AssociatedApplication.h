#pragma once
// Opening a file with the application the desktop associates with its type.

#include <string>

namespace platform {

// Hands the file to the desktop's opener (xdg-open) and returns at once: false when the opener
// could not be started. The path reaches it as one argument, never through a shell.
bool OpenWithAssociatedApplication(const std::string& path);

}  // namespace platform
