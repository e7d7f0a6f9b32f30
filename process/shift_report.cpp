#include "process/shift_report.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "history/process_query.h"
#include "history/report_query.h"
#include "history/shift_counts.h"
#include "process/chart_painter.h"
#include "process/control_chart.h"
#include "toolkit/toolkit.h"

namespace process {

namespace {

constexpr int DPI = 150;
constexpr std::size_t MOST_LISTED = 30;  // alarms and units listed; the rest counted

struct Units {
    history::Counts counts;
    history::UnitCounts units;
    std::vector<history::RetestedUnit> retested;
};
const QColor INK(0x1d, 0x35, 0x57);
const QColor RULE(0xc5, 0xce, 0xd8);

QFont Font(int pixels, bool bold = false) {
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Joined(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names) {
        list << Q(name);
    }
    return list.isEmpty() ? QStringLiteral("-") : list.join(QStringLiteral(", "));
}

// Lays the pages out top to bottom.
class Pages {
  public:
    Pages(QPdfWriter* writer, QPainter* painter, QString header)
        : writer_(writer), painter_(painter), header_(std::move(header)) {
        width_ = writer->width();
        height_ = writer->height();
        Header();
    }

    QPainter& Painter() { return *painter_; }
    double Width() const { return width_; }
    double Left() const { return 0; }

