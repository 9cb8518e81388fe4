#include "scan/settings_keys.h"

#include <string.h>

#define LIMITED(name, word, def, lo, hi, repl) { name, word, KeyRule::Limited, def, lo, hi, repl }
#define ANY(name, word, def)                   { name, word, KeyRule::Any, def, 0, 0, def }
#define WRITTEN(name, word)                    { name, word, KeyRule::WrittenOnly, 0, 0, 0, 0 }

// Word 24 (reserved) is never stored.
const SettingKey kSettingKeys[] = {
    WRITTEN("scan mode", 0),
    WRITTEN("scan size", 1),
    { "resolution", 2, KeyRule::DriverResolution, 300, 0, 0, 300 },  // range from the driver
    LIMITED("A_bright",    3, 0, -100, 100, 0),
    LIMITED("R_bright",    8, 0, -100, 100, 0),
    LIMITED("G_bright",   13, 0, -100, 100, 0),
    LIMITED("B_bright",   18, 0, -100, 100, 0),
    LIMITED("A_contrast",  4, 0, -100, 100, 0),
    LIMITED("R_contrast",  9, 0, -100, 100, 0),
    LIMITED("G_contrast", 14, 0, -100, 100, 0),
    LIMITED("B_contrast", 19, 0, -100, 100, 0),
    LIMITED("A_gamma",     5, 10, 1, 99, 10),
    LIMITED("G_gamma",    15, 10, 1, 99, 10),
    LIMITED("B_gamma",    20, 10, 1, 99, 10),
    LIMITED("R_gamma",    10, 10, -100, 100, 10),
    LIMITED("A_highlight",  6, 255, 1, 255, 255),
    LIMITED("R_highlight", 11, 255, 1, 255, 255),
    LIMITED("G_highlight", 16, 255, 1, 255, 255),
    LIMITED("B_highlight", 21, 255, 1, 255, 255),
    LIMITED("A_shadow",  7, 0, 0, 254, 0),
    LIMITED("R_shadow", 12, 0, 0, 254, 0),
    LIMITED("G_shadow", 17, 0, 0, 254, 0),
    LIMITED("B_shadow", 22, 0, 0, 254, 0),
    ANY("halftone",     23, 1),
    ANY("compress",     25, 0),
    ANY("trimedge",     26, 0),
    ANY("Deskew",       27, 0),
    ANY("Scan Page",    28, 0),
    ANY("Auto Scan",    29, 0),
    ANY("Paper Source", 30, 0),
    ANY("Quality Scan", 31, 0),
    LIMITED("Threshold", 32, 128, 0, 255, 128),
    WRITTEN("Filter Type", 33),
    ANY("Inversion",    34, 0),
    ANY("Color Match",  35, 0),
    LIMITED("Channel", 36, 0, 0, 3, 0),
    LIMITED("Top",     37, 0, 0, 360, 0),
    LIMITED("Left",    38, 0, 0, 220, 0),
    LIMITED("Bottom",  39, 360, 0, 360, 360),
    LIMITED("Right",   40, 220, 0, 220, 220),
    ANY("Paper Type",  41, 0),
    LIMITED("Exposure Time", 42, 0, 0, 255, 0),
};
const int kSettingKeyCount = sizeof(kSettingKeys) / sizeof(kSettingKeys[0]);

#define ADJUSTMENT_KEYS(c) c "_bright", c "_contrast", c "_gamma", c "_highlight", c "_shadow"

const char* const kLoadOrder[] = {
    "resolution", "compress", "trimedge", "Deskew", "Scan Page", "Auto Scan", "halftone",
    "Paper Source", "Paper Type", "Quality Scan", "Threshold", "Exposure Time", "Inversion",
    "Color Match", "Channel",
    ADJUSTMENT_KEYS("A"), ADJUSTMENT_KEYS("R"), ADJUSTMENT_KEYS("G"), ADJUSTMENT_KEYS("B"),
    "Top", "Bottom", "Left", "Right",
};
const int kLoadOrderCount = sizeof(kLoadOrder) / sizeof(kLoadOrder[0]);

const char* const kSaveOrder[] = {
    "scan mode", "resolution", "compress", "trimedge", "Deskew", "Scan Page", "Auto Scan",
    "halftone", "Paper Source", "Quality Scan", "Threshold", "Exposure Time", "Paper Type",
    "Filter Type", "Inversion", "Color Match", "Channel",
    ADJUSTMENT_KEYS("A"), ADJUSTMENT_KEYS("R"), ADJUSTMENT_KEYS("G"), ADJUSTMENT_KEYS("B"),
    "Top", "Left", "Bottom", "Right", "scan size",
};
const int kSaveOrderCount = sizeof(kSaveOrder) / sizeof(kSaveOrder[0]);

const SettingKey* FindSettingKey(const char* name)
{
    for (int i = 0; i < kSettingKeyCount; ++i) {
        if (strcmp(kSettingKeys[i].name, name) == 0)
            return &kSettingKeys[i];
    }
    return nullptr;
}
