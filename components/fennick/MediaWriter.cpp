#include "MediaWriter.h"

#include "MediaProbe.h"
#include "Overlay.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}

namespace fennick {

std::string TemporaryNameFor(const std::string& output) {
    const std::size_t slash = output.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : output.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? output : output.substr(slash + 1);
    return dir + "." + name + ".part";
}

namespace {

// Thrown inside the write to take the single cleanup path.
struct WriteError {
    std::string what;
};

[[noreturn]] void Fail(std::string what) {
    throw WriteError{std::move(what)};
}

void Check(int rc, const char* what) {
    if (rc < 0)
        Fail(std::string(what) + ": " + AvError(rc));
}

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
FramePtr NewFrame() {
    FramePtr f(av_frame_alloc());
    if (!f)
        Fail("out of memory");
    return f;
}

int OutputInterrupted(void* opaque) {
    const auto* flag = static_cast<const std::atomic<bool>*>(opaque);
    return flag && flag->load(std::memory_order_relaxed) ? 1 : 0;
}

// A demuxer and decoder for one stream of one input file, with its clip.
struct Source {
    AVFormatContext* fmt = nullptr;
    AVCodecContext* dec = nullptr;
    int stream = -1;
    AVRational tb{1, 1};
    double origin = 0; // the container's start time, seconds
    double start = 0, stop = 0;
    bool demuxEnd = false, decoderEnd = false, cutEnd = false;
    AVPacket* pkt = nullptr;

    ~Source() {
        av_packet_free(&pkt);
        avcodec_free_context(&dec);
        CloseMediaInput(fmt);
    }

    void Open(const InputClip& clip, AVMediaType type, const std::atomic<bool>* abort) {
        std::string error;
        fmt = OpenMediaInput(clip.path, error, abort);
        if (!fmt)
            Fail(error);
        stream = type == AVMEDIA_TYPE_VIDEO ? BestVideoStream(fmt) : BestAudioStream(fmt);
        if (stream < 0)
            return;
        for (unsigned i = 0; i < fmt->nb_streams; ++i)
            if (static_cast<int>(i) != stream)
                fmt->streams[i]->discard = AVDISCARD_ALL;
        AVStream* st = fmt->streams[stream];
        tb = st->time_base;
        origin = fmt->start_time != AV_NOPTS_VALUE ? fmt->start_time / double(AV_TIME_BASE) : 0;
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        dec = avcodec_alloc_context3(codec);
        if (!dec)
            Fail("out of memory");
        Check(avcodec_parameters_to_context(dec, st->codecpar), "cannot set up the decoder");
        dec->pkt_timebase = st->time_base;
        dec->thread_count = 0;
        if (type == AVMEDIA_TYPE_VIDEO)
            dec->framerate = av_guess_frame_rate(fmt, st, nullptr);
        Check(avcodec_open2(dec, codec, nullptr), "cannot open the decoder");
        pkt = av_packet_alloc();
        if (!pkt)
            Fail("out of memory");

        start = std::max(0.0, clip.start);
        const double length = ContainerDuration(fmt);
        stop = clip.stop > 0 && (length <= 0 || clip.stop < length) ? clip.stop : length;
        if (start > 0) {
            // Land before the cut; frames before it are decoded and dropped.
            const double preroll = type == AVMEDIA_TYPE_VIDEO ? 0.0 : 0.5;
            const std::int64_t ts =
                static_cast<std::int64_t>((start + origin - preroll) * AV_TIME_BASE);
            if (avformat_seek_file(fmt, -1, INT64_MIN, ts, ts, 0) >= 0)
                avcodec_flush_buffers(dec);
        }
    }

    // Sends the next packet of the stream to the decoder (or the end).
    void Feed() {
        while (!demuxEnd) {
            const int rc = av_read_frame(fmt, pkt);
            if (rc == AVERROR_EXIT)
                Fail("aborted");
            if (rc < 0) {
                demuxEnd = true;
                avcodec_send_packet(dec, nullptr);
                return;
            }
            if (pkt->stream_index != stream) {
                av_packet_unref(pkt);
                continue;
            }
            const int sent = avcodec_send_packet(dec, pkt);
            av_packet_unref(pkt);
            // A damaged packet is skipped, as players do.
            if (sent == AVERROR(ENOMEM))
                Fail("out of memory");
            return;
        }
    }

