// Renders the dialogs and the kit with the shipped skin and style file, as a
// window would show them. With HKT75_SHOT_DIR set the pictures are saved
// there for a person to look at.
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwSkinKit.h"
#include "config/ui/showdialog.h"
#include "config/ui/showdialog2.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace hkt::skin;

namespace {

class Gallery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qApp->setStyleSheet(LoadStyleFile(QStringLiteral(HKT75_BIN_DIR)));
        GlobalImageDataBase().SetImageBasePath(QStringLiteral(HKT75_BIN_DIR "/images/0409"));
    }
    void TearDown() override { qApp->setStyleSheet(QString()); }

    static void save(QWidget &w, const char *name)
    {
        const QImage shot = w.grab().toImage();
        ASSERT_EQ(shot.size(), w.size());
        const QString dir = qEnvironmentVariable("HKT75_SHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            shot.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
        }
    }
    static void hover(QWidget *w)
    {
        QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QApplication::sendEvent(w, &e);
    }
};

} // namespace

TEST_F(Gallery, MessageDialogs)
{
    TFrmDialog one;
    one.LabelTitle->setSourceText(QStringLiteral("WARNING"));
    one.LabelText->setSourceText(QStringLiteral("PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!"));
    hover(one.BTNOK);
    one.show();
    save(one, "dialog1");

    TFrmDialog2 two;
    two.LabelTitle->setSourceText(QStringLiteral("RESET THIS PROFILE"));
    two.LabelText->setSourceText(QStringLiteral("ARE YOU SURE YOU WANT TO RESET THIS PROFILE ?"));
    two.LabelText2->setSourceText(QStringLiteral("RESET THE CURRENT PROFILE BACK TO FACTORY SETTING."));
    two.show();
    QTest::mousePress(two.BTNCANCEL, Qt::LeftButton);
    save(two, "dialog2");
    QTest::mouseRelease(two.BTNCANCEL, Qt::LeftButton, {}, QPoint(-5, -5));

    // Chinese texts through the translation hook, on the same windows.
    SetTranslator([](const QString &s) {
        if (s == QLatin1String("WARNING"))
            return QStringLiteral("\u8B66\u544A");
        if (s == QLatin1String("CANCEL"))
            return QStringLiteral("\u53D6\u6D88");
        if (s == QLatin1String("OK"))
            return QStringLiteral("\u786E\u5B9A");
        if (s.startsWith(QLatin1String("PLEASE CONNECT")))
            return QStringLiteral("\u8BF7\u5148\u8FDE\u63A5\u9F20\u6807\u8BBE\u5907\uFF0C\u518D\u5E94\u7528\u65B0\u7684\u8BBE\u7F6E\uFF01");
        return s;
    });
    save(one, "dialog1-zh");
    SetTranslator(nullptr);

    // No skin at all: the painted look.
    GlobalImageDataBase().SetImageBasePath(QStringLiteral("/nonexistent"));
    TFrmDialog bare;
    bare.LabelTitle->setSourceText(QStringLiteral("WARNING"));
    bare.LabelText->setSourceText(QStringLiteral("THE SETTINGS WAS CHANGED, SAVE THE CURRENT SETTING ANYWAY?"));
    bare.show();
    save(bare, "dialog1-noskin");
}

