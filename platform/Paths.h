#pragma once
// Where things live: the program's own folder, the per-user configuration
// folder and the private folder for temporary files.

#include <QString>

namespace platform {

// The folder of the running program, without a trailing "/".
QString InstallDir();
// Tests point InstallDir at a folder of their own; an empty path restores it.
void SetInstallDirForTesting(const QString& dir);

// $XDG_CONFIG_HOME/Quintrel (created on demand): start-up's marker files and
// the component registry.
QString ConfigDir();

// A private folder for temporary files (mode 0700), under $XDG_RUNTIME_DIR
// or else the cache folder. Created on demand; empty if it cannot be made
// private.
QString TempDir();

} // namespace platform
