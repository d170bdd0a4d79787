// The least a Qt Widgets program pays to show what the windows show, with no
// watch behind it, for idle_cost to set beside the program:
//   windows_floor texts   one window of ten value boxes (five framed labels,
//                         five text boxes) whose texts all change every second
//   windows_floor charts  the program's two chart windows, a new observation
//                         each second, a point every five seconds
//   windows_floor both    both in one process
//   windows_floor idle    the value boxes' window waking each second, changing nothing
// One thread, one wake-up a second; runs until terminated; needs a display.
#include "watch/observation.h"
#include "windows/cached_frame_style.h"
#include "windows/graph_window.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <vector>

namespace {

// Value boxes as the hand box makes them: bold Courier on a sunken panel,
// white on black, and right-aligned text boxes with copied frames.
struct TextsWindow {
    QWidget window;
    std::vector<QLabel *> labels;
    std::vector<QLineEdit *> boxes;
    int tick = 0;

    TextsWindow()
    {
        auto *grid = new QGridLayout(&window);
        auto *frames = new CachedFrameStyle;
        frames->setParent(&window);
        for (int k = 0; k < 5; ++k) {
            auto *l = new QLabel(&window);
            QFont f(QStringLiteral("Courier"));
            f.setStyleHint(QFont::TypeWriter);
            f.setBold(true);
            l->setFont(f);
            l->setAlignment(Qt::AlignCenter);
            l->setFrameShape(QFrame::Panel);
            l->setFrameShadow(QFrame::Sunken);
            l->setStyleSheet(QStringLiteral("background-color: #000000;color: #ffffff;"));
            l->setFixedSize(144, 17);
            grid->addWidget(l, k, 0);
            labels.push_back(l);
            auto *e = new QLineEdit(&window);
            e->setAlignment(Qt::AlignRight);
            e->setFixedSize(70, 22);
            e->setStyle(frames);
            grid->addWidget(e, k, 1);
            boxes.push_back(e);
        }
        window.move(0, 0);
        window.show();
    }

    void change()
    {
        ++tick;
        for (size_t k = 0; k < labels.size(); ++k) {
            labels[k]->setText(QString::number(10 + std::sin(tick + double(k)), 'f', 1));
            boxes[k]->setText(QString::number(50 + 10 * std::cos(tick * 0.7 + double(k)), 'f', 2));
        }
    }
};

Observation observationAt(int tick)
{
    Observation o;
    o.utc = QDateTime::currentDateTimeUtc();
    o.ambientC = 15 + std::sin(tick / 30.0);
    o.thermopileC = o.ambientC + 0.5;
    o.skyC = -5 + std::sin(tick / 20.0);
    o.humidityPercent = 60 + 5 * std::sin(tick / 40.0);
    o.dewPointC = 7 + std::sin(tick / 50.0);
    o.windCurrent = 4 + std::sin(tick / 3.0);
    o.rainReading = 300 + tick % 7;
    o.rainMean = 300;
    o.skyBrightness = 160 + tick % 5;
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("both");
    std::signal(SIGTERM, [](int) { std::_Exit(0); });
    std::unique_ptr<TextsWindow> texts;
    if (mode != "charts")
        texts = std::make_unique<TextsWindow>();
    std::unique_ptr<GraphWindow> temperatures, windHumidity;
    QTimer second;
    second.setTimerType(Qt::VeryCoarseTimer);
    second.setInterval(1000);
    int tick = 0;
    auto everySecond = [&] {
        ++tick;
        if (texts && mode != "idle")
            texts->change();
        for (GraphWindow *w : {temperatures.get(), windHumidity.get()})
            if (w)
                w->setObservation(observationAt(tick));
    };
    if (mode == "charts" || mode == "both") {
        temperatures.reset(newTemperaturesWindow(nullptr));
        windHumidity.reset(newWindHumidityWindow(nullptr));
        temperatures->move(300, 0);
        windHumidity->move(300, 380);
        temperatures->show();
        windHumidity->show();
        // The charts' own sampling timer is the one wake-up a second.
        QObject::connect(&temperatures->sampleTimer(), &QTimer::timeout, &app, everySecond);
        everySecond();
    } else {
        QObject::connect(&second, &QTimer::timeout, &app, everySecond);
        second.start();
    }
    return app.exec();
}
