#include "access/digest.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace access_control {

std::string Sha256Hex(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

}  // namespace access_control
