#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "native_backend.h"

namespace cam {

namespace {

// The kernel numbers video nodes below this.
constexpr int kVideoNodes = 256;

enum class Node { Absent, NotACamera, Camera };

// What /dev/video<number> is. Only asked, never started: no format, no buffers, no
// streaming, so the lookup costs a camera nothing. A node that is there but cannot be
// asked (busy, no permission) is taken for a camera, one that will then fail to open.
Node node_kind(int number) {
  const std::string path = "/dev/video" + std::to_string(number);
  struct stat status;
  if (stat(path.c_str(), &status) != 0 && errno == ENOENT) return Node::Absent;
  const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Node::Absent : Node::Camera;
  v4l2_capability capability = {};
  int asked;
  do {
    asked = ioctl(fd, VIDIOC_QUERYCAP, &capability);
  } while (asked != 0 && errno == EINTR);
  close(fd);
  if (asked != 0) return Node::Camera;
  // What this node does; `capabilities` alone is what the whole device does, which for a
  // webcam's metadata node includes the capture its sibling node does.
  const unsigned own = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                           ? capability.device_caps
                           : capability.capabilities;
  return (own & V4L2_CAP_VIDEO_CAPTURE) != 0 ? Node::Camera : Node::NotACamera;
}

// The number V4L2 opens camera `camera` by, or -1 when there is no such camera. V4L2
// gives nodes that cannot capture (a webcam's metadata node, outputs) numbers of their
// own and leaves gaps where a camera was unplugged, so cameras are counted over the
// nodes that can capture video.
int node_of(int camera) {
  if (camera < 0) return -1;
  int cameras_passed = 0;
  for (int number = 0; number < kVideoNodes; ++number) {
    if (node_kind(number) != Node::Camera) continue;
    if (cameras_passed == camera) return number;
    ++cameras_passed;
  }
  return -1;
}

}  // namespace

// V4L2 takes a size before the stream starts, which is at the first frame, so a size set
// after the open still starts the camera once. Given with the open instead, a size the
// driver refuses would fail the open.
bool open_native(cv::VideoCapture& device, int camera, const std::optional<FrameSize>& size) {
  const int node = node_of(camera);
  if (node < 0 || !device.open(node, cv::CAP_V4L2)) return false;
  if (!size) return true;
  try {  // what the camera makes of the size is no concern of the open
    device.set(cv::CAP_PROP_FRAME_WIDTH, size->width);
    device.set(cv::CAP_PROP_FRAME_HEIGHT, size->height);
  } catch (...) {
  }
  return true;
}

}  // namespace cam
