// The truth scans are measured against: the card averaged over each pixel, the
// backing off the card.
#include <gtest/gtest.h>

#include "scansim.h"

namespace {

// The red value of one 150-dpi pixel (4 card units) with its corner at (x, y).
int Pixel(int card, double x, double y)
{
    uint8_t rgb[3] = {};
    return scansim_card_truth(card, 150, x, y, 1, 1, rgb) ? rgb[0] : -1;
}

} // namespace

TEST(CardTruth, PixelsAverageTheCardAndShowTheBackingOffIt)
{
    const double markLeft = SCANSIM_MARK_X[0] - SCANSIM_MARK_SIZE / 2;
    EXPECT_EQ(230, Pixel(SCANSIM_CARD_FIDUCIAL, markLeft - 4, SCANSIM_MARK_Y[0]));
    EXPECT_EQ(10, Pixel(SCANSIM_CARD_FIDUCIAL, markLeft, SCANSIM_MARK_Y[0]));
    EXPECT_EQ(120, Pixel(SCANSIM_CARD_FIDUCIAL, markLeft - 2, SCANSIM_MARK_Y[0])) << "half on the mark";
    EXPECT_EQ(10, Pixel(SCANSIM_CARD_WHITE, -4, 100)) << "the backing, 0.04";
    EXPECT_EQ(120, Pixel(SCANSIM_CARD_WHITE, 100, SCANSIM_CARD_HEIGHT - 2)) << "half past the trailing edge";

    uint8_t rgb[6];
    ASSERT_EQ(1, scansim_card_truth(SCANSIM_CARD_FIDUCIAL, 1200, markLeft - 0.5, SCANSIM_MARK_Y[0], 2, 1, rgb));
    EXPECT_EQ(230, rgb[0]) << "1200 dpi: half a card unit per pixel";
    EXPECT_EQ(10, rgb[3]);
}

TEST(CardTruth, RefusesWhatItCannotRender)
{
    uint8_t rgb[3];
    EXPECT_EQ(0, scansim_card_truth(99, 150, 0, 0, 1, 1, rgb));
    EXPECT_EQ(0, scansim_card_truth(SCANSIM_CARD_WHITE, 0, 0, 0, 1, 1, rgb));
    EXPECT_EQ(0, scansim_card_truth(SCANSIM_CARD_WHITE, 150, 0, 0, 0, 1, rgb));
    EXPECT_EQ(0, scansim_card_truth(SCANSIM_CARD_WHITE, 150, 0, 0, 1, 1, nullptr));
    EXPECT_EQ(0, scansim_card_truth(SCANSIM_CARD_WHITE, 150, 0, 0, 100000, 100000, rgb)) << "absurd size";
}
