#include "windows/graph_window.h"

#include "core/platform.h"

#include <QCheckBox>
#include <algorithm>
#include <QGraphicsLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

namespace {

// Twips as the layout is given; the widgets work in pixels.
int px(double twips)
{
    return int(std::lround(twips / kTwipsPerPixel));
}
double twips(int pixels)
{
    return double(pixels) * kTwipsPerPixel;
}

constexpr int kClientWidth = 8040;
constexpr int kClientHeight = 3345;
constexpr int kPicHolderHeight = 1095;
constexpr int kLeftMargin = 500;
constexpr int kLabelRowHeight = 255;
// Below the plot, the times (HH:MM); right of it, the series tags, in a
// column of their own so they never cover the axis numbers.
constexpr int kTimeRowHeight = 255;
constexpr int kTagColumnWidth = 420;
constexpr int kTimeOverhang = 225;
// Right of the plot, the numbers of the scale of counts and its title.
constexpr int kCountScaleWidth = 600;
constexpr int kSampleMs = 1000;
// A full view has a point at both edges.
constexpr qsizetype kMaxPoints = kGraphPoints + 1;
const QColor kGridColor(0, 128, 0);
const char *kScaleCaption =
    " 5           4            3           2            1      min                            Update Rate =";

QString hexColor(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

} // namespace

GraphWindow::GraphWindow(const GraphWindowDef &def, QWidget *owner)
    : QWidget(owner, Qt::Window), m_def(def), m_averager(int(def.series.size()))
{
    setObjectName(QString::fromLatin1(def.objectName));
    setWindowTitle(QString::fromLatin1(def.title));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    m_timer.setObjectName(QStringLiteral("tmrChange"));
    // On whole seconds: both windows tick on the same wake-up, hidden or shown.
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_timer.interval() != kSampleMs) { // no observation came: every second again
            m_timer.setTimerType(Qt::VeryCoarseTimer);
            m_timer.start(kSampleMs);
        }
        tick();
    });

    buildControls();
    resize(px(kClientWidth), px(kClientHeight));

    // Load: the bar's starting value gives 5 samples per point and starts the timer.
    m_bar->setValue(GraphRate::kBarAtLoad);
    m_checks.front()->setChecked(true);
    layoutControls();
}

void GraphWindow::buildControls()
{
    buildChart();
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    m_picHolder = new QWidget(this);
    m_picHolder->setObjectName(QStringLiteral("picHolder"));
    m_picHolder->setAutoFillBackground(true);
    m_picHolder->setPalette(pal);

    for (const GraphAxisLabelDef &a : m_def.axisLabels) {
        auto *label = new QLabel(QString::fromLatin1(a.caption), this);
        label->setObjectName(QString::fromLatin1(a.name));
        label->setGeometry(0, 0, px(kLeftMargin), px(kLabelRowHeight));
        m_axisLabels.push_back(label);
    }
    for (size_t i = 0; i < m_def.series.size(); ++i)
        addSeries(i);
    buildRateControls();
}

void GraphWindow::buildChart()
{
    // The chart: fixed y range, black ground, green grid, no legend or axis text
    // (the margin labels carry the scale).
    m_chart = new QChart;
    m_chart->legend()->hide();
    m_chart->setBackgroundBrush(Qt::black);
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(0, 0, 0, 0));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_yAxis = new QValueAxis;
    m_yAxis->setRange(m_def.minimum, m_def.maximum);
    m_yAxis->setTickCount(int((m_def.maximum - m_def.minimum) / m_def.step) + 1);
    m_yAxis->setGridLineColor(kGridColor);
    m_yAxis->setLabelsVisible(false);
    m_xAxis = new QDateTimeAxis;
    m_xAxis->setFormat(QStringLiteral("HH:mm"));
    m_xAxis->setGridLineColor(kGridColor);
    m_xAxis->setLabelsColor(Qt::lightGray);
    QFont timeFont = m_xAxis->labelsFont();
    timeFont.setPointSizeF(7);
    m_xAxis->setLabelsFont(timeFont);
    m_chart->addAxis(m_yAxis, Qt::AlignLeft);
    m_chart->addAxis(m_xAxis, Qt::AlignBottom);
    if (std::any_of(m_def.series.begin(), m_def.series.end(), [](const GraphSeriesDef &d) { return d.onCountScale; }))
        buildCountAxis();
    // Hairlines: the same pixels as the theme's one-pixel pens without
    // antialiasing, but a moved line's bounds need no outline of its stroke.
    for (QAbstractAxis *axis : m_chart->axes()) {
        QPen grid = axis->gridLinePen();
        grid.setWidth(0);
        axis->setGridLinePen(grid);
        QPen line = axis->linePen();
        line.setWidth(0);
        axis->setLinePen(line);
    }
    m_chartView = new QChartView(m_chart, this);
    m_chartView->setObjectName(QString::fromLatin1(m_def.chartName));
    m_chartView->setRenderHint(QPainter::Antialiasing, false);
    m_chartView->setFrameShape(QFrame::NoFrame);
    m_chartView->setBackgroundBrush(Qt::black);
}

