// A picture of a window as it is on screen, for a person to look at after a test run.
#pragma once

#include <windows.h>

#include <filesystem>

// Writes the screen area the window covers as a 24-bit BMP file. False when nothing
// could be written.
bool save_window_picture(HWND window, const std::filesystem::path& file);
