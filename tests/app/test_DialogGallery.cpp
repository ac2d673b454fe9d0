// Renders the key dialogs and the macro name dialog with the shipped skin,
// style file and language file, in English and in Chinese. With
// HKT75_SHOT_DIR set the pictures are saved there for a person to look at.
#include "config/app/SingleKeyfrm.h"
#include "config/app/combofrm.h"
#include "config/app/fireset.h"
#include "config/app/macrocreat.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

using namespace hkt::skin;

namespace {

class DialogGallery : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override
    {
        qApp->setStyleSheet(LoadStyleFile(QStringLiteral(HKT75_BIN_DIR)));
        GlobalImageDataBase().SetImageBasePath(QStringLiteral(HKT75_BIN_DIR "/images/0409"));
        lang.SetLang(QString::fromLatin1(GetParam()));
    }
    void TearDown() override
    {
        lang.SetLang(QStringLiteral("en"));
        qApp->setStyleSheet(QString());
    }

    void save(QWidget &w, const char *name)
    {
        w.show();
        const QImage shot = w.grab().toImage();
        ASSERT_EQ(shot.size(), QSize(478, 292));
        const QString dir = qEnvironmentVariable("HKT75_SHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            shot.save(QStringLiteral("%1/%2-%3.png").arg(dir, QLatin1String(name), QLatin1String(GetParam())));
        }
        w.hide();
    }

    TkwLanguage lang{nullptr, QStringLiteral(HKT75_BIN_DIR)};
};

} // namespace

TEST_P(DialogGallery, KeyDialogsAndNameDialog)
{
    TFrmSingleKey single;
    single.FSingleKey.nKeyValue1 = 0x41;
    single.ShowSingleKeyText();
    save(single, "singlekey");

    TFrmCombo combo;
    combo.FComboKey.nKeyValue1 = 0x43;
    combo.FComboKey.nModifier = 3;
    combo.ShowComboKeyText();
    save(combo, "combokey");

    TFrmFire fire;
    fire.FAdvFireKeyInfo.KeyCode = 4;
    fire.FAdvFireKeyInfo.KeyValue.nKeyValue1 = 0x41;
    fire.FAdvFireKeyInfo.nLoopCount = 5;
    fire.FAdvFireKeyInfo.DelyValue = 30;
    save(fire, "fire");

    TFrmCreat create;
    create.TextboxMacroName->setText(QStringLiteral("Reload 1"));
    save(create, "createmacro");

    // Every caption is translated where the language has a translation.
    if (QLatin1String(GetParam()) == QLatin1String("0804")) {
        EXPECT_NE(single.Label2->text(), single.Label2->sourceText());
        EXPECT_NE(fire.RadioButton4->text(), QStringLiteral("Keyboard Key:"));
        EXPECT_NE(fire.Expander2->title(), QStringLiteral("Options"));
        EXPECT_NE(create.Label4->text(), create.Label4->sourceText());
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogGallery, ::testing::Values("en", "0804"));
