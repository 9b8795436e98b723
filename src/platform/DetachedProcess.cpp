#include "DetachedProcess.h"

#include <QByteArrayList>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool isEngineVariable(const char* entry)
{
    return std::strncmp(entry, "QTWEBENGINE_", 12) == 0 || std::strncmp(entry, "QT_WEBENGINE_", 13) == 0;
}

std::vector<std::string> engineVariablesNow()
{
    std::vector<std::string> found;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (isEngineVariable(*entry)) {
            found.emplace_back(*entry);
        }
    }
    return found;
}

// Read as the program is loaded, before main(): whatever Penhollow later sets for its own web engine is not
// in it.
const std::vector<std::string> StartingEngineVariables = engineVariablesNow();

// Ours, but with the web engine's variables as the program was started with them: the browser must not run
// with the flags, or without the sandbox, that Penhollow's own engine was given.
QByteArrayList environmentToHandOn()
{
    QByteArrayList entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!isEngineVariable(*entry)) {
            entries << QByteArray(*entry);
        }
    }
    for (const std::string& entry : StartingEngineVariables) {
        entries << QByteArray::fromStdString(entry);
    }
    return entries;
}

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
    QByteArrayList environment = environmentToHandOn();
    std::vector<char*> envp;
    for (QByteArray& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
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
        ::execve(argv[0], argv.data(), envp.data());
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
