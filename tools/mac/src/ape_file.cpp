#include "ape_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "md5.h"
#include "wav_reader.h"

namespace quintrel::mac {

namespace {

constexpr std::uint32_t kDescriptorBytes = 52;
constexpr std::uint32_t kHeaderBytes = 24;
constexpr std::uint16_t kFlagCreateWavHeader = 32;

std::runtime_error sysError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path) : path_(path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw sysError("cannot open " + path);
        struct stat st {};
        if (::fstat(fd_, &st) != 0) {
            ::close(fd_);
            throw sysError("cannot stat " + path);
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd_);
            throw WavError(path + " is not a regular file");
        }
        size_ = static_cast<std::uint64_t>(st.st_size);
    }
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const override { return size_; }

    void read(std::uint64_t offset, void* dst, std::size_t n) const override {
        auto p = static_cast<std::uint8_t*>(dst);
        while (n) {
            const ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                throw sysError("cannot read " + path_);
            }
            if (got == 0)
                throw std::runtime_error(path_ + " became shorter while it was being read");
            p += got;
            n -= static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
    }

private:
    std::string path_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

void put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    put16(v, x & 0xffff);
    put16(v, x >> 16);
}

void writeAll(std::FILE* f, const void* data, std::size_t n) {
    if (n && std::fwrite(data, 1, n, f) != n)
        throw sysError("cannot write the output");
}

struct FrameJob {
    std::vector<std::uint8_t> pcm;
    std::vector<std::int32_t> samples;
    std::vector<std::uint8_t> coded;
    std::size_t blocks = 0;
    std::unique_ptr<FrameEncoder> encoder;

    void run() {
        coded.clear();
        encoder->encode(samples.data(), blocks, pcm.data(), pcm.size(), coded);
    }
};

} // namespace

EncodeResult encodeFile(const std::string& inputPath, std::FILE* out, Level level, unsigned threads,
                        const WarningSink& warn) {
    FileSource src(inputPath);
    const WavLayout wav = parseWav(src);
    const WavFormat& fmt = wav.format;
    if (wav.partialBlockDropped && warn)
        warn("the audio data ends in a partial sample frame; it was dropped");
    if (wav.blocks == 0)
        throw WavError("the WAV contains no audio samples");

    const std::uint64_t frames64 = (wav.blocks + kBlocksPerFrame - 1) / kBlocksPerFrame;
    if (frames64 > 0xffffffffu / 4)
        throw WavError("the WAV is too long for the APE format");
    const auto frames = static_cast<std::uint32_t>(frames64);
    const auto finalBlocks =
        static_cast<std::uint32_t>(wav.blocks - (frames64 - 1) * kBlocksPerFrame);
    const std::uint32_t seekBytes = frames * 4;
    const std::uint64_t firstFrame = kDescriptorBytes + kHeaderBytes + seekBytes;

    // Reserve room for the descriptor, header and seek table; they are written last.
    {
        std::vector<std::uint8_t> zeros(firstFrame, 0);
        writeAll(out, zeros.data(), zeros.size());
    }

    threads = std::clamp(threads, 1u, 8u);
    std::vector<FrameJob> jobs(threads);
    for (auto& j : jobs)
        j.encoder = std::make_unique<FrameEncoder>(fmt.channels, level);

    Md5 md5;
    std::vector<std::uint32_t> seek(frames);
    std::uint64_t pos = firstFrame;
    const unsigned align = fmt.blockAlign();

    for (std::uint32_t f0 = 0; f0 < frames; f0 += threads) {
        const unsigned batch = std::min<std::uint32_t>(threads, frames - f0);
        for (unsigned k = 0; k < batch; ++k) {
            FrameJob& j = jobs[k];
            const std::uint64_t first = std::uint64_t{f0 + k} * kBlocksPerFrame;
            j.blocks = static_cast<std::size_t>(
                std::min<std::uint64_t>(kBlocksPerFrame, wav.blocks - first));
            j.pcm.resize(j.blocks * align);
            src.read(wav.dataOffset + first * align, j.pcm.data(), j.pcm.size());
            j.samples.resize(j.blocks * fmt.channels);
            pcmToInt(j.pcm.data(), j.blocks, fmt, j.samples.data());
        }
        if (batch == 1) {
            jobs[0].run();
        } else {
            std::vector<std::thread> workers;
            for (unsigned k = 1; k < batch; ++k)
                workers.emplace_back([&j = jobs[k]] { j.run(); });
            jobs[0].run();
            for (auto& w : workers)
                w.join();
        }
        for (unsigned k = 0; k < batch; ++k) {
            if (pos > 0xffffffffu)
                throw std::runtime_error("the output would exceed the 4 GiB the APE seek "
                                         "table can address");
            seek[f0 + k] = static_cast<std::uint32_t>(pos);
            writeAll(out, jobs[k].coded.data(), jobs[k].coded.size());
            md5.update(jobs[k].coded.data(), jobs[k].coded.size());
            pos += jobs[k].coded.size();
        }
    }
    const std::uint64_t frameBytes = pos - firstFrame;

    std::vector<std::uint8_t> header;
    put16(header, static_cast<std::uint32_t>(level));
    put16(header, kFlagCreateWavHeader);
    put32(header, kBlocksPerFrame);
    put32(header, finalBlocks);
    put32(header, frames);
    put16(header, fmt.bitsPerSample);
    put16(header, fmt.channels);
    put32(header, fmt.sampleRate);

    std::vector<std::uint8_t> seekTable;
    for (std::uint32_t s : seek)
        put32(seekTable, s);

    // The checksum covers the frame data, then the header and the seek table.
    md5.update(header.data(), header.size());
    md5.update(seekTable.data(), seekTable.size());
    const auto digest = md5.finish();

    std::vector<std::uint8_t> descriptor = {'M', 'A', 'C', ' '};
    put16(descriptor, kFileVersion);
    put16(descriptor, 0);
    put32(descriptor, kDescriptorBytes);
    put32(descriptor, kHeaderBytes);
    put32(descriptor, seekBytes);
    put32(descriptor, 0); // no stored WAV header: readers synthesise one
    put32(descriptor, static_cast<std::uint32_t>(frameBytes));
    put32(descriptor, static_cast<std::uint32_t>(frameBytes >> 32));
    put32(descriptor, 0); // no terminating data
    descriptor.insert(descriptor.end(), digest.begin(), digest.end());

    if (std::fflush(out) != 0 || std::fseek(out, 0, SEEK_SET) != 0)
        throw sysError("cannot write the output");
    writeAll(out, descriptor.data(), descriptor.size());
    writeAll(out, header.data(), header.size());
    writeAll(out, seekTable.data(), seekTable.size());
    if (std::fflush(out) != 0)
        throw sysError("cannot write the output");

    EncodeResult r;
    r.blocks = wav.blocks;
    r.frames = frames;
    r.bytesWritten = pos;
    return r;
}

} // namespace quintrel::mac
