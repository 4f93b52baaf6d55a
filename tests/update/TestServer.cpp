#include "TestServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTcpServer>

QStringList ReceivedRequest::Values(const QString& name) const {
    QStringList values;
    for (const auto& [n, v] : headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            values << v;
    return values;
}

TestServer::TestServer(int ports) {
    WritePlan();
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("python3"),
                   {QStringLiteral(QUINTREL_TEST_SERVER), QStringLiteral("--ports"),
                    QString::number(ports), QStringLiteral("--plan"), dir_.filePath("plan.json"),
                    QStringLiteral("--log"), dir_.filePath("log.jsonl")});
    if (!process_.waitForStarted(10000))
        return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QList<QByteArray> words = process_.readLine().trimmed().split(' ');
    for (const QByteArray& w : words)
        if (const uint p = w.toUInt())
            ports_.push_back(quint16(p));
}

TestServer::~TestServer() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
    }
}

QString TestServer::Address(int i) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(Port(i));
}

void TestServer::Answer(const QString& path, const QJsonObject& answer, int i) {
    plan_.insert(QString::number(Port(i)) + path, answer);
    WritePlan();
}

void TestServer::WritePlan() {
    QSaveFile f(dir_.filePath("plan.json"));
    f.open(QIODevice::WriteOnly);
    f.write(QJsonDocument(plan_).toJson());
    f.commit();
}

std::vector<ReceivedRequest> TestServer::Requests() const {
    std::vector<ReceivedRequest> out;
    QFile f(dir_.filePath("log.jsonl"));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    while (!f.atEnd()) {
        const QJsonObject o = QJsonDocument::fromJson(f.readLine()).object();
        ReceivedRequest r;
        r.port = quint16(o.value("port").toInt());
        r.method = o.value("method").toString();
        r.path = o.value("path").toString();
        for (const QJsonValue& h : o.value("headers").toArray())
            r.headers.append({h.toArray().at(0).toString(), h.toArray().at(1).toString()});
        out.push_back(r);
    }
    return out;
}

quint16 ClosedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return s.serverPort(); // closed again when s goes
}
