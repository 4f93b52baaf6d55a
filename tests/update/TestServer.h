#pragma once
// A real HTTP server on loopback (tests/update/http_server.py) that answers
// from a plan the test sets and records every request it gets.

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <vector>

struct ReceivedRequest {
    quint16 port = 0;
    QString method;
    QString path;
    QList<QPair<QString, QString>> headers;
    // Every value of the header with this name (case-insensitive).
    QStringList Values(const QString& name) const;
};

class TestServer {
public:
    explicit TestServer(int ports = 1);
    ~TestServer();
    bool Started() const { return !ports_.empty(); }
    quint16 Port(int i = 0) const { return ports_.at(i); }
    QString Address(int i = 0) const;
    // What the server answers for a path on port i; unplanned paths get 404.
    void Answer(const QString& path, const QJsonObject& answer, int i = 0);
    std::vector<ReceivedRequest> Requests() const;

private:
    void WritePlan();
    QTemporaryDir dir_;
    QProcess process_;
    std::vector<quint16> ports_;
    QJsonObject plan_;
};

// A port on loopback that nothing listens on.
quint16 ClosedPort();
