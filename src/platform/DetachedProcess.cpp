#include "DetachedProcess.h"

#include <QByteArrayList>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Async-signal-safe: runs between fork and exec.
void closeDescriptorsFrom(int first, int upTo)
{
    if (::close_range(unsigned(first), ~0U, 0) == 0) {
        return;
    }
    // Kernels before 5.9.
    for (int fd = first; fd < upTo; ++fd) {
        ::close(fd);
    }
}

// Async-signal-safe. The web engine ignores SIGPIPE and threads block some signals; exec keeps both, and a
// browser started with them would not end as it should.
void resetSignals()
{
    struct sigaction byDefault
    {
    };
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            ::sigaction(signal, &byDefault, nullptr);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

} // namespace

bool DetachedProcess::start(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        return false;
    }
    // Everything the new process needs is made here: after fork only async-signal-safe calls are made.
    QByteArrayList storage{QFile::encodeName(path)};
    for (const QString& argument : arguments) {
        storage << argument.toLocal8Bit();
    }
    std::vector<char*> argv;
    for (QByteArray& item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);
    struct rlimit limit
    {
    };
    const int upTo = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                         ? int(std::min<rlim_t>(limit.rlim_cur, 65536))
                         : 65536;

    const pid_t middle = ::fork();
    if (middle < 0) {
        return false;
    }
    if (middle == 0) {
        // The middle process ends at once: the program is then nobody's child here, never a zombie.
        const pid_t started = ::fork();
        if (started != 0) {
            ::_exit(started < 0 ? 1 : 0);
        }
        ::setsid();
        resetSignals();
        closeDescriptorsFrom(3, upTo);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(middle, &status, 0);
    } while (waited < 0 && errno == EINTR);
    // Reaped by another handler first: its status is lost, and it ended at once either way.
    return waited < 0 ? errno == ECHILD : WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
