#include "export/export.h"

int Excel(int, int, int, void*, int, int) { return 0; }

int Excel_path_select(int, int, int, void*, int, int) { return 0; }
