#pragma once
// Identities and dispatch identifiers of the media editing control.

#include "Guid.h"
#include "Unknown.h"

namespace fennick {

inline constexpr automation::CLSID CLSID_Fennick =
    automation::MakeGuid("{57D9AF4C-23BA-47EC-A40B-2DA79641B285}");
inline constexpr const char* kProgId = "FENNICK.FennickCtrl.1";
inline constexpr automation::Guid LIBID_Fennick =
    automation::MakeGuid("{8C1B52E6-7A43-4F0D-9E21-5B6A3D94C7F1}");

// Properties of the control.
namespace dispid {
inline constexpr automation::DISPID MediaProfiles = 1;
inline constexpr automation::DISPID MediaProfileIndex = 2;
inline constexpr automation::DISPID VideoCompressorIndex = 3;
inline constexpr automation::DISPID VideoCompressors = 4;
inline constexpr automation::DISPID VideoCompressorOn = 5;
inline constexpr automation::DISPID AudioCompressorIndex = 6;
inline constexpr automation::DISPID AudioCompressors = 7;
inline constexpr automation::DISPID AudioCompressorOn = 8;
inline constexpr automation::DISPID OutputHeight = 11;
inline constexpr automation::DISPID OutputWidth = 12;
inline constexpr automation::DISPID OutputKind = 15;
inline constexpr automation::DISPID OutputFrameRate = 16;
inline constexpr automation::DISPID MpegVbrLevel = 17;
inline constexpr automation::DISPID MpegVbrOn = 18;
inline constexpr automation::DISPID MpegVideoKbps = 19;
inline constexpr automation::DISPID MpegAudioKbps = 20;
inline constexpr automation::DISPID MediaProfileFile = 23;
inline constexpr automation::DISPID CustomMpegType = 25;
// Methods.
inline constexpr automation::DISPID WriteVideoFile = 27;
inline constexpr automation::DISPID QueryDuration = 29;
inline constexpr automation::DISPID SetAudioInput = 32;
inline constexpr automation::DISPID SetVideoInput = 33;
inline constexpr automation::DISPID QueryVideoHeight = 38;
inline constexpr automation::DISPID QueryVideoWidth = 39;
inline constexpr automation::DISPID QueryFrameRate = 40;
inline constexpr automation::DISPID ClearInputs = 41;
inline constexpr automation::DISPID AbortWrite = 42;
inline constexpr automation::DISPID WriteMediaAudioFile = 43;
inline constexpr automation::DISPID WriteWaveFile = 47;
inline constexpr automation::DISPID OverlayPicture = 51;
// Read-only: why the last write failed to start or failed part-way ("" when
// it succeeded).
inline constexpr automation::DISPID LastError = 60;

// The lists' members (profiles and compressors).
inline constexpr automation::DISPID ListCount = 1;
inline constexpr automation::DISPID CompressorIndexOfName = 2;
inline constexpr automation::DISPID CompressorNameAt = 3;
inline constexpr automation::DISPID CompressorShowPropertyPage = 4;
inline constexpr automation::DISPID ProfileNameAt = 4;

// Events.
inline constexpr automation::DISPID WriteFinished = 1;
inline constexpr automation::DISPID WriteProgress = 2;
} // namespace dispid

// OutputKind values.
enum OutputKindValue : int {
    kVcdPal = 0,
    kVcdNtsc = 1,
    kSvcdPal = 2,
    kSvcdNtsc = 3,
    kDvdPal = 4,
    kDvdNtsc = 5,
    kCustomMpeg = 6,
    kAvi = 7,
    kWmv = 8,
};

// Fit modes of SetVideoInput.
enum FitMode : int { kFitStretch = 0, kFitKeepAspect = 2, kFitCrop = 3 };

} // namespace fennick
