// The port library on Qt SerialPort: a table of open ports indexed by port number.
#include "rs232/rs232.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "log/log.h"
#include "rs232/port_device.h"
#include "toolkit/repaint.h"

namespace {

constexpr int MAX_PORT = 8;
// The longest a blocking call goes without letting the panels repaint.
constexpr int REPAINT_SLICE_MS = 20;

struct Port {
    QSerialPort serial;
    QString path;
    std::string described;  // "port 1: COM1 (/dev/ttyS0)", for the log
    int timeout_ms = 1000;
    // Set once the device is gone; every later transfer fails at once with RS232_DEVICE_LOST.
    bool lost = false;
};

struct PortTable {
    std::array<std::unique_ptr<Port>, MAX_PORT + 1> ports;
    ~PortTable() { destroyed = true; }
    // Readable after the table is gone, when the application object outlives it.
    static inline bool destroyed = false;
};

std::array<std::unique_ptr<Port>, MAX_PORT + 1>& Ports() {
    static PortTable table;
    return table.ports;
}

// Ports hold Qt objects; close them while the application object still exists.
void CloseAllPorts() {
    if (PortTable::destroyed) {
        return;
    }
    for (auto& port : Ports()) {
        port.reset();
    }
}

bool ValidPortNumber(int port) {
    return port >= 1 && port <= MAX_PORT;
}

// Finds an open port, or returns the status that says why there is none.
int Lookup(int port, Port** out) {
    if (!ValidPortNumber(port)) {
        return RS232_INVALID_PORT;
    }
    *out = Ports()[port].get();
    return *out == nullptr ? RS232_PORT_NOT_OPEN : 0;
}

// Finds an open port whose device is still there.
int LookupLive(int port, Port** out) {
    const int status = Lookup(port, out);
    return status == 0 && (*out)->lost ? RS232_DEVICE_LOST : status;
}

// "port 1: COM1 (/dev/ttyS0)"; the device alone when the name is the device.
std::string Described(int port, const char* device_name) {
    const std::string name = device_name == nullptr ? "" : device_name;
    const std::string device = DeviceForPortName(name.c_str());
    std::string text = "port " + std::to_string(port) + ": " + (name.empty() ? "no device" : name);
    if (device != name) {
        text += " (" + device + ")";
    }
    return text;
}

const char* OpenFailureMeaning(int status) {
    switch (status) {
        case RS232_INVALID_PORT:
            return "invalid port number";
        case RS232_PORT_NOT_OPEN:
            return "no such device";
        case RS232_PERMISSION:
            return "permission denied";
        case RS232_BUSY:
            return "busy, opened by another program";
        case RS232_BAD_SETTING:
            return "a setting the device does not accept";
        default:
            return "system failure";
    }
}

int OpenFailureStatus(QSerialPort::SerialPortError error, const QString& path) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return RS232_PORT_NOT_OPEN;
        case QSerialPort::PermissionError:
            // Qt reports a device locked by another program as a permission error too.
            return rs232_platform::AccessDenied(QFile::encodeName(path).constData())
                       ? RS232_PERMISSION
                       : RS232_BUSY;
        case QSerialPort::OpenError:
            return RS232_BUSY;
        case QSerialPort::UnsupportedOperationError:
            return RS232_BAD_SETTING;
        default:
            return RS232_SYSTEM_ERROR;
    }
}

// A transfer error: the device is gone, or the transfer itself failed.
int TransferFailureStatus(Port& port, int transfer_status) {
    const QSerialPort::SerialPortError error = port.serial.error();
    const bool gone = error == QSerialPort::ResourceError || !QFileInfo::exists(port.path);
    if (gone) {
        if (!port.lost) {
            surge_log::Write("serial",
                             port.described + " lost during a " +
                                 (transfer_status == RS232_WRITE_FAILED ? "write" : "read") +
                                 ", status -9");
        }
        port.lost = true;
        return RS232_DEVICE_LOST;
    }
    port.serial.clearError();
    return transfer_status;
}

