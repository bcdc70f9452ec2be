#pragma once
// The deletion of a whole folder for "recreate" and the clean-up.
#include <string>

#include "fileops/file_system.h"

// Deletes folder with everything in it, read-only files included. A link or
// junction inside goes without being followed: what it points at is not
// ours. A missing folder is no error. When the folder is still there
// afterwards, that is the error; it passes to the caller, which reports it
// under its own name.
void DeleteWholeFolder(const std::string& folder, const FileSystem::Pulse& pulse = {});
