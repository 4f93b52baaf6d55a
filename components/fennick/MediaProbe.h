#pragma once
// Bounded probing of media files: every question answers 0 for a file that
// FFmpeg cannot read as media, and no probe runs longer than a few seconds.

#include <string>

struct AVFormatContext;

namespace fennick {

struct ProbeResult {
    double duration = 0; // seconds; 0 unreadable
    int width = 0, height = 0;
    double frameRate = 0;
    bool hasAudio = false, hasVideo = false;
};

ProbeResult Probe(const std::string& path);

// Opens a file for reading with a time limit on opening and stream probing,
// and an optional flag that aborts any blocking read. Null on failure, with
// the reason in error.
struct ReadGuard;
AVFormatContext* OpenMediaInput(const std::string& path, std::string& error,
                                const void* abortFlag = nullptr, double timeLimit = 8.0);
void CloseMediaInput(AVFormatContext*& ctx);

// The best decodable video stream (cover pictures left out) or -1.
int BestVideoStream(AVFormatContext* ctx);
int BestAudioStream(AVFormatContext* ctx);
// Seconds of the container, or of its longest stream when it does not say.
double ContainerDuration(AVFormatContext* ctx);

std::string AvError(int code);

} // namespace fennick
