// The workbook that the spreadsheet program opens, and how excel_path names it.
#pragma once

// The workbook's file name, handed to the spreadsheet program as its one argument.
constexpr const char* WORKBOOK = "chart.xls";
// excel_path holds the program's path followed by this.
constexpr const char* WORKBOOK_ARGUMENT = " chart.xls";