    double Seconds(std::int64_t ts) const { return ts * av_q2d(tb) - origin; }
};

AVSampleFormat PickSampleFormat(const AVCodec* codec) {
    if (!codec->sample_fmts)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_FLTP)
            return *f;
    return codec->sample_fmts[0];
}

int PickSampleRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates)
        return wanted;
    int best = codec->supported_samplerates[0];
    for (const int* r = codec->supported_samplerates; *r; ++r)
        if (std::abs(*r - wanted) < std::abs(best - wanted))
            best = *r;
    return best;
}

// The encoder's buffer model and the like, for muxers that write them
// (the MPEG program stream's buffer sizes).
void CopyCodedSideData(const AVCodecContext* enc, AVStream* st) {
    for (int i = 0; i < enc->nb_coded_side_data; ++i) {
        const AVPacketSideData& sd = enc->coded_side_data[i];
        std::uint8_t* dst = av_stream_new_side_data(st, sd.type, sd.size);
        if (!dst)
            Fail("out of memory");
        std::memcpy(dst, sd.data, sd.size);
    }
}

class Writer {
public:
    Writer(const WritePlan& plan, const WriteHooks& hooks) : plan_(plan), hooks_(hooks) {}
    ~Writer() { Cleanup(); }

    void Run();

private:
    // ---- set-up ------------------------------------------------------------
    void OpenInputs();
    void OpenOutput();
    void SetUpVideo();
    void SetUpAudio();
    // ---- the video path ----------------------------------------------------
    bool StepVideo();
    void PushVideoFrame(AVFrame* frame);
    void EmitVideo(AVFrame* frame);
    // ---- the audio path ----------------------------------------------------
    bool StepAudio();
    void PushAudioFrame(AVFrame* frame);
    void EmitAudio(AVFrame* frame);
    void EmitSilence(int samples);
    // ---- encoding ------------------------------------------------------------
    void Encode(AVCodecContext* enc, AVStream* st, AVFrame* frame);
    void Progress(bool force);
    void Cleanup();

    bool Aborted() const { return hooks_.abort && hooks_.abort->load(std::memory_order_relaxed); }

    const WritePlan& plan_;
    const WriteHooks& hooks_;
    std::string temp_;

    std::unique_ptr<Source> vsrc_, asrc_;
    AVFormatContext* out_ = nullptr;

    // Video.
    AVCodecContext* venc_ = nullptr;
    AVStream* vst_ = nullptr;
    AVFilterGraph* vgraph_ = nullptr;
    AVFilterContext* vin_ = nullptr;
    AVFilterContext* vout_ = nullptr;
    SwsContext* sws_ = nullptr;
    FramePtr vconv_, vlast_, vheld_;
    AVRational vrate_{25, 1};
    std::int64_t vframes_ = 0, vtotal_ = 0;
    bool vdone_ = true, vgraphEnd_ = false;
    bool encPixIsWorking_ = true, fullRange_ = false;

    // Audio.
    AVCodecContext* aenc_ = nullptr;
    AVStream* ast_ = nullptr;
    AVFilterGraph* agraph_ = nullptr;
    AVFilterContext* ain_ = nullptr;
    AVFilterContext* aout_ = nullptr;
    std::int64_t asamples_ = 0, atotal_ = 0;
    std::int64_t aclipFirst_ = 0, aclipEnd_ = 0, anext_ = -1;
    int ainRate_ = 0, aframe_ = 0;
    bool adone_ = true, agraphEnd_ = false;

    double total_ = 0;
    std::chrono::steady_clock::time_point lastProgress_{};
    AVPacket* opkt_ = nullptr;
};

void Writer::OpenInputs() {
    const std::atomic<bool>* abort = hooks_.abort;
    if (plan_.writeVideo) {
        if (!plan_.videoIn)
            Fail("no video input has been set");
        vsrc_ = std::make_unique<Source>();
        vsrc_->Open(*plan_.videoIn, AVMEDIA_TYPE_VIDEO, abort);
        if (vsrc_->stream < 0)
            Fail("\"" + plan_.videoIn->path + "\" has no video");
        if (vsrc_->stop - vsrc_->start <= 0)
            Fail("the video clip is empty");
    }
    if (plan_.writeAudio) {
        const InputClip* clip = plan_.audioIn ? &*plan_.audioIn : nullptr;
        if (!clip && plan_.videoIn)
            clip = &*plan_.videoIn;
        if (!clip)
            Fail("no audio input has been set");
        asrc_ = std::make_unique<Source>();
        asrc_->Open(*clip, AVMEDIA_TYPE_AUDIO, abort);
        if (asrc_->stream < 0) {
            if (!plan_.writeVideo)
                Fail("\"" + clip->path + "\" has no sound");
            asrc_.reset(); // no sound: silence or a video-only file
        } else if (asrc_->stop - asrc_->start <= 0) {
            Fail("the audio clip is empty");
        }
    }
    total_ = vsrc_ ? vsrc_->stop - vsrc_->start : asrc_->stop - asrc_->start;
}

