// The two display palettes of the live scan picture.
#include "scan/misc.h"

namespace {

void SetEntry(PALETTEENTRY& entry, int red, int green, int blue)
{
    entry.peRed = static_cast<BYTE>(red);
    entry.peGreen = static_cast<BYTE>(green);
    entry.peBlue = static_cast<BYTE>(blue);
    entry.peFlags = 0;
}

bool MakePalette(Palette& palette, void (*fill)(PALETTEENTRY*))
{
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[DISPLAY_PALETTE_SIZE];
    } description;
    description.version = 0x300;
    description.count = DISPLAY_PALETTE_SIZE;
    fill(description.entries);
    return palette.Create(reinterpret_cast<const LOGPALETTE*>(&description));
}

} // namespace

bool Palette::Create(const LOGPALETTE* description)
{
    Reset();
    handle_ = CreatePalette(description);
    return handle_ != nullptr;
}

void Palette::Reset()
{
    if (handle_)
        DeleteObject(handle_);
    handle_ = nullptr;
}

void FillGrayPaletteEntries(PALETTEENTRY entries[DISPLAY_PALETTE_SIZE])
{
    for (int i = 0; i < DISPLAY_PALETTE_SIZE; ++i)
        SetEntry(entries[i], i, i, i);
}

void FillColorPaletteEntries(PALETTEENTRY entries[DISPLAY_PALETTE_SIZE])
{
    int i = 0;
    for (; i < 36; ++i)
        SetEntry(entries[i], i * 7 + 3, i * 7 + 3, i * 7 + 3);
    for (int blue = 0; blue < 6; ++blue)
        for (int green = 0; green < 6; ++green)
            for (int red = 0; red < 6; ++red)
                SetEntry(entries[i++], red * 51, green * 51, blue * 51);
    for (; i < DISPLAY_PALETTE_SIZE; ++i)
        SetEntry(entries[i], 255, 255, 255);
}

bool MakeGrayPalette(Palette& palette)
{
    return MakePalette(palette, FillGrayPaletteEntries);
}

bool MakeColorPalette(Palette& palette)
{
    return MakePalette(palette, FillColorPaletteEntries);
}
