// The plover core against the simulated CCD scanner of this process: bytes on the
// wire, reconnection, configuration, register images, calibration files, shading
// and the pipeline steps, and the answers to nonsense.
#include <gtest/gtest.h>

#include "chip_commands.h"
#include "config.h"
#include "device.h"
#include "driver_functions.h"
#include "gamma.h"
#include "module.h"
#include "pipeline.h"
#include "scansim.h"
#include "shading.h"
#include "support/sim_platform.h"
#include "tone.h"

#include <errno.h>
#include <math.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace lm9831;
using namespace plover;

namespace {

// One platform and one driver state for the whole program, as a loaded module has.
platform::Platform& Os()
{
    static simtest::SimulatedPlatform os("plover_driver_test");
    return os.Os();
}
PloverState& Module()
{
    static PloverState state;
    return state;
}
Device& Dev() { return Module().device; }
std::string DriverFile(const char* name) { return DriverFilePath(Os(), name); }
std::string ConfigFile() { return ConfigFilePath(Os()); }

bool Exists(const std::string& path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

std::string DriverFolder()
{
    std::string path = DriverFile("x");
    return path.substr(0, path.size() - 2);
}

std::vector<std::vector<uint8_t>> LoggedTransfers(int direction)
{
    std::vector<std::vector<uint8_t>> out;
    for (uint32_t i = 0; i < scansim_log_count(); ++i) {
        ScanSimLogEntry e;
        std::vector<uint8_t> bytes(70000);
        scansim_log_entry(i, &e, bytes.data(), uint32_t(bytes.size()));
        if (e.direction == direction) {
            bytes.resize(direction == 1 ? e.transferred : e.storedBytes);
            out.push_back(bytes);
        }
    }
    return out;
}

std::vector<uint8_t> Framed(std::initializer_list<uint8_t> header, const uint8_t* data, size_t n)
{
    std::vector<uint8_t> v(header);
    v.insert(v.end(), data, data + n);
    return v;
}

ScanSettings Page(int mode, int dpi, int left = 0, int top = 0, int right = 220, int bottom = 360)
{
    ScanSettings s = {};
    s.mode = int16_t(mode);
    s.resolution = int16_t(dpi);
    s.adjust[0].gamma = 10;
    s.adjust[0].highlight = 255;
    s.left = int16_t(left), s.top = int16_t(top), s.right = int16_t(right), s.bottom = int16_t(bottom);
    return s;
}

int g_boxes = 0;
int CountBox(void*, const char*, const char*, unsigned) { ++g_boxes; return platform::ANSWER_OK; }

const char* const kDriverFiles[] = {"plover.ini", "DadaVorG.oft", "DadaVorG.gan", "DadaVor.oft", "DadaVor.led"};

class PloverDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        Os().messages.tell = CountBox;
        g_boxes = 0;
        scansim_reset();
        scansim_attach(0, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD);
        scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
        Load(Module(), &Os());
        for (const char* f : kDriverFiles)
            unlink(DriverFile(f).c_str());
        scansim_log_clear();
    }
    void TearDown() override
    {
        Unload(Module());
        unlink(ConfigFile().c_str());
        scansim_reset();
    }
    void SetKey(const char* section, const char* key, const char* value)
    {
        EnsureDriverFolder(Os());
        Os().settings.write(Os().settings.context, ConfigFile().c_str(), section, key, value);
    }
    std::vector<uint16_t> MemoryWords(int region, int count)
    {
        std::vector<uint8_t> bytes(size_t(count) * 2);
        scansim_read_memory(0, region, 0, bytes.data(), uint32_t(bytes.size()));
        std::vector<uint16_t> words(count);
        for (int i = 0; i < count; ++i)
            words[i] = uint16_t(bytes[2 * i] << 8 | bytes[2 * i + 1]);
        return words;
    }
};

// --- transport ------------------------------------------------------------------

