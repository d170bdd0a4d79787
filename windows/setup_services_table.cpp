#include "windows/setup_services_table.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace {
const char *const kTips[kServiceColumnCount] = {
    "pws: another service of the personal-weather-station protocol; windmap: the wind map's station API; "
    "get or post: a request of your own",
    "Shown in the upload window and on the web page",
    "The service's address; a GET's address may hold {tempc}, {tempf}, {humidity}, {dewptc}, {windspeedmph}, "
    "{windgustmph}, {windspeedms}, {dateutc} ...",
    "pws and windmap: the station's ID",
    "pws: the station key; windmap: the station password",
    "post: the form body, with the same {...} values as a GET address",
    "Seconds between two uploads (the wind map takes at most one each 5 minutes)"};
// The key column shows dots, as the upload window's password does; it is
// typed into a box that shows dots too.
class SecretDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &) const override
    {
        return QString(value.toString().size(), QChar(0x25CF));
    }
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setEchoMode(QLineEdit::Password);
        return editor;
    }
};
} // namespace

ServicesTable::ServicesTable(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("servicesTable"));
    m_table = new QTableWidget(0, kServiceColumnCount, this);
    m_table->setObjectName(QStringLiteral("tblServices"));
    for (int c = 0; c < kServiceColumnCount; ++c) {
        auto *header = new QTableWidgetItem(serviceColumnTitle(ServiceColumn(c)));
        header->setToolTip(QString::fromLatin1(kTips[c]));
        m_table->setHorizontalHeaderItem(c, header);
    }
    m_table->horizontalHeader()->setSectionResizeMode(int(ServiceColumn::Address), QHeaderView::Stretch);
    m_table->setColumnWidth(int(ServiceColumn::Interval), fontMetrics().horizontalAdvance(QStringLiteral("Every (s)__")));
    m_table->setItemDelegateForColumn(int(ServiceColumn::Key), new SecretDelegate(m_table));
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setMinimumHeight(4 * m_table->verticalHeader()->defaultSectionSize());
    // Its preferred height would make the setup dialog's pages taller than a small screen.
    m_table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);

    auto *add = new QPushButton(QStringLiteral("Add"), this);
    add->setObjectName(QStringLiteral("cmdAddService"));
    add->setAutoDefault(false);
    auto *remove = new QPushButton(QStringLiteral("Remove"), this);
    remove->setObjectName(QStringLiteral("cmdRemoveService"));
    remove->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, [this] {
        addRow();
        m_table->setCurrentCell(rowCount() - 1, int(ServiceColumn::Name));
    });
    connect(remove, &QPushButton::clicked, this, &ServicesTable::removeSelectedRows);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
}

void ServicesTable::setText(const QString &text)
{
    const ServiceRows parsed = serviceRowsFromText(text);
    m_table->setRowCount(0);
    for (const ServiceRow &row : parsed.rows)
        addRow(row);
    m_keptLines = parsed.keptLines;
}

ServiceRows ServicesTable::rows() const
{
    ServiceRows out;
    for (int r = 0; r < rowCount(); ++r) {
        ServiceRow row;
        row.kind = cell(r, ServiceColumn::Kind);
        row.name = cell(r, ServiceColumn::Name);
        row.address = cell(r, ServiceColumn::Address);
        row.stationId = cell(r, ServiceColumn::StationId);
        row.key = cell(r, ServiceColumn::Key);
        row.body = cell(r, ServiceColumn::Body);
        row.interval = cell(r, ServiceColumn::Interval);
        out.rows.push_back(row);
    }
    out.keptLines = m_keptLines;
    return out;
}

int ServicesTable::rowCount() const
{
    return m_table->rowCount();
}

void ServicesTable::addRow(const ServiceRow &row)
{
    const int r = m_table->rowCount();
    m_table->insertRow(r);
    auto *kind = new QComboBox(m_table);
    kind->addItems(serviceKinds());
    m_table->setCellWidget(r, int(ServiceColumn::Kind), kind);
    for (int c = 1; c < kServiceColumnCount; ++c)
        m_table->setItem(r, c, new QTableWidgetItem);
    setCell(r, ServiceColumn::Name, row.name);
    setCell(r, ServiceColumn::Address, row.address);
    setCell(r, ServiceColumn::StationId, row.stationId);
    setCell(r, ServiceColumn::Key, row.key);
    setCell(r, ServiceColumn::Body, row.body);
    setCell(r, ServiceColumn::Interval, row.interval);
    setCell(r, ServiceColumn::Kind, row.kind);
    connect(kind, &QComboBox::currentTextChanged, this, [this, kind] {
        for (int i = 0; i < rowCount(); ++i)
            if (m_table->cellWidget(i, int(ServiceColumn::Kind)) == kind)
                applyKind(i);
    });
}

void ServicesTable::setCell(int row, ServiceColumn column, const QString &text)
{
    if (column == ServiceColumn::Kind) {
        auto *kind = static_cast<QComboBox *>(m_table->cellWidget(row, int(column)));
        kind->setCurrentText(text);
        applyKind(row);
        return;
    }
    m_table->item(row, int(column))->setText(text);
}

QString ServicesTable::cell(int row, ServiceColumn column) const
{
    if (column == ServiceColumn::Kind)
        return static_cast<QComboBox *>(m_table->cellWidget(row, int(column)))->currentText();
    const QTableWidgetItem *item = m_table->item(row, int(column));
    return item ? item->text() : QString();
}

// A column the row's kind does not use is greyed and left out of its line.
void ServicesTable::applyKind(int row)
{
    const QString kind = cell(row, ServiceColumn::Kind);
    for (int c = 1; c < kServiceColumnCount; ++c) {
        QTableWidgetItem *item = m_table->item(row, c);
        const bool used = serviceColumnUsed(kind, ServiceColumn(c));
        item->setFlags(used ? item->flags() | Qt::ItemIsEditable | Qt::ItemIsEnabled
                            : item->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsEnabled));
    }
}

void ServicesTable::removeSelectedRows()
{
    std::set<int> chosen;
    for (const QModelIndex &index : m_table->selectionModel()->selectedIndexes())
        chosen.insert(index.row());
    if (chosen.empty() && m_table->currentRow() >= 0)
        chosen.insert(m_table->currentRow());
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it)
        m_table->removeRow(*it);
}
