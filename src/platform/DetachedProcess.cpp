#include "DetachedProcess.h"

#include <QByteArrayList>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Names, separated by spaces, of the engine's variables whoever started Penhollow (scripts/run) set for
// Penhollow's own engine: not the user's, so handed on to nobody.
constexpr char AddedEngineVariables[] = "PENHOLLOW_ADDED_ENGINE_VARIABLES";

bool isEngineVariable(const QByteArray& entry)
{
    return entry.startsWith("QTWEBENGINE_") || entry.startsWith("QT_WEBENGINE_");
}

QByteArray nameOf(const QByteArray& entry)
{
    return entry.left(entry.indexOf('='));
}

// The engine's variables as the program was started with them, less those named as added.
QByteArrayList usersEngineVariables()
{
    const char* added = std::getenv(AddedEngineVariables);
    const QByteArrayList addedNames = QByteArray(added ? added : "").simplified().split(' ');
    QByteArrayList found;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray variable(*entry);
        if (isEngineVariable(variable) && !addedNames.contains(nameOf(variable))) {
            found << variable;
        }
    }
    return found;
}

// Read as the program is loaded, before main(): what Penhollow later sets for its own engine is not in it.
const QByteArrayList StartingEngineVariables = usersEngineVariables();

// Ours, with the engine's variables as the user started Penhollow with them: a browser must not run with
// the flags, or without the sandbox, that Penhollow's own engine was given.
QByteArrayList environmentToHandOn()
{
    QByteArrayList entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray variable(*entry);
        if (!isEngineVariable(variable) && nameOf(variable) != AddedEngineVariables) {
            entries << variable;
        }
    }
    return entries + StartingEngineVariables;
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
