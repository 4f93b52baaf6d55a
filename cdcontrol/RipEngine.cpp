#include "RipEngine.h"

#include "CdAccess.h"
#include "ChunkRing.h"
#include "EncoderSettingsFile.h"
#include "TrakkonIds.h"

#include <chrono>
#include <cstring>

namespace trakkon {

namespace {

class CdLibraryDrive final : public RipDrive {
public:
    void LockDoor(int lock) override { CdLockDoor(lock); }
    int OpenRange(int* blockBytes, int first, int end) override {
        return CdOpenRange(blockBytes, first, end);
    }
    int ReadBlock(unsigned char* buffer, int* bytesRead, const std::atomic<int>* stop) override {
        return CdReadBlock(buffer, bytesRead, stop);
    }
    void ReadDetail() override {
        int a = 0, b = 0;
        CdGetReadDetail(&a, &b);
    }
    short Progress() override { return CdGetProgress(); }
    void CloseRange() override { CdCloseRange(); }
};

} // namespace

RipDrive& LibraryDrive() {
    static CdLibraryDrive drive;
    return drive;
}

RipEngine::RipEngine(std::string controlDir, RipDrive& drive, Events events, StreamFactory factory)
    : dir_(std::move(controlDir)), drive_(drive), events_(std::move(events)),
      factory_(std::move(factory)) {}

RipEngine::~RipEngine() {
    Shutdown();
}

bool RipEngine::Accept(const RipTrack& track, const std::string& path) {
    if (path.empty() || busy_.load() != 0)
        return false;
    int idle = 0;
    if (!busy_.compare_exchange_strong(idle, 1))
        return false;
    session_.outputPath = path;
    selection_.assign(1, track);
    return true;
}

bool RipEngine::RipMP3(const RipTrack& track, const std::string& path, int bitrateIndex, int preset,
                       int vbrMode, int vbrQuality, int channelMode, int sampleRate) {
    if (!Accept(track, path))
        return false;
    session_.bitrateIndex = bitrateIndex;
    session_.preset = preset;
    session_.vbrMode = vbrMode;
    session_.vbrQuality = vbrQuality;
    session_.channelMode = channelMode;
    session_.mp3SampleRate = sampleRate;
    session_.format = RipFormat::MP3;
    session_.tags = track.tags;
    Launch();
    return true;
}

bool RipEngine::RipOgg(const RipTrack& track, const std::string& path, short minimum, short nominal,
                       short maximum, bool mono, int sampleRate) {
    if (!Accept(track, path))
        return false;
    oggMin_ = minimum;
    oggNom_ = nominal;
    oggMax_ = maximum;
    session_.oggMono = mono;
    session_.oggSampleRate = sampleRate;
    session_.format = RipFormat::Ogg;
    session_.tags = track.tags;
    Launch();
    return true;
}

void RipEngine::Launch() {
    ReapThreads(false);
    stop_ = 0;
    {
        std::lock_guard lock(idleMutex_);
        ++live_;
    }
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(threadsMutex_);
    threads_.push_back({std::thread([this, ended, sel = selection_, s = session_, a = oggMin_,
                                     b = oggNom_, c = oggMax_] {
                            RipThread(sel, s, a, b, c);
                            ended->store(true);
                        }),
                        ended});
}

// Joins threads that have ended (all of them when asked), never the calling
// one: a host may start the next rip from the EndRip handler, on the rip
// thread itself.
void RipEngine::ReapThreads(bool all) {
    std::vector<Worker> finished;
    {
        std::lock_guard lock(threadsMutex_);
        for (auto it = threads_.begin(); it != threads_.end();) {
            const bool self = it->thread.get_id() == std::this_thread::get_id();
            if (!self && (all || it->ended->load())) {
                finished.push_back(std::move(*it));
                it = threads_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Worker& w : finished)
        w.thread.join();
}

void RipEngine::Shutdown() {
    stop_ = 1;
    ReapThreads(true);
    std::lock_guard lock(threadsMutex_);
    for (Worker& w : threads_) // only the calling rip thread can be left
        w.thread.detach();
    threads_.clear();
}

bool RipEngine::WaitIdle(int timeoutMs) {
    std::unique_lock lock(idleMutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return live_ == 0; });
}

void RipEngine::RipThread(std::vector<RipTrack> selection, StreamSettings settings, short oggMin,
                          short oggNom, short oggMax) {
    EncoderSettingsFile ini(dir_ + "encoder.ini");
    ini.Load();
    ini.Set("Oggminbitrate", oggMin);
    ini.Set("Oggmaxbitrate", oggMax);
    ini.Set("Oggnombitrate", oggNom);
    if (ini.Get("lock") != 0)
        drive_.LockDoor(1);

    int failure = 0;
    for (const RipTrack& track : selection) {
        if (stop_.load() != 0 || failure)
            break;
        if (!track.audio)
            continue; // data tracks are skipped without a file

        std::unique_ptr<EncoderStream> stream = factory_(settings, dir_);
        if (!stream->Load()) {
            failure = kRipFailEncoderLoad;
            break;
        }
        const int chunk = stream->Open();
        if (chunk <= 0) {
            failure = kRipFailEncoderOpen;
            break;
        }
        int blockBytes = 0;
        if (drive_.OpenRange(&blockBytes, track.first, track.end) != 0 || blockBytes <= 0) {
            drive_.CloseRange();
            failure = kRipFailRange;
            break;
        }

        std::vector<unsigned char> buffer(static_cast<size_t>(blockBytes) + 2u * chunk);
        EncoderStream* out = stream.get();
        auto ring = std::make_unique<ChunkRing>(
            chunk, stop_, [out](const std::int16_t* v, int n) { out->Encode(v, n); });
        ring->Start();

        // Values are moved through the buffer as bytes: a block may end in
        // the middle of a chunk, and its rest waits at the buffer's start.
        int carried = 0; // bytes
        for (;;) {
            int got = 0;
            const int status = drive_.ReadBlock(buffer.data() + carried, &got, &stop_);
            if (status == cdaccess::kReadDone || stop_.load() != 0 ||
                status == cdaccess::kReadEndTrack)
                break;
            if (status == cdaccess::kReadRetried)
                drive_.ReadDetail();
            int values = (carried + got) / 2;
            size_t pos = 0;
            while (values >= chunk) {
                ring->Push(reinterpret_cast<const std::int16_t*>(buffer.data() + pos), chunk);
                pos += 2u * chunk;
                values -= chunk;
            }
            if (values > 0) {
                std::memmove(buffer.data(), buffer.data() + pos, 2u * values);
                carried = 2 * values;
            } else {
                carried = 0;
            }
            if (events_.ripping)
                events_.ripping(drive_.Progress());
        }
        if (carried > 0 && stop_.load() == 0) {
            ring->Push(reinterpret_cast<const std::int16_t*>(buffer.data()), carried / 2);
        }
        ring->Finish(finishTimeoutMs_);
        ring.reset();
        drive_.CloseRange();
        stream->Close();
    }

    busy_ = 0;
    const bool stopped = stop_.load() != 0;
    if (failure && events_.failed && !stopped)
        events_.failed(failure);
    else if (!failure && !stopped && events_.endRip)
        events_.endRip();
    {
        std::lock_guard lock(idleMutex_);
        --live_;
    }
    idle_.notify_all();
}

} // namespace trakkon
