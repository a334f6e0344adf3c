/* The baseline of bench/hook-latency: what starting any dynamically linked program costs. */
int main(void) {
    return 0;
}
