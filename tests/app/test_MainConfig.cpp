#include "MainConfigFixture.h"

#include "core/kwMacroClassUnit.h"

#include <QFileInfo>
#include <QStackedWidget>
#include <QTest>

using namespace hkt::testapp;

TEST_F(MainConfigTest, StartsWithFourTabsAndNoUnsavedMark)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.size(), QSize(801, 638));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_FALSE(form.State().ReportRateChanged);
    EXPECT_EQ(form.TabControlMain->count(), 4);
    EXPECT_EQ(form.CurrentPage(), 0);
    EXPECT_TRUE(form.BtnMainConfig->isChecked());
    EXPECT_EQ(form.BtnMainConfig->shownText(), QStringLiteral("GENERAL"));

    // Each tab button shows its page and is the only one pressed.
    hkt::skin::StateButton *tabs[] = {form.BtnMainConfig, form.BtnCPI, form.BtnColor, form.BSBTNINFO};
    for (int tag = 3; tag >= 0; --tag) {
        QTest::mouseClick(tabs[tag], Qt::LeftButton);
        EXPECT_EQ(form.CurrentPage(), tag);
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(tabs[t]->isChecked(), t == tag) << tag << " " << t;
    }
    EXPECT_FALSE(form.State().SettingsChanged);
    EXPECT_TRUE(m_dialogs.empty());
}

TEST_F(MainConfigTest, StartUpCreatesTheDefaultMacroSetOnce)
{
    THKT75CFGMAIN &form = Form();
    const QString db = form.MacroSet().MacroSetDBFile();
    ASSERT_TRUE(QFileInfo::exists(db)) << db.toStdString();
    EXPECT_EQ(form.MacroSet().CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(form.MacroSet().GetMacroListNamesByMacroSetName(QStringLiteral("DefaultMacroSet")),
              (QStringList{QStringLiteral("Macro1"), QStringLiteral("Macro2")}));
    const QDateTime written = QFileInfo(db).lastModified();
    QFile f(db);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    m_form.reset();

    // A second start finds the set: nothing is created or written.
    QTest::qWait(20);
    THKT75CFGMAIN &again = Form();
    EXPECT_EQ(again.MacroSet().CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(QFileInfo(db).lastModified(), written);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
}