void Writer::OpenOutput() {
    Check(avformat_alloc_output_context2(&out_, nullptr, plan_.format.c_str(), temp_.c_str()),
          "cannot create the output");
    if (plan_.maxDelay >= 0)
        out_->max_delay = static_cast<int>(plan_.maxDelay);
    if (vsrc_)
        SetUpVideo();
    if (plan_.writeAudio && (asrc_ || !vsrc_ || plan_.silenceWithoutAudio))
        SetUpAudio();

    AVIOInterruptCB cb{&OutputInterrupted, const_cast<std::atomic<bool>*>(hooks_.abort)};
    const int rc = avio_open2(&out_->pb, temp_.c_str(), AVIO_FLAG_WRITE, &cb, nullptr);
    if (rc < 0)
        Fail("cannot create \"" + temp_ + "\": " + AvError(rc));
    AVDictionary* opts = nullptr;
    for (const auto& [k, v] : plan_.muxOptions)
        av_dict_set(&opts, k.c_str(), v.c_str(), 0);
    const int hrc = avformat_write_header(out_, &opts);
    av_dict_free(&opts);
    Check(hrc, "cannot write the file header");
}

void Writer::SetUpVideo() {
    const VideoSettings& vs = plan_.video;
    const AVCodec* codec = avcodec_find_encoder_by_name(vs.encoder.c_str());
    if (!codec)
        Fail("the video encoder " + vs.encoder + " is not available");
    venc_ = avcodec_alloc_context3(codec);
    if (!venc_)
        Fail("out of memory");

    AVRational rate{vs.rateNum, vs.rateDen};
    if (rate.num <= 0 || rate.den <= 0)
        rate = vsrc_->dec->framerate; // the source's own
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 240)
        rate = AVRational{25, 1};
    if (vs.snapRate && codec->supported_framerates)
        rate =
            codec->supported_framerates[av_find_nearest_q_idx(rate, codec->supported_framerates)];
    vrate_ = rate;
    // Even sizes: every 4:2:0 encoder needs them.
    const int width = std::max(2, vs.width & ~1);
    const int height = std::max(2, vs.height & ~1);

    AVPixelFormat pix = vs.pixFmt.empty() ? AV_PIX_FMT_NONE : av_get_pix_fmt(vs.pixFmt.c_str());
    if (pix == AV_PIX_FMT_NONE)
        pix = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    venc_->width = width;
    venc_->height = height;
    venc_->pix_fmt = pix;
    venc_->time_base = av_inv_q(rate);
    venc_->framerate = rate;
    AVRational outSar{1, 1};
    if (vs.displayAspectNum > 0 && vs.displayAspectDen > 0)
        av_reduce(&outSar.num, &outSar.den, static_cast<std::int64_t>(vs.displayAspectNum) * height,
                  static_cast<std::int64_t>(vs.displayAspectDen) * width, 1000);
    venc_->sample_aspect_ratio = outSar;
    venc_->thread_count = 0;
    if (vs.bitRate > 0)
        venc_->bit_rate = vs.bitRate;
    if (vs.maxRate > 0)
        venc_->rc_max_rate = vs.maxRate;
    if (vs.minRate > 0)
        venc_->rc_min_rate = vs.minRate;
    if (vs.bufSize > 0)
        venc_->rc_buffer_size = static_cast<int>(vs.bufSize);
    if (vs.gop > 0)
        venc_->gop_size = vs.gop;
    if (vs.qscale > 0) {
        venc_->flags |= AV_CODEC_FLAG_QSCALE;
        venc_->global_quality = FF_QP2LAMBDA * vs.qscale;
    }
    if (out_->oformat->flags & AVFMT_GLOBALHEADER)
        venc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (pix == AV_PIX_FMT_YUVJ420P || pix == AV_PIX_FMT_YUVJ422P || pix == AV_PIX_FMT_YUVJ444P)
        venc_->color_range = AVCOL_RANGE_JPEG;
    AVDictionary* opts = nullptr;
    for (const auto& [k, v] : vs.options)
        av_dict_set(&opts, k.c_str(), v.c_str(), 0);
    const int rc = avcodec_open2(venc_, codec, &opts);
    av_dict_free(&opts);
    Check(rc, "the video encoder refused the settings");

    vst_ = avformat_new_stream(out_, nullptr);
    if (!vst_)
        Fail("out of memory");
    Check(avcodec_parameters_from_context(vst_->codecpar, venc_), "cannot set up the video stream");
    vst_->time_base = venc_->time_base;
    CopyCodedSideData(venc_, vst_);
    vst_->avg_frame_rate = rate;
    vst_->sample_aspect_ratio = venc_->sample_aspect_ratio;

    // The graph: frame rate first (so dropped frames are never scaled), then
    // the fit, ending in 4:2:0 where the picture is laid over.
    const AVCodecContext* dec = vsrc_->dec;
    vgraph_ = avfilter_graph_alloc();
    if (!vgraph_)
        Fail("out of memory");
    vgraph_->nb_threads = 1;
    char args[512];
    const AVRational sar =
        dec->sample_aspect_ratio.num > 0 ? dec->sample_aspect_ratio : AVRational{1, 1};
    std::snprintf(args, sizeof args,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", dec->width,
                  dec->height, dec->pix_fmt, vsrc_->tb.num, vsrc_->tb.den, sar.num, sar.den);
    Check(avfilter_graph_create_filter(&vin_, avfilter_get_by_name("buffer"), "in", args, nullptr,
                                       vgraph_),
          "cannot set up the video filters");
    Check(avfilter_graph_create_filter(&vout_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                       nullptr, vgraph_),
          "cannot set up the video filters");

    fullRange_ = pix == AV_PIX_FMT_YUVJ420P;
    const AVPixelFormat work = fullRange_ ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    encPixIsWorking_ = pix == work;
    std::string chain;
    char buf[512];
    std::snprintf(buf, sizeof buf, "fps=fps=%d/%d:round=near,", rate.num, rate.den);
    chain += buf;
    // The fit is worked out on the shapes the pictures are shown in: the
    // source's pixels and the output's need not be square (disc formats).
    const int fit = plan_.videoIn->fit;
    const double srcAspect = dec->width * av_q2d(sar) / dec->height;
    const double dstAspect = width * av_q2d(outSar) / height;
    const auto even = [](double v) {
        return std::max(2, static_cast<int>(std::lround(v / 2)) * 2);
    };
    if (fit == 2 || fit == 3) {
        // Keep: the whole picture inside, bars around; crop: the frame
        // filled, the overhang cut off.
        const bool wider = srcAspect > dstAspect;
        int sw = width, sh = height;
        if (wider == (fit == 2))
            sh = even(height * dstAspect / srcAspect);
        else
            sw = even(width * srcAspect / dstAspect);
        if (fit == 2) {
            sw = std::min(sw, width);
            sh = std::min(sh, height);
            std::snprintf(buf, sizeof buf, "scale=w=%d:h=%d,pad=w=%d:h=%d:x=%d:y=%d:color=black,",
                          sw, sh, width, height, (width - sw) / 4 * 2, (height - sh) / 4 * 2);
        } else {
            sw = std::max(sw, width);
            sh = std::max(sh, height);
            std::snprintf(buf, sizeof buf, "scale=w=%d:h=%d,crop=w=%d:h=%d,", sw, sh, width,
                          height);
        }
    } else {
        std::snprintf(buf, sizeof buf, "scale=w=%d:h=%d,", width, height);
    }
    chain += buf;
    std::snprintf(buf, sizeof buf, "setsar=%d/%d,", outSar.num, outSar.den);
    chain += buf;
    chain += "format=pix_fmts=";
    chain += av_get_pix_fmt_name(work);

    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = vin_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = vout_;
    int prc = avfilter_graph_parse_ptr(vgraph_, chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    Check(prc, "cannot set up the video filters");
    Check(avfilter_graph_config(vgraph_, nullptr), "cannot set up the video filters");

    if (!encPixIsWorking_) {
        sws_ = sws_getContext(width, height, work, width, height, pix, SWS_BICUBIC, nullptr,
                              nullptr, nullptr);
        if (!sws_)
            Fail("cannot convert to the encoder's pixel format");
        vconv_ = NewFrame();
        vconv_->format = pix;
        vconv_->width = width;
        vconv_->height = height;
        Check(av_frame_get_buffer(vconv_.get(), 0), "out of memory");
    }
    vtotal_ = std::max<std::int64_t>(1, std::llround(total_ * av_q2d(rate)));
    vdone_ = false;
}

