// Two real processes of the program: the second is refused and ends, the
// first goes on undisturbed.

#include "SingleInstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

TEST(SingleInstance, SecondProgramIsRefusedWhileTheFirstRuns) {
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QUINTREL_HEADLESS"), QStringLiteral("1"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(QUINTREL_PROGRAM), {});
    ASSERT_TRUE(first.waitForStarted(10000));

    // The guard's name as the program computes it for that configuration folder.
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString name = platform::SingleInstanceGuard::Name();
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        QLocalSocket probe;
        probe.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        probe.connectToServer(name);
        held = probe.waitForConnected(100);
        if (!held)
            QThread::msleep(50);
    }
    ASSERT_TRUE(held) << "the first program never claimed the guard: "
                      << first.readAllStandardError().toStdString();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(QUINTREL_PROGRAM), {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(
        second.readAllStandardError().contains("Another Quintrel Programme is running now!"));

    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);

    // Once the first has gone, however it went, the guard is free again.
    platform::SingleInstanceGuard guard;
    EXPECT_TRUE(guard.Claim());
}
