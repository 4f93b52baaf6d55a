#pragma once
// The pages' wrapper of the media editing control: one method per dispatch
// identifier, fixed argument types. The control is created by class id
// through the component registry and hosted on the calling thread, which
// must run a Qt event loop: WriteProgress and WriteFinished arrive there.

#include "ControlHost.h"

#include <QString>

#include <functional>

class CFennickProfiles {
public:
    explicit CFennickProfiles(automation::IDispatch* list = nullptr) : list_(list) {}
    short GetCount() const;
    QString NameAt(short index) const;

private:
    automation::ComPtr<automation::IDispatch> list_;
};

class CFennickCompressors {
public:
    explicit CFennickCompressors(automation::IDispatch* list = nullptr) : list_(list) {}
    short GetCount() const;
    short IndexOfName(const QString& name) const;
    QString NameAt(short index) const;
    bool ShowPropertyPage(short index) const;

private:
    automation::ComPtr<automation::IDispatch> list_;
};

class CFennick {
public:
    struct Events {
        std::function<void()> writeFinished;
        std::function<void(double position, double total)> writeProgress;
    };

    CFennick() = default;
    ~CFennick() { Release(); }
    CFennick(const CFennick&) = delete;
    CFennick& operator=(const CFennick&) = delete;

    // Creates the control (REGDB_E_CLASSNOTREG when it is not registered).
    automation::HRESULT Create(Events events = {});
    void Release() { host_.Release(); }
    bool IsCreated() const { return host_.IsCreated(); }

    // Lists.
    CFennickProfiles GetMediaProfiles();
    CFennickCompressors GetVideoCompressors();
    CFennickCompressors GetAudioCompressors();

    // Properties.
    short GetMediaProfileIndex();
    void SetMediaProfileIndex(short value);
    short GetVideoCompressorIndex();
    void SetVideoCompressorIndex(short value);
    bool GetVideoCompressorOn();
    void SetVideoCompressorOn(bool value);
    short GetAudioCompressorIndex();
    void SetAudioCompressorIndex(short value);
    bool GetAudioCompressorOn();
    void SetAudioCompressorOn(bool value);
    short GetOutputHeight();
    void SetOutputHeight(short value);
    short GetOutputWidth();
    void SetOutputWidth(short value);
    long GetOutputKind();
    void SetOutputKind(long value);
    float GetOutputFrameRate();
    void SetOutputFrameRate(float value);
    long GetMpegVbrLevel();
    void SetMpegVbrLevel(long value);
    bool GetMpegVbrOn();
    void SetMpegVbrOn(bool value);
    long GetMpegVideoKbps();
    void SetMpegVideoKbps(long value);
    long GetMpegAudioKbps();
    void SetMpegAudioKbps(long value);
    QString GetMediaProfileFile();
    void SetMediaProfileFile(const QString& value);
    long GetCustomMpegType();
    void SetCustomMpegType(long value);
    QString GetLastError();

    // Methods.
    bool WriteVideoFile(const QString& output);
    double QueryDuration(const QString& file);
    bool SetAudioInput(const QString& file, double start, double stop);
    bool SetVideoInput(const QString& file, double start, double stop, short fit);
    short QueryVideoHeight(const QString& file);
    short QueryVideoWidth(const QString& file);
    double QueryFrameRate(const QString& file);
    void ClearInputs();
    void AbortWrite();
    bool WriteMediaAudioFile(const QString& output);
    bool WriteWaveFile(const QString& output, short channels, long rate, short bytesPerSample);
    void OverlayPicture(const QString& picture, short left, short top, long colourKey, short level);

private:
    automation::Variant Get(automation::DISPID id);
    void Put(automation::DISPID id, automation::Variant value);
    automation::Variant Call(automation::DISPID id, std::vector<automation::Variant> args);

    platform::ControlHost host_;
    Events events_;
};
