// wren's 16240-byte calibration record, damaged: short, long, empty, a folder, locked
// by another process, garbage without the validity mark, and a marked record whose
// values are out of every range. Each is refused: the page programs the chip
// exactly as with no record at all (the defaults), and a calibration into a path
// that cannot be written fails before it moves the sheet.
#include "wren/wren_module.h"

#include <fstream>

using namespace wrentest;

namespace {

std::string RegisterImageOfAPage(WrenModule& wren)
{
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ScanSettings s = GraySettings(300);
    int width = 0, height = 0;
    if (wren.StartScanPage(&s, &width, &height) != 1)
        return "page refused";
    std::vector<uint8_t> lines(size_t(width + 3) / 4 * 4 * 2);
    const short got = wren.GetImageBlock(lines.data(), 2, &s, width, height);
    std::vector<char> text(scansim_register_text(0, nullptr, 0));
    scansim_register_text(0, text.data(), uint32_t(text.size()));
    wren.EndScanPage();
    return got == 2 ? std::string(text.data()) : "no lines";
}

void RemoveRecord()
{
    SetFileAttributesA(CalibrationFile().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(CalibrationFile().c_str());
    RemoveDirectoryA(CalibrationFile().c_str());
}

void WriteRecord(std::vector<uint8_t> bytes)
{
    std::ofstream f(CalibrationFile(), std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> Garbage(size_t size, bool marked)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 73 + 5);
    if (marked && size >= 24) {
        bytes[22] = 136;  // the validity mark, little-endian word at 22
        bytes[23] = 0;
    }
    return bytes;
}

}  // namespace

TEST(WrenBadRecord, DamagedRecordsAreRefusedAndThePageUsesTheDefaults)
{
    WrenModule wren;
    ASSERT_TRUE(wren.Loaded());
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    RemoveRecord();
    const std::string defaults = RegisterImageOfAPage(wren);
    ASSERT_GT(defaults.size(), 100u) << defaults;

    enum class Kind { Bytes, Folder, Locked };
    struct Damage {
        const char* what;
        Kind kind;
        std::vector<uint8_t> bytes;
        bool needsCalibration;
    } const damages[] = {
        {"short, marked", Kind::Bytes, Garbage(16239, true), true},
        {"long, marked", Kind::Bytes, Garbage(16241, true), true},
        {"twice the size, marked", Kind::Bytes, Garbage(32480, true), true},
        {"empty", Kind::Bytes, {}, true},
        {"garbage without the mark", Kind::Bytes, Garbage(16240, false), true},
        // Marked and of the right size: its age says no calibration is due, but
        // its values are refused when a page loads it.
        {"marked garbage of the right size", Kind::Bytes, Garbage(16240, true), false},
        {"a folder", Kind::Folder, {}, true},
        {"locked by another process", Kind::Locked, Garbage(16240, true), true},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        RemoveRecord();
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (d.kind == Kind::Folder) {
            ASSERT_TRUE(CreateDirectoryA(CalibrationFile().c_str(), nullptr));
        } else {
            WriteRecord(d.bytes);
        }
        if (d.kind == Kind::Locked)
            lock = CreateFileA(CalibrationFile().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(d.needsCalibration ? 1 : 0, wren.NeedCalibration(3650));
        EXPECT_EQ(defaults, RegisterImageOfAPage(wren)) << "the page used the damaged record";
        if (d.kind != Kind::Bytes) {
            // Nowhere to write the record: the calibration fails, the sheet is not lost.
            scansim_insert_card(0, SCANSIM_CARD_WHITE);
            EXPECT_LE(wren.CalibrateScanner(0), 0);
            ScanSimStatus status;
            ASSERT_EQ(1, scansim_get_status(0, &status));
            EXPECT_TRUE(status.sheetPresent);
        }
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
    }
    RemoveRecord();
}
