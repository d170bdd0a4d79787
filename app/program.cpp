#include "app/program.h"

#include "core/messages.h"
#include "core/profile_store.h"
#include "core/traffic.h"

#include <QCoreApplication>
#include <QThread>

namespace {
Program &instance()
{
    static Program p;
    return p;
}
} // namespace

Program &prog()
{
    return instance();
}

void resetProgram()
{
    instance() = Program{};
}

bool saveSettingNow(const QString &key)
{
    ProfileStore *profile = instance().profile;
    if (!profile || saveSetting(*profile, instance().settings, key))
        return true;
    reportSaveFailure(QStringLiteral("%1 was not saved (%2); the change applies only until the program ends.")
                          .arg(key, profile->lastWriteError()));
    return false;
}

void reportSaveFailure(const QString &text)
{
    printNotice(text);
    if (!instance().headless)
        showMessage(text, QStringLiteral("Tarnwick"), MsgIcon::Exclamation);
}

namespace {
// Reports from another thread than the window's (the watch's): each is posted
// to the window thread and shown there if the window is open and its group
// on by then; the caller never touches the window, which may close meanwhile.
class PostedTraffic : public TrafficApi {
public:
    explicit PostedTraffic(TrafficGroup group) : m_group(group) {}
    void TrafficLine(const QString &text) override { post(&TrafficApi::TrafficLine, text); }
    void TrafficStart(const QString &text) override { post(&TrafficApi::TrafficStart, text); }
    void TrafficEnd(const QString &text) override { post(&TrafficApi::TrafficEnd, text); }
    void TrafficChar(const QString &text) override { post(&TrafficApi::TrafficChar, text); }
    bool groupEnabled(TrafficGroup group) const override { return group == m_group; }

private:
    void post(void (TrafficApi::*report)(const QString &), const QString &text) const
    {
        const TrafficGroup group = m_group;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [group, report, text] {
                if (TrafficApi *w = trafficFor(group))
                    (w->*report)(text);
            },
            Qt::QueuedConnection);
    }
    TrafficGroup m_group;
};

bool onWindowThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
} // namespace

TrafficApi *trafficFor(TrafficGroup group)
{
    if (!onWindowThread()) {
        static PostedTraffic posted[] = {PostedTraffic(TrafficGroup::MoveHalt), PostedTraffic(TrafficGroup::OtherCalls),
                                         PostedTraffic(TrafficGroup::TempRelated), PostedTraffic(TrafficGroup::IsMoving)};
        return &posted[int(group)];
    }
    TrafficApi *w = instance().TrafficWindow;
    return (w && w->groupEnabled(group)) ? w : nullptr;
}
