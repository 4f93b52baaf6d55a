#include "Recorders.h"

#include "CFolderChooser.h"
#include "CKSFileDialog.h"

namespace testing_support {

MessageRecorder::MessageRecorder() : previous_(platform::Install(this)) {}
MessageRecorder::~MessageRecorder() {
    platform::Install(previous_);
}

int MessageRecorder::Show(const QString& text, const QString& caption, platform::Icon icon,
                          platform::Buttons buttons) {
    shown.push_back({text, caption, icon, buttons});
    if (!answers_.empty()) {
        const int a = answers_.front();
        answers_.pop_front();
        return a;
    }
    return buttons == platform::Buttons::Ok || buttons == platform::Buttons::OkCancel
               ? platform::IDOK
               : platform::IDYES;
}

ChooserRecorder::ChooserRecorder() : previous_(platform::Install(this)) {}
ChooserRecorder::~ChooserRecorder() {
    platform::Install(previous_);
}

int ChooserRecorder::RunFolderChooser(CFolderChooser& chooser) {
    ++folderRuns;
    return onFolder ? onFolder(chooser) : 0;
}

int ChooserRecorder::RunFileDialog(CKSFileDialog& dialog) {
    ++fileRuns;
    return onFile ? onFile(dialog) : 2;
}

ShellRecorder::ShellRecorder() : previous_(platform::Install(this)) {}
ShellRecorder::~ShellRecorder() {
    platform::Install(previous_);
}

SystemRecorder::SystemRecorder() : previous_(platform::Install(this)) {}
SystemRecorder::~SystemRecorder() {
    platform::Install(previous_);
}

} // namespace testing_support