void Writer::SetUpAudio() {
    const AudioSettings& as = plan_.audio;
    const AVCodec* codec = avcodec_find_encoder_by_name(as.encoder.c_str());
    if (!codec)
        Fail("the audio encoder " + as.encoder + " is not available");
    aenc_ = avcodec_alloc_context3(codec);
    if (!aenc_)
        Fail("out of memory");
    const AVCodecContext* dec = asrc_ ? asrc_->dec : nullptr;
    int channels =
        as.channels > 0 ? as.channels : (dec ? std::min(2, dec->ch_layout.nb_channels) : 2);
    channels = std::clamp(channels, 1, 2);
    const int wantedRate = as.sampleRate > 0 ? as.sampleRate : (dec ? dec->sample_rate : 44100);
    const int rate = PickSampleRate(codec, wantedRate);
    aenc_->sample_fmt = PickSampleFormat(codec);
    aenc_->sample_rate = rate;
    av_channel_layout_default(&aenc_->ch_layout, channels);
    aenc_->time_base = AVRational{1, rate};
    aenc_->thread_count = 0;
    if (as.bitRate > 0)
        aenc_->bit_rate = as.bitRate;
    if (out_->oformat->flags & AVFMT_GLOBALHEADER)
        aenc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(aenc_, codec, nullptr), "the audio encoder refused the settings");
    ast_ = avformat_new_stream(out_, nullptr);
    if (!ast_)
        Fail("out of memory");
    Check(avcodec_parameters_from_context(ast_->codecpar, aenc_), "cannot set up the audio stream");
    ast_->time_base = aenc_->time_base;
    CopyCodedSideData(aenc_, ast_);

    // Fixed-size encoders get exactly their frame size; PCM gets large blocks.
    const bool variable =
        (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || aenc_->frame_size <= 0;
    aframe_ = variable ? 4096 : aenc_->frame_size;
    atotal_ = std::llround(total_ * rate);
    adone_ = false;
    if (!asrc_)
        return; // silence only

    ainRate_ = dec->sample_rate;
    aclipFirst_ = std::llround(asrc_->start * ainRate_);
    aclipEnd_ = std::llround(asrc_->stop * ainRate_);

    agraph_ = avfilter_graph_alloc();
    if (!agraph_)
        Fail("out of memory");
    agraph_->nb_threads = 1;
    char layout[128] = {};
    AVChannelLayout inLayout{};
    if (dec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, dec->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&inLayout, &dec->ch_layout);
    av_channel_layout_describe(&inLayout, layout, sizeof layout);
    av_channel_layout_uninit(&inLayout);
    char args[512];
    std::snprintf(args, sizeof args,
                  "time_base=1/%d:sample_rate=%d:sample_fmt=%s:channel_layout=%s", ainRate_,
                  ainRate_, av_get_sample_fmt_name(dec->sample_fmt), layout);
    Check(avfilter_graph_create_filter(&ain_, avfilter_get_by_name("abuffer"), "in", args, nullptr,
                                       agraph_),
          "cannot set up the audio filters");
    Check(avfilter_graph_create_filter(&aout_, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                       nullptr, agraph_),
          "cannot set up the audio filters");
    char outLayout[128] = {};
    av_channel_layout_describe(&aenc_->ch_layout, outLayout, sizeof outLayout);
    char chain[512];
    std::snprintf(chain, sizeof chain,
                  "aresample=%d,aformat=sample_fmts=%s:sample_rates=%d:channel_layouts=%s", rate,
                  av_get_sample_fmt_name(aenc_->sample_fmt), rate, outLayout);
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = ain_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = aout_;
    const int prc = avfilter_graph_parse_ptr(agraph_, chain, &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    Check(prc, "cannot set up the audio filters");
    Check(avfilter_graph_config(agraph_, nullptr), "cannot set up the audio filters");
    av_buffersink_set_frame_size(aout_, aframe_);
}

// ---- video -------------------------------------------------------------------

void Writer::PushVideoFrame(AVFrame* frame) {
    Source& s = *vsrc_;
    std::int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        ts = frame->pts;
    if (ts == AV_NOPTS_VALUE) {
        // No timing at all: take frames in order at the source's rate.
        ts = 0;
    }
    const double t = s.Seconds(ts);
    const std::int64_t startTs =
        static_cast<std::int64_t>(std::llround((s.start + s.origin) / av_q2d(s.tb)));
    if (t >= s.stop - 1e-6) {
        s.cutEnd = true;
        return;
    }
    if (t < s.start - 1e-6) {
        // Before the cut: keep it, the last one shows at the clip's start.
        if (!vheld_)
            vheld_ = NewFrame();
        av_frame_unref(vheld_.get());
        av_frame_move_ref(vheld_.get(), frame);
        return;
    }
    if (vheld_ && vheld_->buf[0]) {
        if (t > s.start + 1e-6) {
            vheld_->pts = 0;
            Check(av_buffersrc_add_frame(vin_, vheld_.get()), "video filters");
        }
        av_frame_unref(vheld_.get());
    }
    frame->pts = ts - startTs;
    Check(av_buffersrc_add_frame_flags(vin_, frame, 0), "video filters");
}

bool Writer::StepVideo() {
    FramePtr frame = NewFrame();
    for (;;) {
        const int rc = av_buffersink_get_frame(vout_, frame.get());
        if (rc >= 0) {
            EmitVideo(frame.get());
            return true;
        }
        if (rc == AVERROR_EOF) {
            // The source ended before the clip did: hold the last picture.
            while (vframes_ < vtotal_ && vlast_)
                EmitVideo(nullptr);
            vdone_ = true;
            Encode(venc_, vst_, nullptr);
            return true;
        }
        if (rc != AVERROR(EAGAIN))
            Check(rc, "video filters");
        Source& s = *vsrc_;
        if (s.decoderEnd || s.cutEnd) {
            if (!vgraphEnd_) {
                if (vheld_ && vheld_->buf[0]) {
                    vheld_->pts = 0;
                    Check(av_buffersrc_add_frame(vin_, vheld_.get()), "video filters");
                }
                Check(av_buffersrc_add_frame(vin_, nullptr), "video filters");
                vgraphEnd_ = true;
            }
            continue;
        }
        // Decode until a frame comes out, then filter it.
        FramePtr decoded = NewFrame();
        for (;;) {
            const int drc = avcodec_receive_frame(s.dec, decoded.get());
            if (drc >= 0) {
                PushVideoFrame(decoded.get());
                break;
            }
            if (drc == AVERROR_EOF) {
                s.decoderEnd = true;
                break;
            }
            if (drc != AVERROR(EAGAIN))
                Check(drc, "cannot decode the video");
            if (Aborted())
                Fail("aborted");
            s.Feed();
        }
    }
}

void Writer::EmitVideo(AVFrame* frame) {
    if (vframes_ >= vtotal_) {
        if (!vdone_) {
            vdone_ = true;
            Encode(venc_, vst_, nullptr);
        }
        return;
    }
    if (frame) {
        if (!vlast_)
            vlast_ = NewFrame();
        av_frame_unref(vlast_.get());
        Check(av_frame_ref(vlast_.get(), frame), "out of memory");
        av_frame_unref(frame);
    }
    // The fps filter repeats pictures by reference: the overlay goes on a copy.
    AVFrame* pic = vlast_.get();
    std::shared_ptr<const OverlayImage> overlay = hooks_.overlay ? hooks_.overlay() : nullptr;
    FramePtr blended;
    if (overlay) {
        blended = NewFrame();
        Check(av_frame_ref(blended.get(), pic), "out of memory");
        Check(av_frame_make_writable(blended.get()), "out of memory");
        BlendOverlay(*overlay, blended.get(), fullRange_);
        pic = blended.get();
    }
    AVFrame* toEncode = pic;
    if (sws_) {
        Check(av_frame_make_writable(vconv_.get()), "out of memory");
        sws_scale(sws_, pic->data, pic->linesize, 0, pic->height, vconv_->data, vconv_->linesize);
        toEncode = vconv_.get();
    }
    const std::int64_t savedPts = toEncode->pts;
    toEncode->pts = vframes_++;
    toEncode->pict_type = AV_PICTURE_TYPE_NONE;
    Encode(venc_, vst_, toEncode);
    toEncode->pts = savedPts;
    if (vframes_ >= vtotal_) {
        vdone_ = true;
        Encode(venc_, vst_, nullptr);
    }
}

// ---- audio -------------------------------------------------------------------

void Writer::PushAudioFrame(AVFrame* frame) {
    Source& s = *asrc_;
    std::int64_t pos = anext_;
    std::int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE)
        ts = frame->pts;
    if (ts != AV_NOPTS_VALUE) {
        const std::int64_t stamped = std::llround(s.Seconds(ts) * ainRate_);
        // Count samples once the sound has started; follow the timestamps
        // only across a real gap or jump, not their rounding jitter.
        if (anext_ < 0 || std::llabs(stamped - anext_) > ainRate_ / 20)
            pos = stamped;
    }
    if (pos < 0 && anext_ < 0)
        pos = 0;
    const int n = frame->nb_samples;
    anext_ = pos + n;
    if (pos >= aclipEnd_) {
        s.cutEnd = true;
        return;
    }
    const std::int64_t from = std::max<std::int64_t>(0, aclipFirst_ - pos);
    const std::int64_t to = std::min<std::int64_t>(n, aclipEnd_ - pos);
    if (to <= from)
        return;
    AVFrame* push = frame;
    FramePtr part;
    if (from > 0 || to < n) {
        part = NewFrame();
        part->format = frame->format;
        part->sample_rate = frame->sample_rate;
        Check(av_channel_layout_copy(&part->ch_layout, &frame->ch_layout), "out of memory");
        part->nb_samples = static_cast<int>(to - from);
        Check(av_frame_get_buffer(part.get(), 0), "out of memory");
        av_samples_copy(part->extended_data, frame->extended_data, 0, static_cast<int>(from),
                        part->nb_samples, frame->ch_layout.nb_channels,
                        static_cast<AVSampleFormat>(frame->format));
        push = part.get();
    }
    push->pts = pos + from - aclipFirst_;
    Check(av_buffersrc_add_frame_flags(ain_, push, 0), "audio filters");
    if (pos + n >= aclipEnd_)
        s.cutEnd = true;
}

