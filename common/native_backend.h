// The capture backend that cameras are opened with on this platform.
//
// Always the platform's own (V4L2, DirectShow): OpenCV's default of trying every backend
// in turn takes a fifth of a second to fail with no camera and prints warnings of its own.
#pragma once

namespace cam {

int native_capture_api();

}  // namespace cam
