// Qt's own dialogs the window opens (the colour dialog, LOAD FILE's and SAVE
// AS's file dialogs): centred on the window as the suite's dialogs are, in
// the skin's colours with visible spin-box arrows, and in the display
// language, Qt's own texts included.
#include "KeyEvents.h"
#include "MainConfigFixture.h"

#include "config/app/MainConfigLight.h"
#include "config/ui/ProfileFileDialogsQt.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwSkinKit.h"
#include "core/Function_ProfileFiles.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QTimer>

#include <cstdlib>

using namespace hkt::testapp;

namespace {

class StandardDialogsTest : public MainConfigTest {
protected:
    void TearDown() override
    {
        UninstallProfileFileDialogsQt();
        MainConfigTest::TearDown();
    }
    // The shipped language file and pictures beside the window, the display
    // language at `position` of the language file.
    void UseShippedData(int position)
    {
        QFile::remove(ProgramFolder() + "kw.local");
        ASSERT_TRUE(QFile::copy(QStringLiteral(HKT75_BIN_DIR "/kw.local"), ProgramFolder() + "kw.local"));
        QFile::link(QStringLiteral(HKT75_BIN_DIR "/images"), ProgramFolder() + "images");
        Dm().FAllProfileSettingInfo.CurrentLanguage = std::uint8_t(position);
        ASSERT_TRUE(Dm().SaveBackAllProfileSettingInfo());
    }
    THKT75CFGMAIN &ShownForm()
    {
        THKT75CFGMAIN &form = Form();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        InstallProfileFileDialogsQt(&form);
        return form;
    }
    // Opens one of the three dialogs, runs `look` on it once it is up, then
    // closes it unanswered.
    enum class Which { Colour, SaveAs, LoadFile };
    void WithDialog(Which which, const std::function<void(QDialog &)> &look)
    {
        THKT75CFGMAIN &form = Form();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!d)
                return;
            seen = true;
            look(*d);
            d->reject();
        });
        switch (which) {
        case Which::Colour: form.LightPage().ComboColorSelectDropDown(); break;
        case Which::SaveAs: QTest::mouseClick(form.BtnSave, Qt::LeftButton); break;
        case Which::LoadFile: QTest::mouseClick(form.BtnLoad, Qt::LeftButton); break;
        }
        EXPECT_TRUE(seen) << "no dialog opened";
    }
};

const char *Name(int which)
{
    static const char *const names[] = {"colour", "SAVE AS", "LOAD FILE"};
    return names[which];
}

// The English words of a text Qt shows (mnemonics such as "(&B)" and "&"
// left out); "HTML", the name of a colour notation, is no English.
QStringList EnglishWords(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)"))).remove(QLatin1Char('&'));
    QStringList words;
    QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("[A-Za-z]{2,}")).globalMatch(text);
    while (it.hasNext()) {
        const QString w = it.next().captured();
        if (w != QLatin1String("HTML"))
            words.append(w);
    }
    return words;
}

} // namespace

// Qt places a dialog by guessing a window frame where there is none (40 px
// too high, 10 px too far left); these open centred on the window as the key
// dialogs and the macro manager do.
TEST_F(StandardDialogsTest, TheColourAndFileDialogsOpenCentredOnTheWindow)
{
    m_screens = {QRect(0, 0, 1280, 1024)};
    THKT75CFGMAIN &form = ShownForm();
    form.move(150, 90);
    const QPoint centre = form.frameGeometry().center();
    for (int w = 0; w < 3; ++w) {
        SCOPED_TRACE(Name(w));
        // Each time it opens.
        for (int again = 0; again < 2; ++again)
            WithDialog(Which(w), [&centre](QDialog &d) {
                const QPoint at = d.geometry().center();
                EXPECT_LE((at - centre).manhattanLength(), 2) << at.x() << "," << at.y();
            });
    }
}

