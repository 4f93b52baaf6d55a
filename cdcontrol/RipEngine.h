#pragma once
// The rip engine: accepts one rip request at a time and runs it on a rip
// thread that reads the track's sectors block by block, cuts them into the
// stream's chunks and hands them through a ChunkRing to an encoder thread.

#include "EncoderStream.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trakkon {

// What the rip thread needs of the drive (the CD access library; tests
// give a drive of their own).
class RipDrive {
public:
    virtual ~RipDrive() = default;
    virtual void LockDoor(int lock) = 0;
    virtual int OpenRange(int* blockBytes, int first, int end) = 0;
    virtual int ReadBlock(unsigned char* buffer, int* bytesRead, const std::atomic<int>* stop) = 0;
    virtual void ReadDetail() = 0;
    virtual short Progress() = 0;
    virtual void CloseRange() = 0;
};

RipDrive& LibraryDrive();

// A DiscTable entry taken when the request is accepted: its sector range
// runs up to the next entry's start.
struct RipTrack {
    int first = 0;
    int end = 0;
    bool audio = true;
    TagRecord tags;
};

class RipEngine {
public:
    using StreamFactory =
        std::function<std::unique_ptr<EncoderStream>(const StreamSettings&, const std::string&)>;
    struct Events {
        std::function<void(short percent)> ripping;
        std::function<void()> endRip;
        std::function<void(int failure)> failed;
    };

    // controlDir ends with "/"; encoder.ini lives there.
    RipEngine(std::string controlDir, RipDrive& drive, Events events,
              StreamFactory factory = CreateEncoderStream);
    ~RipEngine();

    // FALSE (false) while a rip runs or for an empty output path.
    bool RipMP3(const RipTrack& track, const std::string& path, int bitrateIndex, int preset,
                int vbrMode, int vbrQuality, int channelMode, int sampleRate);
    bool RipOgg(const RipTrack& track, const std::string& path, short minimum, short nominal,
                short maximum, bool mono, int sampleRate);
    // Asks the running rip to end; does not wait.
    void Stop() { stop_ = 1; }
    // Stops and waits for every rip thread to end.
    void Shutdown();
    bool Busy() const { return busy_.load() != 0; }
    // Waits until no rip thread runs (for tests and tools).
    bool WaitIdle(int timeoutMs);

    // For the encoder thread's wait in ChunkRing::Finish (tests shorten it).
    void SetFinishTimeout(int ms) { finishTimeoutMs_ = ms; }

private:
    bool Accept(const RipTrack& track, const std::string& path);
    void Launch();
    void RipThread(std::vector<RipTrack> selection, StreamSettings settings, short oggMin,
                   short oggNom, short oggMax);
    void ReapThreads(bool all);

    const std::string dir_;
    RipDrive& drive_;
    Events events_;
    StreamFactory factory_;
    int finishTimeoutMs_ = 100000;

    std::atomic<int> busy_{0};
    std::atomic<int> stop_{0};
    // The request's values; written only while accepting.
    StreamSettings session_;
    short oggMin_ = 0, oggNom_ = 0, oggMax_ = 0;
    std::vector<RipTrack> selection_;

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::mutex threadsMutex_;
    std::vector<Worker> threads_;
    std::mutex idleMutex_;
    std::condition_variable idle_;
    int live_ = 0;
};

} // namespace trakkon
