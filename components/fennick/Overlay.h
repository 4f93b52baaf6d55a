#pragma once
// The picture laid over the video: a BMP read once, turned into Y, U, V and
// an opacity per pixel (the colour key transparent), blended into 4:2:0
// frames.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFrame;

namespace fennick {

struct OverlayImage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> y, u, v, alpha; // width * height each, full resolution
};

// Reads an uncompressed 24- or 32-bit BMP (bottom-up or top-down). key is
// 0x00BBGGRR; level is the opacity in percent. Null with a reason on failure.
std::shared_ptr<const OverlayImage> LoadOverlay(const std::string& path, int left, int top,
                                                std::uint32_t key, int level, std::string& error);

// Blends into a YUV 4:2:0 frame (limited or full range given by fullRange);
// parts outside the frame are clipped.
void BlendOverlay(const OverlayImage& image, AVFrame* frame, bool fullRange);

} // namespace fennick
