// Puts new contents at a path so that a file already there survives any failure.
//
// The bytes go to a temporary file beside the target (on Linux an unnamed one, which a
// killed run cannot leave behind), are flushed to disk, and only then is the temporary
// renamed over the target. A reader, or a run that is killed part way,
// therefore finds either the earlier file or the new one whole, never a torn or truncated
// one. A path that is a symbolic link is written where the link points; the link stays.
// The path is the platform's own file name: bytes on Linux, Unicode on Windows.
// One implementation per platform: file_replace_posix.cpp, file_replace_windows.cpp.
#pragma once

#include <cstddef>
#include <filesystem>

namespace cam {

// Returns false when the contents could not be put in place; the path is then as it was
// and no temporary file is left behind.
bool replace_file(const std::filesystem::path& path, const unsigned char* data, std::size_t size);

}  // namespace cam
