#include "DialogRunner.h"

#include <QDialog>

namespace audio {
namespace {
DialogRunner& Installed() {
    static DialogRunner runner;
    return runner;
}
} // namespace

int RunDialog(QDialog& dialog) {
    if (Installed())
        return Installed()(dialog);
    return dialog.exec();
}

DialogRunner SetDialogRunner(DialogRunner runner) {
    DialogRunner previous = std::move(Installed());
    Installed() = std::move(runner);
    return previous;
}

} // namespace audio
