// The fetcher against a real HTTP server on loopback.

#include "FetchWebFile.h"
#include "TestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

using update::FetchSettings;
using update::FetchWebFile;

namespace {

const char* const kAccept =
    "audio/x-aiff, audio/basic, audio/midi, audio/mpeg, audio/wav, image/jpeg, image/gif, "
    "image/jpg, image/png, image/mng, image/bmp, text/plain, text/html, text/htm";

QJsonObject Reply(int status, const QString& body = QString()) {
    return QJsonObject{{"status", status}, {"body", body}};
}

QJsonObject Redirect(int status, const QString& location) {
    return QJsonObject{{"status", status},
                       {"headers", QJsonArray{QJsonArray{"Location", location}}}};
}

class Fetch : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Started()); }

    int Get(const std::string& name = "csversion.txt", quint16 port = 0) {
        return FetchWebFile("Tessary", "127.0.0.1", port ? port : server.Port(), name, settings);
    }
    QString Local(const QString& name = QStringLiteral("csversion.txt")) const {
        return dir.filePath(name);
    }
    QByteArray Contents(const QString& name = QStringLiteral("csversion.txt")) const {
        QFile f(Local(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    void WriteOlderCopy() {
        QFile f(Local());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("7\n");
    }
    // Nothing but the expected files: no half-written copies left over.
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TestServer server{2};
    QTemporaryDir dir;
    FetchSettings settings{dir.path().toStdString()};
};

TEST_F(Fetch, StoresTheBodyWithTheFixedRequest) {
    // Bytes are stored as sent, CR LF and all.
    server.Answer("/csversion.txt", Reply(200, "13\r\nsecond line\n"));
    EXPECT_EQ(Get(), 200);
    EXPECT_EQ(Contents(), QByteArray("13\r\nsecond line\n"));
    EXPECT_EQ(Files(), QStringList{"csversion.txt"});

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].path, "/csversion.txt");
    EXPECT_EQ(requests[0].Values("Accept"), QStringList{kAccept});
    EXPECT_EQ(requests[0].Values("User-Agent"), QStringList{"GetWebFile/1.0"});
    EXPECT_TRUE(requests[0].Values("Referer").isEmpty());
}

TEST_F(Fetch, BodySizesAndBrokenTransfers) {
    struct Case {
        const char* what;
        QJsonObject answer;
        int result;
        qint64 storedSize; // -1: no file
    } cases[] = {
        {"empty body", Reply(200), 200, 0},
        {"many chunks up to the limit", {{"bodySize", 65536}}, 200, 65536},
        {"one byte over, announced", {{"bodySize", 65537}}, 0, -1},
        {"one byte over, not announced", {{"bodySize", 65537}, {"contentLength", -1}}, 0, -1},
        {"connection lost mid-body", {{"bodySize", 5000}, {"sendBytes", 2000}}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(Local());
        server.Answer("/csversion.txt", c.answer);
        EXPECT_EQ(Get(), c.result);
        if (c.storedSize < 0) {
            EXPECT_TRUE(Files().isEmpty()) << Files().join(' ').toStdString();
        } else {
            EXPECT_EQ(QFileInfo(Local()).size(), c.storedSize);
            EXPECT_EQ(Files(), QStringList{"csversion.txt"});
        }
    }
}

TEST_F(Fetch, FailuresKeepAnOlderCopy) {
    struct Case {
        const char* what;
        QJsonObject answer;
        int result;
    } cases[] = {
        {"404", Reply(404, "not here"), 404},
        {"500", Reply(500), 500},
        {"too large", {{"bodySize", 70000}}, 0},
        {"cut off", {{"bodySize", 5000}, {"sendBytes", 100}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteOlderCopy();
        server.Answer("/csversion.txt", c.answer);
        EXPECT_EQ(Get(), c.result);
        EXPECT_EQ(Contents(), QByteArray("7\n"));
        EXPECT_EQ(Files(), QStringList{"csversion.txt"});
    }
}

TEST_F(Fetch, Status401ReturnsWithoutReadingTheBody) {
    // The body is announced but never comes: reading it would wait for the
    // server to give up.
    server.Answer("/csversion.txt",
                  {{"status", 401}, {"contentLength", 1000}, {"holdSeconds", 20}});
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Get(), 401);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(Fetch, FollowsOneRedirectToAnotherServer) {
    server.Answer("/csversion.txt", Redirect(302, server.Address(1) + "/files/v2.txt"));
    server.Answer("/files/v2.txt", Reply(200, "21\n"), 1);
    EXPECT_EQ(Get(), 200);
    // Stored under the requested name, not the target's.
    EXPECT_EQ(Contents(), QByteArray("21\n"));
    EXPECT_EQ(Files(), QStringList{"csversion.txt"});

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].port, server.Port(1));
    EXPECT_EQ(requests[1].path, "/files/v2.txt");
    EXPECT_EQ(requests[1].Values("Accept"), QStringList{kAccept});
    // No GetWebFile line on the second request: the agent name goes out.
    EXPECT_EQ(requests[1].Values("User-Agent"), QStringList{"Tessary"});
}

TEST_F(Fetch, RedirectsThatAreNotFollowed) {
    const QJsonArray lowerCase{QJsonArray{"location", server.Address(1) + "/v"}};
    struct Case {
        const char* what;
        QJsonObject first;
        int result;
        size_t requests;
    } cases[] = {
        {"second redirect is the result", Redirect(302, server.Address(1) + "/again"), 302, 2},
        {"relative target", Redirect(301, "/elsewhere/csversion.txt"), 0, 1},
        {"no Location line", Reply(303), 0, 1},
        {"Location in other case", {{"status", 302}, {"headers", lowerCase}}, 0, 1},
        {"not a web address", Redirect(302, "ftp://127.0.0.1/csversion.txt"), 0, 1},
        {"redirect to a 404", Redirect(303, server.Address(1) + "/gone"), 404, 2},
    };
    server.Answer("/again", Redirect(302, server.Address(0) + "/third"), 1);
    server.Answer("/v", Reply(200, "1"), 1);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QStringLiteral("case%1.txt").arg(++n);
        server.Answer("/" + name, c.first);
        const size_t before = server.Requests().size();
        EXPECT_EQ(Get(name.toStdString()), c.result);
        EXPECT_EQ(server.Requests().size() - before, c.requests);
        EXPECT_TRUE(Files().isEmpty());
    }
    // Nothing followed the second redirect.
    for (const auto& r : server.Requests())
        EXPECT_NE(r.path, "/third");
}