bool Writer::StepAudio() {
    if (!asrc_) {
        EmitSilence(static_cast<int>(std::min<std::int64_t>(aframe_, atotal_ - asamples_)));
        return true;
    }
    FramePtr frame = NewFrame();
    for (;;) {
        const int rc = av_buffersink_get_frame(aout_, frame.get());
        if (rc >= 0) {
            EmitAudio(frame.get());
            return true;
        }
        if (rc == AVERROR_EOF) {
            // The source ran short of the clip (or resampling rounding):
            // make the length exact.
            while (asamples_ < atotal_)
                EmitSilence(static_cast<int>(std::min<std::int64_t>(aframe_, atotal_ - asamples_)));
            if (!adone_) {
                adone_ = true;
                Encode(aenc_, ast_, nullptr);
            }
            return true;
        }
        if (rc != AVERROR(EAGAIN))
            Check(rc, "audio filters");
        Source& s = *asrc_;
        if (s.decoderEnd || s.cutEnd) {
            if (!agraphEnd_) {
                Check(av_buffersrc_add_frame(ain_, nullptr), "audio filters");
                agraphEnd_ = true;
            }
            continue;
        }
        FramePtr decoded = NewFrame();
        for (;;) {
            const int drc = avcodec_receive_frame(s.dec, decoded.get());
            if (drc >= 0) {
                PushAudioFrame(decoded.get());
                break;
            }
            if (drc == AVERROR_EOF) {
                s.decoderEnd = true;
                break;
            }
            if (drc != AVERROR(EAGAIN))
                Check(drc, "cannot decode the sound");
            if (Aborted())
                Fail("aborted");
            s.Feed();
        }
    }
}

