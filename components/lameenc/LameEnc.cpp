// The MP3 encoder's stream interface over libmp3lame. Input is always
// 16-bit interleaved stereo; the record chooses the output mode and rate.

#include "BladeEnc.h"

#include <lame/lame.h>

#include <cstdio>
#include <mutex>
#include <set>

namespace {

using namespace bladeenc;

struct Stream {
    lame_global_flags* gf = nullptr;
};

struct Module {
    std::mutex mutex;
    std::set<Stream*> live;
    // The last closed stream, kept until its VBR header is written: LAME
    // writes the header from the stream's own statistics.
    lame_global_flags* closed = nullptr;

    ~Module() {
        for (Stream* s : live) {
            lame_close(s->gf);
            delete s;
        }
        if (closed)
            lame_close(closed);
    }
} module;

Stream* Find(HBE_STREAM handle) {
    auto* s = reinterpret_cast<Stream*>(handle);
    std::lock_guard lock(module.mutex);
    return module.live.count(s) ? s : nullptr;
}

MPEG_mode ModeOf(int nMode) {
    switch (nMode) {
    case BE_MP3_MODE_JSTEREO:
        return JOINT_STEREO;
    case BE_MP3_MODE_DUALCHANNEL:
        return DUAL_CHANNEL;
    case BE_MP3_MODE_MONO:
        return MONO;
    default:
        return STEREO;
    }
}

void ApplyPreset(lame_global_flags* gf, int preset) {
    switch (preset) {
    case LQP_LOW_QUALITY:
        lame_set_quality(gf, 9);
        break;
    case LQP_HIGH_QUALITY:
        lame_set_quality(gf, 2);
        break;
    case LQP_VOICE_QUALITY:
        lame_set_quality(gf, 7);
        lame_set_lowpassfreq(gf, 12000);
        break;
    case LQP_R3MIX:
        lame_set_preset(gf, R3MIX);
        break;
    case LQP_VERYHIGH_QUALITY:
        lame_set_quality(gf, 0);
        break;
    case LQP_STANDARD:
        lame_set_preset(gf, STANDARD);
        break;
    case LQP_FAST_STANDARD:
        lame_set_preset(gf, STANDARD_FAST);
        break;
    case LQP_EXTREME:
        lame_set_preset(gf, EXTREME);
        break;
    case LQP_FAST_EXTREME:
        lame_set_preset(gf, EXTREME_FAST);
        break;
    case LQP_INSANE:
        lame_set_preset(gf, INSANE);
        break;
    default: // normal quality: LAME's defaults
        break;
    }
}

vbr_mode VbrModeOf(int method) {
    switch (method) {
    case VBR_METHOD_OLD:
        return vbr_rh;
    case VBR_METHOD_NEW:
    case VBR_METHOD_MTRH:
        return vbr_mtrh;
    case VBR_METHOD_ABR:
        return vbr_abr;
    default:
        return vbr_default;
    }
}

} // namespace

