// The upload window frmFormSubmit ("Tarnwick Station information"): a view of
// UploadForm with the stored control layout (twips, 15 to the pixel). The form
// may run on another thread: the window mirrors it from the values its signals
// carry and sends each change and click to the form's thread. Closing it
// unloads the form; the window object itself is then deleted.
#pragma once

#include <QRect>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;
class UploadForm;
struct UploadFields;

class UploadWindow : public QWidget {
    Q_OBJECT
public:
    explicit UploadWindow(UploadForm &form, QWidget *parent = nullptr);

    // Stored placement of a control in twips, relative to its parent.
    static QRect twipsOf(const QWidget *control);
    // The states of the services beyond the main one, shown after its own.
    void setOtherServiceStates(const QStringList &lines);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // One growing list of name/value rows: the variables or the headers.
    struct RowList {
        bool headers = false;
        QString prefix; // "Variable" or "Header"
        QWidget *viewport = nullptr;
        QWidget *carrier = nullptr;
        QScrollBar *bar = nullptr;
        QVector<QLabel *> nameLabels;
        QVector<QLineEdit *> names;
        QVector<QLabel *> valueLabels;
        QVector<QLineEdit *> values;
    };

    void buildTop();
    void buildVariables();
    void buildHeaders();
    void buildTexts();
    void scrollWhenLargerThanTheScreen();
    void setupRowList(RowList &list, QWidget *frame, const QRect &barTwips);
    void addRowWidgets(RowList &list, int index, const QString &nameCaption, const QString &valueCaption,
                       const QRect &nameLabel, const QRect &name, const QRect &valueLabel, const QRect &value,
                       bool nameLabelVisible, bool nameVisible, bool valueVisible);
    void growRows(RowList &list, int index);
    void connectForm();
    void refreshFields(const UploadFields &fields);
    void showState(const QString &formState);
    void buildStateLine();

    UploadForm &m_form;
    QLineEdit *m_url = nullptr;
    class QCheckBox *m_allow = nullptr;
    class QComboBox *m_method = nullptr;
    QPlainTextEdit *m_request = nullptr;
    QPlainTextEdit *m_response = nullptr;
    QPlainTextEdit *m_errors = nullptr;
    QLabel *m_state = nullptr;
    QString m_formState; // the weather service's, as last heard
    QStringList m_extraStates;
    RowList m_variables;
    RowList m_headers;
};
