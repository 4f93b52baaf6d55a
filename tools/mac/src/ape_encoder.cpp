#include "ape_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quintrel::mac {

namespace {

// Inverse sign as the format defines it: -1 for positive, 1 for negative, 0 for zero.
template <typename T> inline int invSign(T x) {
    return (x < 0) - (x > 0);
}

inline std::int16_t clip16(std::int32_t x) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(x, -32768, 32767));
}

// ---------------------------------------------------------------------------------------
// Range coder (32-bit code value, carries resolved with a pending-byte counter).

constexpr std::uint32_t kTop = 1u << 31;
constexpr std::uint32_t kBottom = kTop >> 8;
constexpr int kShiftBits = 23;

class RangeEncoder {
public:
    explicit RangeEncoder(std::vector<std::uint8_t>& out) : out_(out) {}

    // Codes the interval [lt, lt + sy) out of 2^shift.
    void encodeShift(std::uint32_t sy, std::uint32_t lt, int shift) {
        normalize();
        const std::uint32_t r = range_ >> shift;
        low_ += r * lt;
        range_ = r * sy;
    }

    // Codes the interval [lt, lt + sy) out of tot (tot <= 65536).
    void encodeFreq(std::uint32_t sy, std::uint32_t lt, std::uint32_t tot) {
        normalize();
        const std::uint32_t r = range_ / tot;
        low_ += r * lt;
        range_ = r * sy;
    }

    // Writes out the whole code value, then every pending byte.
    void finish() {
        for (int i = 0; i < 5; ++i)
            shiftLow();
    }

private:
    void normalize() {
        while (range_ <= kBottom) {
            shiftLow();
            range_ <<= 8;
        }
    }

    void shiftLow() {
        if (low_ < (0xffu << kShiftBits)) {
            out_.push_back(buffer_);
            for (; pending_; --pending_)
                out_.push_back(0xff);
            buffer_ = static_cast<std::uint8_t>(low_ >> kShiftBits);
        } else if (low_ & kTop) {
            out_.push_back(static_cast<std::uint8_t>(buffer_ + 1));
            for (; pending_; --pending_)
                out_.push_back(0x00);
            buffer_ = static_cast<std::uint8_t>(low_ >> kShiftBits);
        } else {
            ++pending_;
        }
        low_ = (low_ << 8) & (kTop - 1);
    }

    std::vector<std::uint8_t>& out_;
    std::uint32_t low_ = 0;
    std::uint32_t range_ = kTop;
    std::uint32_t pending_ = 0;
    std::uint8_t buffer_ = 0; // the first byte written is this dummy, skipped by readers
};

// ---------------------------------------------------------------------------------------
// Residual coder: an overflow symbol from a fixed table, then the remainder below an
// adaptive pivot derived from a running magnitude sum.

constexpr std::array<std::uint16_t, 22> kCounts = {
    0,     19578, 36160, 48417, 56323, 60899, 63265, 64435, 64971, 65232, 65351,
    65416, 65447, 65466, 65476, 65482, 65485, 65488, 65490, 65491, 65492, 65493};
constexpr std::array<std::uint16_t, 21> kCountsDiff = {19578, 16582, 12257, 7906, 4576, 2366, 1170,
                                                       536,   261,   119,   65,   31,   19,   10,
                                                       6,     3,     3,     2,    1,    1,    1};
constexpr std::uint32_t kEscape = 63;

struct Rice {
    std::uint32_t ksum = 16u << 10;
};

inline void encodeResidual(RangeEncoder& rc, Rice& rice, std::int32_t v) {
    const std::uint32_t uv = static_cast<std::uint32_t>(v);
    const std::uint32_t x = v > 0 ? 2 * uv - 1 : 0u - 2 * uv;
    const std::uint32_t pivot = std::max<std::uint32_t>(rice.ksum >> 5, 1);
    const std::uint32_t overflow = x / pivot;
    const std::uint32_t base = x - overflow * pivot;

    if (overflow < kEscape) {
        if (overflow < kCountsDiff.size())
            rc.encodeShift(kCountsDiff[overflow], kCounts[overflow], 16);
        else
            rc.encodeShift(1, overflow + 65535 - kEscape, 16);
    } else {
        rc.encodeShift(1, 65535, 16);
        rc.encodeShift(1, overflow >> 16, 16);
        rc.encodeShift(1, overflow & 0xffff, 16);
    }

    if (pivot < 0x10000) {
        rc.encodeFreq(1, base, pivot);
    } else {
        int bbits = 0;
        while ((pivot >> bbits) & ~0xffffu)
            ++bbits;
        rc.encodeFreq(1, base >> bbits, (pivot >> bbits) + 1);
        rc.encodeFreq(1, base & ((1u << bbits) - 1), 1u << bbits);
    }

    rice.ksum += (x + 1) / 2 - ((rice.ksum + 16) >> 5);
}

