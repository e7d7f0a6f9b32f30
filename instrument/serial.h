// The instrument link: the serial port to the tester and its command protocol.
#pragma once

// Status of the last open or close of the port: 0, or the port library's negative status.
extern int RS232Error;

void Init_com_port();
void Close_com_port();
void DisplayRS232Error();