TEST_F(PloverDriver, WritesAreFramedByteExactly)
{
    WriteRegisterImage(Dev());
    uint8_t data[400];
    for (int i = 0; i < 400; ++i)
        data[i] = uint8_t(i * 7 + 1);
    WriteRegs(Dev(), 0x10, data, 61, true);
    WriteRegs(Dev(), REG_MEM_DATA, data, 400, false);
    auto w = LoggedTransfers(0);
    ASSERT_EQ(w.size(), 5u);
    const uint8_t* img = Dev().registers.data();
    std::vector<uint8_t> image = Framed({0x02, 0x00, 0x00, 0x3C}, img, 60);
    auto second = Framed({0x02, 0x3C, 0x00, 0x3C}, img + 60, 60);
    auto third = Framed({0x02, 0x78, 0x00, 0x07}, img + 120, 7);
    image.insert(image.end(), second.begin(), second.end());
    image.insert(image.end(), third.begin(), third.end());
    EXPECT_EQ(w[0].size(), 139u);
    EXPECT_EQ(w[0], image);
    auto inc = Framed({0x02, 0x10, 0x00, 0x3C}, data, 60);
    auto tail = Framed({0x02, 0x4C, 0x00, 0x01}, data + 60, 1);
    inc.insert(inc.end(), tail.begin(), tail.end());
    EXPECT_EQ(w[1], inc);
    // A burst to the memory port: three 60-byte chunks per transfer, then the rest.
    std::vector<uint8_t> burst;
    for (int c = 0; c < 3; ++c) {
        auto chunk = Framed({0x00, 0x06, 0x00, 0x3C}, data + 60 * c, 60);
        burst.insert(burst.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(w[2], burst);
    EXPECT_EQ(w[3].size(), 192u);
    EXPECT_EQ(w[4], Framed({0x00, 0x06, 0x00, 0x28}, data + 360, 40));
}

TEST_F(PloverDriver, ReadsAreSplitAtTheChunkSize)
{
    std::vector<uint8_t> buffer(100000);
    EXPECT_TRUE(ReadRegs(Dev(), REG_STATUS, buffer.data(), 0, false));
    EXPECT_EQ(scansim_log_count(), 0u);
    EXPECT_TRUE(ReadRegs(Dev(), REG_STATUS, buffer.data(), 100000, false));
    auto w = LoggedTransfers(0);
    auto r = LoggedTransfers(1);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], (std::vector<uint8_t>{0x01, 0x01, 0xF8, 0x00}));
    EXPECT_EQ(w[1], (std::vector<uint8_t>{0x01, 0x01, 0x8E, 0xA0}));
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].size(), 63488u);
    EXPECT_EQ(r[1].size(), 36512u);
}

// Ten short reads in a row are tolerated; the eleventh re-discovers the device and
// writes the register image again; a complete read resets the count.
TEST_F(PloverDriver, EleventhShortReadReconnects)
{
    auto discoveries = [] { return LoggedTransfers(2).size(); };
    scansim_set_fault(0, SCANSIM_FAULT_SHORT_EVERY, 1);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(ReadRegs(Dev(), REG_STATUS, Dev().registers.data() + 0x70, 2, false));
    scansim_clear_faults(0);
    uint8_t v;
    EXPECT_TRUE(ReadRegChecked(Dev(), REG_STATUS, &v));
    EXPECT_EQ(Dev().readFailures, 0u);
    scansim_set_fault(0, SCANSIM_FAULT_SHORT_EVERY, 1);
    uint8_t two[2];
    for (int i = 0; i < 10; ++i)
        ReadRegs(Dev(), REG_STATUS, two, 2, false);
    EXPECT_EQ(Dev().readFailures, 10u);
    EXPECT_EQ(discoveries(), 0u);
    scansim_log_clear();
    EXPECT_FALSE(ReadRegs(Dev(), REG_STATUS, two, 2, false));
    EXPECT_EQ(Dev().readFailures, 0u);
    EXPECT_EQ(discoveries(), 1u);
    auto w = LoggedTransfers(0);
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w.back().size(), 139u) << "the register image is written after reconnecting";
}

