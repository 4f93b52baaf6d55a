// Whole-file APE encoding: WAV in, descriptor + header + seek table + frames out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "ape_encoder.h"

namespace quintrel::mac {

struct EncodeResult {
    std::uint64_t blocks = 0;
    std::uint32_t frames = 0;
    std::uint64_t bytesWritten = 0;
};

using WarningSink = std::function<void(const std::string&)>;

// Encodes the WAV file at `inputPath` into `out`, which must be an empty file opened for
// writing and seekable. Throws WavError for unusable input and std::runtime_error for
// I/O failures. `threads` frames are encoded concurrently (1 = no worker threads).
EncodeResult encodeFile(const std::string& inputPath, std::FILE* out, Level level, unsigned threads,
                        const WarningSink& warn);

} // namespace quintrel::mac
