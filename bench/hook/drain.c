/* The baseline of the large cases of bench/hook-latency: what taking the payload off the pipe
 * costs a program that does nothing else with it. */
#include <unistd.h>

static char buffer[1 << 16];

int main(void) {
    while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
