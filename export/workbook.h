// The workbook that the spreadsheet program opens, how excel_path names it, and the file that
// keeps the program's path between runs.
#pragma once

// excel_path holds the program's path followed by this.
constexpr char WORKBOOK_ARGUMENT[] = " chart.xls";
// The workbook's file name, handed to the spreadsheet program as its one argument.
constexpr const char* WORKBOOK = WORKBOOK_ARGUMENT + 1;
// The spreadsheet program's path as the operator chose it, read back at start-up.
constexpr const char* EXCEL_PATH_FILE = "excel_path.txt";
