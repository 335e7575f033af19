// The capture backend that cameras are opened with on this platform, and the device
// number it knows each camera by.
//
// Always the platform's own (V4L2, DirectShow): OpenCV's default of trying every backend
// in turn takes a fifth of a second to fail with no camera and prints warnings of its own.
#pragma once

namespace cam {

int native_capture_api();

// The number the native backend opens camera `camera` by, or -1 when there is no such
// camera. DirectShow lists capture devices only, so there the two are the same. V4L2
// gives nodes that cannot capture (a webcam's metadata node, outputs) numbers of their
// own and leaves gaps where a camera was unplugged, so there cameras are counted over
// the nodes that can capture video.
int native_device_of(int camera);

}  // namespace cam
