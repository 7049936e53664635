#include "window/SeriesPanel.h"

#include "files/FileError.h"
#include "session/LinkExport.h"
#include "session/LinkResults.h"
#include "session/SeriesExport.h"
#include "session/SeriesStatistics.h"
#include "window/BackgroundSave.h"
#include "window/NotSavedBox.h"
#include "window/SaveDialog.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <memory>

namespace {

using Span = SeriesStatistics::Span;

constexpr std::array<Span, 3> Spans = {Span::Completion, Span::ReceivedReport,
                                       Span::ConsumedReport};
const char *const SpanCaptions[] = {"Completion", "Received report", "Consumed report"};
// Short, so the legend fits a narrow panel.
const char *const PlotNames[] = {"completion", "received", "consumed"};
constexpr qreal MarkerSize = 5;
// Two columns: the messages, then their reports. "Queued" are composed and
// wait for the radio to take the command before them.
const char *const CountCaptions[] = {
    "Sent",      "Queued",           "Completed",        "Refused",
    "No answer", "Received reports", "Consumed reports", "Other statuses",
    "Unmatched", "Still waiting"};
constexpr int CountRows = 5;
const char *const FigureCaptions[] = {"min", "median", "p95", "max"};
// Two columns: what became of the link test's messages, then how.
const char *const LinkCountCaptions[] = {"Delivered", "Lost",          "In transit",
                                         "Foreign",   "Duplicated",    "Out of order",
                                         "Corrupted", "Delivery ratio"};
constexpr int LinkCountRows = 4;

QLabel *valueLabel(QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("0"), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("000000")));
    return label;
}

// Makes the axis reach `needed`, in nice numbers, when it is too short or
// more than twice as long (a new series). A range set anew lays the chart
// out anew, its labels and every point: most redraws of a running series
// leave it alone.
void fitAxis(QValueAxis *axis, qreal needed)
{
    if (needed <= axis->max() && needed * 2 > axis->max())
        return;
    axis->setRange(0, needed);
    axis->applyNiceNumbers();
}

} // namespace

SeriesPanel::SeriesPanel(const SeriesStatistics &series, QWidget *parent)
    : QWidget(parent), m_series(series)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 2, 4, 2);
    column->setSpacing(4);

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("Series:"), this);
    SaveSeriesButton = new QPushButton(QStringLiteral("Save series..."), this);
    SaveSeriesButton->setObjectName(QStringLiteral("SaveSeriesButton"));
    SaveSeriesButton->setToolTip(
        QStringLiteral("Save one CSV row per message, and a JSON summary beside it"));
    header->addWidget(title);
    header->addStretch(1);
    header->addWidget(SaveSeriesButton);
    column->addLayout(header);

    auto *counts = new QGridLayout;
    counts->setHorizontalSpacing(8);
    counts->setVerticalSpacing(0);
    buildCounts(counts);
    column->addLayout(counts);
    m_refusals = new QLabel(this);
    m_refusals->setWordWrap(true);
    column->addWidget(m_refusals);
    m_linkCountsBox = new QWidget(this);
    column->addWidget(m_linkCountsBox);

    auto *times = new QGridLayout;
    times->setHorizontalSpacing(8);
    times->setVerticalSpacing(0);
    buildTimes(times);
    buildLinkRows(times);
    column->addLayout(times);

    buildPlot();
    buildDeliveryPlot();
    auto *view = new QChartView(m_chart, this);
    view->setMinimumHeight(120);
    column->addWidget(view, 1);

    // Unnamed: the settings file keeps only the controls it always kept; the
    // dialog still starts from the last file of the session.
    SeriesDialog = new TSaveDialog(this);
    SeriesDialog->setTitle(QStringLiteral("Save series as"));
    SeriesDialog->setDefaultExt(QStringLiteral("csv"));
    SeriesDialog->setFilter(QStringLiteral("CSV files (*.csv)"));
    connect(SaveSeriesButton, &QPushButton::clicked, this, &SeriesPanel::saveSeries);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(RefreshIntervalMs);
    connect(m_refresh, &QTimer::timeout, this, &SeriesPanel::refresh);
}