void Writer::EmitAudio(AVFrame* frame) {
    if (adone_)
        return;
    const std::int64_t left = atotal_ - asamples_;
    if (frame->nb_samples > left)
        frame->nb_samples = static_cast<int>(left); // the last frame of the clip
    if (frame->nb_samples < aframe_ && frame->nb_samples < left) {
        // The sound ended early: a short frame may only be the last one, so
        // fill it up with silence.
        const int want = static_cast<int>(std::min<std::int64_t>(aframe_, left));
        FramePtr full = NewFrame();
        full->format = frame->format;
        full->sample_rate = frame->sample_rate;
        Check(av_channel_layout_copy(&full->ch_layout, &frame->ch_layout), "out of memory");
        full->nb_samples = want;
        Check(av_frame_get_buffer(full.get(), 0), "out of memory");
        const int channels = frame->ch_layout.nb_channels;
        const auto fmt = static_cast<AVSampleFormat>(frame->format);
        av_samples_copy(full->extended_data, frame->extended_data, 0, 0, frame->nb_samples,
                        channels, fmt);
        av_samples_set_silence(full->extended_data, frame->nb_samples, want - frame->nb_samples,
                               channels, fmt);
        av_frame_unref(frame);
        av_frame_move_ref(frame, full.get());
    }
    if (frame->nb_samples > 0) {
        frame->pts = asamples_;
        asamples_ += frame->nb_samples;
        Encode(aenc_, ast_, frame);
    }
    av_frame_unref(frame);
    if (asamples_ >= atotal_) {
        adone_ = true;
        Encode(aenc_, ast_, nullptr);
    }
}

