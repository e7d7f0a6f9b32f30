// On POSIX the session's end arrives as a signal: SetSessionEndCallback watches for it.
#include "toolkit/toolkit.h"

int SetConsoleEndCallback(void (*)(int)) {
    return -1;
}
