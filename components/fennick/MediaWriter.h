#pragma once
// One write: demux and decode the inputs, cut the clip, convert through
// filter graphs, encode and mux into a temporary file in the output folder,
// renamed to the output name on success and removed otherwise.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fennick {

struct OverlayImage;

struct InputClip {
    std::string path;
    double start = 0; // seconds from the file's start
    double stop = 0;  // 0 or beyond the end: the file's end
    int fit = 0;      // video only: 0 stretch, 2 keep aspect with bars, 3 crop to fill
};

using Options = std::vector<std::pair<std::string, std::string>>;

struct VideoSettings {
    std::string encoder; // libavcodec encoder name
    int width = 0, height = 0;
    int rateNum = 25, rateDen = 1;
    bool snapRate = false; // to the nearest rate the encoder supports
    std::int64_t bitRate = 0, maxRate = 0, minRate = 0, bufSize = 0;
    int gop = 0;
    // The shape the frame is shown in (4:3 for the disc formats); 0: square
    // pixels.
    int displayAspectNum = 0, displayAspectDen = 0;
    int qscale = 0;     // >0: constant quality instead of a bitrate
    std::string pixFmt; // empty: the encoder's first
    Options options;    // the encoder's own options
};

struct AudioSettings {
    std::string encoder;
    int sampleRate = 0; // 0: the source's, or the nearest the encoder takes
    int channels = 0;   // 0: the source's, at most 2
    std::int64_t bitRate = 0;
};

struct WritePlan {
    std::string output;
    std::string format; // muxer name
    Options muxOptions;
    std::int64_t maxDelay = -1; // muxer's max_delay in microseconds, -1 default
    std::optional<InputClip> videoIn;
    std::optional<InputClip> audioIn; // none: the video file's own sound
    bool writeVideo = false;
    bool writeAudio = false;
    bool silenceWithoutAudio = false; // write silence when no sound is found
    VideoSettings video;
    AudioSettings audio;
};

struct WriteHooks {
    const std::atomic<bool>* abort = nullptr;
    // Output seconds written and the clip's length; called from the writing
    // thread when the position moves.
    std::function<void(double, double)> progress;
    // The picture to lay over the frame about to be encoded, or null.
    std::function<std::shared_ptr<const OverlayImage>()> overlay;
};

// Runs the write on the calling thread. False with a reason on failure or
// abort; the output is then left as it was before (no partial file).
bool RunWrite(const WritePlan& plan, const WriteHooks& hooks, std::string& error);

// The temporary name a write uses before its rename.
std::string TemporaryNameFor(const std::string& output);

} // namespace fennick
