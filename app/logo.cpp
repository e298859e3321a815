#include "app/logo.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Weights in 1/16384ths: they sum to exactly one, so a flat colour stays
// exactly that colour, and a row of 255 times a weight fits an int.
constexpr int kWeightBits = 14;
// The first pass keeps 7 fraction bits for the second.
constexpr int kMiddleBits = 7;

// The source samples that make each destination sample: for sample i, the
// weights weights[i * width .. i * width + count[i]) from source first[i].
struct Taps {
    int width = 0;
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::int32_t> weights;
};

Taps MakeTaps(int sourceSize, int destinationSize)
{
    const double scale = static_cast<double>(sourceSize) / destinationSize;
    const double support = std::max(scale, 1.0);
    Taps taps;
    taps.width = static_cast<int>(std::ceil(support)) * 2 + 2;
    taps.first.resize(static_cast<size_t>(destinationSize));
    taps.count.resize(static_cast<size_t>(destinationSize));
    taps.weights.assign(static_cast<size_t>(destinationSize) * taps.width, 0);
    std::vector<double> exact(static_cast<size_t>(taps.width));
    for (int i = 0; i < destinationSize; ++i) {
        const double centre = (i + 0.5) * scale;
        const int first = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int last =
            std::min({sourceSize - 1, static_cast<int>(std::ceil(centre + support)), first + taps.width - 1});
        double total = 0;
        for (int s = first; s <= last; ++s) {
            exact[static_cast<size_t>(s - first)] = std::max(0.0, 1.0 - std::abs(s + 0.5 - centre) / support);
            total += exact[static_cast<size_t>(s - first)];
        }
        std::int32_t* weights = &taps.weights[static_cast<size_t>(i) * taps.width];
        std::int32_t sum = 0;
        int heaviest = 0;
        for (int k = 0; k <= last - first; ++k) {
            const double share = exact[static_cast<size_t>(k)] / total;
            weights[k] = static_cast<std::int32_t>(std::lround(share * (1 << kWeightBits)));
            sum += weights[k];
            if (weights[k] > weights[heaviest]) heaviest = k;
        }
        weights[heaviest] += (1 << kWeightBits) - sum; // what the rounding lost or added
        // Samples at the triangle's feet weigh nothing: skip them.
        int from = 0;
        int to = last - first;
        while (to > from && weights[to] == 0) --to;
        while (from < to && weights[from] == 0) ++from;
        std::copy(weights + from, weights + to + 1, weights);
        std::fill(weights + (to - from + 1), weights + taps.width, 0);
        taps.first[static_cast<size_t>(i)] = first + from;
        taps.count[static_cast<size_t>(i)] = to - from + 1;
    }
    return taps;
}

} // namespace

void ResampleRows(int sourceWidth, int sourceHeight, const std::function<const std::uint8_t*()>& nextSourceRow,
                  int width, int height, const std::function<void(int y, const std::uint8_t* rgb)>& row)
{
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
    const Taps across = MakeTaps(sourceWidth, width);
    const Taps down = MakeTaps(sourceHeight, height);

    // Across each source row, then down each column. A row is made across
    // when the first column sum needs it, into a ring that holds only the
    // rows one destination row reads.
    const size_t rowSize = static_cast<size_t>(width) * 3;
    const int ringRows = down.width;
    std::vector<std::uint16_t> ring(static_cast<size_t>(ringRows) * rowSize);
    auto acrossRow = [&](int y) {
        const std::uint8_t* in = nextSourceRow();
        std::uint16_t* out = &ring[static_cast<size_t>(y % ringRows) * rowSize];
        for (int x = 0; x < width; ++x) {
            const std::int32_t* weights = &across.weights[static_cast<size_t>(x) * across.width];
            const std::uint8_t* p = in + across.first[static_cast<size_t>(x)] * 3;
            std::int32_t r = 0, g = 0, b = 0;
            for (int k = 0, n = across.count[static_cast<size_t>(x)]; k < n; ++k, p += 3) {
                r += weights[k] * p[0];
                g += weights[k] * p[1];
                b += weights[k] * p[2];
            }
            constexpr int shift = kWeightBits - kMiddleBits;
            out[x * 3] = static_cast<std::uint16_t>((r + (1 << (shift - 1))) >> shift);
            out[x * 3 + 1] = static_cast<std::uint16_t>((g + (1 << (shift - 1))) >> shift);
            out[x * 3 + 2] = static_cast<std::uint16_t>((b + (1 << (shift - 1))) >> shift);
        }
    };

    std::vector<const std::uint16_t*> rows(static_cast<size_t>(ringRows));
    std::vector<std::uint8_t> line(rowSize);
    int nextRow = 0; // the rows a destination row reads only move down
    for (int y = 0; y < height; ++y) {
        const std::int32_t* weights = &down.weights[static_cast<size_t>(y) * down.width];
        const int first = down.first[static_cast<size_t>(y)];
        const int count = down.count[static_cast<size_t>(y)];
        for (; nextRow < first + count; ++nextRow) acrossRow(nextRow);
        for (int k = 0; k < count; ++k)
            rows[static_cast<size_t>(k)] = &ring[static_cast<size_t>((first + k) % ringRows) * rowSize];
        constexpr int shift = kWeightBits + kMiddleBits;
        for (size_t x = 0; x < rowSize; ++x) {
            std::int32_t sum = 1 << (shift - 1);
            for (int k = 0; k < count; ++k) sum += weights[k] * rows[static_cast<size_t>(k)][x];
            line[x] = static_cast<std::uint8_t>(std::min(sum >> shift, 255));
        }
        row(y, line.data());
    }
}
