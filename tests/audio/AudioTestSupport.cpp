#include "AudioTestSupport.h"

#include "CAudioClipDlg.h"
#include "CAudioPage.h"
#include "CAudioSettingsDlg.h"
#include "CKSFileDialog.h"
#include "ComponentRegistry.h"
#include "Paths.h"
#include "Recorders.h"
#include "RunProgram.h"
#include "Services.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace audiotest {

QString BinDir() {
    return QStringLiteral(QUINTREL_BIN_DIR);
}

void UseRealControl() {
    static const bool registered = [] {
        automation::HRESULT hr = automation::E_FAIL;
        const auto r = automation::RegisterServer(
            (BinDir() + QStringLiteral("/libFennick.so")).toStdString(), &hr);
        return r == automation::SelfRegistration::Called && automation::Succeeded(hr);
    }();
    ASSERT_TRUE(registered) << "libFennick.so could not be registered from "
                            << BinDir().toStdString();
    platform::SetInstallDirForTesting(BinDir());
}

int RunProgram(const QString& program, const QStringList& args, QString* out, QString* err) {
    QByteArray o, e;
    const int rc = testsupport::RunProgram(program, args, &o, &e);
    if (out)
        *out = QString::fromUtf8(o);
    if (err)
        *err = QString::fromUtf8(e);
    return rc;
}

void MakeTone(const QString& path, double seconds, int rate, int channels) {
    const int rc = RunProgram(
        QStringLiteral("ffmpeg"),
        {"-v", "error", "-y", "-f", "lavfi", "-i",
         QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds),
         "-ac", QString::number(channels), path});
    ASSERT_EQ(rc, 0) << "ffmpeg could not make " << path.toStdString();
}

void MakeVideo(const QString& path, double seconds) {
    const QString d = QString::number(seconds);
    const int rc = RunProgram(QStringLiteral("ffmpeg"),
                              {"-v", "error", "-y", "-f", "lavfi", "-i",
                               "testsrc=size=160x120:rate=15:duration=" + d, "-f", "lavfi", "-i",
                               "sine=frequency=660:sample_rate=48000:duration=" + d, "-c:v",
                               "mpeg4", "-c:a", "aac", "-ac", "2", "-shortest", path});
    ASSERT_EQ(rc, 0) << "ffmpeg could not make " << path.toStdString();
}

Probe ProbeAudio(const QString& path) {
    Probe p;
    QString out;
    if (RunProgram(QStringLiteral("ffprobe"),
                   {"-v", "error", "-select_streams", "a:0", "-show_entries",
                    "stream=codec_name,sample_rate,channels:format=format_name", "-of",
                    "default=noprint_wrappers=1", path},
                   &out) != 0)
        return p;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const QString value = line.section(QLatin1Char('='), 1);
        if (key == QLatin1String("codec_name"))
            p.codec = value;
        else if (key == QLatin1String("sample_rate"))
            p.sampleRate = value.toInt();
        else if (key == QLatin1String("channels"))
            p.channels = value.toInt();
        else if (key == QLatin1String("format_name"))
            p.format = value;
    }
    // Decode to count the samples: container headers of some formats only
    // estimate the length.
    QByteArray pcm;
    testsupport::RunProgram(QStringLiteral("ffmpeg"),
                            {"-v", "error", "-i", path, "-map", "0:a:0", "-f", "s16le", "-ac", "1",
                             "-ar", QString::number(p.sampleRate), "-"},
                            &pcm);
    const qint64 bytes = pcm.size();
    if (p.sampleRate > 0)
        p.duration = static_cast<double>(bytes) / 2.0 / p.sampleRate;
    p.ok = !p.codec.isEmpty();
    return p;
}

DialogScript::DialogScript() {
    platform::InstallDialogRunner([this](QDialog& dialog) {
        if (auto* s = qobject_cast<CAudioSettingsDlg*>(&dialog)) {
            ++settingsRuns;
            if (settings)
                settings(*s);
            else
                s->OnOK();
        } else if (auto* c = qobject_cast<CAudioClipDlg*>(&dialog)) {
            ++clipRuns;
            if (clip)
                clip(*c);
            else
                c->OnOK();
        }
        return dialog.result();
    });
}

DialogScript::~DialogScript() {
    platform::InstallDialogRunner({});
}

void AddFile(CAudioPage& page, const QString& path,
             const std::function<void(CAudioSettingsDlg&)>& configure) {
    testing_support::ChooserRecorder chooser;
    chooser.onFile = [path](CKSFileDialog& d) {
        d.SetPathName(path);
        return 1;
    };
    DialogScript script;
    script.settings = [&](CAudioSettingsDlg& dlg) {
        if (configure)
            configure(dlg);
        dlg.OnOK();
    };
    const int before = page.Tasks().SlotCount();
    page.OnAddFile();
    ASSERT_EQ(page.Tasks().SlotCount(), before + 1) << "could not add " << path.toStdString();
}

bool WaitForRunEnd(CAudioPage& page, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (page.IsRunning() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !page.IsRunning();
}

} // namespace audiotest
