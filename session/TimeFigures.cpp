#include "session/TimeFigures.h"

#include <algorithm>
#include <cmath>

namespace {

// The value at a nearest rank: the smallest that at least `percent` of the
// sorted samples do not exceed.
qint64 nearestRank(const std::vector<qint64> &sorted, int percent)
{
    const auto rank = qsizetype(std::ceil(double(percent) / 100.0 * double(sorted.size())));
    return sorted.at(std::size_t(std::max<qsizetype>(rank, 1) - 1));
}

} // namespace

std::optional<TimeFigures> TimeFigures::of(std::vector<qint64> samples)
{
    if (samples.empty())
        return std::nullopt;
    std::sort(samples.begin(), samples.end());
    TimeFigures figures;
    figures.samples = int(samples.size());
    figures.minMs = samples.front();
    figures.medianMs = nearestRank(samples, 50);
    figures.p95Ms = nearestRank(samples, 95);
    figures.maxMs = samples.back();
    return figures;
}
