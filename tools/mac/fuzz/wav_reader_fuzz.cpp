// libFuzzer harness for the WAV reader. Whatever the input, parsing must either throw
// WavError or describe audio that lies inside the buffer; accepted audio is then
// converted and pushed through the frame encoder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ape_encoder.h"
#include "wav_reader.h"

using namespace quintrel::mac;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WavLayout layout;
    try {
        layout = parseWavBuffer({data, size});
    } catch (const WavError&) {
        return 0;
    }
    const WavFormat& f = layout.format;
    if ((f.channels != 1 && f.channels != 2) ||
        (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 24) ||
        layout.dataOffset > size || layout.dataBytes > size - layout.dataOffset ||
        layout.dataBytes != layout.blocks * f.blockAlign())
        std::abort();

    const std::size_t blocks =
        static_cast<std::size_t>(std::min<std::uint64_t>(layout.blocks, 4096));
    if (blocks == 0)
        return 0;
    const std::uint8_t* pcm = data + layout.dataOffset;
    std::vector<std::int32_t> samples(blocks * f.channels);
    pcmToInt(pcm, blocks, f, samples.data());

    // The level comes from the data so every filter set gets exercised.
    const Level level = static_cast<Level>(1000 * (1 + pcm[0] % 4));
    FrameEncoder enc(f.channels, level);
    std::vector<std::uint8_t> out;
    enc.encode(samples.data(), blocks, pcm, blocks * f.blockAlign(), out);
    if (out.empty() || out.size() % 4)
        std::abort();
    return 0;
}
