#include "SingleInstance.h"

#include "Paths.h"

#include <QCryptographicHash>
#include <QLocalServer>

#include <unistd.h>

namespace platform {

QString SingleInstanceGuard::Name() {
    // One instance per user and configuration folder: separate test setups
    // (each with their own XDG_CONFIG_HOME) do not see each other.
    const QByteArray hash =
        QCryptographicHash::hash(ConfigDir().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("CSystemGuarder-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstanceGuard::SingleInstanceGuard() = default;
SingleInstanceGuard::~SingleInstanceGuard() = default;

bool SingleInstanceGuard::Claim() {
    if (server_)
        return true;
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    // Binding an abstract name fails while another process holds it; there is
    // no stale file to clean up after a crash.
    if (!server->listen(Name()))
        return false;
    server_ = std::move(server);
    return true;
}

bool SingleInstanceGuard::Held() const {
    return server_ != nullptr;
}

} // namespace platform
