// The upload window: the stored layout, and the wiring between its controls
// and the form state (every field change goes to UploadForm, which keeps the
// settings in step).
#include "windows/upload_window.h"

#include "core/platform.h"
#include "upload/row_layout.h"
#include "upload/upload_form.h"
#include "windows/upload_setup.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QTextCursor>

namespace {

constexpr int kRowHeight = 375;
constexpr int kClientWidth = 15240;
constexpr int kClientHeight = 5595;

// Places a control at a stored position in twips and remembers that position,
// so later layout steps work in twips without pixel rounding creeping in.
void place(QWidget *w, const QRect &twips)
{
    w->setProperty("twips", twips);
    w->setGeometry(twips.x() / kTwipsPerPixel, twips.y() / kTwipsPerPixel, twips.width() / kTwipsPerPixel,
                   twips.height() / kTwipsPerPixel);
}

// A label placed by its left and top only: it takes the size its caption needs.
QLabel *label(QWidget *parent, const char *name, const QString &caption, int left, int top)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->adjustSize();
    place(l, QRect(left, top, l->width() * kTwipsPerPixel, l->height() * kTwipsPerPixel));
    return l;
}

QPlainTextEdit *multiLine(QWidget *parent, const char *name, const QRect &twips)
{
    auto *t = new QPlainTextEdit(parent);
    t->setObjectName(QLatin1String(name));
    t->setReadOnly(true);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place(t, twips);
    return t;
}

// The form keeps CR LF line ends; a text box line break is one character.
QString displayText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void showText(QPlainTextEdit *box, const QString &text)
{
    const QString shown = displayText(text);
    if (box->toPlainText() == shown)
        return;
    box->setPlainText(shown);
    box->moveCursor(QTextCursor::End);
}

// Adds text at the end without rebuilding what the box already shows.
void appendText(QPlainTextEdit *box, const QString &text)
{
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(displayText(text));
    box->moveCursor(QTextCursor::End);
}

QString arrayName(const QString &base, int index)
{
    return QStringLiteral("%1(%2)").arg(base).arg(index);
}

} // namespace

UploadWindow::UploadWindow(UploadForm &form, QWidget *parent)
    : QWidget(parent)
    , m_form(form)
{
    setObjectName(QStringLiteral("frmFormSubmit"));
    setWindowTitle(QStringLiteral("Tarnwick Station information"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The stored layout was drawn for an 8-point font; a larger desktop font
    // would cut the captions off.
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);

    buildTop();
    buildVariables();
    buildHeaders();
    buildTexts();
    scrollWhenLargerThanTheScreen();

    // The connections and the first view are made on the form's thread in one
    // step, so no change falls between them; later changes come as values.
    UploadView view;
    onThreadOf(&m_form, [this, &view] {
        connectForm();
        view = m_form.view();
    });
    // Rows the form already holds beyond the stored three.
    for (int i = UploadForm::kInitialRows; i < view.fields.variables.size(); ++i)
        growRows(m_variables, i);
    for (int i = UploadForm::kInitialRows; i < view.fields.headers.size(); ++i)
        growRows(m_headers, i);
    refreshFields(view.fields);
    showText(m_request, view.request);
    showText(m_response, view.response);
    showText(m_errors, view.errors);
    showState(view.state);
}

void UploadWindow::connectForm()
{
    connect(&m_form, &UploadForm::fieldsChanged, this, &UploadWindow::refreshFields);
    connect(&m_form, &UploadForm::rowAdded, this, [this](bool headerRow, int index) {
        growRows(headerRow ? m_headers : m_variables, index);
    });
    connect(&m_form, &UploadForm::requestChanged, this, [this](const QString &t) { showText(m_request, t); });
    connect(&m_form, &UploadForm::responseChanged, this, [this](const QString &t) { showText(m_response, t); });
    connect(&m_form, &UploadForm::responseAppended, this, [this](const QString &t) { appendText(m_response, t); });
    connect(&m_form, &UploadForm::errorsChanged, this, [this](const QString &t) { showText(m_errors, t); });
    connect(&m_form, &UploadForm::errorAppended, this, [this](const QString &t) { appendText(m_errors, t); });
    connect(&m_form, &UploadForm::stateChanged, this, &UploadWindow::showState);
}

void UploadWindow::scrollWhenLargerThanTheScreen()
{
    // The stored layout, whole, in a view that scrolls when the screen is smaller.
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("uploadContent"));
    const QSize stored(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);
    content->setFixedSize(stored);
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool hidden = child->isHidden();
        child->setParent(content); // keeps its place
        child->setHidden(hidden);
    }
    auto *view = new QScrollArea(this);
    view->setObjectName(QStringLiteral("uploadScroll"));
    view->setFrameShape(QFrame::NoFrame);
    view->setWidget(content);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    setMaximumSize(stored);
    resize(stored);
}

