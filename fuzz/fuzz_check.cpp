#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_targets.h"

void (*fuzz_failure_handler)(const char* what) = nullptr;

void FuzzFail(const char* what) {
    if (fuzz_failure_handler != nullptr) {
        fuzz_failure_handler(what);
    }
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
