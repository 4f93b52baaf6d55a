#include "RunProgram.h"

#include "Services.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {
namespace {

// An unlinked temporary file for one of the child's outputs.
int TempFile() {
    QByteArray name = QFile::encodeName(QDir::tempPath()) + "/quintrel-run-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd >= 0)
        ::unlink(name.constData());
    return fd;
}

QByteArray ReadAll(int fd) {
    QByteArray data;
    ::lseek(fd, 0, SEEK_SET);
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        data.append(buf, static_cast<qsizetype>(n));
    return data;
}

} // namespace

int RunProgram(const QString& program, const QStringList& args, QByteArray* out, QByteArray* err,
               int timeoutMs) {
    platform::ProcessArgv argv(program, args);

    const int outFd = TempFile();
    const int errFd = TempFile();
    if (outFd < 0 || errFd < 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0)
            ::dup2(null, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        ::execvp(argv.Get()[0], argv.Get());
        ::_exit(127);
    }
    int status = 0;
    bool ended = false;
    if (pid > 0) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!ended) {
            const pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid || (r < 0 && errno != EINTR)) {
                ended = r == pid;
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (out)
        *out = ReadAll(outFd);
    if (err)
        *err = ReadAll(errFd);
    ::close(outFd);
    ::close(errFd);
    if (!ended || !WIFEXITED(status))
        return -1;
    const int code = WEXITSTATUS(status);
    return code == 127 ? -1 : code;
}

} // namespace testsupport