bool IsQuietWait(QSerialPort::SerialPortError error) {
    return error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
           error == QSerialPort::UnsupportedOperationError;
}

int RemainingSliceMs(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::min<qint64>(deadline.remainingTime(), REPAINT_SLICE_MS));
}

bool ApplyParity(QSerialPort& serial, int parity) {
    static constexpr QSerialPort::Parity PARITIES[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    return parity >= 0 && parity <= 4 && serial.setParity(PARITIES[parity]);
}

bool ApplySettings(QSerialPort& serial, long baudRate, int parity, int dataBits, int stopBits) {
    if (baudRate <= 0 || baudRate > 4000000 || dataBits < 5 || dataBits > 8 || stopBits < 1 ||
        stopBits > 2) {
        return false;
    }
    return serial.setBaudRate(static_cast<qint32>(baudRate)) &&
           serial.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
           serial.setStopBits(stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop) &&
           ApplyParity(serial, parity) && serial.setFlowControl(QSerialPort::NoFlowControl);
}

int OpenPort(int port, const char* deviceName, long baudRate, int parity, int dataBits,
             int stopBits, int inputQueueSize, int outputQueueSize) {
    if (!ValidPortNumber(port)) {
        return RS232_INVALID_PORT;
    }
    if (deviceName == nullptr || deviceName[0] == '\0') {
        return RS232_PORT_NOT_OPEN;
    }
    if (inputQueueSize < 0 || outputQueueSize < 0) {
        return RS232_BAD_SETTING;
    }
    Ports()[port].reset();

    auto opened = std::make_unique<Port>();
    const QString path = QString::fromLocal8Bit(DeviceForPortName(deviceName));
    opened->path = path;
    opened->described = Described(port, deviceName);
    opened->serial.setPortName(path);
    if (!ApplySettings(opened->serial, baudRate, parity, dataBits, stopBits)) {
        return RS232_BAD_SETTING;
    }
    if (!opened->serial.open(QIODevice::ReadWrite)) {
        return OpenFailureStatus(opened->serial.error(), path);
    }
    // Reading the modem lines fails on a pseudo-terminal; the port itself is fine.
    opened->serial.clearError();

    static bool cleanup_registered = false;
    if (!cleanup_registered && QCoreApplication::instance() != nullptr) {
        qAddPostRoutine(CloseAllPorts);
        cleanup_registered = true;
    }
    Ports()[port] = std::move(opened);
    return 0;
}

}  // namespace

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
    const int status = OpenPort(port, deviceName, baudRate, parity, dataBits, stopBits,
                                inputQueueSize, outputQueueSize);
    const std::string described = Described(port, deviceName);
    if (status == 0) {
        surge_log::Write("serial", described + " opened");
    } else {
        surge_log::Write("serial", described + " not opened, status " + std::to_string(status) +
                                       " (" + OpenFailureMeaning(status) + ")");
    }
    return status;
}

int CloseCom(int port) {
    Port* open = nullptr;
    if (const int status = Lookup(port, &open); status != 0) {
        return status;
    }
    Ports()[port].reset();
    return 0;
}

int SetCTSMode(int port, int mode) {
    Port* open = nullptr;
    if (const int status = Lookup(port, &open); status != 0) {
        return status;
    }
    if (mode != 0 && mode != 1) {
        return RS232_BAD_SETTING;
    }
    const bool applied = open->serial.setFlowControl(mode == 1 ? QSerialPort::HardwareControl
                                                               : QSerialPort::NoFlowControl);
    open->serial.clearError();
    return applied ? 0 : RS232_BAD_SETTING;
}

int SetComTime(int port, double seconds) {
    Port* open = nullptr;
    if (const int status = Lookup(port, &open); status != 0) {
        return status;
    }
    if (!(seconds >= 0.0) || seconds > 1.0e6) {
        return RS232_BAD_SETTING;
    }
    open->timeout_ms = static_cast<int>(seconds * 1000.0 + 0.5);
    return 0;
}

