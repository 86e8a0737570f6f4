#pragma once
// Replacing a whole file atomically and durably: the routine every file the
// wizard rewrites goes through (registry.reg, applicationHost.config,
// web.config). Each platform implements it over its own file system calls.
#include <filesystem>
#include <string_view>
#include <system_error>

namespace t7 {

// Replaces the contents of `file` with `bytes`.
//
// What it guarantees:
// - Atomic: the new contents go to a temporary file in the same folder,
//   which is flushed to the disk and then renamed over the file. A reader,
//   or the next run after a crash or kill at any moment, finds the old
//   contents or the new ones, never a mixture or an empty file.
// - Durable: once it returns success, the new contents and the rename are
//   on the disk (the file and its folder are flushed).
// - The file stays what it was: its permissions and its owner are those of
//   the old file. A symbolic link is followed, and the file it points to is
//   the one replaced; the link itself stays as it is.
// - A file the process may not write is not replaced: no write permission,
//   or read-only (no write permission for anyone, which on Windows is the
//   read-only attribute), gives std::errc::permission_denied even where the
//   process could override it.
// - A file that does not exist is created with the default permissions.
//
// Returns the failure, or an empty error_code on success; on failure the
// file is as it was and no temporary file is left behind.
std::error_code writeFileDurably(const std::filesystem::path& file, std::string_view bytes);

// Removes the temporary files that writeFileDurably left beside `file` in a
// run that was killed before its rename. Temporaries of a run that is still
// going are left alone. Failures are ignored: a leftover is only clutter.
void removeLeftoverTemporaries(const std::filesystem::path& file);

}  // namespace t7
