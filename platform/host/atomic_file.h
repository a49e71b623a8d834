// File replacement that never leaves a half-written file, and moving a file out of the way
// without replacing anything already there.
#pragma once

#include <string>
#include <string_view>

namespace tucklet::platform {

// Writes `contents` to a temporary file in the folder of `path`, flushes it to disk and renames it
// over `path`, so readers see the old or the new contents, never a mix. Creates missing folders.
// On failure `path` is untouched, no temporary file remains and `error` says why.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::string& error);

// Renames `from` to `to`, failing rather than replacing an existing `to`. Returns 0, or the errno
// value of the failure (EEXIST when `to` exists) with `error` saying what failed.
int renameWithoutReplacing(const std::string& from, const std::string& to, std::string& error);

// Creates `folder` and its missing parents (mode 0700 for new ones).
bool makeFolders(const std::string& folder, std::string& error);

}  // namespace tucklet::platform
