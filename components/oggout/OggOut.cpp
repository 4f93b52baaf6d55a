// The Ogg Vorbis output module over libvorbisenc: a managed-bitrate stream
// between the minimum and maximum settings around the nominal one.
// libswresample converts the 44 100 Hz stereo input to the requested rate
// and channel count.

#include "OggOut.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

namespace {

using namespace oggout;

constexpr int kInputRate = 44100;
// Values per Write the module asks for: about 0.1 s of stereo audio.
constexpr int kChunkValues = 8192;

struct Encoder {
    int minPos = 4, nomPos = 7, maxPos = 10;
    FILE* file = nullptr;
    bool open = false;
    int channels = 2;
    SwrContext* swr = nullptr;
    vorbis_info vi{};
    vorbis_comment vc{};
    vorbis_dsp_state vd{};
    vorbis_block vb{};
    ogg_stream_state os{};
} e;

OggOutModule table{};

int Setting(const std::string& path, const std::string& key, int fallback) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || line.substr(0, eq) != key)
            continue;
        const std::string value = line.substr(eq + 1);
        if (value.empty())
            return fallback;
        char* end = nullptr;
        const long v = std::strtol(value.c_str(), &end, 10);
        return end == value.c_str() ? fallback : static_cast<int>(v);
    }
    return fallback;
}

int Kbps(int pos, int fallbackPos) {
    if (pos < 0 || pos >= kBitrateCount)
        pos = fallbackPos;
    return kBitrates[pos];
}

bool WritePages(bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&e.os, &page) : ogg_stream_pageout(&e.os, &page)) {
        if (std::fwrite(page.header, 1, page.header_len, e.file) != size_t(page.header_len) ||
            std::fwrite(page.body, 1, page.body_len, e.file) != size_t(page.body_len))
            return false;
    }
    return true;
}

void Drain() {
    while (vorbis_analysis_blockout(&e.vd, &e.vb) == 1) {
        vorbis_analysis(&e.vb, nullptr);
        vorbis_bitrate_addblock(&e.vb);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&e.vd, &packet)) {
            ogg_stream_packetin(&e.os, &packet);
            WritePages(false);
        }
    }
}

void AddComment(const char* tag, const char* value) {
    if (value && *value)
        vorbis_comment_add_tag(&e.vc, tag, value);
}

void Release() {
    if (!e.open)
        return;
    ogg_stream_clear(&e.os);
    vorbis_block_clear(&e.vb);
    vorbis_dsp_clear(&e.vd);
    vorbis_comment_clear(&e.vc);
    vorbis_info_clear(&e.vi);
    swr_free(&e.swr);
    if (e.file)
        std::fclose(e.file);
    e.file = nullptr;
    e.open = false;
}

// Managed bitrate first; when libvorbis has no mode for those limits at this
// rate and channel count, the nominal bitrate alone, then a quality setting.
bool InitEncoder(int rate, int channels) {
    int lo = Kbps(e.minPos, 4), nom = Kbps(e.nomPos, 7), hi = Kbps(e.maxPos, 10);
    if (lo > hi)
        std::swap(lo, hi);
    nom = std::clamp(nom, lo, hi);
    if (vorbis_encode_init(&e.vi, channels, rate, hi * 1000L, nom * 1000L, lo * 1000L) == 0)
        return true;
    vorbis_info_clear(&e.vi);
    vorbis_info_init(&e.vi);
    if (vorbis_encode_init(&e.vi, channels, rate, -1, nom * 1000L, -1) == 0)
        return true;
    vorbis_info_clear(&e.vi);
    vorbis_info_init(&e.vi);
    return vorbis_encode_init_vbr(&e.vi, channels, rate, 0.4f) == 0;
}

void Init(const char* settingsPath) {
    const std::string path = settingsPath ? settingsPath : "";
    e.minPos = Setting(path, "Oggminbitrate", 4);
    e.nomPos = Setting(path, "Oggnombitrate", 7);
    e.maxPos = Setting(path, "Oggmaxbitrate", 10);
    table.description = "Ogg Vorbis output (libvorbis)";
}

void Quit() {
    Release();
}