QRect UploadWindow::twipsOf(const QWidget *control)
{
    return control ? control->property("twips").toRect() : QRect();
}

void UploadWindow::buildTop()
{
    place(label(this, "lblUrl", QStringLiteral("Weather server"), 120, 240), QRect(120, 240, 1695, 255));

    m_url = new QLineEdit(this);
    m_url->setObjectName(QStringLiteral("txtUrl"));
    m_url->setToolTip(QStringLiteral("Enter the URL here to the resource you want to request."));
    place(m_url, QRect(2040, 120, 4815, 285));
    connect(m_url, &QLineEdit::textChanged, &m_form, &UploadForm::setUrl);

    m_allow = new QCheckBox(QStringLiteral("Allow PWS Upload"), this);
    m_allow->setObjectName(QStringLiteral("chk_AllowPWS"));
    place(m_allow, QRect(7440, 0, 1695, 495));
    m_allow->resize(std::max(m_allow->width(), m_allow->sizeHint().width()), m_allow->height());
    connect(m_allow, &QCheckBox::stateChanged, &m_form,
            [form = &m_form](int state) { form->setAllowChecked(state == Qt::Checked); });

    // The method selector is kept but hidden: requests are always GET.
    label(this, "lblRequestMethod", QStringLiteral("Request method"), 9360, 120)->hide();
    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("cboRequestMethod"));
    m_method->addItems({QStringLiteral("POST"), QStringLiteral("GET")});
    place(m_method, QRect(10800, 120, 1335, 315));
    m_method->hide();
    connect(m_method, &QComboBox::currentIndexChanged, &m_form, &UploadForm::setRequestMethodIndex);

    auto *send = new QPushButton(QStringLiteral("&Test Server"), this);
    send->setObjectName(QStringLiteral("cmdSend"));
    place(send, QRect(17880, 2160, 615, 735)); // beyond the right edge, as stored; Alt+T still reaches it
    connect(send, &QPushButton::clicked, &m_form, [form = &m_form] { form->cmdSend_Click(); });
}

void UploadWindow::setupRowList(RowList &list, QWidget *frame, const QRect &barTwips)
{
    list.viewport = new QWidget(frame);
    list.viewport->setObjectName(QStringLiteral("pbxO%1s").arg(list.prefix));
    place(list.viewport, QRect(0, 120, 9855, 1695));
    list.carrier = new QWidget(list.viewport);
    list.carrier->setObjectName(QStringLiteral("pbx%1s").arg(list.prefix));
    place(list.carrier, QRect(0, 0, 10815, 1695));

    list.bar = new QScrollBar(Qt::Vertical, frame);
    list.bar->setObjectName(QStringLiteral("vsb%1s").arg(list.prefix));
    place(list.bar, barTwips);
    list.bar->setRange(0, 0);
    list.bar->setEnabled(false);
    // Change and Scroll both move the carrier.
    connect(list.bar, &QScrollBar::valueChanged, this, [&list](int value) {
        QRect t = twipsOf(list.carrier);
        t.moveTop(-value);
        place(list.carrier, t);
    });
}

