#include "plant/charts_reads.h"

namespace plant {

namespace {

// The history's reads on this thread's connection, as the plant's server.
history::Reader ServerReader(const QSqlDatabase& db) {
    history::Reader reader;
    reader.connection = db.connectionName().toStdString();
    reader.on_server = true;
    return reader;
}

}  // namespace

std::optional<ChartRead> ReadMasterChart(QSqlDatabase& db, const history::Filter& filter) {
    ChartRead read;
    if (!process::ReadChart(ServerReader(db), filter, process::Baseline::FIRST_TESTS, &read.chart,
                            &read.series)) {
        return std::nullopt;
    }
    return read;
}

std::optional<ChartChoices> ReadChartChoices(QSqlDatabase& db, const history::Filter& filter) {
    history::Filter period;
    period.from_at = filter.from_at;
    period.to_at = filter.to_at;
    std::vector<history::MasterTested> masters;
    std::vector<std::string> operators;
    ChartChoices choices;
    if (!history::ReadMastersTested(ServerReader(db), period, &masters, &operators,
                                    &choices.stations)) {
        return std::nullopt;
    }
    for (const history::MasterTested& tested : masters) {
        if (!tested.master.empty()) {
            choices.masters.push_back(tested.master);
        }
    }
    return choices;
}

}  // namespace plant
