#include "GoogleStandin.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

static int signalPipe[2] = {-1, -1};

// Only write() is safe in a signal handler; the event loop picks the byte up and quits.
static void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("google-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local stand-in for Google's sign-in, user information, Blogger and photo services on 127.0.0.1.\n"
        "The first line of output is \"Listening on port N\"."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on (0: any free port)."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("JSON seed file (default: built in)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption clientIdOption(
        QStringLiteral("client-id"), QStringLiteral("OAuth client id to accept."), QStringLiteral("ID"));
    const QCommandLineOption secretOption(QStringLiteral("client-secret"),
                                          QStringLiteral("OAuth client secret to accept."),
                                          QStringLiteral("SECRET"));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("Keep the state in FILE: loaded at start when it exists (else seeded and written), "
                       "rewritten after each change."),
        QStringLiteral("FILE"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"), QStringLiteral("Print each request."));
    parser.addOptions({portOption, seedOption, clientIdOption, secretOption, stateOption, verboseOption});
    parser.process(app);

    bool ok = false;
    const uint port = parser.value(portOption).toUInt(&ok);
    if (!ok || port > 65535) {
        std::fprintf(stderr, "google-standin: invalid port \"%s\"\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    GoogleStandin standin;
    // Nothing here reads the request log; kept, it would hold every upload of a long session.
    standin.setRequestLogLimit(0);
    if (parser.isSet(seedOption)) {
        QString error;
        if (!standin.loadSeedFile(parser.value(seedOption), &error)) {
            std::fprintf(stderr, "google-standin: %s\n", qPrintable(error));
            return 2;
        }
    }
    const QString statePath = parser.value(stateOption);
    if (parser.isSet(stateOption) && statePath.isEmpty()) {
        std::fprintf(stderr, "google-standin: --state needs a file name\n");
        return 2;
    }
    // Any file at the path, even an empty or broken one, is the user's state: never seeded over.
    const bool resume = !statePath.isEmpty() && QFileInfo(statePath).exists();
    if (resume) {
        QString error;
        if (!standin.loadStateFile(statePath, &error)) {
            std::fprintf(stderr,
                         "google-standin: cannot load the state, so it stops rather than seed over it: %s\n"
                         "google-standin: mend or remove the file to go on\n",
                         qPrintable(error));
            return 2;
        }
        if (parser.isSet(seedOption))
            std::fprintf(stderr, "google-standin: the state in %s is used; --seed applies only without it\n",
                         qPrintable(statePath));
    }
    standin.setStateFile(statePath);
    if (parser.isSet(clientIdOption) || parser.isSet(secretOption)) {
        const StandinConfig config = standin.config();
        standin.setClient(parser.isSet(clientIdOption) ? parser.value(clientIdOption) : config.clientId,
                          parser.isSet(secretOption) ? parser.value(secretOption) : config.clientSecret);
    }
    if (parser.isSet(verboseOption)) {
        QObject::connect(&standin, &GoogleStandin::requestLogged, &app, [](const LoggedRequest& r) {
            std::printf("%s %s\n", r.method.constData(), r.target.constData());
            std::fflush(stdout);
        });
    }
    const quint16 bound = standin.start(quint16(port));
    if (bound == 0) {
        std::fprintf(stderr, "google-standin: cannot listen on port %u: %s\n", port,
                     qPrintable(standin.errorString()));
        return 1;
    }
    if (!statePath.isEmpty()) {
        // Written at once, so a state file that cannot be kept is known before anyone relies on it.
        QString error;
        if (!standin.saveState(&error)) {
            std::fprintf(stderr, "google-standin: cannot write the state: %s\n", qPrintable(error));
            standin.stop();
            return 2;
        }
    }
    // Ready for a stop before anyone learns the port: a caller may stop it right after reading it.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGTERM, onTerminate);
        std::signal(SIGINT, onTerminate);
    }
    std::printf("Listening on port %u\n", unsigned(bound));
    std::printf("Base address %s\n", qPrintable(standin.serverUrl().toString()));
    if (!standin.errorString().isEmpty())
        std::printf("%s\n", qPrintable(standin.errorString()));
    std::fflush(stdout);

    const int code = app.exec();
    standin.stop();
    return code;
}
