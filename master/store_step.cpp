// The station's step of a store replacement: nothing to do.
#include "master/store_internal.h"

void store_internal::Step(const char* /*step*/) {}
