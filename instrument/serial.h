// The instrument link: the serial port to the tester and its command protocol.
#pragma once

#include <string>

#include "values/instrument_values.h"
#include "values/wave.h"

// Status of the last open or close of the port: 0, or the port library's negative status.
extern int RS232Error;

void Init_com_port();
void Close_com_port();
void DisplayRS232Error();
// Tells the operator that the tester did not answer: the serial link or its connector.
void Serial_warning();

// ---- Command protocol ------------------------------------------------------------------------
// The station writes one command and reads a reply of fixed length (or none). Replies have no
// framing: a byte beyond a reply would start the next one, so each exchange flushes first.

constexpr const char* CMD_SETUP = "ME\r";          // reply: InstrumentSetup, 10 characters
constexpr const char* CMD_START = "ST\r";          // no reply
constexpr const char* CMD_TEST_WAVE = "WT\r";      // reply: 300 wave bytes
constexpr const char* CMD_STANDARD_WAVE = "WS\r";  // reply: 300 wave bytes
constexpr const char* CMD_RESULT = "RE\r";         // reply: TestResult, 6 characters

constexpr int SETUP_REPLY_LENGTH = 10;
constexpr int WAVE_LENGTH = WAVE_SAMPLES;  // a wave reply is one wave
constexpr int RESULT_REPLY_LENGTH = 6;
constexpr int WORK_BUFFER_SIZE = 30;

// Seconds each read or write on the port waits before it gives up.
constexpr double PORT_TIMEOUT = 1.0;
// Seconds the line must stay quiet after a reply for the reply to count as whole: about eleven
// character times at 115200 baud, while the tester sends a reply's bytes back to back.
constexpr double REPLY_END_QUIET = 0.001;

// The two halves of an exchange on port 1, for a caller that works while the reply is on the
// line. Send_command formats `command` into the caller's WORK_BUFFER_SIZE-byte `work` buffer,
// flushes the input queue and writes the command; true when the whole command was written. A
// reply that comes whole shows that its command arrived; for "ST", which has none, this is all
// the station learns. Read_reply reads replyLength bytes into `target` and returns how many
// arrived (positions no byte reached keep what they held); Read_whole is true when the reply
// came whole (as Exchange_whole below).
bool Send_command(char* work, const char* command);
int Read_reply(char* target, int replyLength);
bool Read_whole(char* target, int replyLength);

// One exchange on port 1: formats `command` into the caller's WORK_BUFFER_SIZE-byte `work`
// buffer, flushes the input queue, writes the command, and when replyLength > 0 reads
// replyLength bytes into `target` (which may be `work`). Positions no byte reached keep what
// they held. Returns how many reply bytes arrived: 0 to replyLength, 0 when the port is unusable.
int Exchange(char* work, const char* command, char* target, int replyLength);

// An exchange whose reply is used only when it came whole: all replyLength bytes, and then a
// quiet line for REPLY_END_QUIET. A byte after the reply means the bytes read were not the
// reply alone: stray bytes ahead of it pushed its end out (the station cannot tell those from
// stray bytes after it), so such a reply is refused too. True when the reply is whole.
bool Exchange_whole(char* work, const char* command, char* target, int replyLength);

// The setup reply's five fields, each its text and value, and the inspection's kV.
InstrumentSetup Decode_setup(const char* reply);

// 0 when the ten characters of a setup reply are accepted, 1 when rejected: a NUL among them, or
// model_no, voltage, width or pulse_no outside 0-60, 0-99, 0-7, 0-20.
int Check_range(const char* reply);

TestResult Decode_result(const char* reply);

// Turns `count` received wave bytes (offset by 128) into signed samples, in place.
void Decode_wave(signed char* samples, int count);

// Reads one wave reply into `wave`, which takes it only when it came whole (as Read_whole): a
// short or shifted reply leaves the earlier wave as it was, never decoded a second time.
bool Read_wave(Wave* wave);

// A command's code, the command without its carriage return: "ME" for CMD_SETUP.
std::string Command_code(const char* command);
