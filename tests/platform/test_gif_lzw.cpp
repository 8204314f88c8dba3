// The GIF writer's own LZW coder, read back by a decoder that, unlike giflib's, reads each
// stream through to its end code.
#include "platform/GifEncoder.h"
#include "support/LzwReference.h"

#include <gtest/gtest.h>

namespace gif = platform::gif;

namespace {

gif::IndexedFrame frame(int colours, int pixels, bool solid)
{
    gif::IndexedFrame f;
    f.width = pixels;
    f.height = 1;
    for (int i = 0; i < colours; ++i)
        f.palette.push_back(qRgb(i, 255 - i, i / 2));
    quint32 noise = quint32(pixels) * 2654435761u;
    for (int i = 0; i < pixels; ++i) {
        noise = noise * 1103515245u + 12345u;
        f.pixels.push_back(std::uint8_t(solid ? colours - 1 : int((noise >> 16) % quint32(colours))));
    }
    return f;
}

} // namespace

TEST(GifLzw, EveryStreamEndsWithAnEndCodeOfTheWidthReadersExpect)
{
    // A reader adds a string for the last pixel code as for every other; when that fills the
    // code width, it reads the end code one bit wider. Frames of one colour (each string one
    // pixel longer than the one before) and of noise, of every length up to several widths,
    // end there many times; the lossy coder ends its streams the same way.
    for (const int colours : {2, 16, 256}) {
        for (const bool solid : {true, false}) {
            for (const int tolerance : {0, 40}) {
                for (int pixels = 1; pixels <= 1500; ++pixels) {
                    gif::IndexedFrame f = frame(colours, pixels, solid);
                    const std::vector<std::uint8_t> codes = gif::lzwEncode(f, tolerance);
                    const auto decoded = lzwreference::decode(codes, gif::lzwMinimumCodeSize(f));
                    ASSERT_TRUE(decoded.has_value())
                        << colours << " colours, " << pixels << (solid ? " solid" : " noise") << " pixels";
                    ASSERT_EQ(*decoded, f.pixels) << colours << " colours, " << pixels << " pixels";
                }
            }
        }
    }
}
