// Writing the acquired image as a standard BMP file. Files are written under a
// temporary name and renamed at the end, so a failure leaves no partial file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// A packed DIB (information header, colour table, rows) as a native transfer delivers it.
bool WritePackedDibAsBmp(const std::string& path, const void* dib, size_t size, std::string* error);

// Rows as a memory transfer delivers them (top-down, `bytesPerRow` each, colour in
// red-green-blue order; 1-bit rows are black (0) and white (1), 8-bit rows gray)
// turned into a packed DIB in *dib.
bool PackRowsAsDib(int width, int height, int bitsPerPixel, const std::vector<uint8_t>& rows,
                   size_t bytesPerRow, int dpi, std::vector<uint8_t>* dib, std::string* error);
