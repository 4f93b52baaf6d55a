#pragma once
// Output folder rules: which paths are well formed, creating missing levels,
// and the check every run and the folder chooser make before using a folder.

#include <QString>

namespace platform {

enum class PathForm {
    Posix, // "/" then names separated by single "/"; only the root ends with "/"
    Drive, // letter, ":", "\" then names separated by single "\"; only the root ends with "\"
};

#ifdef _WIN32
inline constexpr PathForm kNativePathForm = PathForm::Drive;
#else
inline constexpr PathForm kNativePathForm = PathForm::Posix;
#endif

// Longest path the rules accept, in characters.
int MaxFolderPathLength(PathForm form);

// Not empty, no leading or trailing blank, tab or dot, none of " * / : < > ? \ |.
bool IsValidFolderName(const QString& name);

enum FolderPathResult { kPathValid = 0, kPathMalformed = 1, kPathCannotCreate = 2 };

// 0 valid, 1 not of the required form, 2 a level cannot be created. In
// create mode (checkOnly false) every missing level is created in turn.
int CheckFolderPath(const QString& path, bool checkOnly, PathForm form = kNativePathForm);

// 0 usable (possibly just created), 1 malformed, 2 cannot be created (both
// reported in a message box), -1 missing and the user declined to create it.
int CheckOutputFolder(const QString& path);

} // namespace platform
