// Writes frames to image files whose format follows the file name's extension.
#pragma once

#include <filesystem>
#include <optional>

#include "camera_facility.h"

namespace cam {

// Whether the extension (.jpg, .tif, .png, ...) names a format this build can write.
bool can_write_image(const std::filesystem::path& file);

// Encodes the frame in memory, then puts the bytes in place through replace_file(), so a
// failed write (folder missing, not writable, disk full) leaves an earlier file intact.
// A JPEG is written at `jpegQuality` when one is given, else at OpenCV's default.
bool write_image(const std::filesystem::path& file, const Frame& frame,
                 std::optional<int> jpegQuality);

}  // namespace cam
