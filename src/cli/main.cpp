// quor-run: Quor without its window.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/quor_run.h"

int main(int argc, char** argv) {
    // Started with standard input, output or error closed (`2>&-`), the
    // first file the run opens would take their place and receive its
    // messages: they are given the null device instead.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDWR) != fd) return 1;
    return quor::cli::runQuor(std::vector<std::string>(argv + 1, argv + argc));
}
