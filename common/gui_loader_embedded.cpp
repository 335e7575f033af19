// The GUI module travels inside the program and is loaded from memory at the first
// window. GTK and the dozens of libraries under it then cost nothing to the modes that
// show no window (the count, the headless save), and each program is still one file.
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "gui_loader.h"

// The module's bytes, put here at build time; GUI_MODULE_FILE names the built module.
__asm__(
    ".section .rodata\n"
    ".balign 64\n"
    ".hidden camtools_gui_image\n"
    ".hidden camtools_gui_image_end\n"
    "camtools_gui_image:\n"
    ".incbin \"" GUI_MODULE_FILE "\"\n"
    "camtools_gui_image_end:\n"
    ".previous\n");
extern "C" const unsigned char camtools_gui_image[];
extern "C" const unsigned char camtools_gui_image_end[];

namespace cam {

namespace {

bool write_all(int fd, const unsigned char* data, const unsigned char* end) {
  while (data < end) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(end - data));
    if (written <= 0) return false;
    data += written;
  }
  return true;
}

}  // namespace

const GuiTable* load_gui() {
  // An anonymous file in memory: nothing on disk to clean up or to be swapped under us.
  const int fd = memfd_create("camtools-gui", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  void* module = nullptr;
  if (write_all(fd, camtools_gui_image, camtools_gui_image_end)) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  }
  close(fd);  // the mapping keeps the module's pages
  if (module == nullptr) return nullptr;
  // Never closed: a toolkit cannot be unloaded from a running process.
  using Entry = const GuiTable* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, "camtools_gui_table"));
  return entry != nullptr ? entry() : nullptr;
}

}  // namespace cam
