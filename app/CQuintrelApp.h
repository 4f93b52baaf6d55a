#pragma once
// The application object and its start-up: single instance, environment
// checks, component registration, then the main window until it closes.

#include "ComponentRegistry.h"
#include "SingleInstance.h"

#include <QString>
#include <QStringList>

#include <functional>

class CQuintrelApp {
public:
    struct DirectXVersion {
        bool ok = false;
        int second = 0;
        int third = 0;
    };

    struct RegistrationEntry {
        const char* file;
        bool inInstallDir; // otherwise the control folder of the platform
    };
    // The component files registered at every start, in order; entry 13 is
    // the media control, entry 17 the CD ripping control.
    static const RegistrationEntry kRegistrationTable[17];
    static constexpr int kMediaControlEntry = 12; // 0-based position of entry 13

    // Everything start-up asks of the machine, so tests can stand in for it.
    struct Environment {
        QString installDir;
        QString markerDir;          // where the marker files live
        QString controlDir;         // where the CD ripping control's library lives
        QStringList cdLayerFolders; // searched in order for cdLayerFile
        QString cdLayerFile;
        std::function<DirectXVersion()> directX;
        std::function<automation::SelfRegistration(const QString& path)> registerServer;
        std::function<void()> runMainWindow;
    };

    // The machine as it is: the system's libcdio, no DirectX key (passes),
    // component libraries beside the program, the real main window.
    static Environment SystemEnvironment();

    explicit CQuintrelApp(Environment env);
    // Runs every start-up step; always returns false (the program then ends).
    bool InitInstance();

    // What happened, for tests and diagnostics.
    enum class Outcome { NotStarted, SecondInstance, NoCdLayer, NoMediaRuntime, MainWindowRan };
    Outcome outcome() const { return outcome_; }
    const QStringList& registered() const { return registered_; }

    static constexpr const char* kAspiMarker = "ASFlagCS.ini";
    static constexpr const char* kDirectXMarker = "DXFlagCS.ini";

private:
    bool CheckCdLayer();
    void CheckDirectX();
    bool RegisterComponents();

    Environment env_;
    platform::SingleInstanceGuard guard_;
    Outcome outcome_ = Outcome::NotStarted;
    QStringList registered_;
};
