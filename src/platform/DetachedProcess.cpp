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

// The environment the program was started with, less the engine's variables named as added for its own
// engine and that list itself. Whatever is set in the process since (the web engine sets some of its own
// once it runs, such as force_s3tc_enable) is the process's, not the user's.
QByteArrayList startingEnvironment()
{
    const char* added = std::getenv(AddedEngineVariables);
    const QByteArrayList addedNames = QByteArray(added ? added : "").simplified().split(' ');
    QByteArrayList found;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray variable(*entry);
        const QByteArray name = nameOf(variable);
        if (name != AddedEngineVariables && !(isEngineVariable(variable) && addedNames.contains(name))) {
            found << variable;
        }
    }
    return found;
}

// Read as the program is loaded, before main() and before the web engine starts.
const QByteArrayList StartingEnvironment = startingEnvironment();

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
    QByteArrayList environment = StartingEnvironment;
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
