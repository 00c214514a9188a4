// A minimal test harness so the asset generator's tests need nothing beyond the standard library.
// A test that runs no CHECK at all is reported as a failure.
#pragma once

#include <cstdio>
#include <vector>

namespace check {

struct Case {
    const char* name;
    void (*run)();
};

inline std::vector<Case>& cases() {
    static std::vector<Case> all;
    return all;
}
inline int failures = 0;
inline int checks = 0;

inline bool record(bool ok, const char* file, int line, const char* text) {
    ++checks;
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "%s:%d: CHECK(%s) failed\n", file, line, text);
    }
    return ok;
}

}  // namespace check

#define TEST(name)                                                                           \
    static void name();                                                                      \
    [[maybe_unused]] static const bool name##_registered = (check::cases().push_back({#name, name}), true); \
    static void name()

#define CHECK(cond) check::record(static_cast<bool>(cond), __FILE__, __LINE__, #cond)
