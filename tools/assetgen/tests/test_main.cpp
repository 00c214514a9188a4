// Runs every registered test of the asset generator and exits non-zero when any check failed.
#include "check.hpp"

#include <cstdio>

int main() {
    int failed_cases = 0;
    for (const check::Case& c : check::cases()) {
        const int failures_before = check::failures, checks_before = check::checks;
        c.run();
        if (check::checks == checks_before) {
            std::fprintf(stderr, "%s: made no checks\n", c.name);
            ++check::failures;
        }
        const bool ok = check::failures == failures_before;
        failed_cases += ok ? 0 : 1;
        std::printf("%-50s %s\n", c.name, ok ? "ok" : "FAILED");
    }
    std::printf("%zu tests, %d failed\n", check::cases().size(), failed_cases);
    return failed_cases == 0 ? 0 : 1;
}
