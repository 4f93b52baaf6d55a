#include "EncoderStream.h"

#include "EncoderSettingsFile.h"
#include "OggOut.h"
#include "Tags.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace trakkon {

using namespace bladeenc;

int BitrateKbps(int index) {
    static constexpr int kTable[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                                     96, 112, 128, 144, 160, 192, 224, 256, 320};
    if (index < 0 || index >= static_cast<int>(std::size(kTable)))
        return 192;
    return kTable[index];
}

BE_CONFIG MakeMp3Config(const StreamSettings& s) {
    BE_CONFIG config;
    std::memset(&config, 0, sizeof config);
    config.dwConfig = BE_CONFIG_LAME;
    BE_CONFIG_LHV1& c = config.format.LHV1;
    c.dwStructVersion = 1;
    c.dwStructSize = sizeof(BE_CONFIG);
    c.dwSampleRate = 44100;
    c.dwReSampleRate = static_cast<std::uint32_t>(s.mp3SampleRate);
    c.nMode = s.channelMode;
    c.dwBitrate = static_cast<std::uint32_t>(BitrateKbps(s.bitrateIndex));
    c.dwMaxBitrate = static_cast<std::uint32_t>(BitrateKbps(s.maxBitrateIndex));
    c.nPreset = s.preset;
    c.dwMpegVersion = s.mp3SampleRate >= 32000 ? 1 : 0;
    c.bCRC = 1;
    c.bOriginal = 1;
    if (s.vbrMode != 0) {
        c.bWriteVBRHeader = 0;
        c.bEnableVBR = 1;
        c.nVBRQuality = s.vbrQuality;
        c.nVbrMethod = s.vbrMode - 1;
    }
    c.bNoRes = 1;
    return config;
}

namespace {

class Library {
public:
    ~Library() { Unload(); }
    bool Load(const std::string& path) {
        handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        return handle_ != nullptr;
    }
    template <class Fn> Fn Symbol(const char* name) const {
        return handle_ ? reinterpret_cast<Fn>(::dlsym(handle_, name)) : nullptr;
    }
    void Unload() {
        if (handle_)
            ::dlclose(handle_);
        handle_ = nullptr;
    }
    void* Handle() const { return handle_; }

private:
    void* handle_ = nullptr;
};

class Mp3Stream final : public EncoderStream {
public:
    Mp3Stream(StreamSettings s, std::string dir) : s_(std::move(s)), dir_(std::move(dir)) {}
    ~Mp3Stream() override {
        if (stream_ && closeStream_)
            closeStream_(stream_);
        if (file_)
            std::fclose(file_);
    }

    bool Load() override {
        if (!lib_.Load(dir_ + kMp3LibraryName))
            return false;
        init_ = lib_.Symbol<BEINITSTREAM>("beInitStream");
        encode_ = lib_.Symbol<BEENCODECHUNK>("beEncodeChunk");
        deinit_ = lib_.Symbol<BEDEINITSTREAM>("beDeinitStream");
        closeStream_ = lib_.Symbol<BECLOSESTREAM>("beCloseStream");
        writeVbr_ = lib_.Symbol<BEWRITEVBRHEADER>("beWriteVBRHeader");
        return init_ && encode_ && deinit_ && closeStream_ && writeVbr_;
    }

    int Open() override {
        file_ = std::fopen(s_.outputPath.c_str(), "w+b");
        if (!file_)
            return 0;
        BE_CONFIG config = MakeMp3Config(s_);
        std::uint32_t samples = 0, bufferSize = 0;
        if (init_(&config, &samples, &bufferSize, &stream_) != BE_ERR_SUCCESSFUL) {
            stream_ = 0;
            return 0;
        }
        out_.resize(bufferSize);
        return static_cast<int>(samples);
    }

    void Encode(const std::int16_t* values, int count) override {
        std::uint32_t produced = 0;
        if (encode_(stream_, static_cast<std::uint32_t>(count), values, out_.data(), &produced) ==
                BE_ERR_SUCCESSFUL &&
            produced > 0)
            std::fwrite(out_.data(), 1, produced, file_);
    }

