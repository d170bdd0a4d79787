#include "windows/setup_rules_page.h"

#include "core/messages.h"
#include "core/number_format.h"
#include "core/setting_rules.h"
#include "core/settings.h"
#include "windows/setup_read_back.h"
#include "windows/setup_widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
QString objectNameOf(const QString &key)
{
    QString name = key;
    return QStringLiteral("rule_") + name.replace(QLatin1Char('/'), QLatin1Char('_')).remove(QLatin1Char(' '));
}

bool isBoolean(const QString &key)
{
    const SettingDef *def = findSetting(key);
    return def && def->type == SettingType::Boolean;
}
} // namespace

SetupRulesPage::SetupRulesPage(const QString &objectName, const QStringList &groups, QWidget *parent) : QWidget(parent)
{
    setObjectName(objectName);
    auto *layout = new QVBoxLayout(this);
    for (const QString &group : groups) {
        QGroupBox *frame = SetupWidgets::frame(group.toUtf8().constData(), this);
        auto *form = new QFormLayout(frame);
        for (const SettingRule &rule : settingRules()) {
            if (group != QLatin1String(rule.group))
                continue;
            const QString key = QString::fromLatin1(rule.key);
            const QString label = QString::fromUtf8(rule.label);
            m_keys << key;
            if (isBoolean(key)) {
                auto *check = new QCheckBox(label, frame);
                check->setObjectName(objectNameOf(key));
                m_checks.insert(key, check);
                form->addRow(check);
                continue;
            }
            auto *box = new QLineEdit(frame);
            box->setObjectName(objectNameOf(key));
            if (rule.secret)
                box->setEchoMode(QLineEdit::Password);
            // A number or an angle needs a short box, a path or an address a long one.
            const SettingDef *def = findSetting(key);
            if ((def && def->type != SettingType::Text) || rule.check == TextCheck::Latitude || rule.check == TextCheck::Longitude)
                box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16);
            m_boxes.insert(key, box);
            auto *row = new QHBoxLayout;
            row->addWidget(box, 1);
            if (*rule.unit)
                row->addWidget(new QLabel(QString::fromUtf8(rule.unit), frame));
            row->addStretch(box->maximumWidth() < QWIDGETSIZE_MAX ? 1 : 0);
            form->addRow(label, row);
        }
        layout->addWidget(frame);
    }
    layout->addStretch();
}

void SetupRulesPage::fill(const Settings &s)
{
    for (const QString &key : m_keys) {
        const QString text = settingText(s, key);
        if (QCheckBox *c = check(key))
            c->setChecked(text == boolText(true));
        else
            box(key)->setText(text);
    }
}

bool SetupRulesPage::readBack(Settings &s, SettingWriter &write)
{
    for (const QString &key : m_keys) {
        QCheckBox *c = check(key);
        const QString text = c ? boolText(c->isChecked()) : box(key)->text().trimmed();
        const QString problem = settingProblem(key, text);
        if (!problem.isEmpty()) {
            showMessage(problem);
            return false;
        }
        settingFromText(s, key, text);
        write(key);
    }
    return true;
}
