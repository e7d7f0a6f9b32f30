#include "records/record_chain.h"

#include <QCryptographicHash>
#include <cmath>
#include <cstring>

#include "records/columns.h"

namespace records {

namespace {

enum class Kind { TEXT, WHOLE, REAL, BYTES };

Kind KindOf(const Column& column) {
    const char* type = column.server_type;
    if (std::strncmp(type, "BYTEA", 5) == 0) {
        return Kind::BYTES;
    }
    if (std::strncmp(type, "DOUBLE", 6) == 0) {
        return Kind::REAL;
    }
    if (std::strncmp(type, "TEXT", 4) == 0) {
        return Kind::TEXT;
    }
    return Kind::WHOLE;
}

void Escaped(QByteArray* text, const QByteArray& value) {
    for (const char c : value) {
        if (c == '\\') {
            text->append("\\\\");
        } else if (c == '\n') {
            text->append("\\n");
        } else {
            text->append(c);
        }
    }
}

void Value(QByteArray* text, Kind kind, const QVariant& value) {
    switch (kind) {
        case Kind::TEXT:
            Escaped(text, value.toString().toUtf8());
            break;
        case Kind::WHOLE:
            text->append(QByteArray::number(value.toLongLong()));
            break;
        case Kind::REAL:
            text->append(QByteArray::number(
                static_cast<qlonglong>(std::nearbyint(value.toDouble() * 1000000.0))));
            break;
        case Kind::BYTES:
            text->append(value.toByteArray().toHex());
            break;
    }
}

std::string ValueSql(Kind kind, const std::string& column) {
    switch (kind) {
        case Kind::TEXT:
            return "replace(replace(" + column + ", '\\', '\\\\'), E'\\n', '\\n')";
        case Kind::WHOLE:
            return column + "::text";
        case Kind::REAL:
            return "round(" + column + " * 1000000)::bigint::text";
        case Kind::BYTES:
            break;
    }
    return "encode(" + column + ", 'hex')";
}

}  // namespace

QString RecordHash(const std::vector<QVariant>& stored, qlonglong seq, const QString& prev_hash) {
    QByteArray text = "surge-record 1\nseq=" + QByteArray::number(seq) + "\n";
    std::size_t i = 0;
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr) {
            continue;
        }
        const QVariant& value = stored[i++];
        if (IsChainColumn(column) || value.isNull()) {
            continue;
        }
        text.append(column.name);
        text.append('=');
        Value(&text, KindOf(column), value);
        text.append('\n');
    }
    text.append("prev=" + prev_hash.toUtf8() + "\n");
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
}

std::string RecordHashSql(const std::string& row) {
    std::string text =
        "'surge-record 1' || E'\\n' || 'seq=' || " + row + "." + CHAIN_SEQ + "::text || E'\\n'";
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr || IsChainColumn(column)) {
            continue;
        }
        text += " || COALESCE('" + std::string(column.name) + "=' || " +
                ValueSql(KindOf(column), row + "." + column.name) + " || E'\\n', '')";
    }
    text += " || 'prev=' || " + row + "." + CHAIN_PREV + " || E'\\n'";
    return "encode(sha256(convert_to(" + text + ", 'UTF8')), 'hex')";
}

}  // namespace records
