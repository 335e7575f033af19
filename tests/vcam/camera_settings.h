// The virtual cameras a test asks for, as the settings the virtual camera reads
// (virtual_camera.c), which the rig writes into a vcam.env file.
#pragma once

#include <map>
#include <string>

namespace vcam {

// Nodes /dev/video0 to /dev/video<count - 1>, each a working camera unless a list says
// otherwise. Lists name node numbers: "2" or "1,3".
class Cameras {
 public:
  Cameras(int count) {
    settings_["VCAM_COUNT"] = std::to_string(count);
  }  // NOLINT: {3} reads as 3 cameras

  Cameras& absent(const std::string& nodes) { return set("VCAM_ABSENT", nodes); }
  Cameras& metadata(const std::string& nodes) { return set("VCAM_META", nodes); }
  Cameras& failing(const std::string& nodes) { return set("VCAM_FAIL", nodes); }
  Cameras& busy(const std::string& nodes) { return set("VCAM_BUSY", nodes); }
  Cameras& silent(const std::string& nodes) { return set("VCAM_SILENT", nodes); }
  // "640x480,320x240": the only frame sizes the cameras give, the first the one they
  // start at; another size asked for gets the nearest of them.
  Cameras& sizes(const std::string& sizes) { return set("VCAM_SIZES", sizes); }
  // "0:8": node 0 gives 8 frames per open, then behaves as unplugged.
  Cameras& frames(const std::string& limits) { return set("VCAM_FRAMES", limits); }
  // The program waits at its exit, before its streams' last flush, until `file` exists.
  Cameras& hold_exit_until(const std::string& file) { return set("VCAM_HOLD_EXIT", file); }

  const std::map<std::string, std::string>& settings() const { return settings_; }

 private:
  Cameras& set(const char* name, const std::string& value) {
    settings_[name] = value;
    return *this;
  }

  std::map<std::string, std::string> settings_;
};

}  // namespace vcam
