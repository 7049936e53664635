#pragma once

#include "session/SeriesStatistics.h"

#include "files/FileError.h"

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class LinkResults;
class QChart;
class QGridLayout;
class QLabel;
class QScatterSeries;
class QPushButton;
class QTimer;
class QValueAxis;
class TSaveDialog;

// The live view of a series: its counts, its response times and a plot of
// them per message. It redraws from the statistics on a timer, and only when
// they changed and the panel can be seen, so the series never waits for it.
// While the statistics change the plot is redrawn less often than the
// figures, as it costs the most to draw; it catches up once they rest.
// The timer runs only while the series may change: it stops once nothing
// changed and nothing waits for the radio, until seriesMayHaveChanged().
class SeriesPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 250;
    static constexpr int PlotIntervalMs = 1000;
    // Points per line of the plot at most: a longer series shows the
    // slowest of each run of consecutive messages, so outliers stay in view
    // and drawing stays cheap however long the series.
    static constexpr int MaxPlottedPoints = SeriesStatistics::MaxPlotPoints;

    SeriesPanel(const SeriesStatistics &series, QWidget *parent = nullptr);

    QPushButton *SaveSeriesButton = nullptr;
    TSaveDialog *SeriesDialog = nullptr;

    // Redraws now if the statistics changed since the last redraw.
    void refresh();
    // Looks at the statistics on the timer again, until they rest.
    void seriesMayHaveChanged();
    // The timer runs.
    bool isRefreshing() const;
    // Asks for a file name and writes the CSV there, the summary beside it,
    // in the background; a file that cannot be written shows in a box.
    void saveSeries();
    // Writes the series as it is now to a CSV file and its JSON summary
    // beside it, in the background; `done` gets the failure, if any. The
    // summary is not written when the CSV file fails.
    void saveSeriesTo(const QString &csvFileName,
                      std::function<void(const std::optional<files::FileError> &)> done);

    // What the panel shows, for a look without reading its labels.
    QString countsText() const;
    int plottedPoints() const;

    // The results of a link test, shown with the series while the link rows
    // are visible: what the far end received, the delivery times and a
    // fourth line in the plot.
    void setLinkResults(const LinkResults *results);
    void setLinkRowsVisible(bool visible);
    bool linkRowsVisible() const { return m_linkVisible; }
    // The link test's counts as the panel shows them.
    QString linkCountsText() const;
    // Puts a widget at the top of the panel, above its title.
    void putOnTop(QWidget *widget);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildCounts(QGridLayout *grid);
    void buildTimes(QGridLayout *grid);
    void buildPlot();
    void redraw();
    // The plot was last drawn long enough ago to be drawn again.
    bool plotDue() const;
    void redrawPlot();
    void buildLinkRows(QGridLayout *times);
    void buildDeliveryPlot();
    // Draws the link test's rows; the longest delivery time.
    qint64 redrawLink();

    const SeriesStatistics &m_series;
    quint64 m_drawnVersion = 0;
    // Messages waited for the radio at the last redraw.
    bool m_waiting = false;
    QTimer *m_refresh = nullptr;
    // The plot shows older figures than the labels.
    bool m_plotBehind = false;
    QElapsedTimer m_sincePlot;
    // The longest time the figures show, for the plot's scale.
    qint64 m_highestMs = 0;
    // Sent, queued, completed, refused, no answer; received, consumed,
    // other, unmatched, waiting.
    std::array<QLabel *, 10> m_counts{};
    QLabel *m_refusals = nullptr;
    // Per span (completion, received, consumed): min, median, p95, max.
    std::array<std::array<QLabel *, 4>, 3> m_times{};
    QChart *m_chart = nullptr;
    std::array<QScatterSeries *, 3> m_plots{};
    QValueAxis *m_xAxis = nullptr;
    QValueAxis *m_yAxis = nullptr;

    const LinkResults *m_link = nullptr;
    bool m_linkVisible = false;
    quint64 m_drawnLinkVersion = 0;
    QWidget *m_linkCountsBox = nullptr;
    // Delivered, lost, in transit, foreign; duplicated, out of order,
    // corrupted, delivery ratio.
    std::array<QLabel *, 8> m_linkCounts{};
    // The delivery row of the times: its caption, min, median, p95, max.
    std::array<QLabel *, 5> m_deliveryTimes{};
    QScatterSeries *m_deliveryPlot = nullptr;
};
