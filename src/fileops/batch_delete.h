#pragma once
#include <string>

// Deletes a folder tree through a batch file written beside it (in its
// parent). Errors pass to the caller, which reports them under its own name.
void BatchDeleteFolder(const std::string& folder);
