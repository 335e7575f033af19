// A picture of a window as it is on screen, for a person to look at after a test run.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>

// Writes the screen area the window covers as a 24-bit BMP file. False when nothing
// could be written.
bool save_window_picture(HWND window, const std::filesystem::path& file);

// Waits up to `limit` until the screen area the window covers is not of one colour:
// something, such as its text, has been drawn in it. False when nothing was in time.
bool wait_until_drawn(HWND window, std::chrono::milliseconds limit);
