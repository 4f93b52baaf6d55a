#include "EncoderCommand.h"

#include "Paths.h"

#include <QFileInfo>
#include <QStandardPaths>

QString FindEncoder(const QString& name) {
    const QFileInfo own(platform::InstallDir() + QLatin1Char('/') + name);
    if (own.isFile() && own.isExecutable())
        return own.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

QString TemporaryFile(const QString& extension) {
    return platform::TempDir() + QStringLiteral("/cstmp.") + extension;
}

namespace {

// Joins the pieces the way the command line text is written: items separated
// by single blanks, no quotation marks.
EncoderCommand Make(const QString& program, QStringList args) {
    EncoderCommand c;
    c.program = program;
    c.text = program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
    c.args = std::move(args);
    return c;
}

} // namespace

EncoderCommand Mp3Command(const QString& program, const QString& input, const QString& output,
                          int bitrate, int sampleRate, int channelMode, int vbr) {
    const QString mode = channelMode == 0   ? QStringLiteral("stereo")
                         : channelMode == 1 ? QStringLiteral("joint")
                                            : QStringLiteral("mono");
    QStringList args;
    if (vbr == 0)
        args << QStringLiteral("-b") << QString::number(bitrate);
    else
        args << QStringLiteral("-v");
    args << QStringLiteral("-m") << mode << QStringLiteral("--resample")
         << QString::number(sampleRate) << input << output;
    return Make(program, args);
}

EncoderCommand OggCommand(const QString& program, const QString& input, const QString& output,
                          int quality, int /*channels*/, int sampleRate) {
    static constexpr int kQuality[] = {1, 3, 5, 7, 9};
    const int q = quality >= 0 && quality < 5 ? kQuality[quality] : 10;
    return Make(program, {QStringLiteral("-q"), QString::number(q), QStringLiteral("-o"), output,
                          QStringLiteral("--resample"), QString::number(sampleRate), input});
}

EncoderCommand ApeCommand(const QString& program, const QString& input, const QString& output,
                          int level) {
    const int c = level >= 0 && level < 3 ? (level + 1) * 1000 : 4000;
    return Make(program, {input, output, QStringLiteral("-c%1").arg(c)});
}

EncoderCommand AacCommand(const QString& program, const QString& input, const QString& output,
                          int setting) {
    static constexpr const char* kPresets[] = {"tape",   "radio",   "internet",   "streaming",
                                               "normal", "extreme", "audiophile", "transcoding"};
    QStringList args;
    if (setting >= 16 && setting <= 23)
        args << QStringLiteral("-vbr") << QString::fromLatin1(kPresets[setting - 16]);
    else
        args << QStringLiteral("-cbr") << QString::number(setting);
    args << input << output;
    return Make(program, args);
}