// Counts do not read on a scale of degrees: they have their own, numbered,
// at the right, without grid lines of its own.
void GraphWindow::buildCountAxis()
{
    m_countAxis = new QValueAxis;
    m_countAxis->setObjectName(QStringLiteral("countScale"));
    m_countAxis->setRange(CountScale::kMinimum, CountScale::kMaximum);
    m_countAxis->setTickCount(CountScale::kLabels);
    m_countAxis->setLabelFormat(QStringLiteral("%d"));
    m_countAxis->setGridLineVisible(false);
    m_countAxis->setLabelsColor(Qt::lightGray);
    m_countAxis->setLinePenColor(kGridColor);
    QFont font = m_countAxis->labelsFont();
    font.setPointSizeF(7);
    m_countAxis->setLabelsFont(font);
    m_countAxis->setTitleText(QStringLiteral("counts"));
    m_countAxis->setTitleBrush(Qt::lightGray);
    m_countAxis->setTitleFont(font);
    m_chart->addAxis(m_countAxis, Qt::AlignRight);
}

QValueAxis *GraphWindow::axisOf(size_t series) const
{
    return m_def.series[series].onCountScale ? m_countAxis : m_yAxis;
}

double GraphWindow::plotted(size_t series, double average) const
{
    return m_def.series[series].onCountScale ? countPlotValue(average) : m_def.plotValue(average);
}

// A series with its margin tag and its check box.
void GraphWindow::addSeries(size_t i)
{
    const GraphSeriesDef &d = m_def.series[i];
    auto *series = new QLineSeries;
    m_chart->addSeries(series);
    series->attachAxis(m_xAxis);
    series->attachAxis(axisOf(i));
    series->setVisible(true);
    series->setColor(d.color);
    m_series.push_back(series);

    auto *label = new QLabel(QString::fromLatin1(d.labelCaption), this);
    label->setObjectName(QString::fromLatin1(d.labelName));
    label->setStyleSheet(QStringLiteral("color: %1;").arg(hexColor(d.color)));
    label->setGeometry(0, 0, px(kTagColumnWidth) - 2, px(kLabelRowHeight));
    m_marginLabels.push_back(label);

    // Two columns of three rows, each caption in its series colour.
    auto *box = new QCheckBox(QString::fromLatin1(d.checkCaption), m_picHolder);
    box->setObjectName(QStringLiteral("chkVisible"));
    box->setProperty("index", int(i));
    box->setStyleSheet(QStringLiteral("QCheckBox { color: %1; }").arg(hexColor(d.color)));
    box->setGeometry(px(i < 3 ? 120 : 1800), px(360 * int(i % 3)), px(1600), px(330));
    connect(box, &QCheckBox::stateChanged, this, [this, i](int state) {
        m_series[i]->setVisible(state == Qt::Checked);
    });
    m_checks.push_back(box);
    box->setChecked(true);
}