TEST_F(Gallery, Kit)
{
    SkinDialog sheet(nullptr, 757, 582);
    auto *back = Place<SkinImage>(&sheet, 0, 0, 757, 582);
    back->setSliceMargin(14);
    GlobalImageDataBase().AssignIMAGE(back->pictureRef(), QStringLiteral("dlg-back.png"), QStringLiteral("background"));

    auto *panel = Place<SkinImage>(&sheet, 10, 90, 230, 300);
    panel->setFallback([](QPainter &p, const QRectF &r) { PaintPanel(p, r); });
    auto *heading = Place<SkinLabel>(&sheet, 20, 96, 200, 20, QStringLiteral("MACRO NAME:"));
    heading->setFont(SkinFont(QStringLiteral("Myriad Pro"), 14, true));

    auto *list = Place<SkinListBox>(&sheet, 16, 120, 218, 160);
    list->setFont(SkinFont(QStringLiteral("Myriad Pro"), 14));
    for (int i = 0; i < 6; ++i) {
        ListRow r;
        r.text = QStringLiteral("MACRO %1").arg(i + 1);
        r.height = 23;
        r.textX = 8;
        r.showError = i == 2;
        list->addRow(r);
    }
    list->setCurrentRow(1);

    auto *steps = Place<SkinListBox>(&sheet, 250, 120, 300, 120);
    steps->setFont(SkinFont(QStringLiteral("Myriad Pro"), 13));
    const struct { const char *flag; Flag f; int fx, tx; const char *text; } rows[] = {
        {"macro-action-item-flag-down.png", Flag::KeyDown, 0, 30, "A"},
        {"macro-action-item-flag-delay.png", Flag::Delay, 0, 150, "120"},
        {"macro-action-item-flag-up.png", Flag::KeyUp, 15, 42, "A"},
        {"macro-action-item-mouse-flag-down.png", Flag::MouseDown, 0, 27, "Mouse Click"},
        {"macro-action-item-mouse-flag-up.png", Flag::MouseUp, 15, 42, "Mouse Click"},
    };
    for (const auto &s : rows) {
        ListRow r;
        GlobalImageDataBase().AssignIMAGE(r.flag, QString::fromLatin1(s.flag), QStringLiteral("controls"));
        r.flagX = s.fx;
        r.textX = s.tx;
        r.text = QString::fromLatin1(s.text);
        steps->addRow(r);
    }
    steps->setCurrentRow(2);

    // Buttons of each kind in their three looks: normal, hot, pressed.
    const struct { const char *stem; const char *sub; int w, h; const char *caption; } kinds[] = {
        {"ok", "buttons", 90, 30, "OK"},           {"Button", "buttons", 103, 43, "NEW"},
        {"ButtonTool", "buttons", 136, 21, "MOVE UP"}, {"tabbutton", "buttons", 120, 36, "GENERAL"},
        {"ProfileButton", "Buttons", 100, 32, "PROFILE1"}, {"ButtonAssign", "Buttons", 130, 24, "BROWSER FAVORITE"},
    };
    int y = 400;
    int x = 10;
    for (const auto &k : kinds) {
        for (int n = 0; n < 3; ++n) {
            auto *b = Place<StateButton>(&sheet, x + n * (k.w + 6), y, k.w, k.h);
            AssignStatePictures(GlobalImageDataBase(), b->picturesRef(), QStringLiteral("%1-1.png").arg(QLatin1String(k.stem)),
                                QStringLiteral("%1-2.png").arg(QLatin1String(k.stem)),
                                QStringLiteral("%1-3.png").arg(QLatin1String(k.stem)), QLatin1String(k.sub));
            b->setText(QString::fromLatin1(k.caption));
            b->setFont(SkinFont(QStringLiteral("Myriad Pro"), k.h >= 30 ? 13 : 11, true));
            if (QLatin1String(k.stem) == QLatin1String("ButtonTool") || QLatin1String(k.stem) == QLatin1String("ButtonAssign")) {
                b->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
                b->setTextIndent(12);
            }
            if (n >= 1)
                hover(b);
            if (n == 2)
                b->setStaysPressed(true), b->setChecked(true);
        }
        x += 3 * (k.w + 6) + 14;
        if (x > 560) {
            x = 10;
            y += 52;
        }
    }

    // Options column.
    const char *options[] = {"RECORD DELAYS BETWEEN ACTION", "INSERT DEFAULT DELAY", "LOOPS TIMES(1-255)"};
    for (int i = 0; i < 3; ++i) {
        auto *check = Place<StateButton>(&sheet, 572, 100 + i * 28, 14, 12);
        check->setStaysPressed(true);
        check->setFallback(CheckFallback());
        AssignStatePictures(GlobalImageDataBase(), check->picturesRef(), QStringLiteral("checkbox-1.png"),
                            QStringLiteral("checkbox-1.png"), QStringLiteral("checkbox-2.png"), QStringLiteral("controls"));
        check->setChecked(i != 1);
        auto *caption = Place<SkinLabel>(&sheet, 592, 96 + i * 28, 160, 20, QString::fromLatin1(options[i]));
        caption->setFont(SkinFont(QStringLiteral("Myriad Pro"), 11, true));
    }
    auto *box = Place<NumberBox>(&sheet, 592, 190, 64, 22);
    box->setRange(1, 65535);
    box->setValue(10);
    auto *ms = Place<SkinLabel>(&sheet, 662, 190, 30, 22, QStringLiteral("MS"));
    ms->setFont(SkinFont(QStringLiteral("Myriad Pro"), 12));

    auto *hbar = Place<TrackBar>(&sheet, 250, 260, 260, 20, Qt::Horizontal);
    GlobalImageDataBase().AssignIMAGE(hbar->backgroundRef(), QStringLiteral("Indicator-bar-back.png"), QStringLiteral("controls"));
    hbar->setRange(1, 20);
    hbar->setValue(8);
    auto *vbar = Place<TrackBar>(&sheet, 700, 230, 20, 150, Qt::Vertical);
    GlobalImageDataBase().AssignIMAGE(vbar->backgroundRef(), QStringLiteral("dpi-indicator-x.png"), QStringLiteral("controls"));
    vbar->setRange(50, 16400);
    vbar->setValue(3200);

    auto *min = Place<StateButton>(&sheet, 700, 20, 20, 22);
    AssignStatePictures(GlobalImageDataBase(), min->picturesRef(), QStringLiteral("min-1.png"), QStringLiteral("min-3.png"),
                        QStringLiteral("min-2.png"), QStringLiteral("Buttons"));
    auto *close = Place<StateButton>(&sheet, 724, 20, 20, 22);
    AssignStatePictures(GlobalImageDataBase(), close->picturesRef(), QStringLiteral("Close-1.png"),
                        QStringLiteral("Close-3.png"), QStringLiteral("Close-2.png"), QStringLiteral("Buttons"));
    hover(close);
    auto *title = Place<SkinLabel>(&sheet, 0, 24, 757, 40, QStringLiteral("MACRO MANAGER"));
    title->setFont(SkinFont(QStringLiteral("FUTURA STD MEDIUM"), 24, true, true));
    title->setAlignment(Qt::AlignCenter);
    SetSkinStyle(title, QStringLiteral("wlabel"));
    auto *warn = Place<SkinImage>(&sheet, 560, 240, 125, 115);
    warn->setFallback([](QPainter &p, const QRectF &r) { PaintWarningIcon(p, r); });

    sheet.show();
    save(sheet, "kit");
}

