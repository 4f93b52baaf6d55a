#include "CFennick.h"

#include "FennickIds.h"

using namespace automation;
namespace id = fennick::dispid;

namespace {

Variant Invoke(IDispatch* d, DISPID member, std::uint16_t flags, std::vector<Variant> args = {}) {
    Variant result;
    if (d)
        d->Invoke(member, flags, args, &result);
    return result;
}

std::int16_t AsShort(const Variant& v) {
    std::int16_t out = 0;
    v.ToI2(out);
    return out;
}
std::int32_t AsLong(const Variant& v) {
    std::int32_t out = 0;
    v.ToI4(out);
    return out;
}
bool AsBool(const Variant& v) {
    bool out = false;
    v.ToBool(out);
    return out;
}
double AsDouble(const Variant& v) {
    double out = 0;
    v.ToR8(out);
    return out;
}
QString AsString(const Variant& v) {
    std::string out;
    v.ToStr(out);
    return QString::fromStdString(out);
}
Variant Str(const QString& s) {
    return Variant::Str(s.toStdString());
}
// The variant keeps its reference until the list object has taken its own.
IDispatch* DispatchOf(const Variant& v) {
    return v.Type() == VT_DISPATCH ? v.AsDispatch() : nullptr;
}

} // namespace

short CFennickProfiles::GetCount() const {
    return AsShort(Invoke(list_.Get(), id::ListCount, DISPATCH_PROPERTYGET));
}
QString CFennickProfiles::NameAt(short index) const {
    return AsString(Invoke(list_.Get(), id::ProfileNameAt, DISPATCH_METHOD, {Variant::I2(index)}));
}

short CFennickCompressors::GetCount() const {
    return AsShort(Invoke(list_.Get(), id::ListCount, DISPATCH_PROPERTYGET));
}
short CFennickCompressors::IndexOfName(const QString& name) const {
    return AsShort(Invoke(list_.Get(), id::CompressorIndexOfName, DISPATCH_METHOD, {Str(name)}));
}
QString CFennickCompressors::NameAt(short index) const {
    return AsString(
        Invoke(list_.Get(), id::CompressorNameAt, DISPATCH_METHOD, {Variant::I2(index)}));
}
bool CFennickCompressors::ShowPropertyPage(short index) const {
    return AsBool(
        Invoke(list_.Get(), id::CompressorShowPropertyPage, DISPATCH_METHOD, {Variant::I2(index)}));
}

HRESULT CFennick::Create(Events events) {
    events_ = std::move(events);
    return host_.Create(fennick::CLSID_Fennick, [this](DISPID event, std::vector<Variant>& args) {
        if (event == id::WriteFinished && events_.writeFinished)
            events_.writeFinished();
        else if (event == id::WriteProgress && events_.writeProgress && args.size() >= 2)
            events_.writeProgress(AsDouble(args[0]), AsDouble(args[1]));
    });
}

Variant CFennick::Get(DISPID member) {
    Variant v;
    host_.Get(member, &v);
    return v;
}
void CFennick::Put(DISPID member, Variant value) {
    host_.Put(member, std::move(value));
}
Variant CFennick::Call(DISPID member, std::vector<Variant> args) {
    Variant v;
    host_.Call(member, std::move(args), &v);
    return v;
}

CFennickProfiles CFennick::GetMediaProfiles() {
    return CFennickProfiles(DispatchOf(Get(id::MediaProfiles)));
}
CFennickCompressors CFennick::GetVideoCompressors() {
    return CFennickCompressors(DispatchOf(Get(id::VideoCompressors)));
}
CFennickCompressors CFennick::GetAudioCompressors() {
    return CFennickCompressors(DispatchOf(Get(id::AudioCompressors)));
}