void GraphWindow::buildRateControls()
{
    m_bar = new QScrollBar(Qt::Horizontal, m_picHolder);
    m_bar->setObjectName(QStringLiteral("HScroll1"));
    m_bar->setRange(GraphRate::kBarMin, GraphRate::kBarMax);
    m_bar->setGeometry(px(3840), px(120), px(3675), px(255));
    connect(m_bar, &QScrollBar::valueChanged, this, &GraphWindow::onUpdateRate);

    // The scale runs under the bar (5 minutes at its left end); its end,
    // "Update Rate =", is cut at the window's edge, so the rate sits below it.
    auto *scale = new QLabel(QString::fromLatin1(kScaleCaption), m_picHolder);
    scale->setObjectName(QStringLiteral("ScaleCaption"));
    scale->setGeometry(px(3840), px(420), px(kClientWidth - 3840), px(255));
    m_updateRate = new QLabel(m_picHolder);
    m_updateRate->setObjectName(QStringLiteral("UpdateRate"));
    m_updateRate->setGeometry(px(3840), px(720), px(3675), px(255));
    m_updateRate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void GraphWindow::onUpdateRate(int barValue)
{
    m_timer.stop();
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    m_timer.setInterval(kSampleMs);
    const int n = intervalFromBar(barValue);
    m_averager.setInterval(n); // also empties the running sums
    m_updateRate->setText(updateRateCaption(n));
    if (n == GraphRate::kOff)
        return; // the view stays as it was
    m_timer.start();
    m_spanMs = graphSpanMs(n);
    showSpanEndingAt(m_clock().toMSecsSinceEpoch());
    if (m_history)
        fillFromHistory();
}

void GraphWindow::showSpanEndingAt(qint64 endMs)
{
    m_xAxis->setRange(QDateTime::fromMSecsSinceEpoch(endMs - m_spanMs), QDateTime::fromMSecsSinceEpoch(endMs));
    // Ticks at least a minute apart, so no two read the same.
    m_xAxis->setTickCount(int(std::clamp<qint64>(m_spanMs / 60000 + 1, 2, 6)));
}

void GraphWindow::fillFromHistory()
{
    const int n = m_averager.interval();
    if (!m_history || n <= 0 || n == GraphRate::kOff || !m_def.samples)
        return;
    const QDateTime now = m_clock();
    std::vector<QList<QPointF>> points;
    try {
        points = historyPoints(m_history(now.addMSecs(-m_spanMs), now), now, n, m_series.size(), m_def.samples,
                               [this](size_t i, double average) { return plotted(i, average); });
    } catch (...) {
        return; // an archive that fails leaves the chart as it is
    }
    if (points.empty() || points.front().isEmpty())
        return;
    for (size_t i = 0; i < m_series.size(); ++i)
        m_series[i]->replace(points[i]);
    showSpanEndingAt(now.toMSecsSinceEpoch());
}

void GraphWindow::tick()
{
    // A timer slot must not throw into the event loop.
    try {
        std::vector<double> averages;
        if (m_latest && m_averager.add(m_def.samples(*m_latest), averages))
            plot(averages);
    } catch (...) {
    }
}

void GraphWindow::sampleArrival(const Observation &o)
{
    setObservation(o);
    if (!m_timer.isActive())
        return; // updates off
    tick();
    // A coarse timer: a very coarse one would round the wait up to two seconds.
    m_timer.stop();
    m_timer.setTimerType(Qt::CoarseTimer);
    m_timer.start(kSampleMs * 3 / 2);
}

void GraphWindow::plot(const std::vector<double> &averages)
{
    // The plot's height stands for the chart's, so tags line up with the lines.
    const double h = twips(height()) - kPicHolderHeight - kTimeRowHeight - kLabelRowHeight;
    const qint64 now = m_clock().toMSecsSinceEpoch();

    m_chartView->setUpdatesEnabled(false);
    m_tagTops.assign(m_series.size(), 0.0);
    for (size_t i = 0; i < m_series.size() && i < averages.size(); ++i) {
        const double v = plotted(i, averages[i]);
        const QValueAxis *axis = axisOf(i);
        m_tagTops[i] = m_def.labelTop(h, averages[i], v, axis->max(), axis->min());
        // Hidden series are appended too; every series keeps only what is in view.
        QLineSeries *series = m_series[i];
        QList<QPointF> points = series->points();
        points.append(QPointF(double(now), v));
        // A full view drops its oldest point: one new line for the series, not two.
        if (const qsizetype drop = pointsOutOfView(points, now, m_spanMs, kMaxPoints); drop > 0) {
            points.remove(0, drop);
            series->replace(points);
        } else {
            series->append(points.back());
        }
    }
    placeTags();
    showSpanEndingAt(now);
    m_chartView->setUpdatesEnabled(true);
}

void GraphWindow::placeTags()
{
    const int x = width() - px(kTagColumnWidth) + 2;
    // Before the first point every tag wants the top: they are stacked there.
    std::vector<double> wanted(m_marginLabels.size(), 0.0);
    for (size_t i = 0; i < wanted.size() && i < m_tagTops.size(); ++i)
        wanted[i] = m_tagTops[i] / kTwipsPerPixel;
    const int plotHeight = m_chartView->height() - px(kTimeRowHeight);
    const std::vector<double> tops = spreadLabelTops(wanted, px(kLabelRowHeight), plotHeight);
    for (size_t i = 0; i < tops.size(); ++i)
        m_marginLabels[i]->move(x, int(std::lround(tops[i])));
}

void GraphWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized())
        layoutControls();
}

void GraphWindow::layoutControls()
{
    const int pic = px(kPicHolderHeight);
    m_picHolder->setGeometry(0, height() - pic, width(), pic);
    const int chartWidth = std::max(0, width() - px(kLeftMargin) - px(kTagColumnWidth));
    const int chartHeight = std::max(0, height() - pic);
    m_chartView->setGeometry(px(kLeftMargin), 0, chartWidth, chartHeight);
    // Room at both ends for the half of a time that overhangs its tick.
    const int overhang = px(kTimeOverhang);
    const int right = m_countAxis ? std::max(overhang, px(kCountScaleWidth)) : overhang;
    m_chart->setPlotArea(QRectF(overhang, 0, std::max(1, chartWidth - overhang - right),
                                std::max(1, chartHeight - px(kTimeRowHeight))));
    placeTags();

    const double plotHeight = twips(height()) - kPicHolderHeight - kTimeRowHeight;
    const GraphLabelTops tops = m_def.axisLabelTops(plotHeight, m_yAxis->max(), m_yAxis->min());
    for (QLabel *label : m_axisLabels) {
        const QString name = label->objectName();
        double top = 0; // LabelMax stays at the top
        if (name == QLatin1String("Label_Min"))
            top = tops.minLabel;
        else if (name == QLatin1String("Label_Zero"))
            top = tops.zero;
        else if (name == QLatin1String("Label25"))
            top = tops.l25;
        else if (name == QLatin1String("Label50"))
            top = tops.l50;
        else if (name == QLatin1String("Label75"))
            top = tops.l75;
        label->move(0, px(top));
    }
}
