#pragma once
// Fixtures made with the ffmpeg program, outputs read back with ffprobe and
// ffmpeg, and a control created through the registry as a page creates it.

#include "CFennick.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace fennick_test {

// A media file made once per build (shared by the test processes).
QString Fixture(const QString& name, const QStringList& ffmpegArgs);
// A WAV file whose 16-bit mono samples count up: sample i is (i % 20000) - 10000.
QString SawtoothWav(int rate, double seconds);

// ffprobe's view of a file: {"format": {...}, "streams": [...]}.
QJsonObject ProbeFile(const QString& file, bool countFrames = false);
QJsonObject StreamOf(const QJsonObject& probe, const QString& type);
// Decodes frame number `frame` (from 0) to raw pixels of the given format.
QByteArray DecodeFrame(const QString& file, const QString& pixFmt, int frame = 0);
// Decodes all of the sound to 16-bit samples at the file's own rate.
QByteArray DecodeAudio(const QString& file);

// Registers the control for this test process (once).
void RegisterControl();

// A control with recorders for its events.
class ControlFixture {
public:
    ControlFixture();
    CFennick control;
    int finished = 0;
    int progressCount = 0;
    double lastPosition = -1, lastTotal = -1;
    // Waits until WriteFinished, at most the given time; false on time-out.
    bool WaitFinished(int milliseconds = 60000);
    // Runs the event loop for a while.
    void Pump(int milliseconds);
};

} // namespace fennick_test
