// The shipped build's programs as their headers say: each is a 32-bit x86 Windows program
// of the right kind, a console program for the camera tools and a graphical one for the
// launcher.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "read_file.h"

namespace {

namespace fs = std::filesystem;

struct Header {
  WORD machine = 0;
  WORD magic = 0;
  WORD subsystem = 0;
};

Header header_of(const fs::path& program) {
  const std::string bytes = cam::testing::read_file(program);
  Header header;
  if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return header;
  const auto& dos = *reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
  if (dos.e_magic != IMAGE_DOS_SIGNATURE ||
      bytes.size() < static_cast<size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS32))
    return header;
  const auto& nt = *reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos.e_lfanew);
  if (nt.Signature != IMAGE_NT_SIGNATURE) return header;
  header.machine = nt.FileHeader.Machine;
  header.magic = nt.OptionalHeader.Magic;
  header.subsystem = nt.OptionalHeader.Subsystem;
  return header;
}

void expect_32_bit(const char* name, WORD subsystem) {
  const fs::path folder = SHIPPED_BUILD;
  if (folder.empty()) GTEST_SKIP() << "the shipped build's folder was not given";
  const Header header = header_of(folder / name);
  EXPECT_EQ(header.machine, IMAGE_FILE_MACHINE_I386) << name;
  EXPECT_EQ(header.magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC) << name;
  EXPECT_EQ(header.subsystem, subsystem) << name;
}

TEST(ShippedPrograms, CaptureIsA32BitConsoleProgram) {
  expect_32_bit("capture/capture.exe", IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

TEST(ShippedPrograms, CamprobeIsA32BitConsoleProgram) {
  expect_32_bit("camprobe/camprobe.exe", IMAGE_SUBSYSTEM_WINDOWS_CUI);
}

TEST(ShippedPrograms, QuelvarWinIsA32BitGraphicalProgram) {
  expect_32_bit("launcher/QuelvarWin.exe", IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

}  // namespace