TEST_F(PloverDriver, DiscoveryPassesOverOtherDevicesAndTriesEveryName)
{
    Unload(Module());
    scansim_reset();
    scansim_attach(3, SCANSIM_KIND_CCD, 0x0400, 0x1001);
    EXPECT_FALSE(OpenDevice(Dev()));
    EXPECT_FALSE(Dev().link.isOpen());
    scansim_attach(126, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD);
    EXPECT_TRUE(OpenDevice(Dev()));
    EXPECT_EQ(Dev().productId, 0x1000u);
}

TEST_F(PloverDriver, RunStepsKeepsSixteenBits)
{
    ScanSimStatus before, after;
    scansim_get_status(0, &before);
    EXPECT_EQ(RunSteps(Dev(), 70000), 1);
    scansim_get_status(0, &after);
    EXPECT_DOUBLE_EQ(after.motorSteps - before.motorSteps, 4464.0);
}

// --- configuration ------------------------------------------------------------------

TEST_F(PloverDriver, ConfigurationDefaultsAndKeysReadOnEveryUse)
{
    char model[16], iface[16], attach[16], major[16], minor[16];
    short v1 = 9, v2 = 9, v3 = 9;
    EXPECT_EQ(HardwareCheck(Module(), model, iface, attach, major, minor, &v1, &v2, &v3), 1);
    EXPECT_STREQ(model, "plo");
    EXPECT_STREQ(iface, "USB");
    EXPECT_STREQ(attach, "---");
    EXPECT_STREQ(major, "3");
    EXPECT_STREQ(minor, "0");
    EXPECT_EQ(v1 | v2 | v3, 0);
    short maxRes, minRes, step;
    ResolutionInfo(Module(), &maxRes, &minRes, &step);
    EXPECT_EQ(maxRes, 600) << "only resolutions the chip makes are offered";
    EXPECT_EQ(minRes, 100);
    EXPECT_EQ(step, 50);

    SetKey("GENERAL", "ModelName", "ABCDEFG");
    SetKey("CAPABLE", "Max Resolution", "300");
    SetKey("Main", "Fast Step Size", "fast");        // not a number: 0
    SetKey("LedTime Z3", "G_OFF", "1111");
    SetKey("MISC IO", "REG_59H", "300");             // low byte reaches the register
    HardwareCheck(Module(), model, iface, attach, major, minor, &v1, &v2, &v3);
    EXPECT_STREQ(model, "ABC");
    ResolutionInfo(Module(), &maxRes, &minRes, &step);
    EXPECT_EQ(maxRes, 300);
    Init9831(Module());
    EXPECT_EQ(Dev().registers.get16(REG_FAST_STEP_SIZE), 0);
    EXPECT_EQ(Dev().registers.get16(REG_LED_GREEN_OFF), 1111);
    EXPECT_EQ(Dev().registers.get8(REG_MISC_IO_59), 300 & 0xFF);

    EXPECT_EQ(IsCapableOf(1000), 1);
    EXPECT_EQ(IsCapableOf(1006), 0);
    EXPECT_EQ(IsCapableOf(1002), 0);
    char names[100];
    memset(names, 'x', sizeof names);
    GetFilterNames(names);
    const char expected[] = "Descreen\0Sharpen\0Blur";
    EXPECT_EQ(memcmp(names, expected, sizeof expected), 0);
    for (size_t i = sizeof expected; i < sizeof names; ++i)
        ASSERT_EQ(names[i], 0);
}

// --- register images ------------------------------------------------------------------

std::string ReadGolden(const char* name, RegisterImage* image)
{
    std::ifstream in(std::string(PLOVER_GOLDEN_DIR) + "/" + name);
    if (!in)
        return std::string("missing golden file ") + name;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        unsigned reg = 0, value = 0;
        if (sscanf(line.c_str(), "%x: %x", &reg, &value) != 2 || reg >= REGISTER_IMAGE_SIZE)
            return "bad golden line: " + line;
        image->set8(uint8_t(reg), uint8_t(value));
    }
    return std::string();
}

