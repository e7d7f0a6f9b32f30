#include "process/shift_report.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <vector>

#include "history/process_query.h"
#include "history/shift_counts.h"
#include "process/chart_painter.h"
#include "process/control_chart.h"
#include "toolkit/toolkit.h"

namespace process {

namespace {

constexpr int DPI = 150;
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
    // A row of cells at the given left edges.
    void Row(const QStringList& cells, const std::vector<double>& at, int pixels, bool bold) {
        const QRectF room = Take(pixels * 1.7);
        painter_->setFont(Font(pixels, bold));
        painter_->setPen(INK);
        for (int i = 0; i < cells.size(); ++i) {
            const double left = at[static_cast<std::size_t>(i)];
            const double right =
                i + 1 < cells.size() ? at[static_cast<std::size_t>(i) + 1] : width_;
            painter_->drawText(QRectF(left, room.top(), right - left - 8, room.height()),
                               (i == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                               cells[i]);
        }
        painter_->setPen(QPen(RULE, 1));
        painter_->drawLine(QPointF(0, room.bottom()), QPointF(width_, room.bottom()));
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

void WriteMaster(Pages& pages, const Chart& chart) {
    pages.NewPage();
    pages.Text(
        QStringLiteral("관리도: %1 (버전 %2)").arg(Q(chart.master), Q(ShortVersion(chart.version))),
        24, true);
    for (Item item : {Item::AREA, Item::PHASE}) {
        const QRectF room = pages.Take(680);
        PaintItemChart(pages.Painter(), room.adjusted(0, 6, 0, -10), chart, item, std::nullopt);
        const ItemChart& of = chart.Of(item);
        if (!of.signalled.empty()) {
            const Signal& newest = of.signalled.back();
            pages.Text(
                QStringLiteral("최근 신호: %1  %2 = %3  (규칙 %4)")
                    .arg(Q(history::WallClockText(newest.at, "%Y-%m-%d %H:%M:%S")), ItemName(item))
                    .arg(newest.value)
                    .arg(Q(RuleNumbers(newest.rules))),
                15);
        } else {
            pages.Text(QStringLiteral("%1: 규칙 위반 신호 없음").arg(ItemName(item)), 15);
        }
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

ReportResult WriteShiftReport(const history::Filter& filter, const std::string& path,
                              const std::string& made_at,
                              const std::function<void(int done, int total)>& progress) {
    std::vector<history::MasterTested> masters;
    std::vector<std::string> operators, stations;
    history::Pareto pareto;
    if (!history::ReadMastersTested(filter, &masters, &operators, &stations) ||
        !history::ReadPareto(filter, &pareto)) {
        return ReportResult::READ_FAILED;
    }
    const int total = static_cast<int>(masters.size()) + 1;
    progress(1, total);

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
            WritePareto(pages, pareto);
            int done = 1;
            for (const history::MasterTested& master : masters) {
                history::Filter of_master = filter;
                of_master.master = master.master;
                Chart chart;
                if (!ReadChart(of_master, Baseline::FIRST_TESTS, &chart)) {
                    painter.end();
                    file.close();
                    std::fclose(stream);
                    std::remove(temporary.c_str());
                    return ReportResult::READ_FAILED;
                }
                WriteMaster(pages, chart);
                progress(++done, total);
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