// The colour dialog in the skin's colours, as the file dialogs are, and its
// spin boxes with arrows: the style sheet colours their buttons, which leaves
// Qt's arrows out.
TEST_F(StandardDialogsTest, TheColourDialogIsSkinnedWithArrowsOnItsSpinBoxes)
{
    UseShippedData(0);
    ShownForm();
    ASSERT_FALSE(qApp->styleSheet().isEmpty());
    const QColor ink = QColor::fromRgba(hkt::skin::colour::Text);
    WithDialog(Which::Colour, [&ink](QDialog &d) {
        EXPECT_EQ(d.palette().color(QPalette::Window), hkt::skin::SkinPalette().color(QPalette::Window));
        const QList<QSpinBox *> boxes = d.findChildren<QSpinBox *>();
        ASSERT_GE(boxes.size(), 6);
        for (QSpinBox *box : boxes) {
            if (!box->isVisible())
                continue;
            SCOPED_TRACE(box->objectName().toStdString());
            EXPECT_EQ(box->palette().color(QPalette::Text), ink);
            const QImage look = box->grab().toImage();
            QStyleOptionSpinBox opt;
            opt.initFrom(box);
            opt.buttonSymbols = box->buttonSymbols();
            opt.frame = box->hasFrame();
            opt.subControls = QStyle::SC_SpinBoxUp | QStyle::SC_SpinBoxDown;
            for (const auto sc : {QStyle::SC_SpinBoxUp, QStyle::SC_SpinBoxDown}) {
                const QRect r = box->style()->subControlRect(QStyle::CC_SpinBox, &opt, sc, box);
                ASSERT_FALSE(r.isEmpty());
                int inked = 0;
                for (int y = r.top(); y <= r.bottom(); ++y)
                    for (int x = r.left(); x <= r.right(); ++x) {
                        const QColor c = look.pixelColor(x * look.width() / box->width(),
                                                         y * look.height() / box->height());
                        inked += std::abs(c.red() - ink.red()) + std::abs(c.green() - ink.green()) +
                                     std::abs(c.blue() - ink.blue()) < 60;
                    }
                EXPECT_GE(inked, 3) << (sc == QStyle::SC_SpinBoxUp ? "up" : "down") << " arrow missing";
            }
        }
    });
}

// In Chinese every title, label, button and tip of the three dialogs is
// Chinese (Qt's own translations in force), the file dialogs' side bar
// included, and no title carries the English program name.
TEST_F(StandardDialogsTest, InChineseTheDialogsSpeakChineseAndNoTitleCarriesEnglish)
{
    UseShippedData(1);
    THKT75CFGMAIN &form = ShownForm();
    ASSERT_EQ(form.Language().Lang(), QStringLiteral("0804"));
    const QString title = QString::fromUtf8("\u6E38\u620F\u9F20\u6807\u8BBE\u7F6E"); // 游戏鼠标设置
    EXPECT_EQ(form.windowTitle(), title);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), title);
    for (int w = 0; w < 3; ++w) {
        SCOPED_TRACE(Name(w));
        WithDialog(Which(w), [](QDialog &d) {
            QStringList english = EnglishWords(d.windowTitle());
            for (const QLabel *l : d.findChildren<QLabel *>())
                english += EnglishWords(l->text());
            for (const QAbstractButton *b : d.findChildren<QAbstractButton *>())
                english += EnglishWords(b->text()) + EnglishWords(b->toolTip());
            for (const QAbstractItemView *v : d.findChildren<QAbstractItemView *>())
                if (v->inherits("QSidebar") && v->model())
                    for (int r = 0; r < v->model()->rowCount(v->rootIndex()); ++r) {
                        const QString place = v->model()->index(r, 0, v->rootIndex()).data().toString();
                        if (place == QLatin1String("Computer"))
                            english.append(place);
                    }
            EXPECT_TRUE(english.isEmpty()) << english.join(QLatin1Char(' ')).toStdString();
        });
    }
    // Back in English, Qt speaks English again.
    form.PopBoxLanguage->setCurrentIndex(0);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("GAMING MOUSE CONFIG"));
    WithDialog(Which::Colour, [](QDialog &d) { EXPECT_EQ(d.windowTitle(), QStringLiteral("Select Color")); });
}
