// The tests' step of a store replacement: the hook they stop the process at.
#include "master/master.h"
#include "master/store_internal.h"

void (*store_step_hook)(const char* step) = nullptr;

void store_internal::Step(const char* step) {
    if (store_step_hook != nullptr) {
        store_step_hook(step);
    }
}
