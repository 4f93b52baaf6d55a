// The media editing control: reads media files and writes WAV, WMA, AVI,
// MPEG and WMV files in the background.

#include "FennickIds.h"

#include "Catalog.h"
#include "ControlObject.h"
#include "MediaProbe.h"
#include "MediaWriter.h"
#include "Overlay.h"
#include "PrxProfile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace fennick {
namespace {

using namespace automation;

// MediaProfiles, VideoCompressors and AudioCompressors: read-only lists.
class CNameList final : public IDispatch {
    AUTOMATION_REFCOUNTED
public:
    enum class Kind { Profiles, Compressors };
    // showPage: the property page of the compressor at an index; true when
    // it has one (video compressors only).
    CNameList(Kind kind, std::vector<std::string> names,
              std::function<bool(std::int16_t)> showPage = {})
        : kind_(kind), names_(std::move(names)), showPage_(std::move(showPage)) {
        ModuleLocks()++;
    }

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }

    HRESULT Invoke(DISPID id, std::uint16_t, std::vector<Variant>& args, Variant* result) override {
        DispatchArgs a(args);
        if (id == dispid::ListCount) {
            SetResult(result, Variant::I2(static_cast<std::int16_t>(names_.size())));
            return S_OK;
        }
        if (kind_ == Kind::Profiles && id == dispid::ProfileNameAt)
            return NameAt(a, result);
        if (kind_ == Kind::Compressors) {
            switch (id) {
            case dispid::CompressorNameAt:
                return NameAt(a, result);
            case dispid::CompressorIndexOfName: {
                std::string name;
                if (HRESULT hr = a.Str(0, name); Failed(hr))
                    return hr;
                std::int16_t index = -1;
                for (std::size_t i = 0; i < names_.size(); ++i)
                    if (names_[i] == name) {
                        index = static_cast<std::int16_t>(i);
                        break;
                    }
                SetResult(result, Variant::I2(index));
                return S_OK;
            }
            case dispid::CompressorShowPropertyPage: {
                std::int16_t index = 0;
                if (HRESULT hr = a.I2(0, index); Failed(hr))
                    return hr;
                const bool shown = showPage_ && index >= 0 &&
                                   static_cast<std::size_t>(index) < names_.size() &&
                                   showPage_(index);
                SetResult(result, Variant::Bool(shown));
                return S_OK;
            }
            default:
                break;
            }
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    ~CNameList() { ModuleLocks()--; }

    HRESULT NameAt(DispatchArgs& a, Variant* result) {
        std::int16_t index = 0;
        if (HRESULT hr = a.I2(0, index); Failed(hr))
            return hr;
        if (index < 0 || static_cast<std::size_t>(index) >= names_.size())
            return DISP_E_BADINDEX;
        SetResult(result, Variant::Str(names_[static_cast<std::size_t>(index)]));
        return S_OK;
    }

    Kind kind_;
    std::vector<std::string> names_;
    std::function<bool(std::int16_t)> showPage_;
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

struct DiscPreset {
    const char* format;
    const char* vcodec;
    const char* acodec;
    int width, height, rateNum, rateDen, gop;
    std::int64_t vbitrate, maxrate, minrate, bufsize;
    int abitrate, arate;
    const char* packetSize;
    const char* muxRate; // empty: the muxer's own
    bool scanOffset;
    const char* preload;
};

// The standard disc formats: frame sizes, rates, bitrates, buffer sizes and
// program-stream packing of VCD, SVCD and DVD.
const DiscPreset kDiscPresets[6] = {
    {"vcd", "mpeg1video", "mp2", 352, 288, 25, 1, 15, 1150000, 1150000, 1150000, 327680, 224000,
     44100, "2324", "1411200", false, "440000"},
    {"vcd", "mpeg1video", "mp2", 352, 240, 30000, 1001, 18, 1150000, 1150000, 1150000, 327680,
     224000, 44100, "2324", "1411200", false, "440000"},
    {"svcd", "mpeg2video", "mp2", 480, 576, 25, 1, 15, 2040000, 2516000, 0, 1835008, 224000, 44100,
     "2324", "", true, ""},
    {"svcd", "mpeg2video", "mp2", 480, 480, 30000, 1001, 18, 2040000, 2516000, 0, 1835008, 224000,
     44100, "2324", "", true, ""},
    {"dvd", "mpeg2video", "ac3", 720, 576, 25, 1, 15, 6000000, 9000000, 0, 1835008, 448000, 48000,
     "2048", "10080000", false, ""},
    {"dvd", "mpeg2video", "ac3", 720, 480, 30000, 1001, 18, 6000000, 9000000, 0, 1835008, 448000,
     48000, "2048", "10080000", false, ""},
};

class CFennickCtrl final : public ControlObject {
public:
    CFennickCtrl() {
        // The libraries' chatter stays off the host's console; the reason a
        // write fails is kept in LastError.
        static std::once_flag quiet;
        std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    }
    ~CFennickCtrl() override { StopWorker(true); }

    HRESULT Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                   Variant* result) override;

    // The property page of a video compressor with a setting worth
    // changing; its value is kept for the following writes.
    bool ShowCompressorPage(std::int16_t index);
    // The setting of an encoder, as last chosen; none for encoders without.
    std::optional<PropertySetting> CompressorSetting(const std::string& encoder) const;

protected:
    HRESULT OnDestroy() override {
        StopWorker(true);
        return S_OK;
    }

private:
    HRESULT Property(DISPID id, std::uint16_t flags, DispatchArgs& a, Variant* result);
    bool StartWrite(WritePlan plan);
    bool CheckOutput(const std::string& output);
    bool BuildVideoPlan(WritePlan& plan);
    void SetOverlay(const std::string& path, int left, int top, std::uint32_t key, int level);
    // Aborts the running write. Waits for its thread when told to; otherwise
    // only briefly, leaving the rest of its clean-up to it.
    void StopWorker(bool wait);

    // Properties (user-interface thread).
    std::int16_t mediaProfileIndex_ = -1;
    std::int16_t videoCompressorIndex_ = 0, audioCompressorIndex_ = 0;
    bool videoCompressorOn_ = false, audioCompressorOn_ = false;
    std::int16_t outputWidth_ = 0, outputHeight_ = 0;
    std::int32_t outputKind_ = kAvi;
    float outputFrameRate_ = 0;
    std::int32_t mpegVbrLevel_ = 90;
    bool mpegVbrOn_ = false;
    std::int32_t mpegVideoKbps_ = 1150, mpegAudioKbps_ = 224;
    std::string mediaProfileFile_;
    std::int32_t customMpegType_ = 0;

    std::optional<InputClip> videoIn_, audioIn_;
    // Compressor settings chosen on their property pages, by encoder.
    std::map<std::string, int> compressorSetting_;

    // The write: one at a time, on its own thread.
    std::thread worker_;
    std::mutex doneMutex_;
    std::condition_variable doneCv_;
    bool workerDone_ = true;
    std::string currentTemp_;
    std::atomic<bool> abort_{false};
    std::atomic<bool> busy_{false};
    std::atomic<std::uint64_t> job_{0};
    std::mutex errorMutex_;
    std::string lastError_;

    // The picture laid over the video; read by the writing thread.
    std::mutex overlayMutex_;
    std::shared_ptr<const OverlayImage> overlay_;
    std::string overlayKey_;

    void SetLastError(std::string e) {
        std::lock_guard lock(errorMutex_);
        lastError_ = std::move(e);
    }
    std::string LastError() {
        std::lock_guard lock(errorMutex_);
        return lastError_;
    }
};

HRESULT CFennickCtrl::Property(DISPID id, std::uint16_t flags, DispatchArgs& a, Variant* result) {
    const bool put = flags & DISPATCH_PROPERTYPUT;
    auto shortProp = [&](std::int16_t& field) -> HRESULT {
        if (put)
            return a.I2(0, field);
        SetResult(result, Variant::I2(field));
        return S_OK;
    };
    auto longProp = [&](std::int32_t& field) -> HRESULT {
        if (put)
            return a.I4(0, field);
        SetResult(result, Variant::I4(field));
        return S_OK;
    };
    auto boolProp = [&](bool& field) -> HRESULT {
        if (put)
            return a.Bool(0, field);
        SetResult(result, Variant::Bool(field));
        return S_OK;
    };
    switch (id) {
    case dispid::MediaProfileIndex:
        return shortProp(mediaProfileIndex_);
    case dispid::VideoCompressorIndex:
        return shortProp(videoCompressorIndex_);
    case dispid::AudioCompressorIndex:
        return shortProp(audioCompressorIndex_);
    case dispid::VideoCompressorOn:
        return boolProp(videoCompressorOn_);
    case dispid::AudioCompressorOn:
        return boolProp(audioCompressorOn_);
    case dispid::OutputHeight:
        return shortProp(outputHeight_);
    case dispid::OutputWidth:
        return shortProp(outputWidth_);
    case dispid::OutputKind:
        return longProp(outputKind_);
    case dispid::OutputFrameRate:
        if (put)
            return a.R4(0, outputFrameRate_);
        SetResult(result, Variant::R4(outputFrameRate_));
        return S_OK;
    case dispid::MpegVbrLevel:
        return longProp(mpegVbrLevel_);
    case dispid::MpegVbrOn:
        return boolProp(mpegVbrOn_);
    case dispid::MpegVideoKbps:
        return longProp(mpegVideoKbps_);
    case dispid::MpegAudioKbps:
        return longProp(mpegAudioKbps_);
    case dispid::MediaProfileFile:
        if (put)
            return a.Str(0, mediaProfileFile_);
        SetResult(result, Variant::Str(mediaProfileFile_));
        return S_OK;
    case dispid::CustomMpegType:
        return longProp(customMpegType_);
    case dispid::LastError:
        if (put)
            return CTL_E_SETNOTSUPPORTED;
        SetResult(result, Variant::Str(LastError()));
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT CFennickCtrl::Invoke(DISPID id, std::uint16_t flags, std::vector<Variant>& args,
                             Variant* result) {
    DispatchArgs a(args);
    switch (id) {
    case dispid::MediaProfiles: {
        std::vector<std::string> names;
        for (const MediaProfile& p : MediaProfiles())
            names.push_back(p.name);
        ComPtr<IDispatch> list =
            ComPtr<IDispatch>::Attach(new CNameList(CNameList::Kind::Profiles, names));
        SetResult(result, Variant::Dispatch(list.Get()));
        return S_OK;
    }
    case dispid::VideoCompressors:
    case dispid::AudioCompressors: {
        std::vector<std::string> names;
        for (const Compressor& c :
             id == dispid::VideoCompressors ? VideoCompressors() : AudioCompressors())
            names.push_back(c.name);
        std::function<bool(std::int16_t)> showPage;
        if (id == dispid::VideoCompressors)
            showPage = [self = ComPtr<CFennickCtrl>(this)](std::int16_t index) {
                return self->ShowCompressorPage(index);
            };
        ComPtr<IDispatch> list = ComPtr<IDispatch>::Attach(
            new CNameList(CNameList::Kind::Compressors, names, std::move(showPage)));
        SetResult(result, Variant::Dispatch(list.Get()));
        return S_OK;
    }
    case dispid::QueryDuration:
    case dispid::QueryVideoHeight:
    case dispid::QueryVideoWidth:
    case dispid::QueryFrameRate: {
        std::string file;
        if (HRESULT hr = a.Str(0, file); Failed(hr))
            return hr;
        const ProbeResult p = Probe(file);
        if (id == dispid::QueryDuration)
            SetResult(result, Variant::R8(p.duration));
        else if (id == dispid::QueryVideoHeight)
            SetResult(result, Variant::I2(static_cast<std::int16_t>(std::min(p.height, 32767))));
        else if (id == dispid::QueryVideoWidth)
            SetResult(result, Variant::I2(static_cast<std::int16_t>(std::min(p.width, 32767))));
        else
            SetResult(result, Variant::R8(p.frameRate));
        return S_OK;
    }
    case dispid::ClearInputs:
        videoIn_.reset();
        audioIn_.reset();
        {
            std::lock_guard lock(overlayMutex_);
            overlay_.reset();
            overlayKey_.clear();
        }
        return S_OK;
    case dispid::SetVideoInput:
    case dispid::SetAudioInput: {
        InputClip clip;
        std::int16_t fit = 0;
        HRESULT hr = a.Str(0, clip.path);
        if (Succeeded(hr))
            hr = a.R8(1, clip.start);
        if (Succeeded(hr))
            hr = a.R8(2, clip.stop);
        if (Succeeded(hr) && id == dispid::SetVideoInput)
            hr = a.I2(3, fit);
        if (Failed(hr))
            return hr;
        clip.fit = fit;
        if (!std::isfinite(clip.start) || clip.start < 0)
            clip.start = 0;
        if (!std::isfinite(clip.stop) || clip.stop < 0)
            clip.stop = 0;
        const bool ok = !clip.path.empty() && (clip.stop == 0 || clip.stop > clip.start);
        if (ok)
            (id == dispid::SetVideoInput ? videoIn_ : audioIn_) = clip;
        SetResult(result, Variant::Bool(ok));
        return S_OK;
    }
    case dispid::WriteWaveFile: {
        std::string output;
        std::int16_t channels = 0, bytes = 0;
        std::int32_t rate = 0;
        HRESULT hr = a.Str(0, output);
        if (Succeeded(hr))
            hr = a.I2(1, channels);
        if (Succeeded(hr))
            hr = a.I4(2, rate);
        if (Succeeded(hr))
            hr = a.I2(3, bytes);
        if (Failed(hr))
            return hr;
        if (channels < 1 || channels > 2 || rate < 1000 || rate > 192000 || bytes < 1 ||
            bytes > 2) {
            SetLastError("unsupported WAV format");
            SetResult(result, Variant::Bool(false));
            return S_OK;
        }
        WritePlan plan;
        plan.output = output;
        plan.format = "wav";
        plan.writeAudio = true;
        plan.audioIn = audioIn_ ? audioIn_ : videoIn_;
        plan.audio.encoder = bytes == 1 ? "pcm_u8" : "pcm_s16le";
        plan.audio.channels = channels;
        plan.audio.sampleRate = rate;
        SetResult(result, Variant::Bool(StartWrite(std::move(plan))));
        return S_OK;
    }
    case dispid::WriteMediaAudioFile: {
        std::string output;
        if (HRESULT hr = a.Str(0, output); Failed(hr))
            return hr;
        const auto& profiles = MediaProfiles();
        const int index = mediaProfileIndex_ < 0 ? DefaultAudioProfile() : mediaProfileIndex_;
        if (index >= static_cast<int>(profiles.size())) {
            SetLastError("no media profile " + std::to_string(index));
            SetResult(result, Variant::Bool(false));
            return S_OK;
        }
        const MediaProfile& p = profiles[static_cast<std::size_t>(index)];
        WritePlan plan;
        plan.output = output;
        plan.format = "asf";
        plan.writeAudio = true;
        plan.audioIn = audioIn_ ? audioIn_ : videoIn_;
        plan.audio.encoder = "wmav2";
        plan.audio.channels = p.channels;
        plan.audio.sampleRate = p.sampleRate;
        plan.audio.bitRate = p.audioKbps * 1000LL;
        SetResult(result, Variant::Bool(StartWrite(std::move(plan))));
        return S_OK;
    }
    case dispid::WriteVideoFile: {
        WritePlan plan;
        if (HRESULT hr = a.Str(0, plan.output); Failed(hr))
            return hr;
        const bool ok = BuildVideoPlan(plan) && StartWrite(std::move(plan));
        SetResult(result, Variant::Bool(ok));
        return S_OK;
    }
    case dispid::AbortWrite:
        StopWorker(false);
        return S_OK;
    case dispid::OverlayPicture: {
        std::string picture;
        std::int16_t left = 0, top = 0, level = 100;
        std::int32_t key = 0;
        HRESULT hr = a.Str(0, picture);
        if (Succeeded(hr))
            hr = a.I2(1, left);
        if (Succeeded(hr))
            hr = a.I2(2, top);
        if (Succeeded(hr))
            hr = a.I4(3, key);
        if (Succeeded(hr))
            hr = a.I2(4, level);
        if (Failed(hr))
            return hr;
        SetOverlay(picture, left, top, static_cast<std::uint32_t>(key), level);
        return S_OK;
    }
    default:
        return Property(id, flags, a, result);
    }
}

void CFennickCtrl::SetOverlay(const std::string& path, int left, int top, std::uint32_t key,
                              int level) {
    // Pages call this at every progress report: read the file only when it
    // or the placement changed.
    struct stat sb {};
    const bool exists = ::stat(path.c_str(), &sb) == 0;
    const std::string cacheKey = path + '\n' + std::to_string(left) + ',' + std::to_string(top) +
                                 ',' + std::to_string(key) + ',' + std::to_string(level) + ',' +
                                 std::to_string(exists ? sb.st_mtime : 0) + ',' +
                                 std::to_string(exists ? sb.st_size : 0);
    {
        std::lock_guard lock(overlayMutex_);
        if (cacheKey == overlayKey_)
            return;
    }
    std::string error;
    std::shared_ptr<const OverlayImage> image =
        path.empty() ? nullptr : LoadOverlay(path, left, top, key, level, error);
    if (!path.empty() && !image)
        SetLastError(error);
    std::lock_guard lock(overlayMutex_);
    overlay_ = std::move(image);
    overlayKey_ = cacheKey;
}

bool CFennickCtrl::CheckOutput(const std::string& output) {
    if (output.empty() || output.back() == '/') {
        SetLastError("no output file name");
        return false;
    }
    const std::string folder = FolderOf(output);
    struct stat sb {};
    if (::stat(folder.c_str(), &sb) != 0 || !S_ISDIR(sb.st_mode)) {
        SetLastError("the output folder \"" + folder + "\" does not exist");
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        SetLastError("the output folder \"" + folder + "\" is read-only");
        return false;
    }
    if (::stat(output.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) {
        SetLastError("\"" + output + "\" is a folder");
        return false;
    }
    return true;
}

std::optional<PropertySetting> CFennickCtrl::CompressorSetting(const std::string& encoder) const {
    PropertySetting s;
    if (encoder == "mpeg4" || encoder == "msmpeg4v2" || encoder == "mjpeg")
        s = {"Quantiser (1 finest, 31 smallest file)", 1, 31, encoder == "mjpeg" ? 3 : 4};
    else if (encoder == "libx264")
        s = {"Constant rate factor (0 finest, 51 smallest file)", 0, 51, 23};
    else
        return std::nullopt;
    if (auto it = compressorSetting_.find(encoder); it != compressorSetting_.end())
        s.value = it->second;
    return s;
}

bool CFennickCtrl::ShowCompressorPage(std::int16_t index) {
    const auto& list = VideoCompressors();
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        return false;
    const Compressor& c = list[static_cast<std::size_t>(index)];
    std::optional<PropertySetting> setting = CompressorSetting(c.encoder);
    ControlSite* site = Site();
    if (!setting || !site)
        return false;
    std::vector<PropertySetting> page{*setting};
    if (!site->ShowPropertyPage(c.name + " Properties", page))
        return false;
    compressorSetting_[c.encoder] = std::clamp(page[0].value, setting->minimum, setting->maximum);
    return true;
}

bool CFennickCtrl::BuildVideoPlan(WritePlan& plan) {
    if (!videoIn_) {
        SetLastError("no video input has been set");
        return false;
    }
    plan.videoIn = videoIn_;
    plan.audioIn = audioIn_;
    plan.writeVideo = true;
    plan.writeAudio = true;
    VideoSettings& v = plan.video;
    AudioSettings& au = plan.audio;
    const int kind = outputKind_;
    if (kind >= kVcdPal && kind <= kDvdNtsc) {
        const DiscPreset& p = kDiscPresets[kind];
        plan.format = p.format;
        plan.silenceWithoutAudio = true;
        plan.maxDelay = 700000;
        plan.muxOptions = {{"packetsize", p.packetSize}};
        if (*p.muxRate)
            plan.muxOptions.push_back({"muxrate", p.muxRate});
        if (*p.preload)
            plan.muxOptions.push_back({"preload", p.preload});
        v.encoder = p.vcodec;
        v.width = p.width;
        v.height = p.height;
        v.rateNum = p.rateNum;
        v.rateDen = p.rateDen;
        v.gop = p.gop;
        v.bitRate = p.vbitrate;
        v.maxRate = p.maxrate;
        v.minRate = p.minrate;
        v.bufSize = p.bufsize;
        v.pixFmt = "yuv420p";
        v.displayAspectNum = 4;
        v.displayAspectDen = 3;
        if (p.scanOffset)
            v.options.push_back({"scan_offset", "1"});
        au.encoder = p.acodec;
        au.bitRate = p.abitrate;
        au.sampleRate = p.arate;
        au.channels = 2;
        return true;
    }
    if (kind == kCustomMpeg) {
        const bool mpeg2 = customMpegType_ == 1;
        plan.format = mpeg2 ? "vob" : "mpeg";
        plan.silenceWithoutAudio = true;
        plan.maxDelay = 700000;
        v.encoder = mpeg2 ? "mpeg2video" : "mpeg1video";
        v.width = outputWidth_ > 0 ? outputWidth_ : 352;
        v.height = outputHeight_ > 0 ? outputHeight_ : 288;
        v.rateNum = 0; // the source's, snapped to an MPEG rate
        v.snapRate = true;
        v.pixFmt = "yuv420p";
        const std::int64_t kbps =
            std::clamp<std::int32_t>(mpegVideoKbps_ > 0 ? mpegVideoKbps_ : 1150, 64, 80000);
        if (mpegVbrOn_) {
            // The level is a quality in percent: 100 is the finest quantiser.
            const int level = std::clamp<int>(mpegVbrLevel_, 0, 100);
            v.qscale = std::clamp(31 - (level * 30 + 50) / 100, 1, 31);
            v.maxRate = kbps * 2000;
            v.bufSize = mpeg2 ? 1835008 : 327680 * 2;
        } else {
            v.bitRate = kbps * 1000;
            v.maxRate = kbps * 1000;
            v.minRate = kbps * 1000;
            v.bufSize = mpeg2 ? 1835008 : std::max<std::int64_t>(327680, kbps * 1000 / 2);
        }
        v.gop = 15;
        au.encoder = "mp2";
        au.bitRate =
            std::clamp<std::int32_t>(mpegAudioKbps_ > 0 ? mpegAudioKbps_ : 224, 32, 384) * 1000LL;
        au.sampleRate = 44100;
        au.channels = 2;
        return true;
    }
    if (kind == kAvi) {
        plan.format = "avi";
        v.width = outputWidth_ > 0 ? outputWidth_ : 320;
        v.height = outputHeight_ > 0 ? outputHeight_ : 240;
        if (outputFrameRate_ > 0 && outputFrameRate_ <= 240) {
            v.rateNum = static_cast<int>(std::lround(outputFrameRate_ * 1000));
            v.rateDen = 1000;
            // 29.97 and 23.976 are the NTSC rates.
            if (std::fabs(outputFrameRate_ - 29.97f) < 0.006f) {
                v.rateNum = 30000;
                v.rateDen = 1001;
            } else if (std::fabs(outputFrameRate_ - 23.976f) < 0.006f) {
                v.rateNum = 24000;
                v.rateDen = 1001;
            }
        } else {
            v.rateNum = 0;
        }
        const auto& vcs = VideoCompressors();
        if (videoCompressorOn_) {
            if (videoCompressorIndex_ < 0 ||
                videoCompressorIndex_ >= static_cast<int>(vcs.size())) {
                SetLastError("no video compressor " + std::to_string(videoCompressorIndex_));
                return false;
            }
            v.encoder = vcs[static_cast<std::size_t>(videoCompressorIndex_)].encoder;
            const std::optional<PropertySetting> setting = CompressorSetting(v.encoder);
            if (v.encoder == "mpeg4" || v.encoder == "msmpeg4v2")
                v.qscale = setting->value;
            else if (v.encoder == "mjpeg") {
                v.qscale = setting->value;
                v.pixFmt = "yuvj420p";
            } else if (v.encoder == "libx264")
                v.options = {{"preset", "veryfast"}, {"crf", std::to_string(setting->value)}};
        } else {
            v.encoder = "rawvideo";
            v.pixFmt = "bgr24";
        }
        const auto& acs = AudioCompressors();
        if (audioCompressorOn_) {
            if (audioCompressorIndex_ < 0 ||
                audioCompressorIndex_ >= static_cast<int>(acs.size())) {
                SetLastError("no audio compressor " + std::to_string(audioCompressorIndex_));
                return false;
            }
            au.encoder = acs[static_cast<std::size_t>(audioCompressorIndex_)].encoder;
            if (au.encoder == "libmp3lame")
                au.bitRate = 192000;
            else if (au.encoder == "mp2")
                au.bitRate = 224000;
            else if (au.encoder == "ac3")
                au.bitRate = 192000;
        } else {
            au.encoder = "pcm_s16le";
        }
        return true;
    }
    if (kind == kWmv) {
        plan.format = "asf";
        v.encoder = "wmv2";
        au.encoder = "wmav2";
        if (!mediaProfileFile_.empty()) {
            PrxProfile prx;
            std::string error;
            if (!ReadPrx(mediaProfileFile_, prx, error)) {
                SetLastError(error);
                return false;
            }
            plan.writeVideo = prx.video.has_value();
            plan.writeAudio = prx.audio.has_value();
            if (prx.video) {
                const PrxVideoStream& pv = *prx.video;
                v.width = pv.width;
                v.height = pv.height;
                v.rateNum = static_cast<int>(std::lround(pv.frameRate * 1000));
                v.rateDen = 1000;
                if (pv.mode == 1) {
                    v.qscale = std::clamp(31 - (pv.vbrQuality * 30 + 50) / 100, 1, 31);
                } else {
                    v.bitRate = pv.bitrate;
                    if (pv.mode == 2)
                        v.maxRate = pv.maxBitrate;
                }
                if (v.maxRate > 0) // a buffer model only where the peak is bounded
                    v.bufSize =
                        std::max<std::int64_t>(v.maxRate * pv.maxBuffer / 1000, v.maxRate / 2);
                v.gop =
                    std::max(1, static_cast<int>(std::lround(pv.keyFrameInterval * pv.frameRate)));
            }
            if (prx.audio) {
                au.bitRate = prx.audio->bitrate;
                au.sampleRate = prx.audio->sampleRate;
                au.channels = prx.audio->channels;
            }
            if (!plan.writeVideo) {
                plan.videoIn.reset();
                plan.audioIn = audioIn_ ? audioIn_ : videoIn_;
            }
            return true;
        }
        const auto& profiles = MediaProfiles();
        const int index = mediaProfileIndex_ < 0 ? DefaultVideoProfile() : mediaProfileIndex_;
        if (index >= static_cast<int>(profiles.size())) {
            SetLastError("no media profile " + std::to_string(index));
            return false;
        }
        const MediaProfile& p = profiles[static_cast<std::size_t>(index)];
        if (!p.hasVideo) {
            // An audio-only profile: the WMV file carries the sound alone.
            plan.writeVideo = false;
            plan.videoIn.reset();
            plan.audioIn = audioIn_ ? audioIn_ : videoIn_;
        }
        v.width = p.width;
        v.height = p.height;
        v.rateNum = p.fpsNum;
        v.rateDen = p.fpsDen;
        v.bitRate = p.videoKbps * 1000LL;
        v.gop = p.fpsNum / p.fpsDen * 6 > 0 ? p.fpsNum / p.fpsDen * 6 : 150;
        au.bitRate = p.audioKbps * 1000LL;
        au.sampleRate = p.sampleRate;
        au.channels = p.channels;
        return true;
    }
    SetLastError("unknown output kind " + std::to_string(kind));
    return false;
}

bool CFennickCtrl::StartWrite(WritePlan plan) {
    if (busy_.load()) {
        SetLastError("a write is already running");
        return false;
    }
    if (!plan.videoIn && !plan.audioIn) {
        SetLastError("no input has been set");
        return false;
    }
    if (!CheckOutput(plan.output))
        return false;
    if (worker_.joinable())
        worker_.join(); // the previous write has delivered its end already
    SetLastError("");
    abort_.store(false);
    busy_.store(true);
    currentTemp_ = TemporaryNameFor(plan.output);
    {
        std::lock_guard lock(doneMutex_);
        workerDone_ = false;
    }
    const std::uint64_t job = ++job_;
    ControlSite* site = Site();
    ComPtr<CFennickCtrl> self(this);
    worker_ = std::thread([this, self, site, job, plan = std::move(plan)]() mutable {
        // Events reach the host's user-interface thread through its site; a
        // write aborted in the meantime delivers nothing more.
        auto deliver = [this, self, site, job](std::function<void()> fire) {
            auto guarded = [this, self, job, fire = std::move(fire)] {
                if (job_.load() == job && !abort_.load())
                    fire();
            };
            if (site)
                site->Post(std::move(guarded));
            else
                guarded();
        };
        WriteHooks hooks;
        hooks.abort = &abort_;
        hooks.progress = [&](double pos, double total) {
            deliver([this, pos, total] {
                Events().Fire(dispid::WriteProgress, {Variant::R8(pos), Variant::R8(total)});
            });
        };
        hooks.overlay = [this] {
            std::lock_guard lock(overlayMutex_);
            return overlay_;
        };
        std::string error;
        const bool ok = RunWrite(plan, hooks, error);
        if (!ok && !abort_.load())
            SetLastError(error);
        deliver([this] {
            busy_.store(false);
            Events().Fire(dispid::WriteFinished);
        });
        if (!site)
            busy_.store(false);
        {
            std::lock_guard lock(doneMutex_);
            workerDone_ = true;
        }
        doneCv_.notify_all();
    });
    return true;
}

void CFennickCtrl::StopWorker(bool wait) {
    abort_.store(true);
    ++job_; // events of the aborted write still queued are dropped
    busy_.store(false);
    if (!worker_.joinable())
        return;
    if (worker_.get_id() == std::this_thread::get_id()) {
        worker_.detach(); // the last reference was dropped by the write itself
        return;
    }
    if (!wait) {
        // Encoders stop between frames, which may take a while for a large
        // frame on a slow machine: the caller gets control back at once and
        // the partial file is gone; the thread is joined by the next write.
        std::unique_lock lock(doneMutex_);
        const bool done =
            doneCv_.wait_for(lock, std::chrono::milliseconds(150), [this] { return workerDone_; });
        lock.unlock();
        if (!done) {
            ::unlink(currentTemp_.c_str());
            return;
        }
    }
    worker_.join();
}

const ComponentTypeLib kTypeLib{LIBID_Fennick, "1.0", "Fennick.hlp"};
const ComponentClass kClasses[] = {
    {CLSID_Fennick, kProgId, &ControlObject::CreateAs<CFennickCtrl>},
};

} // namespace
} // namespace fennick

AUTOMATION_COMPONENT_EXPORTS(&fennick::kTypeLib, fennick::kClasses)
