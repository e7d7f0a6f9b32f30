// The master library: the store of registered masters, the registration panel and the master
// list panel.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "values/master_record.h"

// ---- The store ----------------------------------------------------------------------------
// "model_name.dat" holds one line of parameters per master and "model_wave.dat" one 300-byte
// wave block per master, in the same order. A record is the n-th line together with the n-th
// block; its position is its only identifier.

// The open store (open exactly while the list panel is shown, and during a save).
extern std::FILE* fp_model;
extern std::FILE* fp_data;
extern int file_opened;

constexpr const char* MODEL_NAME_FILE = "model_name.dat";
constexpr const char* MODEL_WAVE_FILE = "model_wave.dat";
constexpr const char* SAVE_TEMP_NAME_FILE = "temp_model_name.dat";
constexpr const char* SAVE_TEMP_WAVE_FILE = "temp_model_wave.dat";
constexpr const char* DELETE_TEMP_NAME_FILE = "temp_name.dat";
constexpr const char* DELETE_TEMP_WAVE_FILE = "temp_wave.dat";
constexpr const char* COMMIT_MARKER_FILE = "model_commit.dat";
constexpr const char* COMMIT_MARKER_TEMP_FILE = "temp_commit.dat";
// Where a rewrite puts what it cannot read, rather than drop it.
constexpr const char* SET_ASIDE_FILE = "model_damaged.dat";

constexpr const char* STORE_WARNING_TITLE = WARNING_TITLE;
constexpr const char* STORE_OPEN_FAILED_TEXT =
    "Master 파일을 읽을 수 없습니다.\n폴더와 파일의 권한을 확인하십시요.";
constexpr const char* STORE_WRITE_FAILED_TEXT =
    "Master 파일을 저장할 수 없습니다.\n디스크 공간과 폴더의 권한을 확인하십시요.";
constexpr const char* STORE_DAMAGED_TEXT = "Master 파일이 손상되었습니다.";
constexpr const char* STORE_INTERRUPTED_TEXT =
    "Master 파일의 변경이 끝나지 않은 채 남아 있습니다.\n"
    "어느 파일이 Master 인지 알 수 없어 저장과 삭제를 하지 않습니다.\n"
    "다음 파일을 확인하십시요:";
constexpr const char* STORE_SET_ASIDE_TEXT =
    "Master 파일이 손상되었습니다.\n읽을 수 없는 부분을 model_damaged.dat 파일에 옮겨 두었습니다.";

// Each operation below reports its own failure to the operator (a warning popup) and then
// returns false, leaving the store files as they were.
//
// A record is a line that reads (its seven fields, its name in code page 949) together with a
// whole block at its position. A damaged store is still used: every operation counts only its
// records, so record n is the same for the list, a selection, a delete and a save; a delete or a
// save moves everything else (lines that do not read or have no block, bytes that no line owns)
// byte for byte to SET_ASIDE_FILE and tells the operator so.

// Opens the store into fp_model and fp_data (file_opened = 1), creating missing files empty and
// first finishing or discarding a change that was interrupted. Where the folder does not show
// which files are the store, every file is kept, the operator is told which to look at, the
// store opens for reading only if both its files are there, and saves and deletes are refused.
// Nothing when already open.
bool Open_store();
void Close_store();

// Delivers every record in file order, the wave left empty; the first damage met is told once.
// `quiet`: nothing is told (a re-reading after a failure the operator has been told of).
bool List_scan(const std::function<void(const MasterRecord&)>& deliver_row, bool quiet = false);

// Record n (from 1), with its wave.
bool Read_record(int n, MasterRecord* record);

// Rewrites the store without record n and opens it again. `last` receives the last record read:
// the store's last record, or the deleted one when it was the last; `deleted`, record n.
bool Delete_record(int n, MasterRecord* last, MasterRecord* deleted = nullptr);

enum class SaveOutcome { Saved, Declined, Failed };

// Stores `master`: in place of every record of its name when `replace_same_name` says yes at
// each of them, else appended. A no at any of them leaves the store untouched (Declined). The
// store is closed afterwards. `replaced` receives the records it took the place of.
SaveOutcome Save_rewrite(const MasterRecord& master, const std::function<bool()>& replace_same_name,
                         std::vector<MasterRecord>* replaced = nullptr);

// A master's bytes as the store keeps them, whatever line ends its file has: its line (the name in
// code page 949, the six fields as the store writes them, one LF), then its 300 wave bytes.
std::string Stored_bytes(const MasterRecord& master);
// The SHA-256 of those bytes, in hex: the master's version, which each inspection record carries.
std::string Master_version(const MasterRecord& master);
// The store holds a record with exactly these bytes (false too when it cannot be read).
bool Is_stored(const MasterRecord& master);
// For the audit trail: the master's line as the store writes it, its name in UTF-8, and its
// version ("M-01 4.5 5 10 7 7 0 · 3f2a...").
std::string Master_description(const MasterRecord& master);

// A name the store can hold: 1 to 12 characters, no white space or control characters, every
// character representable in code page 949.
bool Is_valid_master_name(const char* name);

// Why the store cannot hold `name`, for the operator: a heading and a line for each reason (a
// blank, a control character, more than 12 characters, characters that code page 949 lacks).
// "" when it can, and for an empty name, which the registration panel answers with its own text.
std::string Master_name_fault(const char* name);

// Called with the name of each step of a store replacement; tests stop the process there. It
// exists only in the programs that link store_step_hook.cpp (the tests): the station's step
// (store_step.cpp) calls nothing.
extern void (*store_step_hook)(const char* step);

// ---- The registration panel -----------------------------------------------------------------

int Master_setup(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int Master_upload(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Master_download(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int Master_save(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int Master_quit(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int Model(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Corona(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
int Delay_time(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);

// ---- The master list panel ------------------------------------------------------------------

// The master table's state.
extern int registered_master_no;
extern Point selected_cell;
extern int selected_row_index;

int Master_list(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int TableCB(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);
void getCell(void* callbackData);
int Master_select(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Master_delete(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int Master_cancel(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
