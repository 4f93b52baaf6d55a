#include "Overlay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
}

namespace fennick {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint8_t Clip8(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

std::shared_ptr<const OverlayImage> LoadOverlay(const std::string& path, int left, int top,
                                                std::uint32_t key, int level, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open the overlay picture \"" + path + "\"";
        return nullptr;
    }
    std::vector<std::uint8_t> data;
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && data.size() < (256u << 20))
        data.insert(data.end(), buf, buf + n);
    std::fclose(f);

    const auto bad = [&](const char* why) {
        error = "the overlay picture \"" + path + "\" " + why;
        return nullptr;
    };
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
        return bad("is not a BMP file");
    const std::uint32_t pixelOffset = Le32(&data[10]);
    const std::uint32_t headerSize = Le32(&data[14]);
    if (headerSize < 40)
        return bad("has an unsupported BMP header");
    const std::int32_t width = static_cast<std::int32_t>(Le32(&data[18]));
    std::int32_t height = static_cast<std::int32_t>(Le32(&data[22]));
    const int bits = Le16(&data[28]);
    const std::uint32_t compression = Le32(&data[30]);
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return bad("has an invalid size");
    if ((bits != 24 && bits != 32) || (compression != 0 && !(compression == 3 && bits == 32)))
        return bad("is not an uncompressed 24- or 32-bit BMP");
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (pixelOffset > data.size() ||
        (data.size() - pixelOffset) / stride < static_cast<std::size_t>(height))
        return bad("is truncated");

    auto img = std::make_shared<OverlayImage>();
    img->left = left;
    img->top = top;
    img->width = width;
    img->height = height;
    const std::size_t count = static_cast<std::size_t>(width) * height;
    img->y.resize(count);
    img->u.resize(count);
    img->v.resize(count);
    img->alpha.resize(count);
    const int opacity = Clip8((std::clamp(level, 0, 100) * 255 + 50) / 100);
    const int kr = key & 0xFF, kg = (key >> 8) & 0xFF, kb = (key >> 16) & 0xFF;
    const int bpp = bits / 8;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* src =
            &data[pixelOffset +
                  stride * static_cast<std::size_t>(topDown ? row : height - 1 - row)];
        for (int x = 0; x < width; ++x) {
            const int b = src[x * bpp], g = src[x * bpp + 1], r = src[x * bpp + 2];
            const std::size_t i = static_cast<std::size_t>(row) * width + x;
            // Full-range BT.601; limited range is derived when blending.
            img->y[i] = Clip8((77 * r + 150 * g + 29 * b + 128) >> 8);
            img->u[i] = Clip8(((-43 * r - 85 * g + 128 * b + 128) >> 8) + 128);
            img->v[i] = Clip8(((128 * r - 107 * g - 21 * b + 128) >> 8) + 128);
            img->alpha[i] =
                (r == kr && g == kg && b == kb) ? 0 : static_cast<std::uint8_t>(opacity);
        }
    }
    return img;
}

void BlendOverlay(const OverlayImage& img, AVFrame* frame, bool fullRange) {
    const int x0 = std::max(0, img.left), y0 = std::max(0, img.top);
    const int x1 = std::min(frame->width, img.left + img.width);
    const int y1 = std::min(frame->height, img.top + img.height);
    if (x0 >= x1 || y0 >= y1)
        return;
    const auto luma = [fullRange](int y) { return fullRange ? y : 16 + (y * 219 + 127) / 255; };
    const auto chroma = [fullRange](int c) {
        return fullRange ? c : 128 + ((c - 128) * 224 + (c >= 128 ? 127 : -127)) / 255;
    };
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* dst = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
        const std::size_t row = static_cast<std::size_t>(y - img.top) * img.width;
        for (int x = x0; x < x1; ++x) {
            const std::size_t i = row + (x - img.left);
            const int a = img.alpha[i];
            if (a)
                dst[x] = static_cast<std::uint8_t>((luma(img.y[i]) * a + dst[x] * (255 - a) + 127) /
                                                   255);
        }
    }
    // One chroma sample per 2x2 block, from the block's top-left pixel that
    // lies inside the picture.
    for (int cy = y0 / 2; cy <= (y1 - 1) / 2; ++cy) {
        const int py = std::max(cy * 2, y0);
        std::uint8_t* du = frame->data[1] + static_cast<std::ptrdiff_t>(cy) * frame->linesize[1];
        std::uint8_t* dv = frame->data[2] + static_cast<std::ptrdiff_t>(cy) * frame->linesize[2];
        for (int cx = x0 / 2; cx <= (x1 - 1) / 2; ++cx) {
            const int px = std::max(cx * 2, x0);
            const std::size_t i =
                static_cast<std::size_t>(py - img.top) * img.width + (px - img.left);
            const int a = img.alpha[i];
            if (!a)
                continue;
            du[cx] =
                static_cast<std::uint8_t>((chroma(img.u[i]) * a + du[cx] * (255 - a) + 127) / 255);
            dv[cx] =
                static_cast<std::uint8_t>((chroma(img.v[i]) * a + dv[cx] * (255 - a) + 127) / 255);
        }
    }
}

} // namespace fennick
