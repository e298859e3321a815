#include "app/logo.h"

#include <algorithm>
#include <cmath>

namespace {

struct Tap {
    int first = 0;
    std::vector<float> weights;
};

// Weights of the source samples that make each destination sample.
std::vector<Tap> Taps(int sourceSize, int destinationSize)
{
    const double scale = static_cast<double>(sourceSize) / destinationSize;
    const double support = std::max(scale, 1.0);
    std::vector<Tap> taps(static_cast<size_t>(destinationSize));
    for (int i = 0; i < destinationSize; ++i) {
        const double centre = (i + 0.5) * scale;
        const int first = std::max(0, static_cast<int>(std::floor(centre - support)));
        const int last = std::min(sourceSize - 1, static_cast<int>(std::ceil(centre + support)));
        Tap& tap = taps[static_cast<size_t>(i)];
        tap.first = first;
        double total = 0;
        for (int s = first; s <= last; ++s) {
            const double weight = std::max(0.0, 1.0 - std::abs(s + 0.5 - centre) / support);
            tap.weights.push_back(static_cast<float>(weight));
            total += weight;
        }
        for (float& weight : tap.weights) weight = static_cast<float>(weight / total);
    }
    return taps;
}

} // namespace

RgbImage Resample(const RgbImage& source, int width, int height)
{
    RgbImage result;
    if (width <= 0 || height <= 0 || source.width <= 0 || source.height <= 0) return result;
    const auto across = Taps(source.width, width);
    const auto down = Taps(source.height, height);

    // Horizontal pass into floats, then vertical pass into bytes.
    std::vector<float> rows(static_cast<size_t>(source.height) * width * 3);
    for (int y = 0; y < source.height; ++y) {
        const std::uint8_t* in = &source.pixels[static_cast<size_t>(y) * source.width * 3];
        float* out = &rows[static_cast<size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            const Tap& tap = across[static_cast<size_t>(x)];
            float r = 0, g = 0, b = 0;
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const std::uint8_t* p = in + (tap.first + static_cast<int>(k)) * 3;
                r += tap.weights[k] * p[0];
                g += tap.weights[k] * p[1];
                b += tap.weights[k] * p[2];
            }
            out[x * 3] = r;
            out[x * 3 + 1] = g;
            out[x * 3 + 2] = b;
        }
    }

    result.width = width;
    result.height = height;
    result.pixels.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const Tap& tap = down[static_cast<size_t>(y)];
        std::uint8_t* out = &result.pixels[static_cast<size_t>(y) * width * 3];
        for (int x = 0; x < width * 3; ++x) {
            float value = 0;
            for (size_t k = 0; k < tap.weights.size(); ++k)
                value += tap.weights[k] * rows[static_cast<size_t>(tap.first + static_cast<int>(k)) * width * 3 + x];
            out[x] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
        }
    }
    return result;
}
