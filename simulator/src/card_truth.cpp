// The reference a scan is measured against: the sheet averaged over each output pixel,
// as the sensor's pixels and the paper's motion average it.
#include "box_cells.h"
#include "sheet.h"

namespace scansim {

void renderTruth(const Sheet& sheet, double dpi, double x0, double y0, int width, int height, uint8_t* rgb)
{
    const double ratio = 600.0 / dpi;
    std::vector<std::pair<int, double>> rows, cols;
    for (int j = 0; j < height; ++j) {
        boxCells(y0 + j * ratio, ratio, rows);
        for (int i = 0; i < width; ++i) {
            boxCells(x0 + i * ratio, ratio, cols);
            double sum[3] = {0, 0, 0}, weight = 0;
            for (const auto& y : rows)
                for (const auto& x : cols) {
                    double r[3] = {kBackingReflectance, kBackingReflectance, kBackingReflectance};
                    sheet.reflectance(x.first, y.first, r);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += y.second * x.second * r[c];
                    weight += y.second * x.second;
                }
            uint8_t* out = rgb + (size_t(j) * width + i) * 3;
            for (int c = 0; c < 3; ++c)
                out[c] = uint8_t(std::min(255.0, sum[c] / weight * 255.0 + 0.5));
        }
    }
}

} // namespace scansim