    void Close() override {
        Finish();
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
        lib_.Unload();
        if (TagOpenFile(s_.outputPath.c_str())) {
            const std::string year = std::to_string(s_.tags.year);
            const std::string track = std::to_string(s_.tags.trackNumber);
            TagWriteFields(s_.tags.title.c_str(), s_.tags.artist.c_str(), s_.tags.album.c_str(),
                           s_.tags.comment.c_str(), s_.tags.genre.c_str(), year.c_str(),
                           track.c_str());
        }
    }

private:
    // Flush, close the stream and the file, then the VBR header. A failed
    // flush or short final write leaves the file without its last frames
    // and without the header.
    void Finish() {
        std::uint32_t produced = 0;
        const HBE_STREAM stream = std::exchange(stream_, 0);
        if (deinit_(stream, out_.data(), &produced) != BE_ERR_SUCCESSFUL) {
            closeStream_(stream);
            return;
        }
        if (produced > 0 && std::fwrite(out_.data(), 1, produced, file_) < produced) {
            closeStream_(stream);
            return;
        }
        closeStream_(stream);
        std::fclose(std::exchange(file_, nullptr));
        out_.clear();
        out_.shrink_to_fit();
        EncoderSettingsFile settings(dir_ + "encoder.ini");
        settings.Load();
        if (settings.Get("vbrmethod") != 0)
            writeVbr_(s_.outputPath.c_str());
    }

    StreamSettings s_;
    std::string dir_;
    Library lib_;
    BEINITSTREAM init_ = nullptr;
    BEENCODECHUNK encode_ = nullptr;
    BEDEINITSTREAM deinit_ = nullptr;
    BECLOSESTREAM closeStream_ = nullptr;
    BEWRITEVBRHEADER writeVbr_ = nullptr;
    HBE_STREAM stream_ = 0;
    std::vector<std::uint8_t> out_;
    FILE* file_ = nullptr;
};

class OggStream final : public EncoderStream {
public:
    OggStream(StreamSettings s, std::string dir) : s_(std::move(s)), dir_(std::move(dir)) {}
    ~OggStream() override { Unload(); }

    bool Load() override {
        if (!lib_.Load(dir_ + kOggLibraryName))
            return false;
        auto get = lib_.Symbol<oggout::GetLFOutModuleFn>("GetLFOutModule");
        module_ = get ? get() : nullptr;
        if (!module_ || !module_->Init || !module_->Quit || !module_->Open || !module_->Write ||
            !module_->Close) {
            module_ = nullptr;
            return false;
        }
        module_->instance = lib_.Handle();
        module_->window = nullptr;
        module_->Init((dir_ + "encoder.ini").c_str());
        (void)module_->description;
        return true;
    }

    int Open() override {
        const oggout::OggFormat format{s_.oggSampleRate, s_.oggMono ? 1 : 2, 16};
        const oggout::OggTags tags{s_.tags.artist.c_str(),
                                   s_.tags.album.c_str(),
                                   s_.tags.title.c_str(),
                                   s_.tags.comment.c_str(),
                                   s_.tags.genre.c_str(),
                                   s_.tags.trackNumber,
                                   s_.tags.year};
        const int c = module_->Open(s_.outputPath.c_str(), &format, &tags);
        return c < 0 ? 0 : c;
    }

    void Encode(const std::int16_t* values, int count) override { module_->Write(values, count); }

    void Close() override {
        module_->Close();
        module_->Quit();
        Unload();
    }

private:
    void Unload() {
        if (module_)
            module_->Quit();
        module_ = nullptr;
        lib_.Unload();
    }

    StreamSettings s_;
    std::string dir_;
    Library lib_;
    oggout::OggOutModule* module_ = nullptr;
};

} // namespace

std::unique_ptr<EncoderStream> CreateEncoderStream(const StreamSettings& settings,
                                                   const std::string& controlDir) {
    if (settings.format == RipFormat::Ogg)
        return std::make_unique<OggStream>(settings, controlDir);
    return std::make_unique<Mp3Stream>(settings, controlDir);
}

} // namespace trakkon
