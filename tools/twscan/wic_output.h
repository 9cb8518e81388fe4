// PNG and TIFF files through the Windows Imaging Component.
#pragma once

#include <windows.h>

#include <string>

// Encodes the image of a packed DIB (1-bit, 8-bit with a palette, or 24-bit) into
// `path` as PNG (`tiff` false) or TIFF, with `dpi` as its resolution.
bool WriteWicFile(const std::string& path, bool tiff, const BITMAPINFOHEADER& info,
                  const RGBQUAD* palette, const unsigned char* pixels, int dpi,
                  std::string* error);