// ---------------------------------------------------------------------------------------
// Stage-1 predictor. The history layout (one sliding buffer, fixed offsets per channel)
// is the one the decoder uses, so both sides see identical values.

constexpr int kHistorySize = 512;
constexpr int kPredictorOrder = 8;
constexpr int kPredictorSize = 50;
constexpr int kYDelayA = 18 + kPredictorOrder * 4;
constexpr int kYDelayB = 18 + kPredictorOrder * 3;
constexpr int kXDelayA = 18 + kPredictorOrder * 2;
constexpr int kXDelayB = 18 + kPredictorOrder;
constexpr int kYAdaptA = 18;
constexpr int kXAdaptA = 14;
constexpr int kYAdaptB = 10;
constexpr int kXAdaptB = 5;
constexpr std::array<std::int64_t, 4> kInitialCoeffsA = {360, 317, -109, 98};

class Predictor {
public:
    Predictor() {
        std::fill(std::begin(history_), std::end(history_), 0);
        for (auto& c : coeffsA_)
            std::copy(kInitialCoeffsA.begin(), kInitialCoeffsA.end(), c);
        std::memset(coeffsB_, 0, sizeof coeffsB_);
    }

    // Stereo: ch 0 is the side (difference) channel and is always processed first;
    // ch 1 (mid) reads ch 0's current value through its B stage.
    std::int32_t stereo(std::int32_t s, int ch) {
        return ch == 0 ? stereoStep(s, 0, kYDelayA, kYDelayB, kYAdaptA, kYAdaptB)
                       : stereoStep(s, 1, kXDelayA, kXDelayB, kXAdaptA, kXAdaptB);
    }
    void advance() {
        if (++buf_ == history_ + kHistorySize) {
            std::memmove(history_, buf_, kPredictorSize * sizeof(*buf_));
            buf_ = history_;
        }
    }

    std::int32_t mono(std::int32_t s) {
        std::int64_t* b = buf_;
        b[kYDelayA] = lastA_[0];
        b[kYDelayA - 1] = b[kYDelayA] - b[kYDelayA - 1];
        const std::int64_t predA = b[kYDelayA] * coeffsA_[0][0] + b[kYDelayA - 1] * coeffsA_[0][1] +
                                   b[kYDelayA - 2] * coeffsA_[0][2] +
                                   b[kYDelayA - 3] * coeffsA_[0][3];
        const std::int64_t current = s - ((filterA_[0] * 31) >> 5);
        const auto residual =
            static_cast<std::int32_t>(current - (static_cast<std::int32_t>(predA) >> 10));

        b[kYAdaptA] = invSign(b[kYDelayA]);
        b[kYAdaptA - 1] = invSign(b[kYDelayA - 1]);
        const int sign = invSign(residual);
        for (int k = 0; k < 4; ++k)
            coeffsA_[0][k] += b[kYAdaptA - k] * sign;

        lastA_[0] = current;
        filterA_[0] = s;
        advance();
        return residual;
    }

private:
    std::int32_t stereoStep(std::int32_t s, int f, int delayA, int delayB, int adaptA, int adaptB) {
        std::int64_t* b = buf_;
        b[delayA] = lastA_[f];
        b[adaptA] = invSign(b[delayA]);
        b[delayA - 1] = b[delayA] - b[delayA - 1];
        b[adaptA - 1] = invSign(b[delayA - 1]);
        const std::int64_t predA = b[delayA] * coeffsA_[f][0] + b[delayA - 1] * coeffsA_[f][1] +
                                   b[delayA - 2] * coeffsA_[f][2] + b[delayA - 3] * coeffsA_[f][3];

        b[delayB] = filterA_[f ^ 1] - ((filterB_[f] * 31) >> 5);
        b[adaptB] = invSign(b[delayB]);
        b[delayB - 1] = b[delayB] - b[delayB - 1];
        b[adaptB - 1] = invSign(b[delayB - 1]);
        filterB_[f] = filterA_[f ^ 1];
        const std::int64_t predB = b[delayB] * coeffsB_[f][0] + b[delayB - 1] * coeffsB_[f][1] +
                                   b[delayB - 2] * coeffsB_[f][2] + b[delayB - 3] * coeffsB_[f][3] +
                                   b[delayB - 4] * coeffsB_[f][4];

        // The prediction is formed in 32-bit wrapping arithmetic, as decoders do; it only
        // matters for loud 24-bit material, where the products can exceed 32 bits.
        const auto predA32 = static_cast<std::int32_t>(predA);
        const auto predB32 = static_cast<std::int32_t>(predB);
        const auto pred = static_cast<std::int32_t>(static_cast<std::uint32_t>(predA32) +
                                                    static_cast<std::uint32_t>(predB32 >> 1));
        const std::int64_t current = s - ((filterA_[f] * 31) >> 5);
        const auto residual = static_cast<std::int32_t>(current - (pred >> 10));

        const int sign = invSign(residual);
        for (int k = 0; k < 4; ++k)
            coeffsA_[f][k] += b[adaptA - k] * sign;
        for (int k = 0; k < 5; ++k)
            coeffsB_[f][k] += b[adaptB - k] * sign;

        lastA_[f] = current;
        filterA_[f] = s;
        return residual;
    }

