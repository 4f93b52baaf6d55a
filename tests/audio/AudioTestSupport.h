#pragma once
// Shared by the audio tests: media made with ffmpeg, read back with ffprobe,
// the media control registered from the build's runnable folder, and dialogs
// answered in place of a person.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class CAudioPage;
class CAudioSettingsDlg;
class CAudioClipDlg;

namespace audiotest {

QString BinDir();
// Registers libFennick.so from the runnable folder (once per process) and
// points InstallDir there, so our encoders are found first.
void UseRealControl();

// Runs a program; returns its exit code (-1 when it did not start).
int RunProgram(const QString& program, const QStringList& args, QString* out = nullptr,
               QString* err = nullptr);
// A sine tone of the given length as a 16-bit PCM WAV (or any file type
// ffmpeg picks from the extension).
void MakeTone(const QString& path, double seconds, int rate = 44100, int channels = 2);
// A short video with a sound track.
void MakeVideo(const QString& path, double seconds);

struct Probe {
    QString codec;
    QString format;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0; // decoded length in seconds
    bool ok = false;
};
// Reads a file with ffprobe; the duration is measured by decoding it.
Probe ProbeAudio(const QString& path);

// Answers the page's modal dialogs while alive.
class DialogScript {
public:
    std::function<void(CAudioSettingsDlg&)> settings; // default: press OK
    std::function<void(CAudioClipDlg&)> clip;         // default: press OK
    int settingsRuns = 0;
    int clipRuns = 0;
    DialogScript();
    ~DialogScript();
};

// Adds one file through the page's add command; configure sets the dialog's
// lists before OK.
void AddFile(CAudioPage& page, const QString& path,
             const std::function<void(CAudioSettingsDlg&)>& configure = {});
// Waits (running the event loop) until the page's run has ended.
bool WaitForRunEnd(CAudioPage& page, int timeoutMs = 60000);

} // namespace audiotest
