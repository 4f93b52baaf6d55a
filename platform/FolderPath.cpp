#include "FolderPath.h"

#include "Services.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

int MaxFolderPathLength(PathForm form) {
    // The drive form keeps its 260-character buffer; a POSIX path may be as
    // long as the system allows. Longer paths are refused, never cut short.
    return form == PathForm::Drive ? 259 : 4095;
}

bool IsValidFolderName(const QString& name) {
    if (name.isEmpty())
        return false;
    auto edge = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('.');
    };
    if (edge(name.front()) || edge(name.back()))
        return false;
    static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
    for (QChar c : name)
        if (forbidden.contains(c))
            return false;
    return true;
}

namespace {
bool FolderExists(const QString& path) {
    return QFileInfo(path).isDir();
}
} // namespace

int CheckFolderPath(const QString& path, bool checkOnly, PathForm form) {
    if (path.size() > MaxFolderPathLength(form))
        return kPathMalformed;
    const QChar sep = form == PathForm::Drive ? QLatin1Char('\\') : QLatin1Char('/');
    qsizetype rootLength = 1;
    if (form == PathForm::Drive) {
        if (path.size() < 3)
            return kPathMalformed;
        const QChar d = path[0];
        const bool letter = (d >= QLatin1Char('A') && d <= QLatin1Char('Z')) ||
                            (d >= QLatin1Char('a') && d <= QLatin1Char('z'));
        if (!letter || path[1] != QLatin1Char(':') || path[2] != sep)
            return kPathMalformed;
        rootLength = 3;
    } else if (path.isEmpty() || path[0] != sep) {
        return kPathMalformed;
    }

    if (path.size() == rootLength)
        return checkOnly || FolderExists(path) ? kPathValid : kPathCannotCreate;

    qsizetype pos = rootLength;
    for (;;) {
        qsizetype end = path.indexOf(sep, pos);
        if (end < 0)
            end = path.size();
        if (!IsValidFolderName(path.mid(pos, end - pos)))
            return kPathMalformed; // a doubled separator gives an empty name
        if (!checkOnly) {
            const QString level = path.left(end);
            QDir().mkdir(level);
            if (!FolderExists(level))
                return kPathCannotCreate;
        }
        if (end == path.size())
            return kPathValid;
        pos = end + 1;
        if (pos == path.size())
            return kPathMalformed; // trailing separator
    }
}

int CheckOutputFolder(const QString& path) {
    const QString invalid =
        QStringLiteral("The output folder:\n\n%1\n\nis invalid or not specified!");
    if (CheckFolderPath(path, true) == kPathMalformed) {
        messages().Show(invalid.arg(path), QString(), Icon::Warning);
        return 1;
    }
    if (QFileInfo::exists(path))
        return 0;
    const int answer = messages().Show(
        QStringLiteral("The output folder you selected:\n\n%1\n\ndoesn't exist, do you want to "
                       "create it?")
            .arg(path),
        QString(), Icon::Question, Buttons::YesNo);
    if (answer != IDYES)
        return -1;
    const int result = CheckFolderPath(path, false);
    if (result == kPathMalformed) {
        messages().Show(invalid.arg(path), QString(), Icon::Warning);
        return result;
    }
    if (result == kPathCannotCreate) {
        messages().Show(QStringLiteral("The output folder you selected:\n\n%1\n\ncan't be "
                                       "created! Please select a new one.")
                            .arg(path),
                        QString(), Icon::Warning);
        return result;
    }
    return 0;
}

} // namespace platform
