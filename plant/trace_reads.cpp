#include "plant/trace_reads.h"

#include <QSqlQuery>
#include <QVariant>

namespace plant {

namespace {

std::vector<int> Samples(const QVariant& value) {
    const QByteArray bytes = value.toByteArray();
    std::vector<int> samples;
    samples.reserve(static_cast<size_t>(bytes.size()));
    for (const char byte : bytes) {
        samples.push_back(static_cast<signed char>(byte));
    }
    return samples;
}

std::optional<int> Reading(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional<int>(value.toInt());
}

std::string Text(const QVariant& value) {
    return value.toString().toStdString();
}

}  // namespace

std::optional<std::vector<TracedTest>> ReadTrace(QSqlDatabase& db, const std::string& serial) {
    std::vector<TracedTest> tests;
    if (serial.empty()) {
        return tests;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT station, started_at, master, master_version, operator, outcome, "
                       "attempt, area, phase, standard_wave, measured_wave FROM inspection "
                       "WHERE serial = ? ORDER BY started_at, station LIMIT %1")
            .arg(TRACE_LIMIT));
    query.addBindValue(QString::fromStdString(serial));
    if (!query.exec()) {
        return std::nullopt;
    }
    while (query.next()) {
        TracedTest test;
        test.station = Text(query.value(0));
        test.started_at = Text(query.value(1));
        test.master = Text(query.value(2));
        test.master_version = Text(query.value(3)).substr(0, 8);
        test.operator_name = Text(query.value(4));
        test.verdict = Text(query.value(5));
        test.attempt = query.value(6).toInt();
        test.area = Reading(query.value(7));
        test.phase = Reading(query.value(8));
        test.standard = Samples(query.value(9));
        test.measured = Samples(query.value(10));
        tests.push_back(std::move(test));
    }
    return tests;
}

}  // namespace plant
