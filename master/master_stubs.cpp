// Callbacks of the registration and list panels; filled in by the master library.
#include "master/master.h"

std::FILE* fp_model = nullptr;
std::FILE* fp_data = nullptr;
int file_opened = 0;
int registered_master_no = 0;
Point selected_cell;
int selected_row_index = 0;

int Master_setup(int, int, int, void*, int, int) { return 0; }
int Master_upload(int, int, int, void*, int, int) { return 0; }
int Master_download(int, int, int, void*, int, int) { return 0; }
int Master_save(int, int, int, void*, int, int) { return 0; }
int Master_quit(int, int, int, void*, int, int) { return 0; }
int Model(int, int, int, void*, int, int) { return 0; }
int Corona(int, int, int, void*, int, int) { return 0; }
int Delay_time(int, int, int, void*, int, int) { return 0; }
int Master_list(int, int, int, void*, int, int) { return 0; }
int TableCB(int, int, int, void*, int, int) { return 0; }
void getCell(void*) {}
int Master_select(int, int, int, void*, int, int) { return 0; }
int Master_delete(int, int, int, void*, int, int) { return 0; }
int Master_cancel(int, int, int, void*, int, int) { return 0; }
