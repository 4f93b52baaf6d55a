#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
QString& InstallDirOverride() {
    static QString dir;
    return dir;
}

QString EnvDir(const char* name, const QString& fallback) {
    const QString v = qEnvironmentVariable(name);
    return v.startsWith(QLatin1Char('/')) ? v : fallback;
}

// Creates dir (and parents), then insists on an owned, 0700 folder.
bool MakePrivate(const QString& dir) {
    if (!QDir().mkpath(dir))
        return false;
    const QByteArray path = QFile::encodeName(dir);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 0777) == 0700 || ::chmod(path.constData(), 0700) == 0;
}
} // namespace

QString InstallDir() {
    if (!InstallDirOverride().isEmpty())
        return InstallDirOverride();
    return QCoreApplication::applicationDirPath();
}

void SetInstallDirForTesting(const QString& dir) {
    InstallDirOverride() = dir;
}

QString ConfigDir() {
    const QString base = EnvDir("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
    const QString dir = base + QStringLiteral("/Quintrel");
    QDir().mkpath(dir);
    return dir;
}

QString TempDir() {
    QString dir;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')) && QFileInfo(runtime).isWritable())
        dir = runtime + QStringLiteral("/quintrel");
    else
        dir = EnvDir("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache")) +
              QStringLiteral("/quintrel/tmp");
    return MakePrivate(dir) ? dir : QString();
}

} // namespace platform