int Open(const char* outputPath, const OggFormat* format, const OggTags* tags) {
    Release();
    const int rate = format && format->sampleRate > 0 ? format->sampleRate : kInputRate;
    const int channels = format && format->channels == 1 ? 1 : 2;
    if (!outputPath || !(e.file = std::fopen(outputPath, "wb")))
        return -1;
    vorbis_info_init(&e.vi);
    if (!InitEncoder(rate, channels)) {
        vorbis_info_clear(&e.vi);
        std::fclose(e.file);
        e.file = nullptr;
        return -1;
    }
    e.channels = channels;
    if (rate != kInputRate || channels != 2) {
        AVChannelLayout in = AV_CHANNEL_LAYOUT_STEREO, out = AV_CHANNEL_LAYOUT_STEREO;
        if (channels == 1)
            out = AV_CHANNEL_LAYOUT_MONO;
        if (swr_alloc_set_opts2(&e.swr, &out, AV_SAMPLE_FMT_FLTP, rate, &in, AV_SAMPLE_FMT_S16,
                                kInputRate, 0, nullptr) < 0 ||
            swr_init(e.swr) < 0) {
            swr_free(&e.swr);
            vorbis_info_clear(&e.vi);
            std::fclose(e.file);
            e.file = nullptr;
            return -1;
        }
    }
    vorbis_comment_init(&e.vc);
    vorbis_comment_add_tag(&e.vc, "ENCODER", "Trakkon");
    if (tags) {
        AddComment("ARTIST", tags->artist);
        AddComment("ALBUM", tags->album);
        AddComment("TITLE", tags->title);
        AddComment("COMMENT", tags->comment);
        AddComment("GENRE", tags->genre);
        if (tags->trackNumber > 0)
            AddComment("TRACKNUMBER", std::to_string(tags->trackNumber).c_str());
        if (tags->year > 0)
            AddComment("DATE", std::to_string(tags->year).c_str());
    }
    vorbis_analysis_init(&e.vd, &e.vi);
    vorbis_block_init(&e.vd, &e.vb);
    ogg_stream_init(&e.os, static_cast<int>(std::random_device{}() & 0x7FFFFFFF));
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&e.vd, &e.vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&e.os, &header);
    ogg_stream_packetin(&e.os, &comments);
    ogg_stream_packetin(&e.os, &codebooks);
    e.open = true;
    if (!WritePages(true)) {
        Release();
        return -1;
    }
    return kChunkValues;
}

void Write(const std::int16_t* samples, int count) {
    if (!e.open || !samples || count <= 0)
        return;
    const int frames = count / 2;
    if (e.swr) {
        const int room = swr_get_out_samples(e.swr, frames);
        if (room <= 0)
            return;
        float** buffer = vorbis_analysis_buffer(&e.vd, room);
        const auto* in = reinterpret_cast<const std::uint8_t*>(samples);
        const int got =
            swr_convert(e.swr, reinterpret_cast<std::uint8_t**>(buffer), room, &in, frames);
        vorbis_analysis_wrote(&e.vd, std::max(got, 0));
    } else {
        float** buffer = vorbis_analysis_buffer(&e.vd, frames);
        for (int i = 0; i < frames; ++i) {
            buffer[0][i] = samples[2 * i] / 32768.0f;
            buffer[1][i] = samples[2 * i + 1] / 32768.0f;
        }
        vorbis_analysis_wrote(&e.vd, frames);
    }
    Drain();
}

void Close() {
    if (!e.open)
        return;
    if (e.swr) {
        const int room = swr_get_out_samples(e.swr, 0);
        if (room > 0) {
            float** buffer = vorbis_analysis_buffer(&e.vd, room);
            const int got =
                swr_convert(e.swr, reinterpret_cast<std::uint8_t**>(buffer), room, nullptr, 0);
            vorbis_analysis_wrote(&e.vd, std::max(got, 0));
        }
    }
    vorbis_analysis_wrote(&e.vd, 0);
    Drain();
    WritePages(true);
    Release();
}

} // namespace

extern "C" oggout::OggOutModule* GetLFOutModule() {
    table.version = 0x10;
    table.Init = Init;
    table.Quit = Quit;
    table.Open = Open;
    table.Write = Write;
    table.Close = Close;
    return &table;
}
