#include "screenshot.h"

#include <fstream>
#include <thread>
#include <vector>

namespace {

// The screen area the window covers, as bottom-up rows of 24-bit pixels, each row padded
// to four bytes as BMP files keep them. Empty when it could not be read.
struct ScreenPicture {
  BITMAPINFOHEADER header = {};
  std::vector<char> pixels;
};

ScreenPicture picture_of(HWND window) {
  ScreenPicture picture;
  RECT area = {};
  if (!GetWindowRect(window, &area)) return picture;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return picture;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFOHEADER& header = picture.header;
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom row first
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int row_bytes = (width * 3 + 3) & ~3;
  picture.pixels.resize(static_cast<size_t>(row_bytes) * height);
  const bool read = GetDIBits(memory, bitmap, 0, height, picture.pixels.data(),
                              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!read) picture.pixels.clear();
  return picture;
}

bool of_one_colour(const ScreenPicture& picture) {
  const int width = picture.header.biWidth;
  const size_t row_bytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  for (size_t row = 0; row + row_bytes <= picture.pixels.size(); row += row_bytes)
    for (size_t x = 0; x < static_cast<size_t>(width) * 3; ++x)
      if (picture.pixels[row + x] != picture.pixels[x % 3]) return false;
  return true;
}

}  // namespace

bool save_window_picture(HWND window, const std::filesystem::path& file) {
  const ScreenPicture picture = picture_of(window);
  if (picture.pixels.empty()) return false;
  BITMAPFILEHEADER file_header = {};
  file_header.bfType = 0x4D42;  // "BM"
  file_header.bfOffBits = sizeof file_header + sizeof picture.header;
  file_header.bfSize = file_header.bfOffBits + static_cast<DWORD>(picture.pixels.size());
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file_header), sizeof file_header);
  out.write(reinterpret_cast<const char*>(&picture.header), sizeof picture.header);
  out.write(picture.pixels.data(), static_cast<std::streamsize>(picture.pixels.size()));
  return static_cast<bool>(out);
}

bool wait_until_drawn(HWND window, std::chrono::milliseconds limit) {
  using std::chrono::milliseconds;
  for (auto waited = milliseconds(0); waited < limit; waited += milliseconds(50)) {
    const ScreenPicture picture = picture_of(window);
    if (!picture.pixels.empty() && !of_one_colour(picture)) return true;
    std::this_thread::sleep_for(milliseconds(50));
  }
  return false;
}
