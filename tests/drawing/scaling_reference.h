// The filtered scaling written out plainly, for checking the runtime's against: byte for byte
// what it must give. Used by the tests and the benchmark.
#pragma once

#include <math.h>
#include <stdint.h>

#include <algorithm>
#include <vector>

typedef std::vector<uint8_t> Block; // pixels, rows one after another

// Weights are worked out afresh for every output sample of every channel, one axis at a time.
// The lowest and highest sums seen before clamping show that a case reaches past 0 and 255.
inline double LowestSum, HighestSum;

inline double Mitchell(double x) {
    const double b = 1.0 / 3.0, c = 1.0 / 3.0;
    double p0 = (6 - 2 * b) / 6, p2 = (-18 + 12 * b + 6 * c) / 6, p3 = (12 - 9 * b - 6 * c) / 6;
    double q0 = (8 * b + 24 * c) / 6, q1 = (-12 * b - 48 * c) / 6, q2 = (6 * b + 30 * c) / 6;
    double q3 = (-b - 6 * c) / 6;
    double a = fabs(x);
    if (a < 1)
        return (p3 * a + p2) * a * a + p0;
    if (a < 2)
        return ((q3 * a + q2) * a + q1) * a + q0;
    return 0;
}

// outSize samples from inSize, each step bytes after the one before.
inline void ReferenceLine(const uint8_t* in, int inSize, uint8_t* out, int outSize, size_t step) {
    double scale = static_cast<double>(outSize) / inSize;
    double support = scale < 1 ? 2.0 / scale : 2.0, filterScale = scale < 1 ? scale : 1.0;
    int n = static_cast<int>(ceil(support));
    for (int i = 0; i < outSize; ++i) {
        double centre = i / scale + (0.5 / scale - 0.5);
        int first = std::max(0, static_cast<int>(floor(centre - support)));
        int last = std::min(inSize - 1, static_cast<int>(ceil(centre + support)));
        if (last - first + 1 > 2 * n + 1) {
            if (first < inSize)
                ++first;
            else
                --last;
        }
        std::vector<double> weights;
        double total = 0;
        for (int j = first; j <= last; ++j) {
            weights.push_back(Mitchell((centre - j) * filterScale) * filterScale);
            total += weights.back();
        }
        if (total > 0 && total != 1)
            for (double& w : weights)
                w /= total;
        double sum = 0;
        for (int j = first; j <= last; ++j)
            sum += in[j * step] * weights[j - first];
        LowestSum = std::min(LowestSum, sum);
        HighestSum = std::max(HighestSum, sum);
        int value = static_cast<int>(sum + 0.5);
        out[i * step] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
    }
}

inline Block ReferenceScale(const Block& in, int sw, int sh, int dw, int dh, int bytes) {
    Block out(static_cast<size_t>(dw) * dh * bytes);
    auto rows = [&](const uint8_t* from, int width, int count, uint8_t* to) {
        for (int r = 0; r < count; ++r)
            for (int c = 0; c < bytes; ++c)
                ReferenceLine(from + r * width * bytes + c, width, to + r * dw * bytes + c, dw,
                              bytes);
    };
    auto columns = [&](const uint8_t* from, int width, int height, uint8_t* to) {
        for (int x = 0; x < width * bytes; ++x)
            ReferenceLine(from + x, height, to + x, dh, width * bytes);
    };
    if (static_cast<long long>(sh) * dw <= static_cast<long long>(sw) * dh) {
        Block middle(static_cast<size_t>(dw) * sh * bytes);
        rows(in.data(), sw, sh, middle.data());
        columns(middle.data(), dw, sh, out.data());
    } else {
        Block middle(static_cast<size_t>(sw) * dh * bytes);
        columns(in.data(), sw, sh, middle.data());
        rows(middle.data(), sw, dh, out.data());
    }
    return out;
}