int FlushInQ(int port) {
    Port* open = nullptr;
    if (const int status = LookupLive(port, &open); status != 0) {
        return status;
    }
    // clear() drops Qt's buffer and the driver's queue; anything the poll still reports after
    // that is read and dropped as well.
    open->serial.clear(QSerialPort::Input);
    open->serial.readAll();
    for (int round = 0; round < 64 && open->serial.waitForReadyRead(0); ++round) {
        open->serial.readAll();
    }
    if (!IsQuietWait(open->serial.error())) {
        return TransferFailureStatus(*open, RS232_READ_FAILED);
    }
    open->serial.clearError();
    return 0;
}

int FlushOutQ(int port) {
    Port* open = nullptr;
    if (const int status = Lookup(port, &open); status != 0) {
        return status;
    }
    open->serial.clear(QSerialPort::Output);
    open->serial.clearError();
    return 0;
}

int ComWrt(int port, const char* buffer, int count) {
    Port* open = nullptr;
    if (const int status = LookupLive(port, &open); status != 0) {
        return status;
    }
    if (buffer == nullptr || count < 0) {
        return RS232_WRITE_FAILED;
    }
    if (count == 0) {
        return 0;
    }
    if (open->serial.write(buffer, count) != count) {
        return TransferFailureStatus(*open, RS232_WRITE_FAILED);
    }
    // The bytes go to the driver at once; the panels repaint only while a full queue drains.
    open->serial.flush();
    const QDeadlineTimer deadline(open->timeout_ms);
    while (open->serial.bytesToWrite() > 0) {
        if (deadline.hasExpired()) {
            return RS232_TIMEOUT;
        }
        RepaintPanels();
        if (open->serial.bytesToWrite() > 0 &&
            !open->serial.waitForBytesWritten(RemainingSliceMs(deadline))) {
            if (!IsQuietWait(open->serial.error())) {
                return TransferFailureStatus(*open, RS232_WRITE_FAILED);
            }
            open->serial.clearError();
        }
    }
    return count;
}

int ComRd(int port, char* buffer, int count) {
    Port* open = nullptr;
    if (const int status = LookupLive(port, &open); status != 0) {
        return status;
    }
    if (buffer == nullptr || count < 0) {
        return RS232_READ_FAILED;
    }
    int arrived = 0;
    int failure = 0;
    bool last_look = false;
    const QDeadlineTimer deadline(open->timeout_ms);
    while (arrived < count) {
        // waitForReadyRead does not wake for bytes Qt already holds: take those first.
        if (open->serial.bytesAvailable() > 0) {
            const qint64 got = open->serial.read(buffer + arrived, count - arrived);
            if (got < 0) {
                failure = TransferFailureStatus(*open, RS232_READ_FAILED);
                break;
            }
            arrived += static_cast<int>(got);
            continue;
        }
        // Once the time is up, one more look at the driver's queue without waiting.
        if (deadline.hasExpired()) {
            if (last_look) {
                break;
            }
            last_look = true;
        }
        RepaintPanels();
        if (open->serial.bytesAvailable() == 0 &&
            !open->serial.waitForReadyRead(RemainingSliceMs(deadline))) {
            if (!IsQuietWait(open->serial.error())) {
                failure = TransferFailureStatus(*open, RS232_READ_FAILED);
                break;
            }
            open->serial.clearError();
        }
    }
    // Bytes that did arrive are reported even when the device went away afterwards.
    return arrived > 0 || failure == 0 ? arrived : failure;
}

int GetInQLen(int port) {
    Port* open = nullptr;
    if (const int status = LookupLive(port, &open); status != 0) {
        return status;
    }
    open->serial.waitForReadyRead(0);
    open->serial.clearError();
    return static_cast<int>(std::min<qint64>(open->serial.bytesAvailable(), 0x7fffffff));
}
