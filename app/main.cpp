// Process entry: the engine comes up before the station's main and goes down after it.
#include "app/surge.h"
#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
    if (InitRuntimeEngine(argc, argv) == 0) {
        return -1;
    }
    const int exitCode = surge_main(argc, argv);
    CloseRuntimeEngine();
    return exitCode;
}