TEST_F(PloverDriver, PageRegisterImagesMatchTheGoldenImages)
{
    struct Case { const char* file; int mode; int dpi; };
    for (const Case& c : {Case{"page_300dpi_gray.txt", MODE_GRAY, 300},
                          Case{"page_600dpi_color.txt", MODE_COLOR, 600}}) {
        RegisterImage expected;
        ASSERT_EQ(ReadGolden(c.file, &expected), "");
        ScanSettings s = Page(c.mode, c.dpi);
        int w = 0, h = 0;
        ASSERT_EQ(StartScanPage(Module(), &s, &w, &h), 1);
        EXPECT_EQ(w, 220 * c.dpi / 100);
        EXPECT_EQ(h, 360 * c.dpi / 100);
        RegisterImage actual;
        memcpy(actual.data(), Dev().registers.data(), REGISTER_IMAGE_SIZE);
        EXPECT_EQ(expected.diff(actual), "") << c.file << " (expected -> programmed)\n"
                                             << actual.format(REGISTER_IMAGE_SIZE);
        // The chip got the same image.
        uint8_t chip[128];
        scansim_get_registers(0, chip);
        EXPECT_EQ(chip[REG_END_PIXEL + 1], actual.get8(REG_END_PIXEL + 1));
        EXPECT_EQ(chip[REG_SCAN_STEP_SIZE + 1], actual.get8(REG_SCAN_STEP_SIZE + 1));
        EndScanPage(Module());
        scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
    }
}

// --- calibration ------------------------------------------------------------------

// Calibrating after a black-and-white page (threshold gamma in the chip) still
// measures real levels; the files hold what the sensor really has.
TEST_F(PloverDriver, CalibrationFilesReadBack)
{
    EXPECT_EQ(IsCalibrationNeeded(Module()), 1);
    EXPECT_FALSE(Exists(DriverFile("DadaVorG.oft"))) << "asking must not create the offset file";
    // A fresh machine has no driver folder: calibration creates it to save its results.
    ASSERT_EQ(rmdir(DriverFolder().c_str()), 0) << strerror(errno);
    FillGammaTbl(Module(), MODE_BW);
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ASSERT_EQ(CalibrateScanner(Module()), 1);
    EXPECT_EQ(IsCalibrationNeeded(Module()), 0);
    EXPECT_EQ(g_boxes, 0);
    std::vector<uint16_t> offsets(SHADING_WORDS), gains(SHADING_WORDS);
    ASSERT_TRUE(ReadWordFile(Os(), DriverFile("DadaVorG.oft"), offsets.data(), SHADING_WORDS));
    ASSERT_TRUE(ReadWordFile(Os(), DriverFile("DadaVorG.gan"), gains.data(), SHADING_WORDS));
    int badDark = 0, unity = 0;
    double lo = 1e9, hi = 0;
    int loAt = -1, hiAt = -1;
    for (int p = 0; p < SENSOR_PIXELS; ++p) {
        double dark, sensitivity;
        ASSERT_TRUE(scansim_sensor_pixel(0, FIRST_ACTIVE_PIXEL + p, &dark, &sensitivity));
        EXPECT_EQ(offsets[p] & 0xFF, 0);
        if (fabs((offsets[p] >> 8) - dark) > 2.0 && ++badDark < 5)
            printf("pixel %d: dark %.2f, offset word %04X\n", p, dark, offsets[p]);
        if (gains[p] == 0x4000)
            ++unity;
        // Flat where the gains undo the sensitivity (pixel a sees card column 1320 - a).
        double product = gains[p] * sensitivity;
        if (p > 0 && p < SCANSIM_CARD_WIDTH) {
            if (product < lo)
                lo = product, loAt = p;
            if (product > hi)
                hi = product, hiAt = p;
        }
    }
    EXPECT_EQ(badDark, 0);
    EXPECT_LT(unity, 10) << "gains measured through a threshold table";
    EXPECT_LT(hi / lo, 1.12) << "pixels " << loAt << " and " << hiAt;
    int off = Os().settings.readInt(Os().settings.context, ConfigFile().c_str(), "LedTime Z3", "G_OFF", 0);
    EXPECT_GE(off, 600);
    EXPECT_LE(off, 1400);
}

