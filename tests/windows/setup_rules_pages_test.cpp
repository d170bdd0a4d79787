// The Site, Notifications and Sky pages, built from the settings' rule table:
// filled from the settings, saved under their subkeys, a refused text named
// by its field with the dialog shown again, markup shown as typed, secrets
// as dots; and every row inside its page on a 1366 x 768 screen.
#include "setup_test_support.h"

#include "windows/setup_rules_page.h"

#include <QDir>
#include <QTabWidget>

namespace {
void selectPage(frmSetup &d, const char *name)
{
    auto *pages = d.findChild<QTabWidget *>("advancedArea");
    pages->setCurrentWidget(d.findChild<QWidget *>(QLatin1String(name)));
}
} // namespace

TEST_F(SetupTest, RulePagesFillSaveAndNameARefusedField)
{
    const QString markup = QStringLiteral("<b>bold</b><script>alert(1)</script>");
    prog().settings.NotifyMailFrom = markup;
    prog().settings.NotifySmtpPassword = QStringLiteral("hunter2");
    runSetup({[&](frmSetup &d) {
                  clickButton(d, "cmdAdvanced");
                  EXPECT_EQ(d.notifyPage().box("Notify/NotifyMailFrom")->text(), markup);
                  EXPECT_EQ(d.notifyPage().box("Notify/NotifySmtpPassword")->echoMode(), QLineEdit::Password);
                  EXPECT_EQ(d.skyPage().box("Sky/K1")->text(), "33");
                  type(d, "rule_Latitude", "95");
                  type(d, "rule_Longitude", "-1,5");
                  type(d, "rule_Sky_K1", "104");
                  d.skyPage().check("Sky/Corrected")->setChecked(true);
                  clickButton(d, "cmdOK");
              },
              [&](frmSetup &d) {
                  ASSERT_EQ(messages.texts.size(), 1);
                  EXPECT_TRUE(messages.texts[0].startsWith("Latitude must be degrees from -90 to 90")) << messages.texts[0].toStdString();
                  EXPECT_EQ(stored("Latitude"), "");
                  EXPECT_EQ(stored("K1", "Sky"), "33"); // after the refused field: not read yet
                  type(d, "rule_Latitude", "52.2");
                  clickButton(d, "cmdOK");
              }});
    EXPECT_EQ(showings, 2);
    EXPECT_EQ(stored("Latitude"), "52.2");
    EXPECT_EQ(stored("Longitude"), "-1,5");
    EXPECT_EQ(stored("K1", "Sky"), "104");
    EXPECT_EQ(stored("Corrected", "Sky"), "True");
    EXPECT_EQ(stored("NotifyMailFrom", "Notify"), markup);
    EXPECT_EQ(prog().settings.SkyK1, 104);
    EXPECT_TRUE(prog().settings.SkyCorrected);
}

TEST_F(SetupTest, RulePagesFitA1366x768Screen)
{
    dialog->fill(prog().settings, 0);
    dialog->setAdvancedMode(true);
    dialog->show();
    const QString shots = qEnvironmentVariable("TARNWICK_SETUP_SHOTS");
    for (const char *name : {"sitePage", "notifyPage", "skyPage"}) {
        selectPage(*dialog, name);
        QTest::qWait(50);
        auto *page = dialog->findChild<QWidget *>(QLatin1String(name));
        const QRect inside = page->rect();
        for (QWidget *w : page->findChildren<QWidget *>()) {
            if (!w->isVisible())
                continue;
            const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
            EXPECT_TRUE(inside.contains(r)) << name << ": " << w->objectName().toStdString() << " is cut off";
        }
        if (!shots.isEmpty())
            dialog->grab().save(QDir(shots).filePath(QLatin1String(name) + QStringLiteral(".png")));
    }
    dialog->hide();
}
