// wren's 16240-byte calibration record, damaged: short, long, empty, a folder, a
// pipe, garbage without the validity mark, and a marked record whose values are out
// of every range. Each is refused: the page programs the chip exactly as with no
// record at all (the defaults), and a calibration into a path that cannot be
// written fails before it moves the sheet. (A record held open by another process
// is a Windows case: locked_files_test.)
#include "wren/wren_core_module.h"
#include "wren/wren_pages.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace wrentest;

namespace {

void RemoveRecord(const std::string& path)
{
    unlink(path.c_str());
    rmdir(path.c_str());
}

void WriteRecord(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

TEST(WrenBadRecord, DamagedRecordsAreRefusedAndThePageUsesTheDefaults)
{
    WrenCore wren("wren_bad_record_test");
    const std::string record = wren.CalibrationFile();
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    RemoveRecord(record);
    const std::string defaults = RegisterImageOfAPage(wren);
    ASSERT_GT(defaults.size(), 100u) << defaults;

    enum class Kind { Bytes, Folder, Pipe };
    struct Damage {
        const char* what;
        Kind kind;
        std::vector<uint8_t> bytes;
        bool needsCalibration;
    } const damages[] = {
        {"short, marked", Kind::Bytes, RecordGarbage(16239, true), true},
        {"long, marked", Kind::Bytes, RecordGarbage(16241, true), true},
        {"twice the size, marked", Kind::Bytes, RecordGarbage(32480, true), true},
        {"empty", Kind::Bytes, {}, true},
        {"garbage without the mark", Kind::Bytes, RecordGarbage(16240, false), true},
        // Marked and of the right size: its age says no calibration is due, but
        // its values are refused when a page loads it.
        {"marked garbage of the right size", Kind::Bytes, RecordGarbage(16240, true), false},
        {"a folder", Kind::Folder, {}, true},
        {"a pipe", Kind::Pipe, {}, true},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        RemoveRecord(record);
        if (d.kind == Kind::Folder)
            ASSERT_EQ(0, mkdir(record.c_str(), 0755));
        else if (d.kind == Kind::Pipe)
            ASSERT_EQ(0, mkfifo(record.c_str(), 0644));
        else
            WriteRecord(record, d.bytes);
        EXPECT_EQ(d.needsCalibration ? 1 : 0, wren.NeedCalibration(3650));
        EXPECT_EQ(defaults, RegisterImageOfAPage(wren)) << "the page used the damaged record";
        if (d.kind != Kind::Bytes)
            ExpectCalibrationFailsKeepingTheSheet(wren);
    }
    RemoveRecord(record);
}
