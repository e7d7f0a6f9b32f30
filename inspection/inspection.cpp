#include "inspection/inspection.h"

int Main_start(int, int, int, void*, int, int) { return 0; }

int Main_stop(int, int, int, void*, int, int) { return 0; }
