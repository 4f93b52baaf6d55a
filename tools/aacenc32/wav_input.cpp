#include "wav_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace aacenc {
namespace {

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
std::uint16_t Le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

} // namespace

WavInput::~WavInput() {
    if (file_)
        std::fclose(file_);
}

bool WavInput::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    const std::uint64_t fileSize = fstat(fileno(file_), &st) == 0 ? st.st_size : 0;

    unsigned char riff[12];
    if (std::fread(riff, 1, 12, file_) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        error_ = path + " is not a WAV file (no RIFF/WAVE header)";
        return false;
    }
    bool haveFormat = false;
    std::uint64_t pos = 12;
    for (;;) {
        unsigned char head[8];
        if (std::fread(head, 1, 8, file_) != 8) {
            error_ = haveFormat ? path + " has no data chunk" : path + " has no format chunk";
            return false;
        }
        pos += 8;
        const std::uint32_t size = Le32(head + 4);
        if (std::memcmp(head, "fmt ", 4) == 0) {
            if (size < 16 || size > 1024) {
                error_ = path + " has a malformed format chunk";
                return false;
            }
            std::vector<unsigned char> fmt(size);
            if (std::fread(fmt.data(), 1, size, file_) != size) {
                error_ = path + " is truncated in its format chunk";
                return false;
            }
            pos += size;
            if (size & 1) {
                std::fgetc(file_);
                ++pos;
            }
            std::uint16_t tag = Le16(&fmt[0]);
            channels_ = Le16(&fmt[2]);
            rate_ = static_cast<int>(Le32(&fmt[4]));
            blockAlign_ = Le16(&fmt[12]);
            bits_ = Le16(&fmt[14]);
            if (tag == kFormatExtensible) {
                // The sub-format GUID starts with the format tag.
                if (size < 40) {
                    error_ = path + " has a malformed extensible format chunk";
                    return false;
                }
                tag = Le16(&fmt[24]);
            }
            if (tag != kFormatPcm) {
                error_ = path + " is not integer PCM (format tag " + std::to_string(tag) + ")";
                return false;
            }
            if (channels_ < 1 || channels_ > 8 || rate_ <= 0 ||
                (bits_ != 8 && bits_ != 16 && bits_ != 24 && bits_ != 32) ||
                blockAlign_ != channels_ * bits_ / 8) {
                error_ = path + " has an unsupported PCM layout (" + std::to_string(channels_) +
                         " channels, " + std::to_string(bits_) + " bits, block " +
                         std::to_string(blockAlign_) + ")";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat) {
                error_ = path + " has its data before its format chunk";
                return false;
            }
            // Writers that stream leave the size open; take what the file holds.
            std::uint64_t bytes = size;
            if (fileSize >= pos && (size == 0 || size == 0xFFFFFFFFu || pos + size > fileSize))
                bytes = fileSize - pos;
            frames_ = framesLeft_ = bytes / blockAlign_;
            return true;
        } else {
            const std::uint64_t skip = size + (size & 1);
            if (fileSize && pos + skip > fileSize) {
                error_ = path + " is truncated";
                return false;
            }
            if (std::fseek(file_, static_cast<long>(skip), SEEK_CUR) != 0) {
                error_ = path + " is truncated";
                return false;
            }
            pos += skip;
        }
    }
}

long WavInput::Read(float* const* planes, int maxFrames) {
    const std::uint64_t want = std::min<std::uint64_t>(maxFrames, framesLeft_);
    if (want == 0)
        return 0;
    buffer_.resize(want * blockAlign_);
    const size_t got = std::fread(buffer_.data(), blockAlign_, want, file_);
    if (got == 0 && std::ferror(file_))
        return -1;
    framesLeft_ = got < want ? 0 : framesLeft_ - got;
    const unsigned char* p = buffer_.data();
    const int bytes = bits_ / 8;
    for (size_t i = 0; i < got; ++i) {
        for (int c = 0; c < channels_; ++c, p += bytes) {
            float v;
            switch (bytes) {
            case 1:
                v = (static_cast<int>(p[0]) - 128) / 128.0f;
                break;
            case 2:
                v = static_cast<std::int16_t>(Le16(p)) / 32768.0f;
                break;
            case 3: {
                std::int32_t s = p[0] | (p[1] << 8) | (p[2] << 16);
                if (s & 0x800000)
                    s -= 0x1000000;
                v = s / 8388608.0f;
                break;
            }
            default:
                v = static_cast<float>(static_cast<std::int32_t>(Le32(p)) / 2147483648.0);
                break;
            }
            planes[c][i] = v;
        }
    }
    return static_cast<long>(got);
}

} // namespace aacenc