// A fresh device (no files), a short file, a colour page with no colour offsets:
// the chip gets neutral or gray tables, never zero gains.
TEST_F(PloverDriver, ShadingTablesWithoutGoodFiles)
{
    ScanSettings s = Page(MODE_GRAY, 300);
    int w, h;
    ASSERT_EQ(StartScanPage(Module(), &s, &w, &h), 1);
    for (uint16_t g : MemoryWords(MEM_GAIN_GREEN, SHADING_WORDS))
        ASSERT_EQ(g, GAIN_UNITY);
    for (uint16_t o : MemoryWords(MEM_OFFSET_GREEN, SHADING_WORDS))
        ASSERT_EQ(o, 0);
    EndScanPage(Module());

    EnsureDriverFolder(Os());
    std::vector<uint16_t> ramp(SHADING_WORDS), shortFile(50, 0x1234);
    for (uint32_t i = 0; i < SHADING_WORDS; ++i)
        ramp[i] = uint16_t(i << 4);
    ASSERT_TRUE(WriteWordFile(Os(), DriverFile("DadaVorG.oft"), ramp.data(), SHADING_WORDS));
    ASSERT_TRUE(WriteWordFile(Os(), DriverFile("DadaVorG.gan"), shortFile.data(), 50));
    EXPECT_EQ(IsCalibrationNeeded(Module()), 0) << "100 bytes or more";
    ASSERT_TRUE(WriteWordFile(Os(), DriverFile("DadaVorG.oft"), shortFile.data(), 49));
    EXPECT_EQ(IsCalibrationNeeded(Module()), 1) << "98 bytes";
    ASSERT_TRUE(WriteWordFile(Os(), DriverFile("DadaVorG.oft"), ramp.data(), SHADING_WORDS));

    scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
    s = Page(MODE_COLOR, 600, 50, 0, 220, 360);
    ASSERT_EQ(StartScanPage(Module(), &s, &w, &h), 1);
    EXPECT_EQ(w, 1020);
    // The window starts 0 sensor pixels in (the area's right edge is the card's).
    for (int region : {MEM_OFFSET_RED, MEM_OFFSET_GREEN, MEM_OFFSET_BLUE}) {
        auto words = MemoryWords(region, w);
        for (int i = 0; i < w; ++i)
            ASSERT_EQ(words[i], ramp[i]) << "region " << region << " word " << i;
    }
    for (uint16_t g : MemoryWords(MEM_GAIN_RED, w))
        ASSERT_EQ(g, GAIN_UNITY) << "a gain file of the wrong size is not used";
    EndScanPage(Module());
}

TEST_F(PloverDriver, ResamplingExamplesAndBounds)
{
    struct Guarded { uint16_t table[SHADING_WORDS]; uint16_t guard[64]; } t;
    for (uint32_t i = 0; i < SHADING_WORDS; ++i)
        t.table[i] = uint16_t(i);
    for (uint16_t& g : t.guard)
        g = 0xAAAA;
    ResampleShading(t.table, 0, 2 * 1320, 300); // an area wider than the bed
    EXPECT_EQ(t.table[0], (0 + 1) / 2);
    EXPECT_EQ(t.table[5], (10 + 11) / 2);
    ResampleShading(t.table, 300, 100000, 50);
    for (uint16_t g : t.guard)
        ASSERT_EQ(g, 0xAAAA);
    uint16_t table[SHADING_WORDS] = {30, 60, 90};
    ResampleShading(table, 0, 3, 400);
    EXPECT_EQ(table[0], 40);
    EXPECT_EQ(table[1], 80);
    uint16_t shifted[SHADING_WORDS];
    for (uint32_t i = 0; i < SHADING_WORDS; ++i)
        shifted[i] = uint16_t(i);
    ResampleShading(shifted, 300, 600, 600);
    EXPECT_EQ(shifted[0], 300);
    EXPECT_EQ(shifted[SHADING_WORDS - 1], SHADING_WORDS - 1) << "words past the table keep their values";
}

