// Reads back which camera and frame a picture from the virtual camera shows.
#pragma once

#include <filesystem>
#include <optional>

namespace vcam {

struct FrameMark {
  int camera;
  int frame;
  int width;  // the picture's size
  int height;
  // The same frame of the same camera, whatever size the picture was saved at.
  friend bool operator==(FrameMark a, FrameMark b) {
    return a.camera == b.camera && a.frame == b.frame;
  }
};

// The mark of the picture in an image file, or none when the file cannot be read or
// shows no intact mark. Any name the platform's files can have (OpenCV's own reader
// opens only those in the ANSI code page on Windows).
std::optional<FrameMark> read_frame_mark(const std::filesystem::path& image_file);

}  // namespace vcam