void UploadWindow::addRowWidgets(RowList &list, int index, const QString &nameCaption, const QString &valueCaption,
                                 const QRect &nameLabel, const QRect &name, const QRect &valueLabel,
                                 const QRect &value, bool nameLabelVisible, bool nameVisible, bool valueVisible)
{
    auto *nl = new QLabel(nameCaption, list.carrier);
    nl->setObjectName(arrayName(QStringLiteral("lbl%1Name").arg(list.prefix), index));
    place(nl, nameLabel);
    nl->setVisible(nameLabelVisible);

    auto *n = new QLineEdit(list.carrier);
    n->setObjectName(arrayName(QStringLiteral("txt%1Name").arg(list.prefix), index));
    place(n, name);
    n->setVisible(nameVisible);

    auto *vl = new QLabel(valueCaption, list.carrier);
    vl->setObjectName(arrayName(QStringLiteral("lbl%1Value").arg(list.prefix), index));
    place(vl, valueLabel);
    vl->setVisible(valueVisible);

    auto *v = new QLineEdit(list.carrier);
    v->setObjectName(arrayName(QStringLiteral("txt%1Value").arg(list.prefix), index));
    place(v, value);
    v->setVisible(valueVisible);
    // A caption wider than its stored gap ends just before its box instead of under it.
    const int captionWidth = vl->fontMetrics().horizontalAdvance(valueCaption) + 2;
    if (vl->x() + captionWidth > v->x())
        vl->setGeometry(v->x() - captionWidth - 2, vl->y(), captionWidth, vl->height());

    if (list.headers) {
        connect(n, &QLineEdit::textChanged, &m_form, [form = &m_form, index](const QString &t) { form->setHeaderName(index, t); });
        connect(v, &QLineEdit::textChanged, &m_form, [form = &m_form, index](const QString &t) { form->setHeaderValue(index, t); });
    } else {
        connect(n, &QLineEdit::textChanged, &m_form,
                [form = &m_form, index](const QString &t) { form->setVariableName(index, t); });
        connect(v, &QLineEdit::textChanged, &m_form,
                [form = &m_form, index](const QString &t) { form->setVariableValue(index, t); });
    }
    list.nameLabels.append(nl);
    list.names.append(n);
    list.valueLabels.append(vl);
    list.values.append(v);
}

