// The setup dialog's table of upload services: one row per service, its kind
// chosen from a list, the columns its kind does not use greyed; rows added
// and removed with the buttons beside it.
#pragma once

#include "windows/service_rows.h"

#include <QWidget>

class QTableWidget;

class ServicesTable : public QWidget {
    Q_OBJECT
public:
    explicit ServicesTable(QWidget *parent = nullptr);

    // Shows the rows of an UploadServices text; the lines no row can show are
    // kept and given back after the rows.
    void setText(const QString &text);
    ServiceRows rows() const;
    QString text() const { return serviceTextFromRows(rows()); }

    int rowCount() const;
    void addRow(const ServiceRow &row = {});
    void setCell(int row, ServiceColumn column, const QString &text); // the kind too
    void removeSelectedRows();
    QTableWidget *table() const { return m_table; }

private:
    void applyKind(int row);
    QString cell(int row, ServiceColumn column) const;

    QTableWidget *m_table = nullptr;
    QStringList m_keptLines;
};
