// Writing an acquired image to the user's file. The format follows the file name:
// ".png" and ".tif"/".tiff" are encoded by the Windows Imaging Component, anything
// else is written as a BMP. Every format keeps the scan's resolution, and a failure
// leaves no file behind (the image is written under a temporary name and renamed).
#pragma once

#include <stddef.h>

#include <string>

enum class ImageFormat { Bmp, Png, Tiff };

ImageFormat FormatForName(const std::string& path);

// `dib` is a packed DIB (information header, colour table, bottom-up rows) of
// `size` bytes; `dpi` is the resolution to record when the header carries none.
bool WriteImageFile(const std::string& path, const void* dib, size_t size, int dpi,
                    std::string* error);
