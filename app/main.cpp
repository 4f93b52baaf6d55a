#include "CQuintrelApp.h"
#include "CQuintrelDlg.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quintrel"));

    CQuintrelApp::Environment env = CQuintrelApp::SystemEnvironment();
    // QUINTREL_START_PAGE names a tab to open on (screenshots, demonstrations).
    const QString startPage = qEnvironmentVariable("QUINTREL_START_PAGE");
    if (!startPage.isEmpty()) {
        env.runMainWindow = [startPage] {
            CQuintrelDlg dlg;
            dlg.ShowPageByTabText(startPage);
            dlg.exec();
        };
    }
    CQuintrelApp theApp(std::move(env));
    theApp.InitInstance();
    return 0;
}
