#pragma once
// Runs the page's modal dialogs. The program shows them with exec(); tests
// install a runner that drives a dialog through its handlers instead.

#include <functional>

class QDialog;

namespace audio {

using DialogRunner = std::function<int(QDialog&)>;

// Runs an initialised dialog and returns its result (QDialog::Accepted is 1).
int RunDialog(QDialog& dialog);
// Installs a runner (empty: exec again); returns the previous one.
DialogRunner SetDialogRunner(DialogRunner runner);

} // namespace audio
