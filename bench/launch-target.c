/* The target that the launch-latency benchmark starts through the launcher:
 * it appends the moment it was started (CLOCK_REALTIME, nanoseconds) to the
 * file named by TOVLAN_BENCH_STAMPS and ends. Compiled, so that the time
 * measured is the launcher's, not a shell's start-up. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int main(void) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const char* path = getenv("TOVLAN_BENCH_STAMPS");
    if (!path)
        return 2;
    char line[32];
    const int length =
        snprintf(line, sizeof line, "%lld\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec);
    const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd < 0)
        return 1;
    const int written = (int)write(fd, line, (size_t)length);
    close(fd);
    return written == length ? 0 : 1;
}
