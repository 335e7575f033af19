// Writes frames to image files whose format follows the file name's extension.
#pragma once

#include <filesystem>

#include "camera_facility.h"

namespace cam {

// Whether the extension (.jpg, .tif, .png, ...) names a format this build can write.
bool can_write_image(const std::filesystem::path& file);

// Encodes the frame in memory, then puts the bytes in place through replace_file(), so a
// failed write (folder missing, not writable, disk full) leaves an earlier file intact.
// `params` is null or (parameter, value) pairs ended by a 0.
bool write_image(const std::filesystem::path& file, const Frame& frame, const int* params);

}  // namespace cam
