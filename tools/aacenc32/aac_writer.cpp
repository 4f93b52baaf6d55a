#include "aac_writer.h"

#include "wav_input.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

#include <cstdio>
#include <memory>
#include <vector>

namespace aacenc {

// The encoder's quality mode stops rising above about 1.5: dense signals
// then hit its per-frame bit limit and some come out smaller than at lower
// settings. The top preset stays below that, so every step costs more bits.
const Preset kPresets[8] = {
    {"tape", 0.25},  {"radio", 0.4},   {"internet", 0.55},   {"streaming", 0.7},
    {"normal", 0.9}, {"extreme", 1.1}, {"audiophile", 1.25}, {"transcoding", 1.4},
};

double PresetQuality(const std::string& name) {
    for (const Preset& p : kPresets)
        if (name == p.name)
            return p.quality;
    return -1;
}

namespace {

std::string AvError(int code) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buf, sizeof buf);
    return buf;
}

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct OutputFree {
    void operator()(AVFormatContext* f) const {
        if (f->pb)
            avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

class Encoder {
public:
    Encoder(const std::string& output, std::string& error) : output_(output), error_(error) {}

    bool Run(WavInput& wav, const Settings& settings) {
        return OpenEncoder(wav, settings) && OpenOutput() && EncodeAll(wav) && Flush() && Finish();
    }

private:
    bool Fail(const std::string& what, int code = 0) {
        error_ = code ? what + ": " + AvError(code) : what;
        return false;
    }

    bool OpenEncoder(const WavInput& wav, const Settings& settings) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        if (!codec)
            return Fail("this FFmpeg build has no AAC encoder");
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_)
            return Fail("out of memory");
        AVCodecContext* c = codec_.get();
        c->sample_fmt = AV_SAMPLE_FMT_FLTP;
        c->sample_rate = wav.sampleRate();
        av_channel_layout_default(&c->ch_layout, wav.channels());
        c->profile = FF_PROFILE_AAC_LOW;
        c->time_base = AVRational{1, wav.sampleRate()};
        if (settings.cbrKbps > 0) {
            c->bit_rate = static_cast<int64_t>(settings.cbrKbps) * 1000;
        } else {
            c->flags |= AV_CODEC_FLAG_QSCALE;
            c->global_quality = static_cast<int>(settings.quality * FF_QP2LAMBDA + 0.5);
        }
        const int err = avcodec_open2(c, codec, nullptr);
        if (err < 0)
            return Fail("the AAC encoder does not accept " + std::to_string(wav.channels()) +
                            " channels at " + std::to_string(wav.sampleRate()) + " Hz",
                        err);
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!frame_ || !packet_)
            return Fail("out of memory");
        frame_->format = c->sample_fmt;
        frame_->nb_samples = c->frame_size;
        frame_->sample_rate = c->sample_rate;
        av_channel_layout_copy(&frame_->ch_layout, &c->ch_layout);
        if (av_frame_get_buffer(frame_.get(), 0) < 0)
            return Fail("out of memory");
        return true;
    }

    bool OpenOutput() {
        AVFormatContext* f = nullptr;
        int err = avformat_alloc_output_context2(&f, nullptr, "adts", output_.c_str());
        if (err < 0 || !f)
            return Fail("cannot set up the ADTS writer", err);
        out_.reset(f);
        AVStream* st = avformat_new_stream(f, nullptr);
        if (!st)
            return Fail("out of memory");
        err = avcodec_parameters_from_context(st->codecpar, codec_.get());
        if (err < 0)
            return Fail("cannot describe the AAC stream", err);
        st->time_base = codec_->time_base;
        stream_ = st;
        err = avio_open(&f->pb, output_.c_str(), AVIO_FLAG_WRITE);
        if (err < 0)
            return Fail("cannot create " + output_, err);
        created_ = true;
        err = avformat_write_header(f, nullptr);
        if (err < 0)
            return Fail("cannot write " + output_, err);
        return true;
    }

    bool Send(AVFrame* frame) {
        int err = avcodec_send_frame(codec_.get(), frame);
        if (err < 0)
            return Fail("the AAC encoder failed", err);
        for (;;) {
            err = avcodec_receive_packet(codec_.get(), packet_.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return true;
            if (err < 0)
                return Fail("the AAC encoder failed", err);
            av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
            packet_->stream_index = 0;
            err = av_interleaved_write_frame(out_.get(), packet_.get());
            if (err < 0)
                return Fail("cannot write " + output_, err);
        }
    }

    bool EncodeAll(WavInput& wav) {
        const int size = codec_->frame_size;
        std::vector<std::vector<float>> planes(wav.channels(), std::vector<float>(size));
        std::vector<float*> ptrs;
        for (auto& p : planes)
            ptrs.push_back(p.data());
        int64_t pts = 0;
        for (;;) {
            const long got = wav.Read(ptrs.data(), size);
            if (got < 0)
                return Fail("cannot read the input WAV file");
            if (got == 0)
                return true;
            frame_->nb_samples = size;
            const int err = av_frame_make_writable(frame_.get());
            if (err < 0)
                return Fail("out of memory", err);
            frame_->nb_samples = static_cast<int>(got);
            for (int c = 0; c < wav.channels(); ++c)
                std::copy(planes[c].begin(), planes[c].begin() + got,
                          reinterpret_cast<float*>(frame_->data[c]));
            frame_->pts = pts;
            pts += got;
            if (!Send(frame_.get()))
                return false;
            if (got < size)
                return true; // a short frame is the last one the encoder takes
        }
    }

    bool Flush() { return Send(nullptr); }

    bool Finish() {
        const int err = av_write_trailer(out_.get());
        if (err < 0)
            return Fail("cannot write " + output_, err);
        if (avio_closep(&out_->pb) < 0)
            return Fail("cannot finish writing " + output_);
        return true;
    }

public:
    bool created_ = false;

private:
    std::string output_;
    std::string& error_;
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::unique_ptr<AVFormatContext, OutputFree> out_;
    AVStream* stream_ = nullptr;
};

} // namespace

bool Encode(const std::string& input, const std::string& output, const Settings& settings,
            std::string& error) {
    WavInput wav;
    if (!wav.Open(input)) {
        error = wav.error();
        return false;
    }
    bool created = false;
    bool ok;
    {
        Encoder encoder(output, error);
        ok = encoder.Run(wav, settings);
        created = encoder.created_;
    }
    if (!ok && created)
        std::remove(output.c_str());
    return ok;
}

} // namespace aacenc
