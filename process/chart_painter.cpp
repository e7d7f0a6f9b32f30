#include "process/chart_painter.h"

#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace process {

namespace {

const QColor INK(0x1d, 0x35, 0x57);
const QColor POINTS(0x1d, 0x6f, 0xd1);
const QColor CENTRE(0x1f, 0xaa, 0x3c);
const QColor LIMIT(0xd0, 0x20, 0x20);
const QColor JUDGE(0x8a, 0x3f, 0x00);
const QColor GRID(0xe0, 0xe0, 0xe0);
const QColor SIGNAL_COLOUR(0xe0, 0x1e, 0x1e);
const QColor RED_FILL(0xf8, 0xc8, 0xc8);
const QColor AMBER_FILL(0xff, 0xe0, 0x99);

QFont Font(double pixels, bool bold = false) {
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

QString Number(double value, int decimals = 1) {
    return QString::number(value, 'f', decimals);
}

struct Scale {
    QRectF plot;
    double x_last = 1;  // the last index
    double y_low = 0;
    double y_high = 1;

    double X(double index) const { return plot.left() + plot.width() * index / x_last; }
    double Y(double value) const {
        return plot.bottom() - plot.height() * (value - y_low) / (y_high - y_low);
    }
};

// A tick every 1, 2 or 5 times a power of ten, about `ticks` of them over [low, high].
double Step(double low, double high, int ticks) {
    const double rough = std::max((high - low) / ticks, 1e-9);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double step : {1.0, 2.0, 5.0}) {
        if (step * power >= rough) {
            return step * power;
        }
    }
    return 10.0 * power;
}

// Enough decimals to tell a step's ticks apart: none from 1 up, one down to 0.1, then more.
int Decimals(double step) {
    return step >= 1 ? 0 : std::max(1, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

void PaintValueAxis(QPainter& p, const Scale& s, double text_px) {
    const double step = Step(s.y_low, s.y_high, 4);
    p.setFont(Font(text_px));
    for (double v = std::ceil(s.y_low / step) * step; v <= s.y_high + 1e-9; v += step) {
        const double y = s.Y(v);
        p.setPen(QPen(GRID, 1));
        p.drawLine(QPointF(s.plot.left(), y), QPointF(s.plot.right(), y));
        p.setPen(INK);
        p.drawText(QRectF(s.plot.left() - text_px * 4.2, y - text_px, text_px * 3.8, text_px * 2),
                   Qt::AlignRight | Qt::AlignVCenter, Number(v, Decimals(step)));
    }
    p.setPen(QPen(INK, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(s.plot);
}

// A label's height from the line's y, moved off the labels already written beside the plot so
// that a limit and the judgement setting close to it both read.
double FreeLabelY(double y, double height, std::vector<double>* labels) {
    for (std::size_t tries = 0; tries <= labels->size(); ++tries) {
        const auto clash = std::find_if(labels->begin(), labels->end(),
                                        [&](double taken) { return std::abs(taken - y) < height; });
        if (clash == labels->end()) {
            break;
        }
        y = y < *clash ? *clash - height : *clash + height;
    }
    labels->push_back(y);
    return y;
}

void PaintLine(QPainter& p, const Scale& s, double value, const QColor& colour, Qt::PenStyle style,
               const QString& label, double text_px, std::vector<double>* labels, double from = 0,
               double to = -1) {
    if (to < 0) {
        to = s.x_last;
    }
    const double y = s.Y(value);
    QPen pen(colour, std::max(1.0, text_px / 7));
    pen.setStyle(style);
    p.setPen(pen);
    p.drawLine(QPointF(s.X(from), y), QPointF(s.X(to), y));
    if (!label.isEmpty()) {
        const double label_y = FreeLabelY(y, text_px * 1.1, labels);
        p.setFont(Font(text_px * 0.9, true));
        p.drawText(
            QRectF(s.plot.right() + text_px * 0.3, label_y - text_px, text_px * 6, text_px * 2),
            Qt::AlignLeft | Qt::AlignVCenter, label);
    }
}

void PaintSeries(QPainter& p, const Scale& s, const std::vector<ChartPoint>& points,
                 double text_px) {
    if (points.empty()) {
        return;
    }
    QPainterPath path;
    path.moveTo(s.X(static_cast<double>(points.front().index)), s.Y(points.front().value));
    for (const ChartPoint& point : points) {
        path.lineTo(s.X(static_cast<double>(point.index)), s.Y(point.value));
    }
    p.setPen(QPen(POINTS, std::max(1.0, text_px / 10)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    if (points.size() <= 150) {
        p.setBrush(POINTS);
        const double r = text_px / 5;
        for (const ChartPoint& point : points) {
            p.drawEllipse(QPointF(s.X(static_cast<double>(point.index)), s.Y(point.value)), r, r);
        }
    }
}

// Real dates and times under the chart, at evenly spread records.
void PaintTimeAxis(QPainter& p, const Scale& s, const Chart& chart, double text_px) {
    if (chart.times.empty()) {
        return;
    }
    const bool with_time = chart.times.back() - chart.times.front() <= 7 * 86400;
    const int ticks = std::min<int>(5, static_cast<int>(chart.times.size()) - 1);
    p.setFont(Font(text_px * 0.9));
    const double width = text_px * 6;
    for (int k = 0; k <= ticks; ++k) {
        const std::size_t index =
            ticks == 0 ? 0 : (chart.times.size() - 1) * static_cast<std::size_t>(k) / ticks;
        const double x = s.X(static_cast<double>(index));
        p.setPen(QPen(INK, 1));
        p.drawLine(QPointF(x, s.plot.bottom()), QPointF(x, s.plot.bottom() + text_px * 0.4));
        // Up to a week the day and the time, beyond it the year and the day.
        const long long at = chart.times[index];
        const QString label =
            QString::fromStdString(history::WallClockText(at, with_time ? "%m-%d" : "%Y")) +
            QLatin1Char('\n') +
            QString::fromStdString(history::WallClockText(at, with_time ? "%H:%M" : "%m-%d"));
        // The first label starts at its tick and the last ends at it, so none leaves the chart.
        const double left = k == 0       ? x - text_px * 0.3
                            : k == ticks ? x - width + text_px * 0.3
                                         : x - width / 2;
        const int align = k == 0 ? Qt::AlignLeft : k == ticks ? Qt::AlignRight : Qt::AlignHCenter;
        p.drawText(QRectF(left, s.plot.bottom() + text_px * 0.45, width, text_px * 2.4),
                   align | Qt::AlignTop, label);
    }
}

// The judgement setting and the three indices against it, from `y`; gives the y under them.
double PaintIndices(QPainter& p, const ItemChart& item, double x, double y, double w,
                    double text_px) {
    p.drawText(QRectF(x, y, w, text_px * 1.4), Qt::AlignLeft,
               QStringLiteral("상한 (판정값) %1").arg(item.usl));
    y += text_px * 1.6;
    const std::pair<const char*, const quality::CapabilityIndex*> rows[] = {
        {"Ppk", &item.capability.ppk},
        {"Cpk", &item.capability.cpk},
        {"백분위 지수", &item.capability.percentile_index},
    };
    for (const auto& [name, index] : rows) {
        const QColor fill = IndexColour(*index);
        const QRectF row(x - text_px * 0.2, y, w + text_px * 0.4, text_px * 2.9);
        if (fill.isValid()) {
            p.fillRect(row, fill);
        }
        p.setPen(INK);
        p.setFont(Font(text_px * 0.9, true));
        p.drawText(QRectF(x, y + text_px * 0.1, w, text_px * 1.3), Qt::AlignLeft,
                   QString::fromUtf8(name));
        p.setFont(Font(text_px * 0.9));
        p.drawText(QRectF(x, y + text_px * 1.4, w, text_px * 1.3), Qt::AlignLeft,
                   IndexText(*index));
        y += text_px * 3.1;
    }
    return y;
}

void PaintCapability(QPainter& p, const QRectF& box, const ItemChart& item, double text_px) {
    p.setPen(QPen(INK, 1));
    p.setBrush(QColor(0xf4, 0xf6, 0xf8));
    p.drawRect(box);
    double y = box.top() + text_px * 0.4;
    const double x = box.left() + text_px * 0.5;
    const double w = box.width() - text_px;
    p.setFont(Font(text_px, true));
    p.drawText(QRectF(x, y, w, text_px * 1.5), Qt::AlignLeft, QStringLiteral("공정 능력"));
    y += text_px * 1.5;
    p.setFont(Font(text_px * 0.85));
    if (!item.specified) {
        p.drawText(QRectF(x, y, w, text_px * 1.4), Qt::AlignLeft, QStringLiteral("규격 없음"));
        y += text_px * 1.6;
    } else {
        y = PaintIndices(p, item, x, y, w, text_px);
    }
    p.setFont(Font(text_px * 0.9, true));
    p.setPen(INK);
    p.drawText(QRectF(x, y, w, text_px * 1.4), Qt::AlignLeft, QStringLiteral("규칙 위반 신호"));
    y += text_px * 1.5;
    p.setFont(Font(text_px * 0.85));
    for (std::size_t r = 0; r < 4; ++r) {
        p.drawText(QRectF(x, y, w, text_px * 1.3), Qt::AlignLeft,
                   QStringLiteral("규칙 %1: %2건").arg(r + 1).arg(item.rule_counts[r]));
        y += text_px * 1.3;
    }
    if (!item.specified && item.ewma.available) {
        p.drawText(QRectF(x, y, w, text_px * 1.3), Qt::AlignLeft,
                   QStringLiteral("EWMA: %1건").arg(item.ewma.signalled.size()));
    }
}

// Where each part of an item's chart goes in `room`, worked out once for all its layers.
struct ChartLayout {
    QRectF room;
    double text_px = 0;
    double left = 0;       // the plots' left edge
    double right = 0;      // and their right one
    double box_width = 0;  // the capability box's, at the room's right
    double title_h = 0;
    double top = 0;  // under the title row
    double gap = 0;  // between the two plots, where the moving ranges' label goes
    QRectF i_plot;
    QRectF mr_plot;
    QRectF box;  // the capability box
};

ChartLayout LayOut(const QRectF& room) {
    ChartLayout l;
    l.room = room;
    l.text_px = std::clamp(room.height() / 30.0, 9.0, room.width() / 55.0);
    l.left = room.left() + l.text_px * 4.5;
    l.box_width = std::max(room.width() * 0.2, l.text_px * 14);
    l.right = room.right() - l.box_width - l.text_px * 5.5;
    l.title_h = l.text_px * 2.2;
    l.top = room.top() + l.title_h + l.text_px * 0.5;
    const double axis_h = l.text_px * 4.2;
    const double charts_h = room.bottom() - axis_h - l.top;
    l.gap = l.text_px * 1.6;
    l.i_plot = QRectF(l.left, l.top, l.right - l.left, (charts_h - l.gap) * 0.68);
    l.mr_plot =
        QRectF(l.left, l.i_plot.bottom() + l.gap, l.right - l.left, (charts_h - l.gap) * 0.32);
    l.box = QRectF(room.right() - l.box_width, l.top, l.box_width - l.text_px * 0.3,
                   room.bottom() - l.top - l.text_px * 0.3);
    return l;
}

// The decimals of an item's limits: the wave's readings vary in the third or fourth.
int LimitDecimals(const ItemChart& of) {
    return of.specified ? 2 : 4;
}

// The item, its limits, and over the capability box the baseline and the count.
void PaintTitle(QPainter& p, const ChartLayout& l, const Chart& chart, Item item, bool ewma) {
    const ItemChart& of = chart.Of(item);
    const double text_px = l.text_px;
    const int decimals = LimitDecimals(of);
    p.setPen(INK);
    p.setFont(Font(text_px * 1.1, true));
    QString title = QStringLiteral("%1 %2 관리도").arg(ItemName(item), ewma ? "EWMA" : "I-MR");
    if (of.limits.Available()) {
        title += QStringLiteral("   CL %1  UCL %2  LCL %3  σ %4")
                     .arg(Number(of.limits.centre, decimals),
                          Number(ewma ? of.ewma.ucl : of.limits.ucl, decimals),
                          Number(ewma ? of.ewma.lcl : of.limits.lcl, decimals),
                          Number(of.limits.sigma, decimals));
    }
    p.drawText(QRectF(l.room.left() + text_px * 0.5, l.room.top() + text_px * 0.2,
                      l.room.width() - l.box_width - text_px, l.title_h),
               Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setFont(Font(text_px * 0.8));
    p.drawText(QRectF(l.room.right() - l.box_width, l.room.top() + text_px * 0.2,
                      l.box_width - text_px * 0.3, l.title_h),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
               QStringLiteral("%1 · 검사 %2건").arg(BaselineText(chart, item)).arg(chart.count));
}

// The individuals' values: every record, the judgement settings and the limits, padded (by at
// least one count for the integer readings, a thousandth of the value for the wave's).
Scale IndividualsScale(const QRectF& plot, const Chart& chart, const ItemChart& of) {
    Scale s{plot, std::max<double>(1.0, static_cast<double>(chart.count - 1)), of.minimum,
            of.maximum};
    for (const quality::Stretch& stretch : chart.stretches) {
        s.y_high = of.specified ? std::max<double>(s.y_high, stretch.usl) : s.y_high;
    }
    if (of.limits.Available()) {
        s.y_low = std::min(s.y_low, of.limits.lcl);
        s.y_high = std::max(s.y_high, of.limits.ucl);
    }
    const double least = of.specified ? 1.0 : std::max(1e-6, std::fabs(s.y_high) * 1e-3);
    const double pad = std::max(least, (s.y_high - s.y_low) * 0.08);
    s.y_low -= pad;
    s.y_high += pad;
    return s;
}

// The judgement setting's line, stretch by stretch (the newest labelled), and the limits.
void PaintIndividualsLines(QPainter& p, const Scale& s, const Chart& chart, const ItemChart& of,
                           double text_px) {
    std::vector<double> labels;
    for (std::size_t k = 0; of.specified && k < chart.stretches.size(); ++k) {
        const quality::Stretch& stretch = chart.stretches[k];
        const bool last = k + 1 == chart.stretches.size();
        PaintLine(p, s, stretch.usl, JUDGE, Qt::SolidLine,
                  last ? QStringLiteral("판정 %1").arg(stretch.usl) : QString(), text_px, &labels,
                  static_cast<double>(stretch.begin),
                  static_cast<double>(last ? stretch.end - 1 : stretch.end));
    }
    if (of.limits.Available()) {
        PaintLine(p, s, of.limits.centre, CENTRE, Qt::SolidLine, QStringLiteral("CL"), text_px,
                  &labels);
        PaintLine(p, s, of.limits.ucl, LIMIT, Qt::DashLine, QStringLiteral("UCL"), text_px,
                  &labels);
        PaintLine(p, s, of.limits.lcl, LIMIT, Qt::DashLine, QStringLiteral("LCL"), text_px,
                  &labels);
    }
}

// Every signal, one marker a pixel column, and a ring around the chosen one.
void PaintSignals(QPainter& p, const Scale& s, const ItemChart& of,
                  std::optional<std::size_t> chosen, double text_px) {
    p.setPen(QPen(SIGNAL_COLOUR, std::max(1.0, text_px / 8)));
    p.setBrush(SIGNAL_COLOUR);
    double last_x = -1e9;
    for (const Signal& signal : of.signalled) {
        const double x = s.X(static_cast<double>(signal.index));
        if (x - last_x < 1.5 && signal.rules.Bits() == 8) {
            continue;
        }
        last_x = x;
        p.drawEllipse(QPointF(x, s.Y(signal.value)), text_px / 3.2, text_px / 3.2);
    }
    if (chosen && *chosen < of.signalled.size()) {
        const Signal& signal = of.signalled[*chosen];
        p.setPen(QPen(Qt::black, std::max(2.0, text_px / 5)));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(s.X(static_cast<double>(signal.index)), s.Y(signal.value)),
                      text_px * 0.9, text_px * 0.9);
    }
}

// The individuals chart: its axis, its lines (their labels may stand right of the plot), the
// points and the signals.
void PaintIndividuals(QPainter& p, const ChartLayout& l, const Scale& s, const Chart& chart,
                      const ItemChart& of, std::optional<std::size_t> chosen) {
    const double text_px = l.text_px;
    PaintValueAxis(p, s, text_px * 0.85);
    p.setClipRect(l.i_plot.adjusted(-text_px, -text_px, text_px * 6, text_px));
    PaintIndividualsLines(p, s, chart, of, text_px);
    p.setClipRect(l.i_plot);
    PaintSeries(p, s, of.drawn, text_px);
    PaintSignals(p, s, of, chosen, text_px);
    p.setClipping(false);
}

// The moving ranges' values, from 0, on the individuals' record axis.
Scale RangesScale(const ChartLayout& l, const Scale& individuals, const ItemChart& of) {
    Scale m{l.mr_plot, individuals.x_last, 0, of.specified ? 1.0 : 1e-9};
    for (const ChartPoint& point : of.mr_drawn) {
        m.y_high = std::max(m.y_high, point.value);
    }
    if (of.limits.Available()) {
        m.y_high = std::max(m.y_high, of.limits.mr_ucl);
    }
    m.y_high *= 1.1;
    return m;
}

// The moving-range chart, its limits and its label in the gap above it.
void PaintRanges(QPainter& p, const ChartLayout& l, const Scale& m, const ItemChart& of) {
    const double text_px = l.text_px;
    PaintValueAxis(p, m, text_px * 0.85);
    p.setClipRect(l.mr_plot.adjusted(-text_px, -text_px, text_px * 6, text_px));
    if (of.limits.Available()) {
        std::vector<double> labels;
        PaintLine(p, m, of.limits.mr_centre, CENTRE, Qt::SolidLine, QStringLiteral("MR"), text_px,
                  &labels);
        PaintLine(p, m, of.limits.mr_ucl, LIMIT, Qt::DashLine, QStringLiteral("UCL"), text_px,
                  &labels);
    }
    p.setClipRect(l.mr_plot);
    PaintSeries(p, m, of.mr_drawn, text_px * 0.8);
    p.setClipping(false);
    p.setPen(INK);
    p.setFont(Font(text_px * 0.8));
    p.drawText(QRectF(l.room.left(), l.mr_plot.top() - l.gap, l.left - text_px * 0.2, l.gap),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral(" 이동범위"));
}

// What the horizontal axis counts, under the dates, and the records left out for want of a fit.
void PaintCaption(QPainter& p, const ChartLayout& l, const ItemChart& of) {
    QString caption = QStringLiteral("가로: 검사 순서 (아래 숫자는 그 검사의 날짜·시각)");
    if (of.unfitted > 0) {
        caption += QStringLiteral(" · 측정 불가 기록 %1건 제외").arg(of.unfitted);
    }
    p.setFont(Font(l.text_px * 0.8));
    p.drawText(QRectF(l.left, l.room.bottom() - l.text_px * 1.3, l.right - l.left, l.text_px * 1.3),
               Qt::AlignHCenter | Qt::AlignVCenter, caption);
}

// The EWMA chart in the room of both plots: the average, its centre and limits, its signals.
void PaintEwma(QPainter& p, const ChartLayout& l, const Chart& chart, const ItemChart& of,
               std::optional<std::size_t> chosen) {
    const double text_px = l.text_px;
    const QRectF plot(l.i_plot.topLeft(), l.mr_plot.bottomRight());
    Scale s = IndividualsScale(plot, chart, of);
    s.y_low = std::min(s.y_low, of.ewma.lcl);
    s.y_high = std::max(s.y_high, of.ewma.ucl);
    PaintValueAxis(p, s, text_px * 0.85);
    p.setClipRect(plot.adjusted(-text_px, -text_px, text_px * 6, text_px));
    std::vector<double> labels;
    PaintLine(p, s, of.limits.centre, CENTRE, Qt::SolidLine, QStringLiteral("CL"), text_px,
              &labels);
    PaintLine(p, s, of.ewma.ucl, LIMIT, Qt::DashLine, QStringLiteral("UCL"), text_px, &labels);
    PaintLine(p, s, of.ewma.lcl, LIMIT, Qt::DashLine, QStringLiteral("LCL"), text_px, &labels);
    p.setClipRect(plot);
    PaintSeries(p, s, of.ewma.drawn, text_px);
    p.setPen(QPen(SIGNAL_COLOUR, std::max(1.0, text_px / 8)));
    p.setBrush(SIGNAL_COLOUR);
    for (const ChartPoint& point : of.ewma.drawn) {
        if (point.value > of.ewma.ucl || point.value < of.ewma.lcl) {
            p.drawEllipse(QPointF(s.X(static_cast<double>(point.index)), s.Y(point.value)),
                          text_px / 3.2, text_px / 3.2);
        }
    }
    if (chosen && *chosen < of.ewma.signalled.size()) {
        const auto at =
            std::find_if(of.ewma.drawn.begin(), of.ewma.drawn.end(), [&](const ChartPoint& point) {
                return point.index == of.ewma.signalled[*chosen].index;
            });
        if (at != of.ewma.drawn.end()) {
            p.setPen(QPen(Qt::black, std::max(2.0, text_px / 5)));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(s.X(static_cast<double>(at->index)), s.Y(at->value)),
                          text_px * 0.9, text_px * 0.9);
        }
    }
    p.setClipping(false);
    PaintTimeAxis(p, s, chart, text_px);
}

}  // namespace

QString IndexText(const quality::CapabilityIndex& index) {
    if (index.count < quality::MIN_PERCENTILE_RECORDS) {
        return QStringLiteral("기록 부족 (%1건, %2건부터)")
            .arg(index.count)
            .arg(quality::MIN_PERCENTILE_RECORDS);
    }
    if (index.status != quality::IndexStatus::COMPUTED) {
        return QStringLiteral("계산 불가 (%1건, 산포 없음)").arg(index.count);
    }
    return QStringLiteral("%1 (%2건)").arg(Number(index.value, 2)).arg(index.count);
}

QColor IndexColour(const quality::CapabilityIndex& index) {
    if (index.count < quality::MIN_PERCENTILE_RECORDS ||
        index.status != quality::IndexStatus::COMPUTED) {
        return {};
    }
    switch (quality::ClassifyIndex(index.value)) {
        case quality::CapabilityClass::RED:
            return RED_FILL;
        case quality::CapabilityClass::AMBER:
            return AMBER_FILL;
        case quality::CapabilityClass::NORMAL:
            break;
    }
    return {};
}

QString ItemName(Item item) {
    return QString::fromUtf8(ItemText(item));
}

QString BaselineText(const Chart& chart, Item item) {
    const quality::ControlLimits& limits = chart.Of(item).limits;
    if (chart.baseline == Baseline::FILTER) {
        return QStringLiteral("기준: 조회 기간 전체 %1건").arg(limits.count);
    }
    return QStringLiteral("기준: 버전 %1의 첫 %2건")
        .arg(QString::fromStdString(ShortVersion(chart.version)))
        .arg(limits.count);
}

void PaintItemChart(QPainter& p, const QRectF& room, const Chart& chart, Item item,
                    std::optional<std::size_t> chosen, bool ewma) {
    const ItemChart& of = chart.Of(item);
    const ChartLayout layout = LayOut(room);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(room, Qt::white);
    PaintTitle(p, layout, chart, item, ewma);
    if (ewma && chart.count > 0 && of.ewma.available) {
        PaintEwma(p, layout, chart, of, chosen);
        PaintCaption(p, layout, of);
        PaintCapability(p, layout.box, of, layout.text_px);
        p.restore();
        return;
    }
    if (chart.count == 0) {
        p.setFont(Font(layout.text_px * 1.2, true));
        p.drawText(layout.i_plot, Qt::AlignCenter,
                   QStringLiteral("조건에 맞는 생산 검사 기록이 없습니다."));
        p.restore();
        return;
    }
    const Scale s = IndividualsScale(layout.i_plot, chart, of);
    PaintIndividuals(p, layout, s, chart, of, chosen);
    const Scale m = RangesScale(layout, s, of);
    PaintRanges(p, layout, m, of);
    PaintTimeAxis(p, m, chart, layout.text_px);
    PaintCaption(p, layout, of);
    PaintCapability(p, layout.box, of, layout.text_px);
    p.restore();
}

void PaintPareto(QPainter& p, const QRectF& room, const QString& title,
                 const std::vector<history::ParetoBar>& all) {
    std::vector<history::ParetoBar> bars(all.begin(),
                                         all.begin() + std::min<std::size_t>(9, all.size()));
    if (all.size() > 9) {
        history::ParetoBar rest{"기타", 0};
        for (std::size_t i = 9; i < all.size(); ++i) {
            rest.units += all[i].units;
        }
        bars.push_back(rest);
    }
    long long total = 0;
    for (const history::ParetoBar& bar : bars) {
        total += bar.units;
    }
    const double text_px = std::clamp(room.height() / 16.0, 8.0, room.width() / 28.0);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(INK);
    p.setFont(Font(text_px * 1.05, true));
    p.drawText(QRectF(room.left(), room.top(), room.width(), text_px * 1.6),
               Qt::AlignLeft | Qt::AlignVCenter, title);
    const QRectF plot(room.left() + text_px * 3, room.top() + text_px * 2,
                      room.width() - text_px * 6.5, room.height() - text_px * 6);
    p.setPen(QPen(INK, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
    if (total == 0) {
        p.setFont(Font(text_px));
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("N.G 없음"));
        p.restore();
        return;
    }
    const long long top = bars.front().units;
    const double slot = plot.width() / static_cast<double>(bars.size());
    p.setFont(Font(text_px * 0.8));
    p.drawText(QRectF(room.left(), plot.top() - text_px * 0.6, text_px * 2.8, text_px * 1.2),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(top));
    p.drawText(QRectF(plot.right() + text_px * 0.2, plot.top() - text_px * 0.6, text_px * 3.5,
                      text_px * 1.2),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("100%"));
    QPainterPath cumulative;
    long long running = 0;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const double h =
            plot.height() * static_cast<double>(bars[i].units) / static_cast<double>(top);
        const QRectF bar(plot.left() + slot * static_cast<double>(i) + slot * 0.15,
                         plot.bottom() - h, slot * 0.7, h);
        p.fillRect(bar, POINTS);
        p.setPen(INK);
        p.setFont(Font(text_px * 0.8, true));
        p.drawText(QRectF(bar.left() - slot * 0.15, bar.top() - text_px * 1.2, slot, text_px * 1.2),
                   Qt::AlignHCenter | Qt::AlignBottom, QString::number(bars[i].units));
        running += bars[i].units;
        const double share = static_cast<double>(running) / static_cast<double>(total);
        const QPointF at(bar.center().x(), plot.bottom() - plot.height() * share);
        i == 0 ? cumulative.moveTo(at) : cumulative.lineTo(at);
        p.setFont(Font(text_px * 0.75));
        p.save();
        p.translate(bar.center().x(), plot.bottom() + text_px * 0.3);
        p.rotate(-30);
        p.drawText(QRectF(-text_px * 8, 0, text_px * 8, text_px * 1.2),
                   Qt::AlignRight | Qt::AlignTop,
                   QString::fromStdString(bars[i].label.empty() ? "-" : bars[i].label));
        p.restore();
        if (i + 1 < bars.size()) {
            p.setPen(JUDGE);
            p.drawText(QRectF(at.x() - slot / 2, at.y() - text_px * 1.3, slot, text_px * 1.2),
                       Qt::AlignHCenter | Qt::AlignBottom,
                       QStringLiteral("%1%").arg(Number(share * 100, 0)));
        }
    }
    p.setPen(QPen(JUDGE, std::max(1.0, text_px / 6)));
    p.drawPath(cumulative);
    p.restore();
}

bool WriteChartImage(const Chart& chart, Item item, std::optional<std::size_t> chosen, int width,
                     int height, const std::string& path, bool ewma) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PaintItemChart(painter, QRectF(0, 0, width, height), chart, item, chosen, ewma);
    }
    return image.save(QString::fromStdString(path), "PNG");
}

}  // namespace process