void Writer::EmitSilence(int samples) {
    if (adone_)
        return;
    if (samples > 0) {
        FramePtr f = NewFrame();
        f->format = aenc_->sample_fmt;
        f->sample_rate = aenc_->sample_rate;
        Check(av_channel_layout_copy(&f->ch_layout, &aenc_->ch_layout), "out of memory");
        f->nb_samples = samples;
        Check(av_frame_get_buffer(f.get(), 0), "out of memory");
        av_samples_set_silence(f->extended_data, 0, samples, f->ch_layout.nb_channels,
                               aenc_->sample_fmt);
        f->pts = asamples_;
        asamples_ += samples;
        Encode(aenc_, ast_, f.get());
    }
    if (asamples_ >= atotal_) {
        adone_ = true;
        Encode(aenc_, ast_, nullptr);
    }
}

// ---- encoding and muxing -----------------------------------------------------

void Writer::Encode(AVCodecContext* enc, AVStream* st, AVFrame* frame) {
    // A fixed quantiser is read from each picture, not from the encoder's
    // settings: without it the encoder falls back to its finest one.
    if (frame && (enc->flags & AV_CODEC_FLAG_QSCALE))
        frame->quality = enc->global_quality;
    int rc = avcodec_send_frame(enc, frame);
    if (rc == AVERROR_EOF)
        return; // already flushed
    Check(rc, "the encoder failed");
    for (;;) {
        rc = avcodec_receive_packet(enc, opkt_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        Check(rc, "the encoder failed");
        av_packet_rescale_ts(opkt_, enc->time_base, st->time_base);
        opkt_->stream_index = st->index;
        rc = av_interleaved_write_frame(out_, opkt_);
        if (rc < 0) {
            if (Aborted())
                Fail("aborted");
            Fail("cannot write \"" + plan_.output + "\": " + AvError(rc));
        }
    }
}

void Writer::Progress(bool force) {
    if (!hooks_.progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastProgress_ < std::chrono::milliseconds(250))
        return;
    lastProgress_ = now;
    double pos = total_;
    if (venc_ && !vdone_)
        pos = std::min(pos, vframes_ / av_q2d(vrate_));
    if (aenc_ && !adone_)
        pos = std::min(pos, asamples_ / double(aenc_->sample_rate));
    hooks_.progress(std::clamp(pos, 0.0, total_), total_);
}

void Writer::Run() {
    temp_ = TemporaryNameFor(plan_.output);
    opkt_ = av_packet_alloc();
    if (!opkt_)
        Fail("out of memory");
    OpenInputs();
    if (Aborted())
        Fail("aborted");
    OpenOutput();
    lastProgress_ = std::chrono::steady_clock::now();
    while (!vdone_ || !adone_) {
        if (Aborted())
            Fail("aborted");
        // The stream that is behind goes next, so the muxer interleaves
        // without buffering much.
        const double vt = vdone_ ? 1e300 : vframes_ / av_q2d(vrate_);
        const double at = adone_ ? 1e300 : asamples_ / double(aenc_->sample_rate);
        if (vt <= at)
            StepVideo();
        else
            StepAudio();
        Progress(false);
    }
    Check(av_write_trailer(out_), "cannot finish the file");
    const int rc = avio_closep(&out_->pb);
    if (rc < 0 || (out_->pb && out_->pb->error < 0))
        Fail("cannot write \"" + plan_.output + "\": " + AvError(rc));
    if (Aborted())
        Fail("aborted");
    if (std::rename(temp_.c_str(), plan_.output.c_str()) != 0)
        Fail("cannot rename the finished file to \"" + plan_.output + "\"");
    temp_.clear();
    Progress(true);
}

void Writer::Cleanup() {
    if (out_) {
        if (out_->pb)
            avio_closep(&out_->pb);
        avformat_free_context(out_);
        out_ = nullptr;
    }
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    avfilter_graph_free(&vgraph_);
    avfilter_graph_free(&agraph_);
    avcodec_free_context(&venc_);
    avcodec_free_context(&aenc_);
    sws_freeContext(sws_);
    sws_ = nullptr;
    av_packet_free(&opkt_);
    vsrc_.reset();
    asrc_.reset();
}

} // namespace

bool RunWrite(const WritePlan& plan, const WriteHooks& hooks, std::string& error) {
    Writer writer(plan, hooks);
    try {
        writer.Run();
        error.clear();
        return true;
    } catch (const WriteError& e) {
        error = e.what;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    return false;
}

} // namespace fennick