void SeriesPanel::buildCounts(QGridLayout *grid)
{
    for (std::size_t i = 0; i < m_counts.size(); ++i) {
        const int row = int(i % CountRows);
        const int pair = int(i / CountRows) * 2;
        grid->addWidget(new QLabel(QString::fromLatin1(CountCaptions[i]), this), row, pair);
        m_counts[i] = valueLabel(this);
        grid->addWidget(m_counts[i], row, pair + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

void SeriesPanel::buildTimes(QGridLayout *grid)
{
    grid->addWidget(new QLabel(QStringLiteral("Write to ... (ms)"), this), 0, 0);
    for (int f = 0; f < 4; ++f) {
        auto *caption = new QLabel(QString::fromLatin1(FigureCaptions[f]), this);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(caption, 0, f + 1);
    }
    for (std::size_t s = 0; s < Spans.size(); ++s) {
        grid->addWidget(new QLabel(QString::fromLatin1(SpanCaptions[s]), this), int(s) + 1, 0);
        for (std::size_t f = 0; f < 4; ++f) {
            m_times[s][f] = valueLabel(this);
            m_times[s][f]->setText(QStringLiteral("-"));
            grid->addWidget(m_times[s][f], int(s) + 1, int(f) + 1);
        }
    }
    grid->setColumnStretch(0, 1);
}

void SeriesPanel::buildPlot()
{
    m_chart = new QChart;
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    // Four lines' names side by side in a narrow panel: small markers, a
    // slightly smaller font.
    m_chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    QFont legendFont = m_chart->legend()->font();
    legendFont.setPointSizeF(legendFont.pointSizeF() * 0.85);
    m_chart->legend()->setFont(legendFont);
    // Animations would cost the window thread on every redraw.
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_xAxis = new QValueAxis(m_chart);
    m_xAxis->setTitleText(QStringLiteral("message"));
    m_xAxis->setLabelFormat(QStringLiteral("%d"));
    m_xAxis->setRange(0, 10);
    m_yAxis = new QValueAxis(m_chart);
    m_yAxis->setTitleText(QStringLiteral("ms"));
    m_yAxis->setLabelFormat(QStringLiteral("%d"));
    m_yAxis->setRange(0, 100);
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    for (std::size_t s = 0; s < Spans.size(); ++s) {
        m_plots[s] = new QScatterSeries(m_chart);
        m_plots[s]->setName(QString::fromLatin1(PlotNames[s]));
        m_plots[s]->setMarkerSize(MarkerSize);
        m_plots[s]->setPen(Qt::NoPen);
        m_chart->addSeries(m_plots[s]);
        m_plots[s]->attachAxis(m_xAxis);
        m_plots[s]->attachAxis(m_yAxis);
    }
}

void SeriesPanel::refresh()
{
    // A hidden panel (the unattended run) draws nothing, and looks again
    // when it is shown.
    if (!isVisible()) {
        m_refresh->stop();
        return;
    }
    const quint64 linkVersion = m_link ? m_link->version() : 0;
    if (m_series.version() != m_drawnVersion || linkVersion != m_drawnLinkVersion) {
        m_drawnVersion = m_series.version();
        m_drawnLinkVersion = linkVersion;
        redraw();
        return;
    }
    // At rest: the plot catches up at once.
    if (m_plotBehind)
        redrawPlot();
    // Nothing to come without a call of the session's, which says so.
    if (!m_waiting && !m_plotBehind)
        m_refresh->stop();
}

void SeriesPanel::seriesMayHaveChanged()
{
    const quint64 linkVersion = m_link ? m_link->version() : 0;
    const bool changed =
        m_series.version() != m_drawnVersion || linkVersion != m_drawnLinkVersion || m_waiting;
    if (changed && isVisible() && !m_refresh->isActive())
        m_refresh->start();
}

bool SeriesPanel::isRefreshing() const
{
    return m_refresh->isActive();
}

void SeriesPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    seriesMayHaveChanged();
}

void SeriesPanel::redraw()
{
    const SeriesStatistics::Counts counts = m_series.counts();
    m_waiting = counts.stillWaiting > 0;
    const int values[] = {counts.sent,
                          counts.queued,
                          counts.completed,
                          counts.refused,
                          counts.noAnswer,
                          counts.receivedReports,
                          counts.consumedReports,
                          counts.otherStatuses,
                          counts.unmatchedReports,
                          counts.stillWaiting};
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        m_counts[i]->setNum(values[i]);
    QStringList refusals;
    for (auto it = counts.refusals.cbegin(); it != counts.refusals.cend(); ++it)
        refusals << QStringLiteral("%1: %2").arg(QString::fromLatin1(it.key())).arg(it.value());
    m_refusals->setText(refusals.isEmpty() ? QString()
                                           : QStringLiteral("Refused with ") +
                                                 refusals.join(QStringLiteral(", ")));
    m_refusals->setVisible(!refusals.isEmpty());

    qint64 highest = 0;
    for (std::size_t s = 0; s < Spans.size(); ++s) {
        const std::optional<SeriesStatistics::Figures> figures = m_series.figures(Spans[s]);
        const qint64 shown[] = {figures ? figures->minMs : 0, figures ? figures->medianMs : 0,
                                figures ? figures->p95Ms : 0, figures ? figures->maxMs : 0};
        for (std::size_t f = 0; f < 4; ++f)
            m_times[s][f]->setText(figures ? QString::number(shown[f]) : QStringLiteral("-"));
        if (figures)
            highest = std::max(highest, figures->maxMs);
    }
    m_highestMs = std::max(highest, redrawLink());
    if (plotDue())
        redrawPlot();
    else
        m_plotBehind = true;
}

bool SeriesPanel::plotDue() const
{
    return !m_sincePlot.isValid() || m_sincePlot.elapsed() >= PlotIntervalMs;
}

void SeriesPanel::redrawPlot()
{
    m_plotBehind = false;
    m_sincePlot.start();
    // One replace redraws a line once, however many points changed.
    for (std::size_t s = 0; s < Spans.size(); ++s)
        m_plots[s]->replace(m_series.plotPoints(Spans[s]));
    if (m_link && m_linkVisible)
        m_deliveryPlot->replace(m_link->deliveryPlotPoints());
    const int runLength = m_series.plotRunLength();
    m_xAxis->setTitleText(runLength > 1
                              ? QStringLiteral("message (slowest of each %1)").arg(runLength)
                              : QStringLiteral("message"));
    const int linkMessages = m_link && m_linkVisible ? int(m_link->messages().size()) : 0;
    fitAxis(m_xAxis, std::max({10, m_series.messageCount(), linkMessages}));
    fitAxis(m_yAxis, qreal(std::max<qint64>(100, m_highestMs + m_highestMs / 10)));
}

QString SeriesPanel::countsText() const
{
    QStringList parts;
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        parts << QString::fromLatin1(CountCaptions[i]) + QLatin1Char(' ') + m_counts[i]->text();
    return parts.join(QStringLiteral(", "));
}

int SeriesPanel::plottedPoints() const
{
    int points = 0;
    for (const QScatterSeries *plot : m_plots)
        points += int(plot->count());
    return points;
}

void SeriesPanel::buildLinkRows(QGridLayout *times)
{
    auto *grid = new QGridLayout(m_linkCountsBox);
    grid->setContentsMargins(0, 4, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(0);
    for (std::size_t i = 0; i < m_linkCounts.size(); ++i) {
        const int row = int(i % LinkCountRows);
        const int pair = int(i / LinkCountRows) * 2;
        grid->addWidget(new QLabel(QString::fromLatin1(LinkCountCaptions[i]), m_linkCountsBox), row,
                        pair);
        m_linkCounts[i] = valueLabel(m_linkCountsBox);
        grid->addWidget(m_linkCounts[i], row, pair + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    const int row = times->rowCount();
    m_deliveryTimes[0] = new QLabel(QStringLiteral("Delivery"), this);
    m_deliveryTimes[0]->setToolTip(
        QStringLiteral("From the end of the write at the sender to the arrival at the receiver"));
    times->addWidget(m_deliveryTimes[0], row, 0);
    for (std::size_t f = 1; f < m_deliveryTimes.size(); ++f) {
        m_deliveryTimes[f] = valueLabel(this);
        m_deliveryTimes[f]->setText(QStringLiteral("-"));
        times->addWidget(m_deliveryTimes[f], row, int(f));
    }
    setLinkRowsVisible(false);
}

void SeriesPanel::buildDeliveryPlot()
{
    m_deliveryPlot = new QScatterSeries(m_chart);
    m_deliveryPlot->setName(QStringLiteral("delivery"));
    m_deliveryPlot->setMarkerSize(MarkerSize);
    m_deliveryPlot->setPen(Qt::NoPen);
    m_chart->addSeries(m_deliveryPlot);
    m_deliveryPlot->attachAxis(m_xAxis);
    m_deliveryPlot->attachAxis(m_yAxis);
    m_deliveryPlot->setVisible(m_linkVisible);
}

void SeriesPanel::setLinkResults(const LinkResults *results)
{
    m_link = results;
    m_drawnLinkVersion = 0;
}

void SeriesPanel::setLinkRowsVisible(bool visible)
{
    m_linkVisible = visible;
    m_linkCountsBox->setVisible(visible);
    for (QLabel *label : m_deliveryTimes)
        label->setVisible(visible);
    if (m_deliveryPlot)
        m_deliveryPlot->setVisible(visible);
    if (isVisible())
        redraw();
}

qint64 SeriesPanel::redrawLink()
{
    if (!m_link || !m_linkVisible)
        return 0;
    const LinkResults::Counts counts = m_link->counts();
    const int values[] = {counts.delivered,  counts.lost,       counts.inTransit, counts.foreign,
                          counts.duplicated, counts.outOfOrder, counts.corrupted};
    for (std::size_t i = 0; i < std::size(values); ++i)
        m_linkCounts[i]->setNum(values[i]);
    const std::optional<double> ratio = m_link->deliveryRatio();
    m_linkCounts.back()->setText(ratio ? QString::number(*ratio, 'f', 3) : QStringLiteral("-"));

    const std::optional<TimeFigures> figures = m_link->deliveryFigures();
    const qint64 shown[] = {figures ? figures->minMs : 0, figures ? figures->medianMs : 0,
                            figures ? figures->p95Ms : 0, figures ? figures->maxMs : 0};
    for (std::size_t f = 0; f < 4; ++f)
        m_deliveryTimes[f + 1]->setText(figures ? QString::number(shown[f]) : QStringLiteral("-"));
    return figures ? figures->maxMs : 0;
}

QString SeriesPanel::linkCountsText() const
{
    QStringList parts;
    for (std::size_t i = 0; i < m_linkCounts.size(); ++i)
        parts << QString::fromLatin1(LinkCountCaptions[i]) + QLatin1Char(' ') +
                     m_linkCounts[i]->text();
    return parts.join(QStringLiteral(", "));
}

void SeriesPanel::putOnTop(QWidget *widget)
{
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, widget);
}

void SeriesPanel::saveSeries()
{
    if (!SeriesDialog->Execute(this))
        return;
    saveSeriesTo(SeriesDialog->FileName(), [this](const std::optional<files::FileError> &failure) {
        if (failure)
            showNotSavedBox(this, *failure);
    });
}

void SeriesPanel::saveSeriesTo(const QString &csvFileName,
                               std::function<void(const std::optional<files::FileError> &)> done)
{
    // The series (or link test) as it is now, taken cheaply; the rows are
    // made and written in the background while the series goes on.
    std::shared_ptr<const SeriesExport::CsvRows> rows;
    QByteArray summary;
    if (m_link && m_linkVisible && m_link->started()) {
        // The window's link test goes one way: every message is the sender's.
        const LinkExport::Series series{&m_series, nullptr};
        rows = std::make_shared<const LinkExport::CsvSnapshot>(series, *m_link);
        summary = LinkExport::summaryJson(series, *m_link, false);
    } else {
        rows = std::make_shared<const SeriesExport::CsvSnapshot>(m_series);
        summary = SeriesExport::summaryJson(m_series);
    }
    BackgroundSave::start(
        this,
        [rows, summary, csvFileName] {
            SeriesExport::writeCsvFile(csvFileName, *rows);
            SeriesExport::writeFile(SeriesExport::summaryFileFor(csvFileName), summary);
        },
        std::move(done));
}
