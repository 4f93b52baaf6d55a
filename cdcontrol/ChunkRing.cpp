#include "ChunkRing.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace trakkon {

namespace {
constexpr auto kPause = std::chrono::milliseconds(50);
}

ChunkRing::ChunkRing(int chunkValues, const std::atomic<int>& stop, Encode encode)
    : chunk_(std::max(chunkValues, 1)), stop_(stop), encode_(std::move(encode)),
      slots_(static_cast<size_t>(kSlots) * static_cast<size_t>(chunk_)), lengths_(kSlots, 0) {}

ChunkRing::~ChunkRing() {
    if (thread_.joinable()) {
        abandon_ = true;
        thread_.join();
    }
}

void ChunkRing::Start() {
    // Running from before the thread starts, so no chunk is dropped before
    // it has begun.
    running_ = true;
    thread_ = std::thread([this] { EncoderLoop(); });
}

void ChunkRing::Push(const std::int16_t* values, int count) {
    if (!running_.load() || stop_.load())
        return;
    count = std::min(count, chunk_);
    std::unique_lock lock(mutex_);
    // Pauses last 50 ms at most; the encoder cuts one short as soon as it
    // has made room, so a fast drive never leaves it idle.
    while (free_.load(std::memory_order_acquire) < kSlots / 2 && stop_.load() == 0 &&
           running_.load())
        space_.wait_for(lock, kPause);
    if (count <= 0)
        return;
    std::memcpy(&slots_[static_cast<size_t>(write_) * chunk_], values,
                static_cast<size_t>(count) * sizeof(std::int16_t));
    lengths_[write_] = count;
    write_ = (write_ + 1) % kSlots;
    if (free_.fetch_sub(1, std::memory_order_acq_rel) == kSlots)
        data_.notify_one();
}

void ChunkRing::EncoderLoop() {
    std::vector<std::int16_t> buffer(static_cast<size_t>(chunk_));
    while (stop_.load() == 0 && !abandon_.load()) {
        if (free_.load(std::memory_order_acquire) < kSlots) {
            int n = 0;
            {
                std::lock_guard lock(mutex_);
                n = lengths_[read_];
                std::memcpy(buffer.data(), &slots_[static_cast<size_t>(read_) * chunk_],
                            static_cast<size_t>(n) * sizeof(std::int16_t));
                read_ = (read_ + 1) % kSlots;
                if (free_.fetch_add(1, std::memory_order_acq_rel) + 1 == kSlots / 2)
                    space_.notify_one();
            }
            if (n > 0)
                encode_(buffer.data(), n);
        } else if (done_.load()) {
            break;
        } else {
            // As on the reading side: 50 ms at most, ended by the next chunk
            // or by Finish.
            std::unique_lock lock(mutex_);
            if (free_.load(std::memory_order_acquire) == kSlots && !done_.load())
                data_.wait_for(lock, kPause);
        }
    }
    {
        std::lock_guard lock(mutex_);
        running_ = false;
    }
    space_.notify_one();
}

void ChunkRing::Finish(int finishTimeoutMs) {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    data_.notify_one();
    if (!thread_.joinable())
        return;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(finishTimeoutMs);
    while (running_.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // A thread cannot be killed safely; one that overstays is told to leave
    // after the chunk it is encoding.
    if (running_.load())
        abandon_ = true;
    thread_.join();
}

} // namespace trakkon
