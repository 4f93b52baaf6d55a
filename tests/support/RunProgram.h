#pragma once
// Runs an outside program to its end for a test (ffmpeg, ffprobe, the
// encoders). Started with fork and exec rather than QProcess, so that the
// thread checker keeps seeing this process's synchronisation afterwards.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

// The exit code; -1 when the program could not start, crashed or ran over
// the time limit (it is killed then).
int RunProgram(const QString& program, const QStringList& args, QByteArray* out = nullptr,
               QByteArray* err = nullptr, int timeoutMs = 300000);

} // namespace testsupport
