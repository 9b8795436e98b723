// Holds many connections open on a local socket, as a hostile program of the same user could:
// SocketFlood <socket path> <count>. Every tenth connection also sends a megabyte of garbage. Prints
// "held <n>" once they are all made, then keeps them until its standard input closes.
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: SocketFlood <socket path> <count>\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, argv[1], sizeof(address.sun_path) - 1);
    std::vector<int> held;
    std::vector<char> garbage(1 << 20, 'x');
    for (int i = 0; i < count; ++i) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            std::fprintf(stderr, "connection %d failed: %s\n", i, std::strerror(errno));
            return 1;
        }
        if (i % 10 == 0) {
            // Whatever fits without waiting for the reader.
            const timeval shortWait{0, 10000};
            setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &shortWait, sizeof(shortWait));
            (void)send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL);
        }
        held.push_back(fd);
    }
    std::printf("held %zu\n", held.size());
    std::fflush(stdout);
    char c;
    while (read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}
