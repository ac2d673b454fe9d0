// Renders the main window's four tabs with the shipped skin, in English and
// in Chinese. With HKT75_SHOT_DIR set the pictures are saved there for a
// person to look at.
#include "MainConfigFixture.h"

#include "config/ui/kwLanguage.h"

#include <QApplication>
#include <QStackedWidget>
#include <QTest>

using namespace hkt::testapp;

namespace {

class MainConfigGallery : public MainConfigTest {
protected:
    TMainConfigSetup WindowSetup() override
    {
        TMainConfigSetup s = MainConfigTest::WindowSetup();
        s.ProgramFolder = QStringLiteral(HKT75_BIN_DIR);
        return s;
    }
    void TearDown() override
    {
        MainConfigTest::TearDown();
        qApp->setStyleSheet(QString());
    }
};

} // namespace

TEST_F(MainConfigGallery, EveryTabInEnglishAndChinese)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QString dir = qEnvironmentVariable("HKT75_SHOT_DIR");
    const char *tabs[] = {"general", "dpi", "light", "info"};
    for (const char *lang : {"0409", "0804"}) {
        form.Language().SetLang(QLatin1String(lang));
        for (int tag = 0; tag < 4; ++tag) {
            form.ShowPage(tag);
            QApplication::processEvents();
            const QImage shot = form.grab().toImage();
            ASSERT_EQ(shot.size(), QSize(801, 638));
            if (!dir.isEmpty()) {
                QDir().mkpath(dir);
                shot.save(QStringLiteral("%1/main-%2-%3.png").arg(dir, QLatin1String(tabs[tag]), QLatin1String(lang)));
            }
        }
    }
    EXPECT_EQ(form.BtnApply->shownText(), QString::fromUtf8("应用"));
    form.Language().SetLang(QStringLiteral("0409"));
}