void UploadWindow::buildVariables()
{
    auto *frame = new QGroupBox(QStringLiteral("Station ID and Password"), this);
    frame->setObjectName(QStringLiteral("fmeVariables"));
    frame->setToolTip(QStringLiteral("Use this space to submit some custom vairables."));
    place(frame, QRect(120, 960, 12495, 735));

    m_variables.headers = false;
    m_variables.prefix = QStringLiteral("Variable");
    setupRowList(m_variables, frame, QRect(9855, 120, 255, 615));

    // Only row 0 is in the frame's visible height; rows 1 and 2 sit below it.
    addRowWidgets(m_variables, 0, QStringLiteral("Station ID"), QStringLiteral("Password"), QRect(120, 240, 855, 255),
                  QRect(1080, 120, 3255, kRowHeight), QRect(4560, 240, 735, 255), QRect(5280, 120, 3495, kRowHeight),
                  true, true, true);
    // The password shows as dots unless the user asks to see it.
    QLineEdit *password = m_variables.values[0];
    password->setEchoMode(QLineEdit::Password);
    auto *show = new QCheckBox(QStringLiteral("Show"), m_variables.carrier);
    show->setObjectName(QStringLiteral("chkShowPassword"));
    show->setToolTip(QStringLiteral("Show the password as typed"));
    place(show, QRect(8880, 120, 960, kRowHeight));
    connect(show, &QCheckBox::toggled, password,
            [password](bool on) { password->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    for (int i = 1; i < UploadForm::kInitialRows; ++i) {
        const int top = 120 + 480 * i;
        addRowWidgets(m_variables, i, QStringLiteral("Name"), QStringLiteral("Value"), QRect(120, top + 120, 615, 255),
                      QRect(840, top, 3255, kRowHeight), QRect(4560, top + 120, 615, 255),
                      QRect(5280, top, 3495, kRowHeight), false, true, false);
    }

    auto *more = new QPushButton(QStringLiteral("More"), frame);
    more->setObjectName(QStringLiteral("cmdMoreVariables"));
    place(more, QRect(10440, 120, 975, 375));
    more->hide();
    connect(more, &QPushButton::clicked, &m_form, [form = &m_form] { form->addVariableRow(); });
}

void UploadWindow::buildHeaders()
{
    auto *frame = new QGroupBox(QStringLiteral("Additional Headers"), this);
    frame->setObjectName(QStringLiteral("fmeHeaders"));
    frame->setToolTip(QStringLiteral("Use this space to add some custom HTTP headers of your own."));
    place(frame, QRect(120, 960, 12495, 1935));
    frame->hide();

    m_headers.headers = true;
    m_headers.prefix = QStringLiteral("Header");
    setupRowList(m_headers, frame, QRect(9855, 120, 255, 1695));
    for (int i = 0; i < UploadForm::kInitialRows; ++i) {
        const int top = 120 + 480 * i;
        addRowWidgets(m_headers, i, QStringLiteral("Name"), QStringLiteral("Value"), QRect(120, top + 120, 615, 255),
                      QRect(840, top, 3495, kRowHeight), QRect(4560, top + 120, 615, 255),
                      QRect(5280, top, 3495, kRowHeight), true, true, true);
    }

    auto *more = new QPushButton(QStringLiteral("More"), frame);
    more->setObjectName(QStringLiteral("cmdMoreHeaders"));
    place(more, QRect(10440, 120, 975, 375));
    connect(more, &QPushButton::clicked, &m_form, [form = &m_form] { form->addHeaderRow(); });
}

void UploadWindow::buildTexts()
{
    label(this, "Label2", QStringLiteral("Sent to Server"), 120, 2040);
    m_request = multiLine(this, "txtRequest", QRect(1440, 2040, 16335, 1095));
    // Stored reaching past the right edge; kept inside so its scroll bar shows.
    m_request->resize(std::min(m_request->width(), (kClientWidth - 120) / kTwipsPerPixel - m_request->x()),
                      m_request->height());
    label(this, "Label1", QStringLiteral("Response from server"), 120, 3120);
    m_response = multiLine(this, "txtResponse", QRect(120, 3360, 11775, 735));
    label(this, "Label3", QStringLiteral("Errors in comms"), 120, 4200);
    m_errors = multiLine(this, "errsWinsock", QRect(120, 4560, 11775, 735));
    buildStateLine();
    // Each error line ends in CR LF, so the box holds one block more than the form's lines.
    m_errors->setMaximumBlockCount(UploadForm::kMaxErrorLines + 1);
}

void UploadWindow::growRows(RowList &list, int index)
{
    if (index != list.names.size())
        return; // rows are only ever appended, one at a time
    const QRect lastName = twipsOf(list.names.last());
    const int top = nextRowTop(lastName.y(), lastName.height());
    const auto at = [top](const QWidget *previous) {
        QRect r = twipsOf(previous);
        r.moveTop(top);
        return r;
    };
    addRowWidgets(list, index, list.nameLabels.last()->text(), list.valueLabels.last()->text(),
                  at(list.nameLabels.last()), at(list.names.last()), at(list.valueLabels.last()),
                  at(list.values.last()), true, true, true);
    if (!list.headers) {
        // Name and value boxes stay in reading order for the Tab key.
        setTabOrder(list.values[index - 1], list.names[index]);
        setTabOrder(list.names[index], list.values[index]);
    }

    QRect carrier = twipsOf(list.carrier);
    const QRect newName = twipsOf(list.names.last());
    carrier.setHeight(carrierHeightFor(newName.y(), newName.height()));
    place(list.carrier, carrier);

    const RowScroll s = scrollFor(carrier.height(), twipsOf(list.viewport).height(), newName.height());
    if (s.enabled) {
        list.bar->setEnabled(true);
        list.bar->setSingleStep(s.smallChange);
        list.bar->setPageStep(s.largeChange);
        list.bar->setRange(s.minimum, s.maximum);
        list.bar->setValue(s.value);
    }
}

void UploadWindow::closeEvent(QCloseEvent *event)
{
    // Where the form runs; the window does not wait for it.
    UploadForm *form = &m_form;
    QMetaObject::invokeMethod(form, [form] { form->unload(); });
    QWidget::closeEvent(event);
}
