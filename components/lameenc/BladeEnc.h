#pragma once
// The MP3 encoder's stream interface: a configuration record in its LAME
// header form, and five calls to open a stream, encode chunks of 16-bit
// PCM, flush, close and write the VBR header into the finished file.

#include <cstddef>
#include <cstdint>

namespace bladeenc {

using BE_ERR = std::uint32_t;
using HBE_STREAM = std::uintptr_t;

inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0x00000000;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 0x00000001;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 0x00000002;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 0x00000003;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 0x00000004;
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 0x00000005;

inline constexpr std::uint32_t BE_CONFIG_MP3 = 0;
inline constexpr std::uint32_t BE_CONFIG_LAME = 256;

inline constexpr int BE_MP3_MODE_STEREO = 0;
inline constexpr int BE_MP3_MODE_JSTEREO = 1;
inline constexpr int BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr int BE_MP3_MODE_MONO = 3;

// Quality presets (nPreset).
enum LAME_QUALITY_PRESET : std::int32_t {
    LQP_NOPRESET = -1,
    LQP_NORMAL_QUALITY = 0,
    LQP_LOW_QUALITY = 1,
    LQP_HIGH_QUALITY = 2,
    LQP_VOICE_QUALITY = 3,
    LQP_R3MIX = 4,
    LQP_VERYHIGH_QUALITY = 5,
    LQP_STANDARD = 6,
    LQP_FAST_STANDARD = 7,
    LQP_EXTREME = 8,
    LQP_FAST_EXTREME = 9,
    LQP_INSANE = 10,
};

enum VBRMETHOD : std::int32_t {
    VBR_METHOD_NONE = -1,
    VBR_METHOD_DEFAULT = 0,
    VBR_METHOD_OLD = 1,
    VBR_METHOD_NEW = 2,
    VBR_METHOD_MTRH = 3,
    VBR_METHOD_ABR = 4,
};

#pragma pack(push, 1)
struct BE_CONFIG_LHV1 {
    std::uint32_t dwStructVersion;
    std::uint32_t dwStructSize;
    std::uint32_t dwSampleRate;   // rate of the samples fed in
    std::uint32_t dwReSampleRate; // output rate; 0 keeps the input rate
    std::int32_t nMode;
    std::uint32_t dwBitrate;    // kbps; the minimum with VBR
    std::uint32_t dwMaxBitrate; // kbps, with VBR
    std::int32_t nPreset;
    std::uint32_t dwMpegVersion; // 1 MPEG-1, 0 MPEG-2
    std::uint32_t dwPsyModel;
    std::uint32_t dwEmphasis;
    std::int32_t bPrivate;
    std::int32_t bCRC;
    std::int32_t bCopyright;
    std::int32_t bOriginal;
    std::int32_t bWriteVBRHeader;
    std::int32_t bEnableVBR;
    std::int32_t nVBRQuality;
    std::uint32_t dwVbrAbr_bps;
    std::int32_t nVbrMethod;
    std::int32_t bNoRes;
    std::int32_t bStrictIso;
    std::uint16_t nQuality;
    std::uint8_t btReserved[255 - 4 * sizeof(std::uint32_t) - sizeof(std::uint16_t)];
};

struct BE_CONFIG {
    std::uint32_t dwConfig;
    union {
        BE_CONFIG_LHV1 LHV1;
        std::uint8_t raw[sizeof(BE_CONFIG_LHV1)];
    } format;
};
#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == 331, "the LAME header form of the record is 331 bytes");
static_assert(offsetof(BE_CONFIG, format) + offsetof(BE_CONFIG_LHV1, nQuality) == 92);

using BEINITSTREAM = BE_ERR (*)(BE_CONFIG* config, std::uint32_t* samples,
                                std::uint32_t* bufferSize, HBE_STREAM* stream);
using BEENCODECHUNK = BE_ERR (*)(HBE_STREAM stream, std::uint32_t samples, const std::int16_t* pcm,
                                 std::uint8_t* output, std::uint32_t* produced);
using BEDEINITSTREAM = BE_ERR (*)(HBE_STREAM stream, std::uint8_t* output, std::uint32_t* produced);
using BECLOSESTREAM = BE_ERR (*)(HBE_STREAM stream);
using BEWRITEVBRHEADER = BE_ERR (*)(const char* mp3File);

} // namespace bladeenc

#define BLADEENC_EXPORT __attribute__((visibility("default")))

extern "C" {
BLADEENC_EXPORT bladeenc::BE_ERR beInitStream(bladeenc::BE_CONFIG* config, std::uint32_t* samples,
                                              std::uint32_t* bufferSize,
                                              bladeenc::HBE_STREAM* stream);
BLADEENC_EXPORT bladeenc::BE_ERR beEncodeChunk(bladeenc::HBE_STREAM stream, std::uint32_t samples,
                                               const std::int16_t* pcm, std::uint8_t* output,
                                               std::uint32_t* produced);
BLADEENC_EXPORT bladeenc::BE_ERR beDeinitStream(bladeenc::HBE_STREAM stream, std::uint8_t* output,
                                                std::uint32_t* produced);
BLADEENC_EXPORT bladeenc::BE_ERR beCloseStream(bladeenc::HBE_STREAM stream);
BLADEENC_EXPORT bladeenc::BE_ERR beWriteVBRHeader(const char* mp3File);
}
