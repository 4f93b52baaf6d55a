#include "FennickTestSupport.h"

#include "ComponentRegistry.h"

#include "RunProgram.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>

namespace fennick_test {

namespace {

QString FixtureDir() {
    const QString dir = QStringLiteral(FENNICK_FIXTURE_DIR);
    QDir().mkpath(dir);
    return dir;
}

QByteArray Run(const QString& program, const QStringList& args, bool* ok = nullptr) {
    QByteArray out, err;
    const bool good = testsupport::RunProgram(program, args, &out, &err, 120000) == 0;
    if (ok)
        *ok = good;
    if (!good)
        ADD_FAILURE() << program.toStdString() << " " << args.join(' ').toStdString() << ": "
                      << err.toStdString();
    return out;
}

} // namespace

QString Fixture(const QString& name, const QStringList& ffmpegArgs) {
    const QString path = FixtureDir() + QLatin1Char('/') + name;
    if (QFileInfo::exists(path))
        return path;
    // Made under a name of this process and renamed, so parallel test
    // processes never see half a file.
    const QString temp =
        FixtureDir() + QStringLiteral("/tmp-%1-").arg(QCoreApplication::applicationPid()) + name;
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
    args += ffmpegArgs;
    args << temp;
    bool ok = false;
    Run(QStringLiteral("ffmpeg"), args, &ok);
    if (ok)
        QFile::rename(temp, path);
    QFile::remove(temp);
    return path;
}

QString SawtoothWav(int rate, double seconds) {
    const QString path = FixtureDir() + QStringLiteral("/saw-%1-%2.wav").arg(rate).arg(seconds);
    if (QFileInfo::exists(path))
        return path;
    const int n = static_cast<int>(rate * seconds);
    QByteArray data;
    const auto u32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            data.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const auto u16 = [&](quint16 v) {
        data.append(static_cast<char>(v & 0xFF));
        data.append(static_cast<char>(v >> 8));
    };
    data.append("RIFF");
    u32(36 + n * 2);
    data.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    data.append("data");
    u32(n * 2);
    for (int i = 0; i < n; ++i)
        u16(static_cast<quint16>(static_cast<qint16>((i % 20000) - 10000)));
    const QString temp = path + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
    QFile f(temp);
    f.open(QIODevice::WriteOnly);
    f.write(data);
    f.close();
    QFile::rename(temp, path);
    QFile::remove(temp);
    return path;
}

QJsonObject ProbeFile(const QString& file, bool countFrames) {
    QStringList args = {QStringLiteral("-v"),           QStringLiteral("error"),
                        QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
                        QStringLiteral("-of"),          QStringLiteral("json")};
    if (countFrames)
        args << QStringLiteral("-count_frames");
    args << file;
    return QJsonDocument::fromJson(Run(QStringLiteral("ffprobe"), args)).object();
}

QJsonObject StreamOf(const QJsonObject& probe, const QString& type) {
    for (const QJsonValue& s : probe.value(QStringLiteral("streams")).toArray())
        if (s.toObject().value(QStringLiteral("codec_type")).toString() == type)
            return s.toObject();
    return {};
}

QByteArray DecodeFrame(const QString& file, const QString& pixFmt, int frame) {
    return Run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                QStringLiteral("-vf"), QStringLiteral("select=eq(n\\,%1)").arg(frame),
                QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), pixFmt,
                QStringLiteral("-")});
}

QByteArray DecodeAudio(const QString& file) {
    return Run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-acodec"),
                QStringLiteral("pcm_s16le"), QStringLiteral("-")});
}

void RegisterControl() {
    static bool done = false;
    if (done)
        return;
    automation::HRESULT hr = automation::E_FAIL;
    ASSERT_EQ(automation::RegisterServer(FENNICK_LIBRARY, &hr),
              automation::SelfRegistration::Called);
    ASSERT_TRUE(automation::Succeeded(hr));
    done = true;
}

ControlFixture::ControlFixture() {
    RegisterControl();
    CFennick::Events events;
    events.writeFinished = [this] { ++finished; };
    events.writeProgress = [this](double position, double total) {
        ++progressCount;
        lastPosition = position;
        lastTotal = total;
    };
    EXPECT_TRUE(automation::Succeeded(control.Create(events)));
}

bool ControlFixture::WaitFinished(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (finished == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(2);
    }
    return finished > 0;
}

void ControlFixture::Pump(int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
}

} // namespace fennick_test
