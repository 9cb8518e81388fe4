#include "card.h"

#include "scansim.h"

#include <math.h>
#include <algorithm>

namespace fidelity {

Region CardRect(const Placement& p, const Image& image, double left, double top, double right, double bottom)
{
    Region r;
    r.x0 = std::max(0, int(ceil(p.column(left) - 1e-9)));
    r.y0 = std::max(0, int(ceil(p.row(top) - 1e-9)));
    r.x1 = std::min(image.width, int(floor(p.column(right) + 1e-9)));
    r.y1 = std::min(image.height, int(floor(p.row(bottom) + 1e-9)));
    return r;
}

Region InsideCard(const Placement& p, const Image& image, double margin)
{
    return CardRect(p, image, margin, margin, SCANSIM_CARD_WIDTH - margin, SCANSIM_CARD_HEIGHT - margin);
}

Image RenderTruth(int card, const Placement& p, const Region& r)
{
    if (r.empty())
        return Image();
    Image truth(r.x1 - r.x0, r.y1 - r.y0, 3);
    if (!scansim_card_truth(card, 600.0 / p.ratio, p.x0 + r.x0 * p.ratio, p.y0 + r.y0 * p.ratio, truth.width,
                            truth.height, truth.pixels.data()))
        return Image();
    return truth;
}

} // namespace fidelity