extern "C" {

BLADEENC_EXPORT BE_ERR beInitStream(BE_CONFIG* config, std::uint32_t* samples,
                                    std::uint32_t* bufferSize, HBE_STREAM* stream) {
    if (!config || !samples || !bufferSize || !stream)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_LAME)
        return BE_ERR_INVALID_FORMAT;
    const BE_CONFIG_LHV1& c = config->format.LHV1;
    if (c.dwStructSize != 0 && c.dwStructSize < offsetof(BE_CONFIG_LHV1, nQuality) + 4)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    lame_global_flags* gf = lame_init();
    if (!gf)
        return BE_ERR_NO_MORE_HANDLES;
    lame_set_num_channels(gf, 2);
    lame_set_in_samplerate(gf, c.dwSampleRate ? static_cast<int>(c.dwSampleRate) : 44100);
    if (c.dwReSampleRate)
        lame_set_out_samplerate(gf, static_cast<int>(c.dwReSampleRate));
    lame_set_mode(gf, ModeOf(c.nMode));
    ApplyPreset(gf, c.nPreset);
    if (c.bEnableVBR) {
        lame_set_VBR(gf, VbrModeOf(c.nVbrMethod));
        lame_set_VBR_q(gf, c.nVBRQuality);
        if (c.nVbrMethod == VBR_METHOD_ABR && c.dwVbrAbr_bps)
            lame_set_VBR_mean_bitrate_kbps(gf, static_cast<int>(c.dwVbrAbr_bps / 1000));
        if (c.dwBitrate)
            lame_set_VBR_min_bitrate_kbps(gf, static_cast<int>(c.dwBitrate));
        if (c.dwMaxBitrate)
            lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(c.dwMaxBitrate));
    } else if (c.nPreset < LQP_R3MIX || c.nPreset == LQP_VERYHIGH_QUALITY) {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, static_cast<int>(c.dwBitrate));
    }
    lame_set_error_protection(gf, c.bCRC ? 1 : 0);
    lame_set_copyright(gf, c.bCopyright ? 1 : 0);
    lame_set_original(gf, c.bOriginal ? 1 : 0);
    lame_set_extension(gf, c.bPrivate ? 1 : 0);
    lame_set_emphasis(gf, static_cast<int>(c.dwEmphasis));
    lame_set_strict_ISO(gf, c.bStrictIso ? 1 : 0);
    lame_set_disable_reservoir(gf, c.bNoRes ? 1 : 0);
    // Always reserve the header frame: it carries the encoder delay and
    // padding that decoders need for the exact length, for constant bitrate
    // too. beWriteVBRHeader fills it in.
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    auto* s = new Stream{gf};
    {
        std::lock_guard lock(module.mutex);
        module.live.insert(s);
    }
    const int frame = lame_get_framesize(gf);
    *samples = static_cast<std::uint32_t>(frame * 2);
    *bufferSize = static_cast<std::uint32_t>(frame * 5 / 4 + 7200);
    *stream = reinterpret_cast<HBE_STREAM>(s);
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_EXPORT BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples,
                                     const std::int16_t* pcm, std::uint8_t* output,
                                     std::uint32_t* produced) {
    Stream* s = Find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    if (!output || !produced || (!pcm && samples))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int n = lame_encode_buffer_interleaved(s->gf, const_cast<short*>(pcm),
                                                 static_cast<int>(samples / 2), output, 0);
    if (n < 0) {
        *produced = 0;
        return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *produced = static_cast<std::uint32_t>(n);
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_EXPORT BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output,
                                      std::uint32_t* produced) {
    Stream* s = Find(stream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    if (!output || !produced)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int n = lame_encode_flush(s->gf, output, 0);
    if (n < 0) {
        *produced = 0;
        return BE_ERR_BUFFER_TOO_SMALL;
    }
    *produced = static_cast<std::uint32_t>(n);
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_EXPORT BE_ERR beCloseStream(HBE_STREAM stream) {
    auto* s = reinterpret_cast<Stream*>(stream);
    std::lock_guard lock(module.mutex);
    if (!module.live.erase(s))
        return BE_ERR_INVALID_HANDLE;
    if (module.closed)
        lame_close(module.closed);
    module.closed = s->gf;
    delete s;
    return BE_ERR_SUCCESSFUL;
}

BLADEENC_EXPORT BE_ERR beWriteVBRHeader(const char* mp3File) {
    lame_global_flags* gf = nullptr;
    {
        std::lock_guard lock(module.mutex);
        gf = module.closed;
        module.closed = nullptr;
    }
    if (!gf)
        return BE_ERR_INVALID_HANDLE;
    BE_ERR result = BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (FILE* f = mp3File ? std::fopen(mp3File, "rb+") : nullptr) {
        lame_mp3_tags_fid(gf, f);
        result = std::fclose(f) == 0 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    lame_close(gf);
    return result;
}

} // extern "C"