    // The rectangle of the next `h` pixels, on a new page when they do not fit.
    QRectF Take(double h) {
        if (y_ + h > height_ - FOOT) {
            NewPage();
        }
        const QRectF room(0, y_, width_, h);
        y_ += h;
        return room;
    }
    void NewPage() {
        writer_->newPage();
        Header();
    }
    void Text(const QString& text, int pixels, bool bold = false, double indent = 0) {
        const QRectF room = Take(pixels * 1.6);
        painter_->setPen(INK);
        painter_->setFont(Font(pixels, bold));
        painter_->drawText(room.adjusted(indent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    // A row of cells at the given left edges: the first left, the figures right (or, for a
    // row of `words`, each left and cut to its cell).
    void Row(const QStringList& cells, const std::vector<double>& at, int pixels, bool bold,
             bool words = false) {
        const QRectF room = Take(pixels * 1.7);
        painter_->setFont(Font(pixels, bold));
        painter_->setPen(INK);
        for (int i = 0; i < cells.size(); ++i) {
            const double left = at[static_cast<std::size_t>(i)];
            const double right =
                i + 1 < cells.size() ? at[static_cast<std::size_t>(i) + 1] : width_;
            const QRectF cell(left, room.top(), right - left - 8, room.height());
            const QString text = words
                                     ? painter_->fontMetrics().elidedText(
                                           cells[i], Qt::ElideRight, static_cast<int>(cell.width()))
                                     : cells[i];
            painter_->drawText(
                cell, (i == 0 || words ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
        }
        painter_->setPen(QPen(RULE, 1));
        painter_->drawLine(QPointF(0, room.bottom()), QPointF(width_, room.bottom()));
    }
    // Text wrapped to the page's width.
    void Paragraph(const QString& text, int pixels) {
        painter_->setFont(Font(pixels));
        const QRectF need = painter_->fontMetrics().boundingRect(
            QRect(0, 0, static_cast<int>(width_), 10000), Qt::TextWordWrap, text);
        const QRectF room = Take(need.height() + pixels * 0.6);
        painter_->setPen(INK);
        painter_->drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    }
    void Space(double h) { y_ += h; }

  private:
    static constexpr double FOOT = 40;

    void Header() {
        ++page_;
        painter_->setPen(INK);
        painter_->setFont(Font(14));
        painter_->drawText(QRectF(0, 0, width_, 24), Qt::AlignLeft | Qt::AlignVCenter, header_);
        painter_->drawText(QRectF(0, 0, width_, 24), Qt::AlignRight | Qt::AlignVCenter,
                           QStringLiteral("%1 쪽").arg(page_));
        painter_->setPen(QPen(INK, 2));
        painter_->drawLine(QPointF(0, 28), QPointF(width_, 28));
        y_ = 40;
    }

    QPdfWriter* writer_;
    QPainter* painter_;
    QString header_;
    double width_ = 0;
    double height_ = 0;
    double y_ = 0;
    int page_ = 0;
};

void WriteSummary(Pages& pages, const history::Filter& filter, const std::string& made_at,
                  const std::vector<history::MasterTested>& masters,
                  const std::vector<std::string>& operators,
                  const std::vector<std::string>& stations) {
    pages.Text(QStringLiteral("검사 보고서"), 34, true);
    pages.Space(8);
    pages.Text(QStringLiteral("검사기: %1").arg(Joined(stations)), 18);
    pages.Text(QStringLiteral("기간: %1").arg(Q(PeriodText(filter))), 18);
    if (!filter.master.empty()) {
        pages.Text(QStringLiteral("마스터 조건: %1").arg(Q(filter.master)), 18);
    }
    pages.Text(QStringLiteral("작업자: %1").arg(Joined(operators)), 18);
    pages.Text(QStringLiteral("작성: %1").arg(Q(made_at)), 18);
    pages.Space(16);

    history::Counts total;
    for (const history::MasterTested& master : masters) {
        total.tested += master.counts.tested;
        total.ok += master.counts.ok;
        total.ng += master.counts.ng;
    }
    pages.Text(QStringLiteral("생산 검사"), 24, true);
    const std::vector<double> at = {0,
                                    pages.Width() * 0.36,
                                    pages.Width() * 0.52,
                                    pages.Width() * 0.64,
                                    pages.Width() * 0.76,
                                    pages.Width() * 0.88};
    pages.Row({QStringLiteral("마스터 (버전)"), QStringLiteral("검사"), QStringLiteral("O.K"),
               QStringLiteral("N.G"), QStringLiteral("양품률")},
              {at[0], at[2], at[3], at[4], at[5]}, 17, true);
    for (const history::MasterTested& master : masters) {
        QStringList versions;
        for (const std::string& version : master.versions) {
            versions << Q(ShortVersion(version));
        }
        pages.Row({QStringLiteral("%1 (%2)").arg(Q(master.master), versions.join(", ")),
                   QString::number(master.counts.tested), QString::number(master.counts.ok),
                   QString::number(master.counts.ng), Q(history::YieldText(master.counts))},
                  {at[0], at[2], at[3], at[4], at[5]}, 17, false);
    }
    pages.Row({QStringLiteral("합계"), QString::number(total.tested), QString::number(total.ok),
               QString::number(total.ng), Q(history::YieldText(total))},
              {at[0], at[2], at[3], at[4], at[5]}, 17, true);
    pages.Space(16);
}

// The units: first-pass and final yield, and those passed on retest.
void WriteUnits(Pages& pages, const Units& units) {
    pages.Text(QStringLiteral("생산 대수"), 24, true);
    const double w = pages.Width();
    const std::vector<double> at = {0, w * 0.25, w * 0.5, w * 0.75};
    pages.Row({QStringLiteral("대수"), QStringLiteral("직행률"), QStringLiteral("최종 양품률"),
               QStringLiteral("재검사 합격")},
              at, 17, true);
    pages.Row(
        {QString::number(units.units.units), Q(history::FirstPassText(units.counts)),
         Q(history::FinalYieldText(units.units)), QString::number(units.units.passed_on_retest)},
        at, 17, false);
    if (!units.retested.empty()) {
        QStringList listed;
        for (std::size_t i = 0; i < units.retested.size() && i < MOST_LISTED; ++i) {
            listed << QStringLiteral("%1 (%2회)")
                          .arg(Q(units.retested[i].serial))
                          .arg(units.retested[i].tests);
        }
        QString line = QStringLiteral("재검사 합격: ") + listed.join(QStringLiteral(", "));
        if (units.retested.size() > MOST_LISTED) {
            line += QStringLiteral(" 외 %1대").arg(units.retested.size() - MOST_LISTED);
        }
        pages.Paragraph(line, 15);
    }
    pages.Space(16);
}

QString Clock(const std::string& at) {
    return Q(at.size() >= 19 ? at.substr(5, 5) + " " + at.substr(11, 8) : at);
}

// The drift alarms (each chart's signals), the line stops with their acknowledgements, and the
// gates' overrides, in time order.
void WriteAlarms(Pages& pages, const std::vector<Chart>& charts,
                 const std::vector<history::GateEvent>& events) {
    struct Line {
        long long at;
        QStringList cells;
    };
    std::vector<Line> alarms;
    const auto add = [&alarms](const Chart& chart, Item item, const Signal& signal) {
        alarms.push_back(
            {signal.at,
             {Q(history::WallClockText(signal.at, "%m-%d %H:%M:%S")), Q(chart.master),
              ItemName(item), Q(ValueText(chart.Of(item), signal.value)),
              signal.rules.Empty() ? QStringLiteral("EWMA")
                                   : QStringLiteral("규칙 ") + Q(RuleNumbers(signal.rules))}});
    };
    for (const Chart& chart : charts) {
        for (Item item : ITEMS) {
            for (const Signal& signal : chart.Of(item).signalled) {
                add(chart, item, signal);
            }
            for (const Signal& signal : chart.Of(item).ewma.signalled) {
                add(chart, item, signal);
            }
        }
    }
    std::stable_sort(alarms.begin(), alarms.end(),
                     [](const Line& a, const Line& b) { return a.at < b.at; });
    const double w = pages.Width();
    pages.Text(QStringLiteral("추세 경고 %1건").arg(alarms.size()), 24, true);
    if (alarms.empty()) {
        pages.Text(QStringLiteral("규칙 위반 신호 없음"), 15);
    } else {
        const std::vector<double> at = {0, w * 0.2, w * 0.45, w * 0.6, w * 0.75};
        pages.Row({QStringLiteral("시각"), QStringLiteral("마스터"), QStringLiteral("항목"),
                   QStringLiteral("값"), QStringLiteral("규칙")},
                  at, 15, true, true);
        for (std::size_t i = 0; i < alarms.size() && i < MOST_LISTED; ++i) {
            pages.Row(alarms[i].cells, at, 15, false, true);
        }
        if (alarms.size() > MOST_LISTED) {
            pages.Text(QStringLiteral("외 %1건 (각 마스터의 관리도에 표시)")
                           .arg(alarms.size() - MOST_LISTED),
                       15);
        }
    }
    pages.Space(16);

    pages.Text(QStringLiteral("라인 정지 · 확인 · 검사 조건 무시 %1건").arg(events.size()), 24,
               true);
    if (events.empty()) {
        pages.Text(QStringLiteral("없음"), 15);
    } else {
        const std::vector<double> at = {0, w * 0.18, w * 0.3, w * 0.47, w * 0.74};
        pages.Row({QStringLiteral("시각"), QStringLiteral("구분"), QStringLiteral("대상"),
                   QStringLiteral("내용"), QStringLiteral("사유 (사용자)")},
                  at, 15, true, true);
        for (const history::GateEvent& event : events) {
            using Kind = history::GateEvent::Kind;
            const QString kind = event.kind == Kind::LINE_STOPPED ? QStringLiteral("라인 정지")
                                 : event.kind == Kind::ACKNOWLEDGED ? QStringLiteral("정지 확인")
                                                                    : QStringLiteral("조건 무시");
            // Without access control the user is "-".
            const bool named = !event.user.empty() && event.user != "-";
            const QString reason =
                Q(event.reason + (named ? " (" + event.user + ")" : std::string()));
            pages.Row({Clock(event.at), kind, Q(event.object), Q(event.rule), reason}, at, 15,
                      false, true);
        }
    }
    pages.Space(16);
}

void WriteReferences(Pages& pages, const std::vector<history::ReferenceRecord>& tests) {
    pages.Text(QStringLiteral("기준품 검사 %1건").arg(tests.size()), 24, true);
    if (tests.empty()) {
        pages.Text(QStringLiteral("없음"), 15);
        return;
    }
    const double w = pages.Width();
    const std::vector<double> at = {0, w * 0.25, w * 0.5, w * 0.75};
    pages.Row({QStringLiteral("시각"), QStringLiteral("마스터"), QStringLiteral("일련번호"),
               QStringLiteral("판정")},
              at, 15, true, true);
    for (const history::ReferenceRecord& test : tests) {
        pages.Row({Clock(test.at), Q(test.master), Q(test.serial), Q(test.outcome)}, at, 15, false,
                  true);
    }
}

void WritePareto(Pages& pages, const history::Pareto& pareto) {
    pages.Text(QStringLiteral("N.G 파레토 (N.G 대수 %1)").arg(pareto.ng_units), 24, true);
    const QString titles[] = {QStringLiteral("마스터별"), QStringLiteral("검사기별"),
                              QStringLiteral("시간대별"), QStringLiteral("작업자별")};
    const double h = 300;
    for (int row = 0; row < 2; ++row) {
        const QRectF room = pages.Take(h);
        for (int col = 0; col < 2; ++col) {
            const std::size_t k = static_cast<std::size_t>(row * 2 + col);
            const QRectF cell(room.left() + room.width() / 2 * col + 6, room.top() + 6,
                              room.width() / 2 - 12, room.height() - 12);
            PaintPareto(pages.Painter(), cell, titles[k], pareto.by[k]);
        }
    }
}

// One chart of the master's page and the line under it: its newest signal, or none.
void WriteItem(Pages& pages, const Chart& chart, Item item, bool ewma) {
    const QRectF room = pages.Take(680);
    PaintItemChart(pages.Painter(), room.adjusted(0, 6, 0, -10), chart, item, std::nullopt, ewma);
    const ItemChart& of = chart.Of(item);
    const std::vector<Signal>& signalled = ewma ? of.ewma.signalled : of.signalled;
    if (signalled.empty()) {
        pages.Text(
            QStringLiteral("%1: %2 신호 없음")
                .arg(ItemName(item), ewma ? QStringLiteral("EWMA") : QStringLiteral("규칙 위반")),
            15);
        return;
    }
    const Signal& newest = signalled.back();
    pages.Text(QStringLiteral("최근 신호: %1  %2 = %3  (%4)")
                   .arg(Q(history::WallClockText(newest.at, "%Y-%m-%d %H:%M:%S")), ItemName(item),
                        Q(ValueText(of, newest.value)),
                        ewma ? QStringLiteral("EWMA")
                             : QStringLiteral("규칙 ") + Q(RuleNumbers(newest.rules))),
               15);
}

// The master's I-MR charts of area and phase, and of the wave's frequency and damping with
// their EWMA where any of its records was fitted.
void WriteMaster(Pages& pages, const Chart& chart) {
    pages.NewPage();
    pages.Text(
        QStringLiteral("관리도: %1 (버전 %2)").arg(Q(chart.master), Q(ShortVersion(chart.version))),
        24, true);
    WriteItem(pages, chart, Item::AREA, false);
    WriteItem(pages, chart, Item::PHASE, false);
    if (chart.frequency.drawn.empty()) {
        return;
    }
    for (Item item : {Item::FREQUENCY, Item::DAMPING}) {
        WriteItem(pages, chart, item, false);
        WriteItem(pages, chart, item, true);
    }
}

}  // namespace

std::string PeriodText(const history::Filter& filter) {
    if (!filter.from_at.empty()) {
        const auto shown = [](std::string at) {
            if (at.size() >= 16) {
                at = at.substr(0, 16);
                at[10] = ' ';
            }
            return at;
        };
        return shown(filter.from_at) + " ~ " + shown(filter.to_at);
    }
    return filter.from + " ~ " + filter.to;
}

ReportResult WriteShiftReport(const history::Reader& reader, const history::Filter& filter,
                              const std::string& path, const std::string& made_at,
                              const std::function<void(int done, int total)>& progress) {
    std::vector<history::MasterTested> masters;
    std::vector<std::string> operators, stations;
    history::Pareto pareto;
    Units units;
    long long records = 0;
    std::vector<history::GateEvent> events;
    std::vector<history::ReferenceRecord> references;
    if (!history::ReadMastersTested(reader, filter, &masters, &operators, &stations) ||
        !history::ReadPareto(reader, filter, &pareto) ||
        !history::CountRecords(reader, filter, &units.counts, &records) ||
        !history::CountUnits(reader, filter, &units.units) ||
        !history::ListPassedOnRetest(reader, filter, &units.retested) ||
        !history::ReadGateEvents(reader, filter, &events) ||
        !history::ReadReferenceChecks(reader, filter, &references)) {
        return ReportResult::READ_FAILED;
    }
    const int total = static_cast<int>(masters.size()) + 1;
    progress(1, total);
    // The charts first: their signals are the period's drift alarms.
    std::vector<Chart> charts(masters.size());
    for (std::size_t i = 0; i < masters.size(); ++i) {
        history::Filter of_master = filter;
        of_master.master = masters[i].master;
        if (!ReadChart(reader, of_master, Baseline::FIRST_TESTS, &charts[i])) {
            return ReportResult::READ_FAILED;
        }
        progress(static_cast<int>(i) + 2, total);
    }

    const std::string temporary = path + ".part";
    std::FILE* stream = std::fopen(temporary.c_str(), "wb");
    if (stream == nullptr) {
        return ReportResult::WRITE_FAILED;
    }
    bool ok = true;
    {
        QFile file;
        ok = file.open(stream, QIODevice::WriteOnly);
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(DPI);
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("검사 보고서 %1").arg(Q(PeriodText(filter))));
        writer.setCreator(QStringLiteral("surge"));
        QPainter painter;
        ok = ok && painter.begin(&writer);
        if (ok) {
            Pages pages(&writer, &painter,
                        QStringLiteral("검사 보고서 · %1").arg(Q(PeriodText(filter))));
            WriteSummary(pages, filter, made_at, masters, operators, stations);
            WriteUnits(pages, units);
            WritePareto(pages, pareto);
            pages.NewPage();
            WriteAlarms(pages, charts, events);
            WriteReferences(pages, references);
            for (const Chart& chart : charts) {
                WriteMaster(pages, chart);
            }
            ok = painter.end();
        }
        ok = ok && file.flush();
    }
    ok = ok && FlushFileToDisk(stream) == 0;
    ok = std::fclose(stream) == 0 && ok;
    if (!ok || RenameFile(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return ReportResult::WRITE_FAILED;
    }
    return ReportResult::WRITTEN;
}

}  // namespace process
