#pragma once
// A ring of 256 chunk slots between the thread that reads the disc and the
// encoder thread that feeds the output stream. Reading goes on while the
// ring is at most half full; the encoder drains whatever is queued before
// the track is closed.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace trakkon {

class ChunkRing {
public:
    static constexpr int kSlots = 256;
    using Encode = std::function<void(const std::int16_t* values, int count)>;

    // chunkValues: the stream's chunk size C. stop is the rip's stop flag.
    ChunkRing(int chunkValues, const std::atomic<int>& stop, Encode encode);
    ~ChunkRing();
    ChunkRing(const ChunkRing&) = delete;
    ChunkRing& operator=(const ChunkRing&) = delete;

    // Starts the encoder thread.
    void Start();
    // Stores up to C values; waits (50 ms at a time, cut short when room is
    // made) while fewer than half the slots are free. Nothing is stored once stop is set or the
    // encoder thread has ended.
    void Push(const std::int16_t* values, int count);
    // No more chunks: waits for the encoder thread to drain the ring and end
    // (at most finishTimeoutMs, then it is told to leave at once).
    void Finish(int finishTimeoutMs = 100000);

    int Free() const { return free_.load(std::memory_order_acquire); }

private:
    void EncoderLoop();

    const int chunk_;
    const std::atomic<int>& stop_;
    Encode encode_;
    std::vector<std::int16_t> slots_;
    std::vector<int> lengths_;
    int write_ = 0; // rip thread only
    int read_ = 0;  // encoder thread only
    std::atomic<int> free_{kSlots};
    std::mutex mutex_;
    std::condition_variable space_; // a half of the ring has come free
    std::condition_variable data_;  // a chunk arrived in an empty ring, or done
    std::atomic<bool> running_{false};
    std::atomic<bool> done_{false};
    std::atomic<bool> abandon_{false};
    std::thread thread_;
};

} // namespace trakkon