    std::int64_t history_[kHistorySize + kPredictorSize];
    std::int64_t* buf_ = history_;
    std::int64_t lastA_[2] = {0, 0};
    std::int64_t filterA_[2] = {0, 0};
    std::int64_t filterB_[2] = {0, 0};
    std::int64_t coeffsA_[2][4];
    std::int64_t coeffsB_[2][5];
};

// ---------------------------------------------------------------------------------------
// Dot product of the coefficients with the history, then the sign-driven coefficient
// update, both on int16 lanes so the compiler can vectorise them.

inline std::int32_t dotProduct(const std::int16_t* c, const std::int16_t* d, int order) {
    std::int32_t sum = 0;
    for (int i = 0; i < order; ++i)
        sum += static_cast<std::int32_t>(c[i]) * d[i];
    return sum;
}

inline void adapt(std::int16_t* c, const std::int16_t* a, int order, int sign) {
    if (sign > 0) {
        for (int i = 0; i < order; ++i)
            c[i] = static_cast<std::int16_t>(c[i] + a[i]);
    } else if (sign < 0) {
        for (int i = 0; i < order; ++i)
            c[i] = static_cast<std::int16_t>(c[i] - a[i]);
    }
}

} // namespace

// The filter loops are plain int16 code; on x86-64 an AVX2 clone is built next to the
// baseline one and picked at load time, which roughly halves the time of the long filters.
// Sanitizer builds keep the baseline only: the load-time resolver would run before the
// sanitizer's runtime is up.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) &&                            \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define MAC_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define MAC_VECTOR_CLONES
#endif

// NN filter, encoder side: turns the signal into the residual the decoder's filter turns
// back. History and adaptation vectors slide through a buffer that is rewound (the last
// `order` entries copied to the front) when full, so the hot loops see contiguous arrays.
class NNFilter {
public:
    NNFilter(int order, int shift)
        : order_(order), shift_(shift), coeffs_(order, 0), delay_(kWindow + order, 0),
          adapt_(kWindow + order, 0), pos_(order) {}

    MAC_VECTOR_CLONES void compress(std::int32_t* data, std::size_t n) {
        const int order = order_;
        const std::int64_t round = std::int64_t{1} << (shift_ - 1);
        std::int16_t* coeffs = coeffs_.data();
        std::int16_t* delay = delay_.data();
        std::int16_t* adaptv = adapt_.data();
        for (std::size_t i = 0; i < n; ++i) {
            const std::int32_t in = data[i];
            const std::int32_t dot = dotProduct(coeffs, delay + pos_ - order, order);
            const auto pred = static_cast<std::int32_t>((dot + round) >> shift_);
            const auto out = static_cast<std::int32_t>(static_cast<std::uint32_t>(in) -
                                                       static_cast<std::uint32_t>(pred));
            adapt(coeffs, adaptv + pos_ - order, order, invSign(out));
            data[i] = out;

            delay[pos_] = clip16(in);
            const std::uint32_t absIn =
                in < 0 ? 0u - static_cast<std::uint32_t>(in) : static_cast<std::uint32_t>(in);
            if (absIn) {
                const int scale = (absIn > avg_ * std::uint64_t{3}) + (absIn > avg_ + avg_ / 3);
                adaptv[pos_] = static_cast<std::int16_t>(invSign(in) * (8 << scale));
            } else {
                adaptv[pos_] = 0;
            }
            avg_ += static_cast<std::int32_t>(absIn - avg_) / 16;
            adaptv[pos_ - 1] >>= 1;
            adaptv[pos_ - 2] >>= 1;
            adaptv[pos_ - 8] >>= 1;

            if (++pos_ == kWindow + order) {
                std::memmove(delay, delay + kWindow, order * sizeof(*delay));
                std::memmove(adaptv, adaptv + kWindow, order * sizeof(*adaptv));
                pos_ = order;
            }
        }
    }

private:
    static constexpr int kWindow = 512;
    int order_;
    int shift_;
    std::vector<std::int16_t> coeffs_;
    std::vector<std::int16_t> delay_;
    std::vector<std::int16_t> adapt_;
    int pos_;
    std::uint32_t avg_ = 0;
};

