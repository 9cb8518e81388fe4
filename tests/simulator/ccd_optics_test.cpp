// Physics of the CCD kind driven with register sequences like its driver's: an
// uneven sensor, the line length rule per resolution, card geometry, colour and
// black and white after the driver's block reordering. Calibration and shading are
// covered by the whole-session test.
#include "ccd_page.h"

#include <algorithm>
#include <cmath>

using namespace simtest;

namespace {

class CcdOptics : public CcdDeviceTest {
protected:

    void insert(int card)
    {
        ASSERT_EQ(1, scansim_insert_card(0, card));
        preFeed(h);
    }
    // Mean of each byte position over `lines` lines of the running scan.
    std::vector<double> columnMeans(int bytesPerLine, int lines)
    {
        std::vector<uint8_t> rx(size_t(bytesPerLine) * lines);
        EXPECT_EQ(rx.size(), ploverRead(h, 0x00, rx.data(), uint32_t(rx.size()), false));
        std::vector<double> mean(bytesPerLine, 0.0);
        for (int l = 0; l < lines; ++l)
            for (int p = 0; p < bytesPerLine; ++p)
                mean[p] += rx[size_t(l) * bytesPerLine + p] / double(lines);
        writeReg(h, 0x07, 0x00);
        return mean;
    }
    static double spread(const std::vector<double>& v, size_t from, size_t to)
    {
        auto mm = std::minmax_element(v.begin() + from, v.begin() + to);
        return *mm.second - *mm.first;
    }
};

// Where the model puts card column x600 in the reordered page: the card passes face
// down, so the window's far end (start + width x ratio) meets the card's left edge.
double expectedColumn(const CcdPage& p, double x600)
{
    double ratio = 600.0 / p.dpi;
    return (x600 - 1320 + p.left * 6 + p.width() * ratio) / ratio;
}

int median(const std::vector<uint8_t>& page, int width, int cx, int cy, int r)
{
    std::vector<uint8_t> v;
    for (int y = cy - r; y <= cy + r; ++y)
        for (int x = cx - r; x <= cx + r; ++x)
            v.push_back(page[size_t(y) * width + x]);
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// With SCANSIM_DUMP_DIR set, pages are also written as PGM files to look at.
void dumpGray(const std::vector<uint8_t>& page, int width, int height, int dpi)
{
    const char* dir = getenv("SCANSIM_DUMP_DIR");
    if (!dir)
        return;
    char path[1024];
    snprintf(path, sizeof path, "%s/ccd_fiducial_%d.pgm", dir, dpi);
    if (FILE* f = fopen(path, "wb")) {
        fprintf(f, "P5\n%d %d\n255\n", width, height);
        fwrite(page.data(), 1, page.size(), f);
        fclose(f);
    }
}

struct Mark {
    double x, y;
    int count;
};

// Centroid of dark pixels in a window around an expected point.
Mark findMark(const std::vector<uint8_t>& page, int width, int height, double ex, double ey, int radius,
              int threshold, int bytesPerPixel = 1)
{
    Mark m = {0, 0, 0};
    for (int y = int(ey) - radius; y <= int(ey) + radius; ++y)
        for (int x = int(ex) - radius; x <= int(ex) + radius; ++x) {
            if (x < 1 || y < 0 || x >= width || y >= height)
                continue;
            if (page[(size_t(y) * width + x) * bytesPerPixel] < threshold) {
                m.x += x + 0.5;
                m.y += y + 0.5;
                ++m.count;
            }
        }
    if (m.count) {
        m.x /= m.count;
        m.y /= m.count;
    }
    return m;
}

} // namespace

TEST_F(CcdOptics, UncalibratedWhiteShowsTheUnevenSensor)
{
    insert(SCANSIM_CARD_WHITE);
    CcdPage p;
    p.dpi = 600;
    p.ledOff = 800;
    p.start(h);
    std::vector<double> mean = columnMeans(p.bytesPerLine(), 16);
    double s = spread(mean, 8, 1312);
    EXPECT_GT(s, 60.0) << "weak columns must stand out";
    // ...and the weakness follows the sensor's own truth.
    double weakestSens = 10, d = 0, sens = 0;
    int weakest = 0;
    for (int pos = 24 + 8; pos < 24 + 1312; ++pos) {
        ASSERT_EQ(1, scansim_sensor_pixel(0, pos, &d, &sens));
        if (sens < weakestSens) {
            weakestSens = sens;
            weakest = pos - 24;
        }
    }
    std::vector<double> sorted(mean.begin() + 8, mean.begin() + 1312);
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    EXPECT_LT(mean[weakest], sorted[sorted.size() / 2] * 0.7);
}

TEST_F(CcdOptics, LineLengthFollowsWindowAndDivider)
{
    const int dpis[] = {50, 75, 100, 150, 200, 300, 400, 600};
    for (int mode : {1, 2, 4})
        for (int dpi : dpis) {
            CcdPage p;
            p.dpi = dpi;
            p.mode = mode;
            p.left = 30;
            p.right = 190;
            p.start(h);
            ScanSimStatus st;
            ASSERT_EQ(1, scansim_get_status(0, &st));
            EXPECT_EQ(uint32_t(p.width()), st.pixelsPerLine) << dpi << " dpi, mode " << mode;
            EXPECT_EQ(uint32_t(p.bytesPerLine()), st.bytesPerLine) << dpi << " dpi, mode " << mode;
            writeReg(h, 0x07, 0x00);
        }
}

TEST_F(CcdOptics, PageGeometryAfterReordering)
{
    for (int dpi : {75, 150, 300, 600}) {
        SCOPED_TRACE(dpi);
        insert(SCANSIM_CARD_FIDUCIAL);
        ScanSimStatus st;
        ASSERT_EQ(1, scansim_get_status(0, &st));
        EXPECT_EQ(0.0, st.sheetLead) << "a short forward run leaves the sheet at the scan line";
        CcdPage p;
        p.dpi = dpi;
        p.start(h);
        std::vector<uint8_t> page = readPage(h, p);
        writeReg(h, 0x07, 0x00);
        dumpGray(page, p.width(), p.height(), dpi);
        double scale = dpi / 600.0;
        for (int m = 0; m < SCANSIM_MARK_COUNT; ++m) {
            double ex = expectedColumn(p, SCANSIM_MARK_X[m]);
            Mark f = findMark(page, p.width(), p.height(), ex, SCANSIM_MARK_Y[m] * scale,
                              int(SCANSIM_MARK_SIZE * scale), 50);
            ASSERT_GT(f.count, 0) << "mark " << m;
            EXPECT_NEAR(ex, f.x, 1.0) << "mark " << m;
            EXPECT_NEAR(SCANSIM_MARK_Y[m] * scale, f.y, 1.0) << "mark " << m;
        }
        // The gray ramp rises left to right, each step against the white of its own
        // columns above the ramp (the sensor is not shaded here).
        int y = int((SCANSIM_RAMP_Y + SCANSIM_RAMP_H / 2) * scale);
        int yWhite = int((SCANSIM_RAMP_Y - 60) * scale);
        double last = -1;
        for (int k = 0; k < SCANSIM_RAMP_STEPS; ++k) {
            int x = int(expectedColumn(p, SCANSIM_RAMP_X + k * SCANSIM_RAMP_STEP_W + SCANSIM_RAMP_STEP_W / 2));
            int r = std::max(1, int(SCANSIM_RAMP_STEP_W * scale / 4));
            double v = median(page, p.width(), x, y, r) / double(median(page, p.width(), x, yWhite, r));
            EXPECT_GT(v, last) << "ramp step " << k;
            last = v;
        }
        scansim_remove_sheet(0);
    }
}

TEST_F(CcdOptics, ColourPatchesKeepTheirDominantChannel)
{
    insert(SCANSIM_CARD_FIDUCIAL);
    CcdPage p;
    p.dpi = 150;
    p.mode = 4;
    p.ledOff = 600;
    p.start(h);
    std::vector<uint8_t> page = readPage(h, p);
    writeReg(h, 0x07, 0x00);
    const int dominant[SCANSIM_PATCH_COUNT] = {2, 1, 0, -1, -1, -1}; // BGR index of red, green, blue
    for (int k = 0; k < 3; ++k) {
        int x = int(expectedColumn(p, SCANSIM_PATCH_X + k * SCANSIM_PATCH_W + SCANSIM_PATCH_W / 2));
        int y = (SCANSIM_PATCH_Y + SCANSIM_PATCH_H / 2) / 4;
        const uint8_t* px = &page[(size_t(y) * p.width() + x) * 3];
        for (int c = 0; c < 3; ++c) {
            if (c == dominant[k])
                continue;
            EXPECT_GT(px[dominant[k]], px[c] + 40) << "patch " << k << " channel " << c;
        }
    }
    // Cyan (green and blue), under a white point both well above red.
    int x = int(expectedColumn(p, SCANSIM_PATCH_X + 3 * SCANSIM_PATCH_W + SCANSIM_PATCH_W / 2));
    const uint8_t* cyan = &page[(size_t((SCANSIM_PATCH_Y + 120) / 4) * p.width() + x) * 3];
    EXPECT_GT(cyan[0], cyan[2] + 40);
    EXPECT_GT(cyan[1], cyan[2] + 40);
}

TEST_F(CcdOptics, BlackAndWhiteBitsAfterReordering)
{
    std::vector<uint8_t> threshold(4096);
    for (int e = 0; e < 4096; ++e)
        threshold[e] = e < 2048 ? 0 : 255;
    for (uint8_t region : {2, 6, 10}) {
        writeReg(h, 0x03, region);
        writeReg(h, 0x04, 0);
        writeReg(h, 0x05, 0);
        ploverWrite(h, 0x06, threshold.data(), 4096, false);
    }
    insert(SCANSIM_CARD_FIDUCIAL);
    CcdPage p;
    p.dpi = 300;
    p.mode = 2;
    p.ledOff = 1300;
    p.fixedGain = 0x6000;
    p.start(h);
    std::vector<uint8_t> packed = readPage(h, p);
    int w = p.width(), hgt = p.height();
    std::vector<uint8_t> gray(size_t(w) * hgt);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x)
            gray[size_t(y) * w + x] = (packed[size_t(y) * (w / 8) + x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
    for (int m = 0; m < SCANSIM_MARK_COUNT; ++m) {
        double ex = expectedColumn(p, SCANSIM_MARK_X[m]);
        Mark f = findMark(gray, w, hgt, ex, SCANSIM_MARK_Y[m] / 2.0, SCANSIM_MARK_SIZE / 2, 128);
        ASSERT_GT(f.count, 0) << "mark " << m;
        EXPECT_NEAR(ex, f.x, 1.0) << "mark " << m;
        EXPECT_NEAR(SCANSIM_MARK_Y[m] / 2.0, f.y, 1.0) << "mark " << m;
    }
}
