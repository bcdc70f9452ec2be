#pragma once
#include <string>

#include "support/run_context.h"

// Deletes a folder tree through a batch file written beside it (in its
// parent). Errors pass to the caller, which reports them under its own name.
void BatchDeleteFolder(RunContext& run, const std::string& folder);
