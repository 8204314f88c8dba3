#pragma once
#include <QImage>
#include <random>

namespace bench {

// Smooth shapes with noise: compresses like a photograph, not like a flat test card.
inline QImage photo(int side)
{
    QImage img(side, side, QImage::Format_RGB32);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < side; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const int r = (x * 255 / side + noise(rng)) & 0xFF;
            const int g = ((x + y) * 127 / side + noise(rng)) & 0xFF;
            const int b = (y * 255 / side + noise(rng)) & 0xFF;
            row[x] = qRgb(r, g, b);
        }
    }
    return img;
}

} // namespace bench