// --- pages ------------------------------------------------------------------

TEST_F(PloverDriver, PageSizesAndRefusedSettings)
{
    int w = 0, h = 0;
    ScanSettings s;
    struct Case { int mode, dpi, left, top, right, bottom, result, width, height; };
    const Case cases[] = {
        {MODE_GRAY, 300, 0, 0, 220, 360, 1, 660, 1080},
        {MODE_BW, 300, 0, 0, 220, 360, 1, 672, 1080},
        {MODE_HALFTONE, 300, 0, 0, 220, 360, 1, 672, 1080},  // scanned as black and white
        {MODE_GRAY, 300, 0, 0, 850, 470, 1, 660, 1080},      // clamped to the bed
        {MODE_GRAY, 250, 0, 0, 220, 360, 0, 0, 0},           // no divider code
        {MODE_GRAY, 1200, 0, 0, 220, 360, 0, 0, 0},
        {MODE_GRAY, 0, 0, 0, 220, 360, 0, 0, 0},
        {MODE_GRAY, 300, 100, 0, 50, 360, 0, 0, 0},          // reversed area
        {7, 300, 0, 0, 220, 360, 0, 0, 0},
    };
    for (const Case& c : cases) {
        s = Page(c.mode, c.dpi, c.left, c.top, c.right, c.bottom);
        w = h = 0;
        EXPECT_EQ(GetPageDimension(Module(), &s, &w, &h), c.result) << c.mode << " " << c.dpi;
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
    }
    PageGeometry p;
    s = Page(MODE_GRAY, 300, 0, 0, 220, 360);
    ASSERT_TRUE(ComputePage(s, true, &p));
    EXPECT_EQ(p.width, 656) << "preview: rounded down to 8";
    // No paper in the feeder: the page does not start.
    scansim_remove_sheet(0);
    s = Page(MODE_GRAY, 300);
    EXPECT_EQ(StartScanPage(Module(), &s, &w, &h), 0);
}

// Mode 3 lines are one bit per pixel, like mode 2: nothing is written past them.
TEST_F(PloverDriver, ImageBlocksStayInsideTheirLines)
{
    ScanSettings s = Page(MODE_HALFTONE, 300);
    int w, h;
    ASSERT_EQ(StartScanPage(Module(), &s, &w, &h), 1);
    EXPECT_EQ(Dev().registers.get8(REG_PIXEL_FORMAT) & PIXEL_FORMAT_DEPTH, PIXEL_DEPTH_1);
    std::vector<uint8_t> buffer(size_t(w) / 8 * 10 + 64, 0xA5);
    EXPECT_EQ(GetImageBlock(Module(), buffer.data(), 10, w), 10);
    for (size_t i = size_t(w) / 8 * 10; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], 0xA5);
    EndScanPage(Module());

    // A read that fails is a failure, not a block of zeros.
    scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
    s = Page(MODE_GRAY, 300);
    ASSERT_EQ(StartScanPage(Module(), &s, &w, &h), 1);
    buffer.assign(size_t(w) * 20, 0);
    scansim_set_fault(0, SCANSIM_FAULT_SHORT_FROM, uint32_t(w) * 30);
    EXPECT_EQ(GetImageBlock(Module(), buffer.data(), 20, w), 20);
    EXPECT_EQ(GetImageBlock(Module(), buffer.data(), 20, w), -2);
    EndScanPage(Module());
    EXPECT_EQ(GetImageBlock(Module(), nullptr, 20, w), -1);
    EXPECT_EQ(GetImageBlock(Module(), buffer.data(), 0, w), -1);
}

