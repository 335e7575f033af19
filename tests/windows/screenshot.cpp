#include "screenshot.h"

#include <fstream>
#include <vector>

bool save_window_picture(HWND window, const std::filesystem::path& file) {
  RECT area = {};
  if (!GetWindowRect(window, &area)) return false;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, previous);

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom row first, as BMP files keep them
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const int row_bytes = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(row_bytes) * height);
  const bool read = GetDIBits(memory, bitmap, 0, height, pixels.data(),
                              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!read) return false;

  BITMAPFILEHEADER file_header = {};
  file_header.bfType = 0x4D42;  // "BM"
  file_header.bfOffBits = sizeof file_header + sizeof header;
  file_header.bfSize = file_header.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file_header), sizeof file_header);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}