bool isValidLevel(int level) {
    return level == 1000 || level == 2000 || level == 3000 || level == 4000;
}

std::vector<FilterSetup> filtersForLevel(Level level) {
    switch (level) {
    case Level::Fast:
        return {};
    case Level::Normal:
        return {{16, 11}};
    case Level::High:
        return {{64, 11}};
    case Level::ExtraHigh:
        return {{32, 10}, {256, 13}};
    }
    return {};
}

FrameEncoder::FrameEncoder(unsigned channels, Level level) : channels_(channels), level_(level) {}

FrameEncoder::~FrameEncoder() = default;

namespace {
constexpr std::uint32_t kFlagMonoSilence = 1;
constexpr std::uint32_t kFlagStereoSilence = 3;
constexpr std::uint32_t kFlagPseudoStereo = 4;

void putBE32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x >> 24));
    v.push_back(static_cast<std::uint8_t>(x >> 16));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
    v.push_back(static_cast<std::uint8_t>(x));
}
} // namespace

void FrameEncoder::encode(const std::int32_t* samples, std::size_t blocks, const std::uint8_t* pcm,
                          std::size_t pcmBytes, std::vector<std::uint8_t>& out) {
    const bool stereoInput = channels_ == 2;
    bool silent = true;
    bool pseudoStereo = stereoInput;
    const std::size_t n = blocks * channels_;
    for (std::size_t i = 0; i < n; ++i)
        silent &= samples[i] == 0;
    if (stereoInput)
        for (std::size_t i = 0; i < blocks && pseudoStereo; ++i)
            pseudoStereo = samples[2 * i] == samples[2 * i + 1];

    std::uint32_t flags = 0;
    if (silent)
        flags = stereoInput ? kFlagStereoSilence : kFlagMonoSilence;
    else if (pseudoStereo)
        flags = kFlagPseudoStereo;

    bytes_.clear();
    std::uint32_t crc = crc32(0, pcm, pcmBytes) >> 1;
    putBE32(bytes_, flags ? crc | 0x80000000u : crc);
    if (flags)
        putBE32(bytes_, flags);

    const unsigned coded = (stereoInput && !pseudoStereo) ? 2 : 1;
    RangeEncoder rc(bytes_);
    if (!silent) {
        for (unsigned c = 0; c < coded; ++c)
            work_[c].resize(blocks);
        Predictor predictor;
        if (coded == 1) {
            for (std::size_t i = 0; i < blocks; ++i)
                work_[0][i] = predictor.mono(samples[i * channels_]);
        } else {
            for (std::size_t i = 0; i < blocks; ++i) {
                const std::int32_t left = samples[2 * i];
                const std::int32_t right = samples[2 * i + 1];
                const std::int32_t side = right - left;
                const std::int32_t mid = left + side / 2;
                work_[0][i] = predictor.stereo(side, 0);
                work_[1][i] = predictor.stereo(mid, 1);
                predictor.advance();
            }
        }

        const auto setups = filtersForLevel(level_);
        for (unsigned c = 0; c < coded; ++c) {
            filters_[c].clear();
            for (const auto& s : setups)
                filters_[c].push_back(std::make_unique<NNFilter>(s.order, s.shift));
            for (auto it = filters_[c].rbegin(); it != filters_[c].rend(); ++it)
                (*it)->compress(work_[c].data(), blocks);
        }

        Rice riceY, riceX;
        if (coded == 1) {
            for (std::size_t i = 0; i < blocks; ++i)
                encodeResidual(rc, riceY, work_[0][i]);
        } else {
            for (std::size_t i = 0; i < blocks; ++i) {
                encodeResidual(rc, riceY, work_[0][i]);
                encodeResidual(rc, riceX, work_[1][i]);
            }
        }
    }
    rc.finish();

    while (bytes_.size() % 4)
        bytes_.push_back(0);
    // The stream is read as 32-bit little-endian words of a big-endian byte sequence.
    const std::size_t start = out.size();
    out.resize(start + bytes_.size());
    for (std::size_t i = 0; i < bytes_.size(); i += 4) {
        out[start + i] = bytes_[i + 3];
        out[start + i + 1] = bytes_[i + 2];
        out[start + i + 2] = bytes_[i + 1];
        out[start + i + 3] = bytes_[i];
    }
}

std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i)
        crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

} // namespace quintrel::mac