// A calibration that was needed and could not run, and a missing scanner, are failures.
TEST_F(PloverDriver, StartScanReportsFailures)
{
    scansim_remove_sheet(0);
    EXPECT_EQ(StartScan(Module()), 0);
    EXPECT_EQ(g_boxes, 1) << "the calibration notice";
    Unload(Module());
    scansim_reset();
    Load(Module(), &Os());
    EXPECT_EQ(StartScan(Module()), -2);
    EXPECT_EQ(IsCalibrationNeeded(Module()), 0);
}

// --- pipeline and tone ------------------------------------------------------------------

TEST(PloverPipeline, BlockSteps)
{
    const uint8_t received[4] = {0x01, 0x02, 0x80, 0xF0};
    uint8_t out[4];
    ReverseBlock(received, 4, out);
    ReverseBits(out, 4);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{0x00, 0x0F, 0x01, 0x40}));
    uint8_t map[256], fused[4];
    ComposeByteMap(true, false, nullptr, map);
    ReorderMapped(received, 4, map, fused);
    EXPECT_EQ(memcmp(out, fused, 4), 0);
    uint8_t inverted[1] = {0x10};
    InvertBytes(inverted, 1);
    EXPECT_EQ(inverted[0], 0xEF);
    uint8_t lines[8] = {9, 1, 2, 3, 9, 4, 5, 6};
    MirrorLines(lines, 2, 4);
    EXPECT_EQ(std::vector<uint8_t>(lines, lines + 8), (std::vector<uint8_t>{0, 3, 2, 1, 0, 6, 5, 4}));
    uint8_t gray[32] = {};
    for (int i = 0; i < 32; ++i)
        gray[i] = (i % 3 == 0) ? 200 : 187;
    Gray2Bw(gray, 1, 32);
    EXPECT_EQ(std::vector<uint8_t>(gray, gray + 4), (std::vector<uint8_t>{0x92, 0x49, 0x24, 0x92}));
}

TEST(PloverPipeline, ToneTables)
{
    uint8_t caller[256];
    AdjustChannelValue(Module(), caller, 0, 0, 10, 255, 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(caller[i], std::min(i + 100, 255)) << i;
    uint8_t expected[256];
    BuildToneTable(expected, 0, 0, 10, 255, 0, TONE_DRIVER);
    EXPECT_EQ(memcmp(expected, Module().tone, 256), 0);
    // Contrast near the top once made the divisor 0 or negative.
    for (int contrast : {87, 88, 100, 120}) {
        BuildToneTable(expected, 0, short(contrast), 10, 255, 0, TONE_DRIVER);
        for (int i = 1; i < 256; ++i)
            ASSERT_GE(expected[i], expected[i - 1]) << contrast;
    }
    for (int i = 0; i < 256; ++i)
        Module().tone[i] = uint8_t(i);
}

std::vector<std::pair<int, int>> g_blocks;
bool RecordBlock(void*, const uint8_t*, size_t, int lines, int last)
{
    g_blocks.push_back({lines, last});
    return true;
}
const CardBlockSink kRecordBlock = {nullptr, RecordBlock};

TEST_F(PloverDriver, CardScanDeliversBlocksToItsSink)
{
    EnsureDriverFolder(Os());
    std::vector<uint16_t> neutral(SHADING_WORDS, 0);
    ASSERT_TRUE(WriteWordFile(Os(), DriverFile("DadaVorG.oft"), neutral.data(), SHADING_WORDS));
    g_blocks.clear();
    EXPECT_EQ(CardScan(Module(), 1, 300, 100, 30, kRecordBlock), 1);
    EXPECT_EQ(g_blocks, (std::vector<std::pair<int, int>>{{30, 0}, {30, 0}, {30, 0}, {10, 1}}));
    EXPECT_EQ(CardScan(Module(), 1, 300, 100, 0, kRecordBlock), 0) << "no lines per block: no endless loop";
    EXPECT_EQ(CardScan(Module(), 1, 0, 100, 30, kRecordBlock), 0);
    EXPECT_EQ(CardScan(Module(), 1, 250, 100, 30, kRecordBlock), 0);
    EXPECT_EQ(g_blocks.size(), 4u);
}

} // namespace
