// Serial port library: ports are addressed by number (1 to 8) once opened on a device.
//
// Every call returns 0 (or a byte count) on success and a negative status on failure:
//   -2   invalid port number (outside 1 to 8)
//   -3   port not open, or the device does not exist
//   -4   permission denied on the device
//   -5   the device is busy (opened by another program)
//   -6   a setting the device does not accept (baud rate, parity, data or stop bits)
//   -7   write failed
//   -8   read failed
//   -9   the device was lost (unplugged, or the other end hung up)
//   -1   any other failure of the system
//   -99  timeout
//
// While a read waits, the panels keep repainting; user input stays queued in Qt until the
// running callback has returned.
#pragma once

constexpr int RS232_INVALID_PORT = -2;
constexpr int RS232_PORT_NOT_OPEN = -3;
constexpr int RS232_PERMISSION = -4;
constexpr int RS232_BUSY = -5;
constexpr int RS232_BAD_SETTING = -6;
constexpr int RS232_WRITE_FAILED = -7;
constexpr int RS232_READ_FAILED = -8;
constexpr int RS232_DEVICE_LOST = -9;
constexpr int RS232_SYSTEM_ERROR = -1;
constexpr int RS232_TIMEOUT = -99;

// Opens `deviceName` as port `port`. "COM1" names the device in the environment variable
// SURGE_COM1 when it is set, else the first serial port of the machine. Parity 0 is none.
int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
int SetCTSMode(int port, int mode);        // 0: no hardware handshake
int SetComTime(int port, double seconds);  // timeout of each read and write
int FlushInQ(int port);                    // discards every byte received and not yet read
int FlushOutQ(int port);
// Writes `count` bytes; returns the count written or a negative status.
int ComWrt(int port, const char* buffer, int count);
// Reads until `count` bytes arrived or the timeout passed; returns the count that arrived
// (less than `count` after a timeout) or a negative status.
int ComRd(int port, char* buffer, int count);
// The bytes received and not yet read.
int GetInQLen(int port);

// The device that a port name stands for ("COM1" and the like are mapped, others kept).
const char* DeviceForPortName(const char* device_name);
