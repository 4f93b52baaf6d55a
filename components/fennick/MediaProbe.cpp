#include "MediaProbe.h"

#include <atomic>
#include <chrono>
#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace fennick {

namespace {

using Clock = std::chrono::steady_clock;

// Lives as the input's interrupt callback opaque until the context is closed.
struct InterruptState {
    Clock::time_point deadline;
    const std::atomic<bool>* abort = nullptr;
};

int Interrupted(void* opaque) {
    auto* s = static_cast<InterruptState*>(opaque);
    if (s->abort && s->abort->load(std::memory_order_relaxed))
        return 1;
    return Clock::now() > s->deadline ? 1 : 0;
}

bool Decodable(const AVStream* st) {
    return avcodec_find_decoder(st->codecpar->codec_id) != nullptr;
}

} // namespace

std::string AvError(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

AVFormatContext* OpenMediaInput(const std::string& path, std::string& error, const void* abortFlag,
                                double timeLimit) {
    struct stat sb {};
    if (path.empty() || ::stat(path.c_str(), &sb) != 0) {
        error = "cannot open \"" + path + "\": no such file";
        return nullptr;
    }
    if (!S_ISREG(sb.st_mode) || sb.st_size == 0) {
        error = "\"" + path + "\" is not a media file";
        return nullptr;
    }
    AVFormatContext* ctx = avformat_alloc_context();
    if (!ctx) {
        error = "out of memory";
        return nullptr;
    }
    auto* state = new InterruptState;
    state->deadline = Clock::now() + std::chrono::milliseconds(static_cast<int>(timeLimit * 1000));
    state->abort = static_cast<const std::atomic<bool>*>(abortFlag);
    ctx->interrupt_callback.callback = &Interrupted;
    ctx->interrupt_callback.opaque = state;
    // Bounded probing: a damaged file cannot make the probe read for ever.
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "probesize", "10000000", 0);
    av_dict_set(&opts, "analyzeduration", "10000000", 0);
    int rc = avformat_open_input(&ctx, path.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (rc < 0) {
        // avformat_open_input frees the context on failure.
        delete state;
        error = "cannot read \"" + path + "\": " + AvError(rc);
        return nullptr;
    }
    rc = avformat_find_stream_info(ctx, nullptr);
    if (rc < 0 || (BestAudioStream(ctx) < 0 && BestVideoStream(ctx) < 0)) {
        error = "\"" + path + "\" holds no audio or video that can be decoded";
        CloseMediaInput(ctx);
        return nullptr;
    }
    // From here on the time limit no longer applies; only the abort flag does.
    state->deadline = Clock::time_point::max();
    return ctx;
}

void CloseMediaInput(AVFormatContext*& ctx) {
    if (!ctx)
        return;
    auto* state = static_cast<InterruptState*>(ctx->interrupt_callback.opaque);
    avformat_close_input(&ctx);
    delete state;
}

int BestVideoStream(AVFormatContext* ctx) {
    int best = -1;
    std::int64_t bestArea = -1;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
            (st->disposition & AV_DISPOSITION_ATTACHED_PIC) || !Decodable(st) ||
            st->codecpar->width <= 0 || st->codecpar->height <= 0)
            continue;
        const std::int64_t area =
            static_cast<std::int64_t>(st->codecpar->width) * st->codecpar->height;
        if (area > bestArea) {
            best = static_cast<int>(i);
            bestArea = area;
        }
    }
    return best;
}

int BestAudioStream(AVFormatContext* ctx) {
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && Decodable(st) &&
            st->codecpar->sample_rate > 0 && st->codecpar->ch_layout.nb_channels > 0)
            return static_cast<int>(i);
    }
    return -1;
}

double ContainerDuration(AVFormatContext* ctx) {
    if (ctx->duration > 0 && ctx->duration != AV_NOPTS_VALUE)
        return ctx->duration / static_cast<double>(AV_TIME_BASE);
    double longest = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
            longest = std::max(longest, st->duration * av_q2d(st->time_base));
    }
    return longest;
}

ProbeResult Probe(const std::string& path) {
    ProbeResult r;
    std::string error;
    AVFormatContext* ctx = OpenMediaInput(path, error, nullptr, 5.0);
    if (!ctx)
        return r;
    r.duration = ContainerDuration(ctx);
    const int v = BestVideoStream(ctx);
    const int a = BestAudioStream(ctx);
    r.hasAudio = a >= 0;
    r.hasVideo = v >= 0;
    if (v >= 0) {
        AVStream* st = ctx->streams[v];
        r.width = st->codecpar->width;
        r.height = st->codecpar->height;
        const AVRational fr = av_guess_frame_rate(ctx, st, nullptr);
        if (fr.num > 0 && fr.den > 0)
            r.frameRate = av_q2d(fr);
    }
    if (!(r.duration > 0) || !std::isfinite(r.duration))
        r = ProbeResult{};
    CloseMediaInput(ctx);
    return r;
}

} // namespace fennick
