#include "windows/hand_box.h"

#include "screen/window_system.h"
#include "windows/seen_on_screen.h"
#include "windows/status_strip.h"
#include "windows/windows_logging.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGraphicsColorizeEffect>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QPushButton>

Q_LOGGING_CATEGORY(lcWindows, "tarnwick.windows", QtInfoMsg)

namespace {
QString cssColor(uint32_t vb)
{
    return QStringLiteral("#%1%2%3")
        .arg(vb & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((vb >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((vb >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
}

Qt::CheckState qtState(int state)
{
    return state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

int modelState(Qt::CheckState state)
{
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}
} // namespace

HandBox::HandBox(WatchModel &model, bool alwaysOnTop, QWidget *parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("frmHandBox"));
    setWindowTitle(QStringLiteral("Wind and Rain"));
    buildLayout();
    // The model's state as it stands; from here on its changes come as copies.
    for (HandBoxField f : allHandBoxFields()) {
        m_looks[size_t(f)] = model.look(f);
        m_textStale[size_t(f)] = true;
        m_colorsStale[size_t(f)] = true;
        showCheck(f);
    }
    showStaleFields();
    connectModel();
    SetTopMost(this, alwaysOnTop);
    updateHookButtons();
}

HandBox::~HandBox() = default;

void HandBox::setActions(HandBoxActions actions)
{
    m_actions = std::move(actions);
    updateHookButtons();
}

void HandBox::updateHookButtons()
{
    const HandBoxActions &p = m_actions;
    m_controls[QStringLiteral("cmdSetup")]->setEnabled(bool(p.runSetupDialog));
    m_controls[QStringLiteral("cmdTraffic")]->setEnabled(bool(p.showTrafficWindow));
    m_controls[QStringLiteral("Command1")]->setEnabled(bool(p.showUploadWindow));
    control(HandBoxField::GraphCheck1)->setEnabled(bool(p.showGraphs));
}

void HandBox::setNobodyLooks(bool nobody)
{
    setProperty(kNobodyLooks, nobody);
}

bool HandBox::seen() const
{
    return seenOnScreen(this);
}

void HandBox::connectControls()
{
    using F = HandBoxField;
    for (F f : allHandBoxFields()) {
        if (auto *e = qobject_cast<QLineEdit *>(control(f)))
            connect(e, &QLineEdit::textChanged, this, [this, f](const QString &text) { onUserText(f, text); });
        else if (auto *c = qobject_cast<QCheckBox *>(control(f)))
            connect(c, &QCheckBox::stateChanged, this, [this, f] { onUserCheck(f); });
    }
    auto button = [this](const char *name) { return static_cast<QPushButton *>(m_controls[QString::fromLatin1(name)]); };
    // The In/Out state follows the mouse itself (see eventFilter), not the
    // button's pressed/released signals: those also fire for the keyboard and
    // when the pointer slides off a held button.
    button("cmdIn")->installEventFilter(this);
    button("cmdOut")->installEventFilter(this);
    auto run = [](const std::function<void()> &f) {
        if (f)
            f();
    };
    connect(button("cmdSetup"), &QPushButton::clicked, this, [this, run] { run(m_actions.runSetupDialog); });
    connect(button("cmdTraffic"), &QPushButton::clicked, this, [this, run] { run(m_actions.showTrafficWindow); });
    connect(button("Command1"), &QPushButton::clicked, this, [this, run] { run(m_actions.showUploadWindow); });
}

void HandBox::connectModel()
{
    // Auto connections: direct while both live on one thread, queued copies otherwise.
    connect(&m_model, &WatchModel::fieldChanged, this, &HandBox::queueFieldChange, Qt::DirectConnection);
    connect(&m_model, &WatchModel::windowRequested, this, &HandBox::onWindowRequested);
    connect(&m_model, &WatchModel::ticked, this, [this] { m_strip->refresh(); });
    connect(&m_model, &WatchModel::graphsToggled, this, [this](bool on) {
        if (m_actions.showGraphs)
            m_actions.showGraphs(on);
    });
}

void HandBox::bindFields()
{
    for (HandBoxField f : allHandBoxFields()) {
        QWidget *w = m_controls.value(fieldName(f));
        if (!w)
            qFatal("hand box: field %s has no control", qPrintable(fieldName(f)));
        m_fields[size_t(f)] = w;
    }
}

// ---- mirror -------------------------------------------------------------------

void HandBox::queueFieldChange(HandBoxField field, const FieldLook &look)
{
    if (QThread::currentThread() == thread()) {
        onFieldChanged(field, look);
        return;
    }
    bool first = false;
    {
        const QMutexLocker held(&m_queueLock);
        first = m_queued.empty();
        m_queued.emplace_back(field, look);
    }
    if (first)
        QMetaObject::invokeMethod(this, &HandBox::applyQueuedChanges, Qt::QueuedConnection);
}

void HandBox::applyQueuedChanges()
{
    std::vector<std::pair<HandBoxField, FieldLook>> changes;
    {
        const QMutexLocker held(&m_queueLock);
        changes.swap(m_queued);
    }
    for (const auto &[field, look] : changes)
        onFieldChanged(field, look);
}

void HandBox::onFieldChanged(HandBoxField field, const FieldLook &look)
{
    FieldLook &mine = m_looks[size_t(field)];
    const bool textChanged = mine.text != look.text;
    const bool colorsChanged = mine.back != look.back || mine.fore != look.fore;
    const bool checkChanged = mine.check != look.check;
    mine = look;
    if (m_userTyped[size_t(field)]) {
        // The box being worked on shows its answer, seen or not.
        m_userTyped[size_t(field)] = false;
        showFieldText(field, true);
    } else if (textChanged) {
        showFieldText(field);
    }
    if (colorsChanged)
        applyColors(field);
    if (checkChanged)
        showCheck(field);
}

void HandBox::showFieldText(HandBoxField field, bool evenUnseen)
{
    if (!evenUnseen && !seen()) {
        m_textStale[size_t(field)] = true;
        return;
    }
    m_textStale[size_t(field)] = false;
    const QString &text = m_looks[size_t(field)].text;
    QWidget *w = control(field);
    m_pushing = true;
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        if (e->text() != text)
            e->setText(text);
    } else if (auto *l = qobject_cast<QLabel *>(w)) {
        if (l->text() != text)
            l->setText(text);
    }
    m_pushing = false;
}

void HandBox::applyColors(HandBoxField field)
{
    // A new style sheet re-styles the widget: not for a window nobody sees.
    m_colorsStale[size_t(field)] = !seen();
    if (m_colorsStale[size_t(field)])
        return;
    const FieldLook &look = m_looks[size_t(field)];
    QString css;
    if (look.back)
        css += QStringLiteral("background-color: %1;").arg(cssColor(*look.back));
    if (look.fore)
        css += QStringLiteral("color: %1;").arg(cssColor(*look.fore));
    control(field)->setStyleSheet(css);
}

void HandBox::showCheck(HandBoxField field)
{
    auto *c = qobject_cast<QCheckBox *>(control(field));
    if (!c)
        return;
    m_pushing = true;
    c->setCheckState(qtState(m_looks[size_t(field)].check));
    m_pushing = false;
}

void HandBox::showStaleFields()
{
    if (!seen())
        return;
    for (HandBoxField f : allHandBoxFields()) {
        if (m_textStale[size_t(f)])
            showFieldText(f);
        if (m_colorsStale[size_t(f)])
            applyColors(f);
    }
}

// ---- what the user does goes to the model ------------------------------------------

void HandBox::onUserText(HandBoxField field, const QString &text)
{
    if (m_pushing)
        return;
    m_userTyped[size_t(field)] = true;
    m_looks[size_t(field)].text = text;
    QMetaObject::invokeMethod(&m_model, [model = &m_model, field, text] { model->userEditedText(field, text); });
}

void HandBox::onUserCheck(HandBoxField field)
{
    if (m_pushing)
        return;
    const int state = modelState(static_cast<QCheckBox *>(control(field))->checkState());
    m_looks[size_t(field)].check = state;
    QMetaObject::invokeMethod(&m_model, [model = &m_model, field, state] { model->userSetCheck(field, state); });
}

bool HandBox::eventFilter(QObject *watched, QEvent *event)
{
    const int direction = watched == m_controls.value(QStringLiteral("cmdIn"))    ? 1
                          : watched == m_controls.value(QStringLiteral("cmdOut")) ? 2
                                                                                  : 0;
    if (direction != 0) {
        WatchModel *model = &m_model;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            QMetaObject::invokeMethod(model, [model, direction] { model->userPressedButton(direction); });
            break;
        case QEvent::MouseButtonRelease: QMetaObject::invokeMethod(model, [model] { model->userReleasedButton(); }); break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HandBox::closeEvent(QCloseEvent *event)
{
    QMetaObject::invokeMethod(&m_model, [model = &m_model] { model->unload(); });
    event->accept();
}

// ---- watch --------------------------------------------------------------------

void HandBox::showWatch(const WatchStatus &status)
{
    m_strip->showStatus(status);
    setValuesGreyed(!deliversReadings(status.board.state));
}

void HandBox::setValuesGreyed(bool greyed)
{
    if (greyed == m_greyed)
        return;
    m_greyed = greyed;
    using F = HandBoxField;
    for (F f : {F::WindCurrentTF, F::WindsGustsTF, F::WindsAvgTF, F::RawWindTF, F::LabelWind, F::LabelRain,
                F::LabelClouds, F::LabelCloudsNarrow, F::Cloud_Sky, F::Label_SkyBright, F::HeaterOn, F::RelayOn,
                F::TPTemp, F::Amb_Faren, F::CloudTemp, F::TP_Faren, F::DewPointT, F::DP_Faren, F::RH,
                F::Ambient1_TempC, F::Ambient1_TempF, F::Raw_RH, F::Raw_TP}) {
        QWidget *w = control(f);
        if (!greyed) {
            w->setGraphicsEffect(nullptr);
            continue;
        }
        // Colours and all: a greyed box cannot be taken for a reading.
        auto *grey = new QGraphicsColorizeEffect(w);
        grey->setColor(QColor(150, 150, 150));
        grey->setStrength(1.0);
        w->setGraphicsEffect(grey);
    }
}

// ---- window -----------------------------------------------------------------

void HandBox::onWindowRequested(WindowRequest request, int a, int b)
{
    qCDebug(lcWindows) << "hand box asked" << int(request) << a << b;
    switch (request) {
    case WindowRequest::Show:
        updateHookButtons();
        show();
        break;
    case WindowRequest::Hide: hide(); break;
    case WindowRequest::ShowNormal:
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        break;
    case WindowRequest::ShowMinimized:
        updateHookButtons();
        showMinimized();
        break;
    case WindowRequest::Move: move(a, b); break;
    case WindowRequest::TopMost: SetTopMost(this, a != 0); break;
    }
}

void HandBox::reportPlace()
{
    const int left = pos().x();
    const int top = pos().y();
    const bool visible = isVisible();
    QMetaObject::invokeMethod(&m_model, [model = &m_model, left, top, visible] { model->windowPlaced(left, top, visible); });
}

void HandBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showStaleFields();
    m_strip->refresh();
    reportPlace();
}

void HandBox::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    reportPlace();
}

void HandBox::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    reportPlace();
}

void HandBox::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        showStaleFields();
        m_strip->refresh();
    }
}
