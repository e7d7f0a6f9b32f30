// Callbacks of the registration panel; filled in by the master library.
#include "master/master.h"

int Master_setup(int, int, int, void*, int, int) {
    return 0;
}
int Master_upload(int, int, int, void*, int, int) {
    return 0;
}
int Master_download(int, int, int, void*, int, int) {
    return 0;
}
int Master_save(int, int, int, void*, int, int) {
    return 0;
}
int Master_quit(int, int, int, void*, int, int) {
    return 0;
}
int Model(int, int, int, void*, int, int) {
    return 0;
}
int Corona(int, int, int, void*, int, int) {
    return 0;
}
int Delay_time(int, int, int, void*, int, int) {
    return 0;
}