TEST_F(Fetch, RefusedNamesAreNeverRequested) {
    for (const char* name : {"setup.exe", "x.com", "a.dll", "run.bat", "k.sys", "s.inf", "exe",
                             "../csversion.txt", "a/b.txt", "..", "", "bad\r\nname.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Get(name), 0);
    }
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

    // The endings are compared exactly: other cases and short names go out.
    for (const char* name : {"setup.EXE", "a.Dll", "ex"})
        EXPECT_EQ(Get(name), 404) << name;
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(Fetch, ClosedPortFailsAtOnce) {
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Get("csversion.txt", ClosedPort()), 0);
    EXPECT_LT(t.elapsed(), 900); // a refusal is not retried
    EXPECT_EQ(FetchWebFile("Tessary", "no-such-host.invalid", 80, "csversion.txt", settings), 0);
    EXPECT_TRUE(Files().isEmpty());
}

// A listening socket whose queue is full: further connection attempts are
// never answered, so they run into the connect time-out.
struct Unanswering {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    quint16 port = 0;
    Unanswering() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(listener, 0);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        ::connect(filler, reinterpret_cast<sockaddr*>(&a), len);
    }
    ~Unanswering() {
        ::close(filler);
        ::close(listener);
    }
};

TEST_F(Fetch, TimedOutConnectIsTriedOnceMoreAfterTheBackOff) {
    Unanswering host;
    settings.connectTimeoutMs = 300;
    settings.connectBackOffMs = 400;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Get("csversion.txt", host.port), 0);
    EXPECT_GE(t.elapsed(), 2 * 300 + 400);
    EXPECT_LT(t.elapsed(), 5000);

    settings.connectRetries = 0;
    t.restart();
    EXPECT_EQ(Get("csversion.txt", host.port), 0);
    EXPECT_LT(t.elapsed(), 300 + 400);
}

TEST_F(Fetch, SilentServerAndCancelEndTheWait) {
    server.Answer("/csversion.txt", {{"silentSeconds", 20}});
    settings.stallSeconds = 1;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(Get(), 0);
    EXPECT_LT(t.elapsed(), 5000);

    std::atomic<bool> cancel{false};
    settings.stallSeconds = 0;
    settings.cancel = &cancel;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    t.restart();
    EXPECT_EQ(Get(), 0);
    stopper.join();
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(Fetch, LocalFileFailuresAreThrownWithTheSystemError) {
    server.Answer("/csversion.txt", Reply(200, "13\n"));
    struct Case {
        const char* what;
        std::string localDir;
        int error;
    } cases[] = {
        {"folder missing", dir.filePath("missing").toStdString(), ENOENT},
        {"a folder in the file's place", dir.path().toStdString(), EISDIR},
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("csversion.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.localDir = c.localDir;
        try {
            Get();
            ADD_FAILURE() << "no error";
        } catch (const update::LocalFileError& e) {
            EXPECT_EQ(e.code().value(), c.error);
            EXPECT_EQ(e.path(), c.localDir + "/csversion.txt");
            EXPECT_EQ(e.reason(), std::system_category().message(c.error));
        }
    }
    EXPECT_TRUE(Files().isEmpty()) << Files().join(' ').toStdString();
}

} // namespace
