#include "records/record_chain.h"

#include <openssl/sha.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

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

// A field as PostgreSQL writes it in a row's text: quoted where it is empty or holds a blank, a
// parenthesis, a comma, a quote or a backslash, the quotes and backslashes in it doubled.
void Field(std::string* text, std::string_view value) {
    const bool quoted = value.empty() || std::any_of(value.begin(), value.end(), [](char c) {
                            return c == '"' || c == '\\' || c == '(' || c == ')' || c == ',' ||
                                   c == ' ' || (c >= '\t' && c <= '\r');
                        });
    if (!quoted) {
        text->append(value);
        return;
    }
    text->push_back('"');
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            text->push_back(c);
        }
        text->push_back(c);
    }
    text->push_back('"');
}

void Append(std::string* text, Kind kind, const RawValue& value) {
    switch (kind) {
        case Kind::TEXT:
            Field(text, value.bytes);
            break;
        case Kind::WHOLE:
            text->append(std::to_string(value.whole));
            break;
        case Kind::REAL:
            text->append(
                std::to_string(static_cast<long long>(std::nearbyint(value.real * 1000000.0))));
            break;
        case Kind::BYTES:
            text->append(std::to_string(value.bytes.size()));
            break;
    }
}

// A column's value as it stands in the row: a real number's millionths, a wave's length.
std::string ValueSql(Kind kind, const std::string& value) {
    switch (kind) {
        case Kind::REAL:
            return "round(" + value + " * 1000000)::bigint";
        case Kind::BYTES:
            return "octet_length(" + value + ")";
        case Kind::TEXT:
        case Kind::WHOLE:
            break;
    }
    return value;
}

// Columns the file's version 7 began the chain with; one added later is NULL in the records kept
// before it, and stands in their text only where it holds a value.
bool Later(const Column& column) {
    return column.local_since > 7;
}

}  // namespace

bool IsText(const Column& column) {
    return KindOf(column) == Kind::TEXT;
}

// The stored columns as the text is made of them.
struct Part {
    std::string name;
    Kind kind;
    bool chain;
    bool later;
};

const std::vector<Part>& Parts() {
    static const std::vector<Part> parts = [] {
        std::vector<Part> made;
        for (const Column& column : InspectionColumns()) {
            if (column.value != nullptr) {
                made.push_back({column.name, KindOf(column), IsChainColumn(column), Later(column)});
            }
        }
        return made;
    }();
    return parts;
}

std::array<unsigned char, 32> RawRecordHash(const RawValue* stored, long long seq,
                                            std::string_view prev_hash, std::string* text) {
    const std::vector<Part>& parts = Parts();
    text->assign("(");
    text->append(std::to_string(seq));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i].chain && !parts[i].later) {
            text->push_back(',');
            if (!stored[i].null) {
                Append(text, parts[i].kind, stored[i]);
            }
        }
    }
    text->push_back(',');
    Field(text, prev_hash);
    text->push_back(')');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].later && !stored[i].null) {
            text->append("," + parts[i].name + "=(");
            Append(text, parts[i].kind, stored[i]);
            text->push_back(')');
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].kind == Kind::BYTES && !stored[i].null) {
            text->append(stored[i].bytes);
        }
    }
    std::array<unsigned char, 32> digest{};
    SHA256(reinterpret_cast<const unsigned char*>(text->data()), text->size(), digest.data());
    return digest;
}

QString RecordHash(const std::vector<QVariant>& stored, qlonglong seq, const QString& prev_hash) {
    // The values as bytes, kept while they are read.
    std::vector<QByteArray> held(stored.size());
    std::vector<RawValue> raw(stored.size());
    std::size_t i = 0;
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr) {
            continue;
        }
        const QVariant& value = stored[i];
        RawValue& to = raw[i];
        to.null = value.isNull();
        const Kind kind = KindOf(column);
        if (kind == Kind::TEXT || kind == Kind::BYTES) {
            held[i] = value.typeId() == QMetaType::QByteArray ? value.toByteArray()
                                                              : value.toString().toUtf8();
            to.bytes =
                std::string_view(held[i].constData(), static_cast<std::size_t>(held[i].size()));
        }
        to.whole = value.toLongLong();
        to.real = value.toDouble();
        ++i;
    }
    std::string text;
    const QByteArray prev = prev_hash.toLatin1();
    const std::array<unsigned char, 32> digest = RawRecordHash(
        raw.data(), seq, std::string_view(prev.constData(), static_cast<std::size_t>(prev.size())),
        &text);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest.data()), 32).toHex());
}

std::string RecordHashSql(const std::string& row) {
    std::string fields = row + "." + CHAIN_SEQ;
    std::string later;
    std::string waves;
    for (const Column& column : InspectionColumns()) {
        if (column.value == nullptr || IsChainColumn(column)) {
            continue;
        }
        const std::string value = row + "." + column.name;
        const Kind kind = KindOf(column);
        if (Later(column)) {
            later += " || CASE WHEN " + value + " IS NULL THEN '' ELSE '," + column.name +
                     "=' || ROW(" + ValueSql(kind, value) + ")::text END";
        } else {
            fields += ", " + ValueSql(kind, value);
        }
        if (kind == Kind::BYTES) {
            waves += " || COALESCE(" + value + ", ''::bytea)";
        }
    }
    return "encode(sha256(convert_to(ROW(" + fields + ", " + row + "." + CHAIN_PREV + ")::text" +
           later + ", 'UTF8')" + waves + "), 'hex')";
}

}  // namespace records
