#pragma once
#include <windows.h>
#include <string>

// Saves what the screen shows of window (frame included) as a PNG file, or
// as a BMP file when path ends in ".bmp". Returns an empty string on
// success, else the reason.
std::string SaveWindowImage(HWND window, const std::string& path);