TEST_F(Gallery, MainWindowPictures)
{
    QWidget main;
    main.resize(801, 638);
    auto *back = Place<SkinImage>(&main, 0, 0, 801, 638);
    GlobalImageDataBase().AssignIMAGE(back->pictureRef(), QStringLiteral("cfgMainback.png"), QStringLiteral("background"));
    auto *mouse = Place<SkinImage>(&main, 250, 110, 300, 380);
    GlobalImageDataBase().AssignIMAGE(mouse->pictureRef(), QStringLiteral("mouse-layout-front.png"), QStringLiteral("background"));
    const char *tabs[] = {"GENERAL", "DPI", "LIGHT", "INFO"};
    for (int i = 0; i < 4; ++i) {
        auto *t = Place<StateButton>(&main, 240 + i * 134, 14, 130, 38);
        AssignStatePictures(GlobalImageDataBase(), t->picturesRef(), QStringLiteral("tabbutton-1.png"),
                            QStringLiteral("tabbutton-2.png"), QStringLiteral("tabbutton-3.png"), QStringLiteral("buttons"));
        t->setText(QString::fromLatin1(tabs[i]));
        t->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 14, true, true));
        t->setStaysPressed(true);
        t->setChecked(i == 0);
    }
    for (int i = 0; i < 5; ++i) {
        auto *p = Place<StateButton>(&main, 16 + i * 108, 584, 104, 34);
        AssignStatePictures(GlobalImageDataBase(), p->picturesRef(), QStringLiteral("ProfileButton-1.png"),
                            QStringLiteral("ProfileButton-2.png"), QStringLiteral("ProfileButton-3.png"), QStringLiteral("Buttons"));
        p->setText(QStringLiteral("PROFILE%1").arg(i + 1));
        p->setFont(SkinFont(QStringLiteral("Futura Std Medium"), 12, true, true));
        p->setStaysPressed(true);
        p->setChecked(i == 0);
    }
    const char *commands[] = {"OK", "CANCEL", "APPLY"};
    for (int i = 0; i < 3; ++i) {
        auto *c = Place<StateButton>(&main, 568 + i * 76, 584, 72, 34);
        AssignStatePictures(GlobalImageDataBase(), c->picturesRef(), QStringLiteral("ok-1.png"), QStringLiteral("ok-2.png"),
                            QStringLiteral("ok-2.png"), QStringLiteral("Buttons"));
        c->setText(QString::fromLatin1(commands[i]));
        c->setFont(SkinFont(QStringLiteral("Myriad Pro"), 13, true));
    }
    const char *assigns[] = {"CLICK", "MENU", "MIDDLE BUTTON", "DPI SWITCH CYCLE"};
    for (int i = 0; i < 4; ++i) {
        auto *a = Place<StateButton>(&main, i % 2 ? 580 : 80, 150 + (i / 2) * 120, 150, 26);
        AssignStatePictures(GlobalImageDataBase(), a->picturesRef(), QStringLiteral("ButtonAssign-1.png"),
                            QStringLiteral("ButtonAssign-2.png"), QStringLiteral("ButtonAssign-3.png"), QStringLiteral("Buttons"));
        a->setText(QString::fromLatin1(assigns[i]));
        a->setFont(SkinFont(QStringLiteral("Myriad Pro"), 12, true));
        a->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        a->setTextIndent(12);
    }
    main.show();
    save(main, "main");
}
