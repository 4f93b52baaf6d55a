#pragma once
// The single-instance guard: a per-user abstract-namespace local socket named
// from "CSystemGuarder". The system releases it when the process ends, however
// it ends, the way a named mutex goes with its owner.

#include <QString>

#include <memory>

class QLocalServer;

namespace platform {

class SingleInstanceGuard {
public:
    // The guard's name for this user and configuration folder.
    static QString Name();

    SingleInstanceGuard();
    ~SingleInstanceGuard();
    // True when this process now holds the guard; false when another holds it.
    bool Claim();
    bool Held() const;

private:
    std::unique_ptr<QLocalServer> server_;
};

} // namespace platform
