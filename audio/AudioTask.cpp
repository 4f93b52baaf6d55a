#include "AudioTask.h"

QString FormatExtension(int format) {
    static constexpr const char* kExt[] = {"WAV", "MP3", "WMA", "OGG", "APE", "AAC"};
    return format >= 0 && format < 6 ? QString::fromLatin1(kExt[format]) : QString();
}

QString SourceExtension(const QString& path) {
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? path : path.mid(dot + 1)).toUpper();
}

QString OutputFileFor(const QString& outputFolder, const QString& sourcePath, int format) {
    const int slash = sourcePath.lastIndexOf(QLatin1Char('/'));
    QString name = sourcePath.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    name = dot < 0 ? name + QLatin1Char('.') : name.left(dot + 1);
    QString folder = outputFolder;
    if (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder + QLatin1Char('/') + name + FormatExtension(format);
}
