#pragma once

#include <cstdint>

namespace zandrel {

// Arithmetic on premultiplied ARGB32 pixels, four channels at once, rounded as Qt's raster
// engine rounds, so that what we blend ourselves matches what it blends.

// Each channel of the pixel times a / 255.
inline std::uint32_t byteMultiply(std::uint32_t pixel, std::uint32_t a)
{
    std::uint32_t t = (pixel & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    pixel = ((pixel >> 8) & 0xff00ff) * a;
    pixel = pixel + ((pixel >> 8) & 0xff00ff) + 0x800080;
    pixel &= 0xff00ff00;
    return pixel | t;
}

// The pixel over another, source-over.
inline std::uint32_t blendPixel(std::uint32_t over, std::uint32_t under)
{
    return over + byteMultiply(under, 255 - (over >> 24));
}

} // namespace zandrel