short CFennick::GetMediaProfileIndex() {
    return AsShort(Get(id::MediaProfileIndex));
}
void CFennick::SetMediaProfileIndex(short v) {
    Put(id::MediaProfileIndex, Variant::I2(v));
}
short CFennick::GetVideoCompressorIndex() {
    return AsShort(Get(id::VideoCompressorIndex));
}
void CFennick::SetVideoCompressorIndex(short v) {
    Put(id::VideoCompressorIndex, Variant::I2(v));
}
bool CFennick::GetVideoCompressorOn() {
    return AsBool(Get(id::VideoCompressorOn));
}
void CFennick::SetVideoCompressorOn(bool v) {
    Put(id::VideoCompressorOn, Variant::Bool(v));
}
short CFennick::GetAudioCompressorIndex() {
    return AsShort(Get(id::AudioCompressorIndex));
}
void CFennick::SetAudioCompressorIndex(short v) {
    Put(id::AudioCompressorIndex, Variant::I2(v));
}
bool CFennick::GetAudioCompressorOn() {
    return AsBool(Get(id::AudioCompressorOn));
}
void CFennick::SetAudioCompressorOn(bool v) {
    Put(id::AudioCompressorOn, Variant::Bool(v));
}
short CFennick::GetOutputHeight() {
    return AsShort(Get(id::OutputHeight));
}
void CFennick::SetOutputHeight(short v) {
    Put(id::OutputHeight, Variant::I2(v));
}
short CFennick::GetOutputWidth() {
    return AsShort(Get(id::OutputWidth));
}
void CFennick::SetOutputWidth(short v) {
    Put(id::OutputWidth, Variant::I2(v));
}
long CFennick::GetOutputKind() {
    return AsLong(Get(id::OutputKind));
}
void CFennick::SetOutputKind(long v) {
    Put(id::OutputKind, Variant::I4(static_cast<std::int32_t>(v)));
}
float CFennick::GetOutputFrameRate() {
    return static_cast<float>(AsDouble(Get(id::OutputFrameRate)));
}
void CFennick::SetOutputFrameRate(float v) {
    Put(id::OutputFrameRate, Variant::R4(v));
}
long CFennick::GetMpegVbrLevel() {
    return AsLong(Get(id::MpegVbrLevel));
}
void CFennick::SetMpegVbrLevel(long v) {
    Put(id::MpegVbrLevel, Variant::I4(static_cast<std::int32_t>(v)));
}
bool CFennick::GetMpegVbrOn() {
    return AsBool(Get(id::MpegVbrOn));
}
void CFennick::SetMpegVbrOn(bool v) {
    Put(id::MpegVbrOn, Variant::Bool(v));
}
long CFennick::GetMpegVideoKbps() {
    return AsLong(Get(id::MpegVideoKbps));
}
void CFennick::SetMpegVideoKbps(long v) {
    Put(id::MpegVideoKbps, Variant::I4(static_cast<std::int32_t>(v)));
}
long CFennick::GetMpegAudioKbps() {
    return AsLong(Get(id::MpegAudioKbps));
}
void CFennick::SetMpegAudioKbps(long v) {
    Put(id::MpegAudioKbps, Variant::I4(static_cast<std::int32_t>(v)));
}
QString CFennick::GetMediaProfileFile() {
    return AsString(Get(id::MediaProfileFile));
}
void CFennick::SetMediaProfileFile(const QString& v) {
    Put(id::MediaProfileFile, Str(v));
}
long CFennick::GetCustomMpegType() {
    return AsLong(Get(id::CustomMpegType));
}
void CFennick::SetCustomMpegType(long v) {
    Put(id::CustomMpegType, Variant::I4(static_cast<std::int32_t>(v)));
}
QString CFennick::GetLastError() {
    return AsString(Get(id::LastError));
}

bool CFennick::WriteVideoFile(const QString& output) {
    return AsBool(Call(id::WriteVideoFile, {Str(output)}));
}
double CFennick::QueryDuration(const QString& file) {
    return AsDouble(Call(id::QueryDuration, {Str(file)}));
}
bool CFennick::SetAudioInput(const QString& file, double start, double stop) {
    return AsBool(Call(id::SetAudioInput, {Str(file), Variant::R8(start), Variant::R8(stop)}));
}
bool CFennick::SetVideoInput(const QString& file, double start, double stop, short fit) {
    return AsBool(Call(id::SetVideoInput,
                       {Str(file), Variant::R8(start), Variant::R8(stop), Variant::I2(fit)}));
}
short CFennick::QueryVideoHeight(const QString& file) {
    return AsShort(Call(id::QueryVideoHeight, {Str(file)}));
}
short CFennick::QueryVideoWidth(const QString& file) {
    return AsShort(Call(id::QueryVideoWidth, {Str(file)}));
}
double CFennick::QueryFrameRate(const QString& file) {
    return AsDouble(Call(id::QueryFrameRate, {Str(file)}));
}
void CFennick::ClearInputs() {
    Call(id::ClearInputs, {});
}
void CFennick::AbortWrite() {
    Call(id::AbortWrite, {});
}
bool CFennick::WriteMediaAudioFile(const QString& output) {
    return AsBool(Call(id::WriteMediaAudioFile, {Str(output)}));
}
bool CFennick::WriteWaveFile(const QString& output, short channels, long rate,
                             short bytesPerSample) {
    return AsBool(Call(id::WriteWaveFile, {Str(output), Variant::I2(channels),
                                           Variant::I4(static_cast<std::int32_t>(rate)),
                                           Variant::I2(bytesPerSample)}));
}
void CFennick::OverlayPicture(const QString& picture, short left, short top, long colourKey,
                              short level) {
    Call(id::OverlayPicture,
         {Str(picture), Variant::I2(left), Variant::I2(top),
          Variant::I4(static_cast<std::int32_t>(colourKey)), Variant::I2(level)});
}
