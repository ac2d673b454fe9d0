// The macro manager window, driven by real clicks and by real key events
// that reach the recorder through the hook library (libkwHook.so in the bin
// folder), with the database in a private folder.
#include "config/app/macrocreat.h"
#include "config/app/macrofrm.h"
#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuBox.h"
#include "config/ui/showdialog.h"
#include "core/kwHook.h"

#include "support/EventLoopWait.h"
#include "support/MacroSetBytes.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QDir>
#include <QKeyEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using hkt::skin::StateButton;
using hkt::testfixtures::MacroSetObjectBytes;
using hkt::testfixtures::WaitUntil;

namespace {

struct S {
    int type, state, v1, v2;
    bool operator==(const S &o) const
    {
        return type == o.type && state == o.state && v1 == o.v1 && v2 == o.v2;
    }
};

void PrintTo(const S &s, std::ostream *os)
{
    *os << "{" << s.type << "," << s.state << "," << s.v1 << "," << s.v2 << "}";
}

// Answers the suite's message dialogs as they come up, in order (2 once the
// script runs out; a message with OK alone takes OK), and keeps their texts
// and whether they offered CANCEL.
class DialogAnswers : public QObject {
public:
    explicit DialogAnswers(std::vector<int> answers) : FAnswers(std::move(answers))
    {
        connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start(5);
    }
    QStringList texts;

private:
    void Poll()
    {
        auto *d = qobject_cast<TFrmDialog *>(QApplication::activeModalWidget());
        if (!d || d == FLast)
            return;
        FLast = d;
        texts << d->LabelText->text();
        withCancel << d->BTNCANCEL->isVisible();
        const int a = FNext < FAnswers.size() ? FAnswers[FNext++] : 2;
        QTest::mouseClick(a == 1 || !d->BTNCANCEL->isVisible() ? d->BTNOK : d->BTNCANCEL, Qt::LeftButton);
    }
public:
    QList<bool> withCancel;
private:
    std::vector<int> FAnswers;
    size_t FNext = 0;
    QPointer<TFrmDialog> FLast;
    QTimer FTimer;
};

// Answers the macro name dialog with a name, typed and confirmed with OK
// (the next of `names` each time it comes up, the last one again once they
// run out; a null name answers CANCEL), and keeps what its text box held
// when it came up.
class NameAnswer : public QObject {
public:
    explicit NameAnswer(QString name) : NameAnswer(QStringList{std::move(name)}) {}
    explicit NameAnswer(QStringList names) : FNames(std::move(names))
    {
        connect(&FTimer, &QTimer::timeout, this, [this] {
            auto *d = qobject_cast<TFrmCreat *>(QApplication::activeModalWidget());
            if (!d || d == FLast)
                return;
            FLast = d;
            found << d->TextboxMacroName->text();
            const QString name = FNames.value(std::min<qsizetype>(shown, FNames.size() - 1));
            ++shown;
            if (name.isNull()) {
                QTest::mouseClick(d->BTNCANCEL, Qt::LeftButton);
                return;
            }
            // What stands there is selected: typing replaces it.
            QTest::keyClicks(d->TextboxMacroName, name);
            QTest::mouseClick(d->BTNOK, Qt::LeftButton);
        });
        FTimer.start(5);
    }
    int shown = 0;
    QStringList found;

private:
    QStringList FNames;
    QPointer<TFrmCreat> FLast;
    QTimer FTimer;
};

// A window outside the manager, to see whether keys still get through.
class PlainWindow : public QWindow {
public:
    PlainWindow()
    {
        resize(50, 50);
        show();
    }
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++keys; }
};

void Key(QWindow *w, bool down, int key, quint32 scan, ulong time)
{
    QKeyEvent ev(down ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier, scan, 0, 0);
    ev.setTimestamp(time);
    QCoreApplication::sendEvent(w, &ev);
}

constexpr quint32 kScanA = 30 + 8, kScanB = 48 + 8;

class MacroManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        TkwHook::SetLibraryPath(QString());
        GlobalImageDataBase().SetImageBasePath(QStringLiteral(HKT75_BIN_DIR "/images/0409"));
        db.LoadMacrosetDB(DbPath());
        ASSERT_EQ(db.CreateNewMacroSet(QStringLiteral("DefaultMacroSet")), 1);
        ASSERT_TRUE(db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet")));
        ASSERT_EQ(db.CreateNewMacro(QStringLiteral("Macro1")), 1);
        ASSERT_EQ(db.CreateNewMacro(QStringLiteral("Macro2")), 1);
        db.CurrentMacroClass()->SetMacroListIndex(0);
    }
    QString DbPath() const { return tmp.filePath(QStringLiteral("MacroSet.MSDB")); }

    std::unique_ptr<TFrmMacro> Open()
    {
        auto form = std::make_unique<TFrmMacro>(db);
        form->FillMacroList();
        form->show();
        EXPECT_NE(form->windowHandle(), nullptr);
        return form;
    }
    // Gives macro i these steps, as a database would hold them.
    void Give(int i, const std::vector<S> &steps)
    {
        std::vector<TMACROKEYINFO> macros = db.CurrentMacroClass()->MacroKeyInfoList();
        TMACROKEYINFO &m = macros[static_cast<size_t>(i)];
        for (size_t k = 0; k < steps.size(); ++k)
            m.MacroList[k] = {static_cast<uint16_t>(steps[k].type), static_cast<uint16_t>(steps[k].state),
                              static_cast<uint8_t>(steps[k].v1), static_cast<uint8_t>(steps[k].v2)};
        m.MacroListCount = static_cast<int32_t>(steps.size());
        db.CurrentMacroClass()->SetMacroKeyInfoList(macros);
        db.CurrentMacroClass()->SetMacroListIndex(i);
        db.SaveBackCurrentMacroClassDataToCurrentMacroList();
    }
    std::vector<S> SetSteps(int i) const
    {
        const TMACROKEYINFO &m = db.MacroSetList()[0].MacroArrays[i];
        std::vector<S> v;
        for (int k = 0; k < m.MacroListCount; ++k)
            v.push_back({m.MacroList[k].nKeyType, m.MacroList[k].nKeyState, m.MacroList[k].VALUE1,
                         m.MacroList[k].VALUE2});
        return v;
    }
    static QStringList Rows(hkt::skin::SkinListBox *list)
    {
        QStringList rows;
        for (int i = 0; i < list->count(); ++i)
            rows << list->row(i)->text;
        return rows;
    }
    static void ClickRow(hkt::skin::SkinListBox *list, int row)
    {
        list->ensureVisible(row);
        QTest::mouseClick(list, Qt::LeftButton, Qt::NoModifier, list->rowRect(row).center());
    }
    QTemporaryDir tmp;
    TkwMacroSetClass db;
};

} // namespace

TEST_F(MacroManager, RecordsAKeyboardMacroWithItsDelays)
{
    auto form = Open();
    ClickRow(form->ListBoxMacroList, 1);
    ASSERT_EQ(form->Model().CurrentMacro(), 1);
    // A new macro has the option off; it is stored with the macro.
    ASSERT_FALSE(form->BtnAutoDelay->isChecked());
    QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    ASSERT_TRUE(form->BtnAutoDelay->isChecked());
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[1].nAutoAddDelay, 1);
    QTest::mouseClick(form->BtnMacroStart, Qt::LeftButton);
    ASSERT_TRUE(form->Model().Recording());
    // Only STOP takes clicks; the macro list is locked.
    EXPECT_TRUE(form->BtnMacroStop->isEnabled());
    for (QWidget *w : std::initializer_list<QWidget *>{form->BTNOK, form->BTNCANCEL, form->BSBTNNEWMACRO,
                                                       form->BSBTNDELETEMACRO, form->ListBoxMacroList,
                                                       form->bsbtnCutAction, form->BtnAutoDelay})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    ClickRow(form->ListBoxMacroList, 0);
    EXPECT_EQ(form->Model().CurrentMacro(), 1) << "a click on the locked list switches nothing";

    QWindow *win = form->windowHandle();
    Key(win, true, Qt::Key_A, kScanA, 1000);
    Key(win, false, Qt::Key_A, kScanA, 1040);
    Key(win, true, Qt::Key_B, kScanB, 1100);
    Key(win, false, Qt::Key_B, kScanB, 1130);
    const QStringList live = Rows(form->ListBoxMacroKey);
    ASSERT_EQ(live.size(), 7);
    EXPECT_EQ(live[1], QStringLiteral("40"));
    EXPECT_EQ(live[3], QStringLiteral("60"));
    EXPECT_EQ(form->lableTotalActions->text(), QStringLiteral("7"));

    QTest::mouseClick(form->BtnMacroStop, Qt::LeftButton);
    EXPECT_FALSE(form->Model().Recording());
    EXPECT_FALSE(form->BtnMacroStop->isEnabled());
    EXPECT_TRUE(form->ListBoxMacroList->isEnabled());
    const std::vector<S> want{{4, 1, 0x41, 0}, {6, 0, 40, 0}, {4, 0, 0x41, 0}, {6, 0, 60, 0},
                              {4, 1, 0x42, 0}, {6, 0, 30, 0}, {4, 0, 0x42, 0}};
    EXPECT_EQ(SetSteps(1), want);
    EXPECT_EQ(SetSteps(0), std::vector<S>{});
    EXPECT_EQ(Rows(form->ListBoxMacroKey),
              (QStringList{QStringLiteral(" A"), QStringLiteral("40"), QStringLiteral(" A"), QStringLiteral("60"),
                           QStringLiteral(" B"), QStringLiteral("30"), QStringLiteral(" B")}));
    EXPECT_EQ(form->LabelAllDelayTime->text(), QStringLiteral("130"));

    // Without RECORD DELAYS BETWEEN ACTION: keys only.
    QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    ASSERT_FALSE(form->BtnAutoDelay->isChecked());
    QTest::mouseClick(form->BtnMacroStart, Qt::LeftButton);
    Key(win, true, Qt::Key_A, kScanA, 2000);
    Key(win, false, Qt::Key_A, kScanA, 2040);
    QTest::mouseClick(form->BtnMacroStop, Qt::LeftButton);
    EXPECT_EQ(SetSteps(1), (std::vector<S>{{4, 1, 0x41, 0}, {4, 0, 0x41, 0}}));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[1].nAutoAddDelay, 0);
}

TEST_F(MacroManager, MouseActionFromItsMenu)
{
    auto form = Open();
    QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    ASSERT_TRUE(form->BtnAutoDelay->isChecked());
    QTest::mouseClick(form->bsbtnMouseEvent, Qt::LeftButton);
    TkwMenuEx &menu = *form->kwMenuExMouseEvent;
    ASSERT_TRUE(menu.IsMenuOpen());
    TkwMenuBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<TkwMenuBox *>(w); b && b->Collection() == &menu.Items())
            box = b;
    ASSERT_NE(box, nullptr);
    const QPoint right = menu.Controller().RowRect(menu.Items(), 1).center().toPoint(); // RIGHT BUTTON
    QTest::mouseMove(box, right);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, right);
    EXPECT_TRUE(WaitUntil([&] { return form->ListBoxMacroKey->count() == 3; }, 3000));
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{1, 1, 2, 0}, {6, 0, 10, 0}, {1, 0, 2, 0}}));
    ASSERT_EQ(form->ListBoxMacroKey->count(), 3);
    EXPECT_EQ(form->LabelAllDelayTime->text(), QStringLiteral("10"));
}

TEST_F(MacroManager, EditCutPasteAndTimeSteps)
{
    Give(0, {{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    auto form = Open();
    ASSERT_EQ(Rows(form->ListBoxMacroKey), (QStringList{"1", "2", "3"}));
    ClickRow(form->ListBoxMacroKey, 2);
    QTest::mouseClick(form->bsbtnCutAction, Qt::LeftButton);
    EXPECT_EQ(Rows(form->ListBoxMacroKey), (QStringList{"1", "2"}));
    ClickRow(form->ListBoxMacroKey, 0);
    QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
    EXPECT_EQ(Rows(form->ListBoxMacroKey), (QStringList{"3", "1", "2"}));
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 3, 0}, {6, 0, 1, 0}, {6, 0, 2, 0}}));
    ClickRow(form->ListBoxMacroKey, 2);
    QTest::mouseClick(form->bsbtnMoveUpAction, Qt::LeftButton);
    EXPECT_EQ(Rows(form->ListBoxMacroKey), (QStringList{"3", "2", "1"}));
    QTest::mouseClick(form->bsbtnDeleteAction, Qt::LeftButton);
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 3, 0}, {6, 0, 1, 0}}));

    // Timing: a double-click opens the delay in place; typed values are
    // kept inside 1..65535.
    struct Case {
        const char *typed;
        int stored;
    } cases[] = {{"0", 1}, {"70000", 65535}, {"250", 250}};
    for (const Case &c : cases) {
        QTest::mouseDClick(form->ListBoxMacroKey, Qt::LeftButton, Qt::NoModifier,
                           form->ListBoxMacroKey->rowRect(1).center());
        ASSERT_TRUE(form->TextEditDelay->isVisible()) << c.typed;
        QTest::keyClicks(form->TextEditDelay, QString::fromLatin1(c.typed));
        QTest::keyClick(form->TextEditDelay, Qt::Key_Return);
        EXPECT_FALSE(form->TextEditDelay->isVisible());
        EXPECT_EQ(SetSteps(0)[1], (S{6, 0, c.stored & 0xFF, c.stored >> 8})) << c.typed;
        EXPECT_EQ(form->ListBoxMacroKey->row(1)->text, QString::number(c.stored));
        EXPECT_EQ(form->LabelAllDelayTime->text(), QString::number(3 + c.stored));
    }
}

TEST_F(MacroManager, UnknownStepsKeepTheirRowsSoEditsHitTheRightStep)
{
    Give(0, {{5, 1, 0x41, 0}, {4, 7, 0x42, 0}, {6, 0, 20, 0}});
    auto form = Open();
    ASSERT_EQ(form->ListBoxMacroKey->count(), 3);
    QTest::mouseDClick(form->ListBoxMacroKey, Qt::LeftButton, Qt::NoModifier,
                       form->ListBoxMacroKey->rowRect(0).center());
    EXPECT_FALSE(form->TextEditDelay->isVisible()) << "an unknown step is no delay";
    QTest::mouseDClick(form->ListBoxMacroKey, Qt::LeftButton, Qt::NoModifier,
                       form->ListBoxMacroKey->rowRect(2).center());
    ASSERT_TRUE(form->TextEditDelay->isVisible());
    QTest::keyClicks(form->TextEditDelay, QStringLiteral("77"));
    QTest::keyClick(form->TextEditDelay, Qt::Key_Return);
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{5, 1, 0x41, 0}, {4, 7, 0x42, 0}, {6, 0, 77, 0}}));
}

TEST_F(MacroManager, NewMacroAndTheLimitOfThirty)
{
    auto form = Open();
    {
        NameAnswer name(QStringLiteral("Macro3"));
        QTest::mouseClick(form->BSBTNNEWMACRO, Qt::LeftButton);
        EXPECT_EQ(name.shown, 1);
    }
    EXPECT_EQ(db.MacroSetList()[0].MacroArrayCount, 3);
    EXPECT_EQ(form->ListBoxMacroList->count(), 3);
    EXPECT_EQ(form->ListBoxMacroList->currentRow(), 2);
    EXPECT_EQ(form->Model().CurrentMacroName(), QStringLiteral("Macro3"));
    {
        // A name that is taken is said so, and comes back to be corrected.
        NameAnswer name(QStringList{QStringLiteral("Macro1"), QStringLiteral("Macro4")});
        DialogAnswers answers({});
        QTest::mouseClick(form->BSBTNNEWMACRO, Qt::LeftButton);
        EXPECT_EQ(answers.texts, QStringList{QStringLiteral("A MACRO WITH THIS NAME ALREADY EXISTS!")});
        EXPECT_EQ(answers.withCancel, QList<bool>{false});
        EXPECT_EQ(name.found, (QStringList{QString(), QStringLiteral("Macro1")}));
    }
    EXPECT_EQ(form->ListBoxMacroList->count(), 4);
    EXPECT_EQ(form->ListBoxMacroList->currentRow(), 3);
    EXPECT_EQ(form->Model().CurrentMacroName(), QStringLiteral("Macro4"));
    {
        // CANCEL on the second asking makes nothing, and the selection stays.
        NameAnswer name(QStringList{QStringLiteral("Macro2"), QString()});
        DialogAnswers answers({});
        QTest::mouseClick(form->BSBTNNEWMACRO, Qt::LeftButton);
        EXPECT_EQ(answers.texts, QStringList{QStringLiteral("A MACRO WITH THIS NAME ALREADY EXISTS!")});
        EXPECT_EQ(name.shown, 2);
    }
    EXPECT_EQ(form->ListBoxMacroList->count(), 4);
    EXPECT_EQ(form->ListBoxMacroList->currentRow(), 3);
    ASSERT_EQ(db.DeleteMacro(QStringLiteral("Macro4")), true);
    form->FillMacroList();

    for (int i = 4; i <= 30; ++i)
        ASSERT_EQ(db.CreateNewMacro(QStringLiteral("M%1").arg(i)), 1);
    form->FillMacroList();
    NameAnswer name(QStringLiteral("one too many"));
    DialogAnswers answers({1});
    QTest::mouseClick(form->BSBTNNEWMACRO, Qt::LeftButton);
    EXPECT_EQ(answers.texts, QStringList{QStringLiteral("TOO MANY MACROS TO BE CREATE!")});
    EXPECT_EQ(answers.withCancel, QList<bool>{false}) << "a message that only informs has OK alone";
    EXPECT_EQ(name.shown, 0) << "no name is asked for";
    EXPECT_EQ(db.MacroSetList()[0].MacroArrayCount, 30);
}

TEST_F(MacroManager, RecordAfterAndPasteStopAtTheSlotLimit)
{
    std::vector<S> steps;
    for (int i = 0; i < 59; ++i)
        steps.push_back({6, 0, i + 1, 0});
    Give(0, steps);
    auto form = Open();
    ClickRow(form->ListBoxMacroKey, 3);
    DialogAnswers answers({1, 1});
    QTest::mouseClick(form->BSBTNInsertAction, Qt::LeftButton);
    EXPECT_FALSE(form->Model().Recording());
    QTest::mouseClick(form->bsbtnCopyAction, Qt::LeftButton);
    QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
    const QString full = QStringLiteral("A MACRO CAN HOLD NO MORE THAN 59 ACTIONS.");
    EXPECT_EQ(answers.texts, (QStringList{full, full}));
    EXPECT_EQ(SetSteps(0).size(), 59u);
    EXPECT_EQ(form->ListBoxMacroKey->count(), 59);

    // With room for two: RECORD AFTER keeps what fits.
    ClickRow(form->ListBoxMacroKey, 0);
    QTest::mouseClick(form->bsbtnDeleteAction, Qt::LeftButton);
    QTest::mouseClick(form->bsbtnDeleteAction, Qt::LeftButton);
    ASSERT_EQ(SetSteps(0).size(), 57u);
    ASSERT_FALSE(form->BtnAutoDelay->isChecked()); // keys only
    ClickRow(form->ListBoxMacroKey, 0);
    QTest::mouseClick(form->BSBTNInsertAction, Qt::LeftButton);
    ASSERT_TRUE(form->Model().Recording());
    EXPECT_FALSE(form->ListBoxMacroList->isEnabled()) << "RECORD AFTER locks the macro list too";
    QWindow *win = form->windowHandle();
    Key(win, true, Qt::Key_A, kScanA, 1000);
    Key(win, false, Qt::Key_A, kScanA, 1010);
    Key(win, true, Qt::Key_B, kScanB, 1020);
    Key(win, false, Qt::Key_B, kScanB, 1030);
    EXPECT_TRUE(form->LayoutActionsFull->isVisible());
    QTest::mouseClick(form->BtnMacroStop, Qt::LeftButton);
    const std::vector<S> now = SetSteps(0);
    ASSERT_EQ(now.size(), 59u);
    EXPECT_EQ(now[1], (S{4, 1, 0x41, 0}));
    EXPECT_EQ(now[2], (S{4, 0, 0x41, 0}));
    EXPECT_EQ(form->ListBoxMacroKey->count(), 59);
}

TEST_F(MacroManager, DeleteAsksAndRemovesTheSelectedMacro)
{
    auto form = Open();
    ClickRow(form->ListBoxMacroList, 1);
    {
        DialogAnswers answers({2});
        QTest::mouseClick(form->BSBTNDELETEMACRO, Qt::LeftButton);
        EXPECT_EQ(answers.texts, QStringList{QStringLiteral("ARE YOU SURE YOU WANT TO DELETE THIS MACRO?")});
    }
    EXPECT_EQ(db.MacroSetList()[0].MacroArrayCount, 2);
    {
        DialogAnswers answers({1});
        QTest::mouseClick(form->BSBTNDELETEMACRO, Qt::LeftButton);
    }
    ASSERT_EQ(db.MacroSetList()[0].MacroArrayCount, 1);
    EXPECT_EQ(MacroNameText(db.MacroSetList()[0].MacroArrays[0]), QStringLiteral("Macro1"));
    EXPECT_EQ(Rows(form->ListBoxMacroList), QStringList{QStringLiteral("Macro1")});
    EXPECT_EQ(form->ListBoxMacroList->currentRow(), 0);

    // The last macro gone: an empty, disabled list and no step rows.
    {
        DialogAnswers answers({1});
        QTest::mouseClick(form->BSBTNDELETEMACRO, Qt::LeftButton);
    }
    EXPECT_EQ(form->ListBoxMacroList->count(), 0);
    EXPECT_FALSE(form->ListBoxMacroList->isEnabled());
    EXPECT_EQ(form->ListBoxMacroKey->count(), 0);
    EXPECT_FALSE(form->BSBTNDELETEMACRO->isEnabled());
}

namespace {

// Runs `act` on the manager once ShowMacroManager has it up.
void WhenManagerShown(std::function<void(TFrmMacro &)> act)
{
    QTimer::singleShot(0, [act] {
        auto *form = qobject_cast<TFrmMacro *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        act(*form);
    });
}

} // namespace

TEST_F(MacroManager, OkWritesTheDatabaseAndReturnsTheSelectedMacro)
{
    Give(1, {{6, 0, 9, 0}});
    QString name = QStringLiteral("Macro2");
    bool needUpdate = true;
    int selectedAtOpen = -1;
    NameAnswer newName(QStringLiteral("Fresh"));
    WhenManagerShown([&](TFrmMacro &f) {
        selectedAtOpen = f.ListBoxMacroList->currentRow();
        QTest::mouseClick(f.BSBTNNEWMACRO, Qt::LeftButton); // returns once the name is given
        QTest::mouseClick(f.BTNOK, Qt::LeftButton);
    });
    EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 1);
    EXPECT_EQ(selectedAtOpen, 1);
    EXPECT_EQ(name, QStringLiteral("Fresh"));
    EXPECT_FALSE(needUpdate);

    TkwMacroSetClass reread;
    ASSERT_EQ(reread.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_EQ(QFileInfo(DbPath()).size(), static_cast<qint64>(MACRO_SET_DB_SIZE));
    EXPECT_EQ(reread.GetMacroListNamesByMacroSetName(QStringLiteral("DefaultMacroSet")),
              (QStringList{QStringLiteral("Macro1"), QStringLiteral("Macro2"), QStringLiteral("Fresh")}));
    EXPECT_EQ(reread.MacroSetList()[0].MacroArrays[1].MacroListCount, 1);
}

TEST_F(MacroManager, OkWithAnEmptyListReturnsNoName)
{
    QString name = QStringLiteral("Macro1");
    bool needUpdate = false;
    WhenManagerShown([&](TFrmMacro &f) {
        auto *answers = new DialogAnswers({1, 1});
        answers->setParent(&f);
        QTest::mouseClick(f.BSBTNDELETEMACRO, Qt::LeftButton);
        QTest::mouseClick(f.BSBTNDELETEMACRO, Qt::LeftButton);
        QTest::mouseClick(f.BTNOK, Qt::LeftButton);
    });
    EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 1);
    EXPECT_EQ(name, QString());
    TkwMacroSetClass reread;
    ASSERT_EQ(reread.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_TRUE(reread.GetMacroListNamesByMacroSetName(QStringLiteral("DefaultMacroSet")).isEmpty());
}

TEST_F(MacroManager, OkThatCannotWriteTellsTheUserAndStaysOpen)
{
    // The database's folder is gone: the write fails.
    ASSERT_TRUE(QDir(tmp.path()).removeRecursively());
    QString name = QStringLiteral("Macro1");
    bool needUpdate = false;
    QStringList seen;
    bool stayedOpen = false;
    WhenManagerShown([&](TFrmMacro &f) {
        {
            DialogAnswers answers({1});
            QTest::mouseClick(f.BTNOK, Qt::LeftButton);
            seen = answers.texts;
        }
        stayedOpen = f.isVisible();
        auto *answers = new DialogAnswers({1});
        answers->setParent(&f);
        QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
    });
    EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 2);
    EXPECT_EQ(seen, QStringList{QStringLiteral("THE MACRO DATABASE COULD NOT BE SAVED.")});
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(name, QStringLiteral("Macro1"));
}

TEST_F(MacroManager, CancelAsksAndKeepsTheCallersName)
{
    QString name = QStringLiteral("Macro2");
    bool needUpdate = false;
    bool openAfterNo = false;
    QStringList seen;
    WhenManagerShown([&](TFrmMacro &f) {
        ClickRow(f.ListBoxMacroList, 0);
        QTest::mouseClick(f.BTNLOOPRUN, Qt::LeftButton); // an edit, so there is something to lose
        {
            DialogAnswers answers({2});
            QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
            seen = answers.texts;
        }
        openAfterNo = f.isVisible();
        auto *answers = new DialogAnswers({1});
        answers->setParent(&f);
        QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
    });
    EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 2);
    EXPECT_TRUE(openAfterNo);
    EXPECT_EQ(seen, QStringList{QStringLiteral("DO YOU WANT TO LEAVE MACRO MANAGER WITHOUT SAVING?")});
    EXPECT_EQ(name, QStringLiteral("Macro2"));
}

// Nothing to lose, nothing asked: CANCEL and Escape leave at once when at
// most the selection changed since the manager opened; any edit makes them
// ask first.
TEST_F(MacroManager, CancelAsksOnlyWhenSomethingWasEdited)
{
    Give(0, {{4, 1, 0x42, 0}, {6, 0, 30, 0}, {4, 0, 0x42, 0}});
    const struct Case {
        const char *name;
        std::function<void(TFrmMacro &)> act;
        bool asks;
    } cases[] = {
        {"nothing", [](TFrmMacro &) {}, false},
        {"another macro and a step selected",
         [](TFrmMacro &f) {
             ClickRow(f.ListBoxMacroList, 1);
             ClickRow(f.ListBoxMacroList, 0);
             ClickRow(f.ListBoxMacroKey, 1);
         },
         false},
        {"an option", [](TFrmMacro &f) { QTest::mouseClick(f.BTNLOOPRUN, Qt::LeftButton); }, true},
        {"a macro made",
         [](TFrmMacro &f) {
             NameAnswer name(QStringLiteral("Fresh"));
             QTest::mouseClick(f.BSBTNNEWMACRO, Qt::LeftButton);
         },
         true},
        {"a step cut",
         [](TFrmMacro &f) {
             ClickRow(f.ListBoxMacroKey, 1);
             QTest::mouseClick(f.bsbtnCutAction, Qt::LeftButton);
         },
         true},
        {"a recording",
         [](TFrmMacro &f) {
             QTest::mouseClick(f.BtnMacroStart, Qt::LeftButton);
             Key(f.windowHandle(), true, Qt::Key_A, kScanA, 1000);
             Key(f.windowHandle(), false, Qt::Key_A, kScanA, 1050);
             QTest::mouseClick(f.BtnMacroStop, Qt::LeftButton);
         },
         true},
    };
    for (const bool escape : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (escape ? ", Escape" : ", CANCEL"));
            QString name = QStringLiteral("Macro1");
            bool needUpdate = false;
            QStringList seen;
            WhenManagerShown([&](TFrmMacro &f) {
                c.act(f);
                DialogAnswers answers({1});
                if (escape)
                    Key(f.windowHandle(), true, Qt::Key_Escape, 9, 5000);
                else
                    QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
                seen = answers.texts;
            });
            EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 2);
            EXPECT_EQ(seen, c.asks ? QStringList{QStringLiteral("DO YOU WANT TO LEAVE MACRO MANAGER WITHOUT SAVING?")}
                                   : QStringList{});
            EXPECT_EQ(SetSteps(0), (std::vector<S>{{4, 1, 0x42, 0}, {6, 0, 30, 0}, {4, 0, 0x42, 0}}));
            EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), 2);
        }
    }
}

// Every ending stops the recorder, and every ending but OK leaves the macro
// as the window found it.
TEST_F(MacroManager, ClosingWhileRecordingStopsTheRecorderAndDiscardsTheSteps)
{
    struct Ending {
        const char *name;
        std::function<void(TFrmMacro &)> close;
    } endings[] = {
        {"reject", [](TFrmMacro &f) { f.reject(); }},
        {"window manager", [](TFrmMacro &f) { f.close(); }},
        {"CANCEL handler", [](TFrmMacro &f) {
             DialogAnswers answers({1});
             f.BtnCancelClick();
         }},
        {"destroyed", [](TFrmMacro &) {}},
    };
    for (const Ending &e : endings) {
        Give(0, {});
        {
            auto form = Open();
            if (!form->BtnAutoDelay->isChecked())
                QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
            QTest::mouseClick(form->BtnMacroStart, Qt::LeftButton);
            ASSERT_TRUE(form->Model().Recording()) << e.name;
            Key(form->windowHandle(), true, Qt::Key_A, kScanA, 1000);
            Key(form->windowHandle(), false, Qt::Key_A, kScanA, 1020);
            e.close(*form);
            if (std::string(e.name) != "destroyed") {
                EXPECT_FALSE(form->Model().Recording()) << e.name;
            }
        }
        EXPECT_EQ(SetSteps(0), std::vector<S>{}) << e.name;
        EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nAutoAddDelay, 0) << e.name;
        // The recorder is gone: keys reach other windows again.
        PlainWindow other;
        Key(&other, true, Qt::Key_B, kScanB, 5000);
        EXPECT_EQ(other.keys, 1) << e.name;
    }
}

TEST_F(MacroManager, OptionsFollowEachOtherAndTheMacro)
{
    auto form = Open();
    QTest::mouseClick(form->BTNLOOPRUN, Qt::LeftButton);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopRunWhenPressed, 1);
    QTest::mouseClick(form->BtnMacroLoop, Qt::LeftButton);
    EXPECT_FALSE(form->BTNLOOPRUN->isChecked());
    EXPECT_TRUE(form->BoxMacroLoop->isEnabled());
    EXPECT_EQ(form->BoxMacroLoop->value(), 1);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 1);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopRunWhenPressed, 0);
    form->BoxMacroLoop->setValue(12);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 12);
    QTest::mouseClick(form->BtnMacroLoop, Qt::LeftButton);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 0);
    QTest::mouseClick(form->BtnCustomDelay, Qt::LeftButton);
    EXPECT_TRUE(form->NumBoxDelay->isEnabled());
    QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    EXPECT_FALSE(form->BtnCustomDelay->isChecked());
    EXPECT_FALSE(form->NumBoxDelay->isEnabled());
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nAutoAddDelay, 0);

    // Another macro shows its own options.
    form->BoxMacroLoop->setEnabled(true);
    QTest::mouseClick(form->BtnMacroLoop, Qt::LeftButton);
    form->BoxMacroLoop->setValue(5);
    ClickRow(form->ListBoxMacroList, 1);
    EXPECT_FALSE(form->BtnMacroLoop->isChecked());
    ClickRow(form->ListBoxMacroList, 0);
    EXPECT_TRUE(form->BtnMacroLoop->isChecked());
    EXPECT_EQ(form->BoxMacroLoop->value(), 5);
}

TEST_F(MacroManager, ScreenshotsInEnglishAndChinese)
{
    TkwLanguage lang(nullptr, QStringLiteral(HKT75_BIN_DIR));
    qApp->setStyleSheet(hkt::skin::LoadStyleFile(QStringLiteral(HKT75_BIN_DIR)));
    for (const char *id : {"0409", "0804"}) {
        lang.SetLang(QString::fromLatin1(id));
        Give(0, {});
        auto form = Open();
        // A macro recorded through the hook, with a mouse click after it.
        if (!form->BtnAutoDelay->isChecked())
            QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
        QTest::mouseClick(form->BtnMacroStart, Qt::LeftButton);
        QWindow *win = form->windowHandle();
        Key(win, true, Qt::Key_A, kScanA, 1000);
        Key(win, false, Qt::Key_A, kScanA, 1035);
        Key(win, true, Qt::Key_B, kScanB, 1155);
        Key(win, false, Qt::Key_B, kScanB, 1190);
        QTest::mouseClick(form->BtnMacroStop, Qt::LeftButton);
        ClickRow(form->ListBoxMacroKey, 6);
        form->kwMenuExMouseEventItemsClick(1);
        ASSERT_EQ(form->ListBoxMacroKey->count(), 10);
        const QImage shot = form->grab().toImage();
        ASSERT_EQ(shot.size(), QSize(757, 582));
        const QString title = form->LabelTitle->text();
        EXPECT_EQ(title, Translate(QStringLiteral("MACRO MANAGER")));
        if (QString::fromLatin1(id) == QStringLiteral("0804")) {
            EXPECT_EQ(title, QString::fromUtf8("宏管理器"));
        }
        // The window's own title (what a task list shows) too.
        EXPECT_EQ(form->windowTitle(), title);
        const QString dir = qEnvironmentVariable("HKT75_SHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            shot.save(dir + QStringLiteral("/macro-manager-%1.png").arg(QString::fromLatin1(id)));
        }
    }
    lang.SetLang(QStringLiteral("0409"));
    qApp->setStyleSheet(QString());
}

TEST_F(MacroManager, StopStopsEvenWithoutASelectedMacro)
{
    auto form = Open();
    if (!form->BtnAutoDelay->isChecked())
        QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    QTest::mouseClick(form->BtnMacroStart, Qt::LeftButton);
    ASSERT_TRUE(form->Model().Recording());
    Key(form->windowHandle(), true, Qt::Key_A, kScanA, 1000);
    Key(form->windowHandle(), false, Qt::Key_A, kScanA, 1010);
    form->ListBoxMacroList->setCurrentRow(-1);
    QTest::mouseClick(form->BtnMacroStop, Qt::LeftButton);
    EXPECT_FALSE(form->Model().Recording());
    EXPECT_FALSE(form->BtnMacroStop->isEnabled());
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{4, 1, 0x41, 0}, {6, 0, 10, 0}, {4, 0, 0x41, 0}}));
    PlainWindow other;
    Key(&other, true, Qt::Key_B, kScanB, 5000);
    EXPECT_EQ(other.keys, 1) << "the recorder no longer swallows keys";
}

TEST_F(MacroManager, OpensWithTheMacroOfTheCallerAndItsErrorMarks)
{
    // Macro2 left pressed, as a database may hold it.
    Give(1, {{4, 1, 0x41, 0}});
    std::vector<TMACROKEYINFO> macros = db.CurrentMacroClass()->MacroKeyInfoList();
    macros[1].HaveErrors = 1;
    db.CurrentMacroClass()->SetMacroKeyInfoList(macros);
    db.SaveBackCurrentMacroClassDataToCurrentMacroList();
    struct Case {
        QString name;
        int selected;
    } cases[] = {{QStringLiteral("Macro2"), 1}, {QStringLiteral("nobody"), 0}, {QString(), 0}};
    for (const Case &c : cases) {
        db.CurrentMacroClass()->SetMacroListIndex(0);
        QString name = c.name;
        bool needUpdate = false;
        int selected = -2, rows = -1;
        bool marks[2] = {};
        WhenManagerShown([&](TFrmMacro &f) {
            selected = f.ListBoxMacroList->currentRow();
            rows = f.ListBoxMacroKey->count();
            marks[0] = f.ListBoxMacroList->row(0)->showError;
            marks[1] = f.ListBoxMacroList->row(1)->showError;
            f.BTNCLOSE->click();
        });
        EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 2);
        EXPECT_EQ(selected, c.selected) << c.name.toStdString();
        EXPECT_EQ(rows, c.selected == 1 ? 1 : 0);
        EXPECT_FALSE(marks[0]);
        EXPECT_TRUE(marks[1]);
        EXPECT_EQ(name, c.name) << "the close button leaves the caller's name";
    }

    // An empty set: an empty, disabled list and no rows.
    ASSERT_TRUE(db.DeleteMacro(1));
    ASSERT_TRUE(db.DeleteMacro(0));
    auto form = Open();
    EXPECT_EQ(form->ListBoxMacroList->count(), 0);
    EXPECT_FALSE(form->ListBoxMacroList->isEnabled());
    EXPECT_EQ(form->ListBoxMacroKey->count(), 0);
}

TEST_F(MacroManager, RenameAndOrderFromTheMacroMenuReachTheSet)
{
    auto form = Open();
    ClickRow(form->ListBoxMacroList, 1);
    form->kwMenuMacroItemsClick(1); // RENAME
    ASSERT_TRUE(form->TextBoxSelectedMacroName->isEnabled());
    form->TextBoxSelectedMacroName->selectAll();
    QTest::keyClicks(form->TextBoxSelectedMacroName, QStringLiteral("Jump"));
    QTest::keyClick(form->TextBoxSelectedMacroName, Qt::Key_Return);
    EXPECT_EQ(Rows(form->ListBoxMacroList), (QStringList{QStringLiteral("Macro1"), QStringLiteral("Jump")}));
    EXPECT_EQ(MacroNameText(db.MacroSetList()[0].MacroArrays[1]), QStringLiteral("Jump"));
    EXPECT_TRUE(form->ListBoxMacroList->isEnabled());

    // A name another macro has is refused: two macros of one name would make
    // every by-name lookup reach the first.
    form->kwMenuMacroItemsClick(1);
    form->TextBoxSelectedMacroName->selectAll();
    QTest::keyClicks(form->TextBoxSelectedMacroName, QStringLiteral("Macro1"));
    QTest::keyClick(form->TextBoxSelectedMacroName, Qt::Key_Return);
    EXPECT_EQ(MacroNameText(db.MacroSetList()[0].MacroArrays[1]), QStringLiteral("Jump"));

    form->kwMenuMacroItemsClick(2); // UP
    EXPECT_EQ(Rows(form->ListBoxMacroList), (QStringList{QStringLiteral("Jump"), QStringLiteral("Macro1")}));
    EXPECT_EQ(MacroNameText(db.MacroSetList()[0].MacroArrays[0]), QStringLiteral("Jump"));
    EXPECT_EQ(form->ListBoxMacroList->currentRow(), 0);
    form->kwMenuMacroItemsClick(3); // DOWN
    EXPECT_EQ(MacroNameText(db.MacroSetList()[0].MacroArrays[1]), QStringLiteral("Jump"));
}

// An option click stores into the macro; the step the list highlights stays
// the one DELETE and the other tools act on.
TEST_F(MacroManager, OptionClicksKeepTheHighlightedStepCurrent)
{
    const struct Case {
        const char *name;
        std::function<void(TFrmMacro &)> before; // once, before the row is chosen
        std::function<void(TFrmMacro &)> option;
    } cases[] = {
        {"RECORD DELAYS BETWEEN ACTION", [](TFrmMacro &) {},
         [](TFrmMacro &f) { QTest::mouseClick(f.BtnAutoDelay, Qt::LeftButton); }},
        {"LOOPS TIMES", [](TFrmMacro &) {}, [](TFrmMacro &f) { QTest::mouseClick(f.BtnMacroLoop, Qt::LeftButton); }},
        {"REPEAT RUN WHEN KEY DOWN", [](TFrmMacro &) {},
         [](TFrmMacro &f) { QTest::mouseClick(f.BTNLOOPRUN, Qt::LeftButton); }},
        {"the loop count", [](TFrmMacro &f) { QTest::mouseClick(f.BtnMacroLoop, Qt::LeftButton); },
         [](TFrmMacro &f) {
             f.BoxMacroLoop->setFocus();
             f.BoxMacroLoop->selectAll();
             QTest::keyClicks(f.BoxMacroLoop, QStringLiteral("7"));
             QTest::keyClick(f.BoxMacroLoop, Qt::Key_Return);
             ASSERT_EQ(f.FMacroSetClass.MacroSetList()[0].MacroArrays[0].nLoopCount, 7);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Give(0, {{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
        auto form = Open();
        c.before(*form);
        ClickRow(form->ListBoxMacroKey, 2);
        c.option(*form);
        EXPECT_EQ(form->ListBoxMacroKey->currentRow(), 2);
        EXPECT_EQ(form->Model().Steps()->ActionIndex(), 2);
        QTest::mouseClick(form->bsbtnDeleteAction, Qt::LeftButton);
        EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 2, 0}}));
        // The list shows the new current step, the last one.
        EXPECT_EQ(form->ListBoxMacroKey->currentRow(), 1);
        c.option(*form);
        QTest::mouseClick(form->bsbtnMoveUpAction, Qt::LeftButton);
        EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 2, 0}, {6, 0, 1, 0}}));
        EXPECT_EQ(form->ListBoxMacroKey->currentRow(), form->Model().Steps()->ActionIndex());
    }
}

// While a recording runs nothing but STOP edits the macro: the loop count
// box too is locked, and a count set anyway neither lands in the macro nor
// moves where RECORD AFTER puts the keys.
TEST_F(MacroManager, RecordAfterLocksTheNumberBoxesAndKeepsItsPlace)
{
    Give(0, {{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    auto form = Open();
    ASSERT_FALSE(form->BtnAutoDelay->isChecked());
    QTest::mouseClick(form->BtnMacroLoop, Qt::LeftButton);
    QTest::mouseClick(form->BtnCustomDelay, Qt::LeftButton);
    ClickRow(form->ListBoxMacroKey, 1);
    form->BoxMacroLoop->setFocus();
    form->BoxMacroLoop->selectAll();
    QTest::keyClicks(form->BoxMacroLoop, QStringLiteral("4"));
    QTest::keyClick(form->BoxMacroLoop, Qt::Key_Return);
    ASSERT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 4);
    // Custom delays need the auto-delay option, which the click turned on; off again.
    QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    ASSERT_FALSE(form->BtnAutoDelay->isChecked());

    QTest::mouseClick(form->BSBTNInsertAction, Qt::LeftButton);
    ASSERT_TRUE(form->Model().Recording());
    EXPECT_FALSE(form->BoxMacroLoop->isEnabled());
    EXPECT_FALSE(form->NumBoxDelay->isEnabled());
    EXPECT_FALSE(form->BtnMacroLoop->isEnabled());
    form->BoxMacroLoop->setValue(9); // as a wheel or a script would
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 4);
    QWindow *win = form->windowHandle();
    Key(win, true, Qt::Key_A, kScanA, 1000);
    Key(win, false, Qt::Key_A, kScanA, 1000);
    QTest::mouseClick(form->BtnMacroStop, Qt::LeftButton);
    ASSERT_FALSE(form->Model().Recording());
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 2, 0}, {4, 1, 0x41, 0}, {4, 0, 0x41, 0}, {6, 0, 3, 0}}));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 4);
    EXPECT_TRUE(form->BoxMacroLoop->isEnabled());
    EXPECT_EQ(form->BoxMacroLoop->value(), 4);
}

// A cut step waits on the clipboard through option clicks and a switch to
// another macro, and lands there; a copied one can be pasted again.
TEST_F(MacroManager, CutAndCopiedStepsPasteIntoAnotherMacro)
{
    Give(1, {});
    Give(0, {{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    auto form = Open();
    ClickRow(form->ListBoxMacroKey, 1);
    QTest::mouseClick(form->bsbtnCutAction, Qt::LeftButton);
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 3, 0}}));
    QTest::mouseClick(form->BtnAutoDelay, Qt::LeftButton);
    QTest::mouseClick(form->BTNLOOPRUN, Qt::LeftButton);
    ClickRow(form->ListBoxMacroList, 1);
    ASSERT_EQ(form->Model().CurrentMacro(), 1);
    QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
    EXPECT_EQ(SetSteps(1), (std::vector<S>{{6, 0, 2, 0}}));
    EXPECT_EQ(Rows(form->ListBoxMacroKey), QStringList{QStringLiteral("2")});
    // A cut step is pasted once.
    QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
    EXPECT_EQ(SetSteps(1), (std::vector<S>{{6, 0, 2, 0}}));
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 3, 0}}));

    ClickRow(form->ListBoxMacroList, 0);
    ClickRow(form->ListBoxMacroKey, 1);
    QTest::mouseClick(form->bsbtnCopyAction, Qt::LeftButton);
    ClickRow(form->ListBoxMacroList, 1);
    QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
    QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
    EXPECT_EQ(SetSteps(1), (std::vector<S>{{6, 0, 3, 0}, {6, 0, 3, 0}, {6, 0, 2, 0}}));
    EXPECT_EQ(SetSteps(0), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 3, 0}}));
}

// Escape is CANCEL, question included; while recording it is a key of the macro.
TEST_F(MacroManager, EscapeAsksLikeCancelAndIsRecordedWhileRecording)
{
    QString name = QStringLiteral("Macro1");
    bool needUpdate = false;
    bool openAfterNo = false, openWhileRecording = false;
    QStringList seen;
    std::vector<S> recorded;
    constexpr quint32 kScanEscape = 9;
    WhenManagerShown([&](TFrmMacro &f) {
        QWindow *win = f.windowHandle();
        QTest::mouseClick(f.BTNLOOPRUN, Qt::LeftButton); // an edit, so there is something to lose
        {
            DialogAnswers answers({2});
            Key(win, true, Qt::Key_Escape, kScanEscape, 1000);
            Key(win, false, Qt::Key_Escape, kScanEscape, 1020);
            seen = answers.texts;
        }
        openAfterNo = f.isVisible();
        QTest::mouseClick(f.BtnMacroStart, Qt::LeftButton);
        Key(win, true, Qt::Key_Escape, kScanEscape, 2000);
        Key(win, false, Qt::Key_Escape, kScanEscape, 2020);
        openWhileRecording = f.isVisible() && f.Model().Recording();
        QTest::mouseClick(f.BtnMacroStop, Qt::LeftButton);
        recorded = SetSteps(0);
        auto *answers = new DialogAnswers({1});
        answers->setParent(&f);
        Key(win, true, Qt::Key_Escape, kScanEscape, 3000);
    });
    EXPECT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 2);
    EXPECT_EQ(seen, QStringList{QStringLiteral("DO YOU WANT TO LEAVE MACRO MANAGER WITHOUT SAVING?")});
    EXPECT_TRUE(openAfterNo);
    EXPECT_TRUE(openWhileRecording);
    EXPECT_EQ(recorded, (std::vector<S>{{4, 1, 0x1B, 0}, {4, 0, 0x1B, 0}}));
    EXPECT_EQ(SetSteps(0), std::vector<S>{}) << "leaving without saving discards the recording";
    EXPECT_EQ(name, QStringLiteral("Macro1"));
}

// A name of 50 characters is cut at its end with an ellipsis in the list;
// the pointer resting on it shows it whole.
TEST_F(MacroManager, LongNamesAreCutAtTheirEndAndShownWholeAsAHint)
{
    const QString longName = QStringLiteral("A long macro name to check clipping at both ends!!");
    ASSERT_EQ(longName.size(), 50);
    ASSERT_EQ(db.CreateNewMacro(longName), 1);
    auto form = Open();
    hkt::skin::SkinListBox *list = form->ListBoxMacroList;
    const int row = db.CurrentMacroClass()->IndexOfMacroName(longName);
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->drawnText(0), QStringLiteral("Macro1"));
    const QString drawn = list->drawnText(row);
    ASSERT_TRUE(drawn.endsWith(QChar(0x2026))) << drawn.toStdString();
    EXPECT_TRUE(longName.startsWith(drawn.chopped(1))) << drawn.toStdString();
    EXPECT_GE(drawn.size(), 10);
    EXPECT_LE(list->fontMetrics().horizontalAdvance(drawn), list->rowRect(row).width());

    const QPoint at = list->rowRect(row).center();
    QHelpEvent help(QEvent::ToolTip, at, list->mapToGlobal(at));
    QCoreApplication::sendEvent(list, &help);
    EXPECT_EQ(QToolTip::text(), longName);
    QToolTip::hideText();

    const QString dir = qEnvironmentVariable("HKT75_SHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        form->grab().save(dir + QStringLiteral("/macro-manager-long-name.png"));
    }
}

namespace {

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Whatever was edited, a manager left without OK leaves the database object
// and its file exactly as they were when it opened; opened again it shows the
// old steps, and its OK saves them.
TEST_F(MacroManager, LeavingWithoutOkLeavesTheMacroSetAsItWasAtOpening)
{
    Give(1, {{6, 0, 7, 0}});
    Give(0, {{4, 1, 0x42, 0}, {6, 0, 30, 0}, {4, 0, 0x42, 0}});
    ASSERT_TRUE(db.SaveMacroSetDB());
    const QStringList oldRows{QStringLiteral(" B"), QStringLiteral("30"), QStringLiteral(" B")};
    const QString aside = DbPath() + QStringLiteral(".aside");
    const struct Case {
        const char *name;
        std::function<void(TFrmMacro &)> edit, leave;
    } cases[] = {
        {"a recording, CANCEL answered OK",
         [](TFrmMacro &f) {
             QTest::mouseClick(f.BtnAutoDelay, Qt::LeftButton);
             QTest::mouseClick(f.BtnMacroStart, Qt::LeftButton);
             Key(f.windowHandle(), true, Qt::Key_A, kScanA, 1000);
             Key(f.windowHandle(), false, Qt::Key_A, kScanA, 1050);
             QTest::mouseClick(f.BtnMacroStop, Qt::LeftButton);
         },
         [](TFrmMacro &f) {
             DialogAnswers answers({1});
             QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
         }},
        {"a macro deleted, one made, an option, the close button",
         [](TFrmMacro &f) {
             ClickRow(f.ListBoxMacroList, 1);
             {
                 DialogAnswers answers({1});
                 QTest::mouseClick(f.BSBTNDELETEMACRO, Qt::LeftButton);
             }
             NameAnswer name(QStringLiteral("Fresh"));
             QTest::mouseClick(f.BSBTNNEWMACRO, Qt::LeftButton);
             QTest::mouseClick(f.BTNLOOPRUN, Qt::LeftButton);
         },
         [](TFrmMacro &f) { QTest::mouseClick(f.BTNCLOSE, Qt::LeftButton); }},
        {"a cut step and a mouse action, Escape answered OK",
         [](TFrmMacro &f) {
             ClickRow(f.ListBoxMacroKey, 1);
             QTest::mouseClick(f.bsbtnCutAction, Qt::LeftButton);
             f.kwMenuExMouseEventItemsClick(2);
         },
         [](TFrmMacro &f) {
             DialogAnswers answers({1});
             Key(f.windowHandle(), true, Qt::Key_Escape, 9, 2000);
         }},
        {"an OK that could not write, then CANCEL answered OK",
         [&](TFrmMacro &f) {
             ClickRow(f.ListBoxMacroKey, 0);
             QTest::mouseClick(f.bsbtnMoveDownAction, Qt::LeftButton);
             // A folder where the file was: the write fails.
             ASSERT_TRUE(QFile::rename(DbPath(), aside));
             ASSERT_TRUE(QDir().mkdir(DbPath()));
             DialogAnswers answers({1});
             QTest::mouseClick(f.BTNOK, Qt::LeftButton);
             ASSERT_EQ(answers.texts, QStringList{QStringLiteral("THE MACRO DATABASE COULD NOT BE SAVED.")});
         },
         [&](TFrmMacro &f) {
             {
                 DialogAnswers answers({1});
                 QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
             }
             ASSERT_TRUE(QDir().rmdir(DbPath()));
             ASSERT_TRUE(QFile::rename(aside, DbPath()));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString name = QStringLiteral("Macro1");
        bool needUpdate = false;
        QByteArray atOpen, fileAtOpen;
        bool edited = false;
        WhenManagerShown([&](TFrmMacro &f) {
            atOpen = MacroSetObjectBytes(db);
            fileAtOpen = FileBytes(DbPath());
            c.edit(f);
            edited = MacroSetObjectBytes(db) != atOpen;
            c.leave(f);
        });
        ASSERT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 2);
        ASSERT_TRUE(edited) << "the edits reached the database object while the window was open";
        ASSERT_EQ(fileAtOpen.size(), static_cast<qsizetype>(MACRO_SET_DB_SIZE));
        EXPECT_TRUE(MacroSetObjectBytes(db) == atOpen);
        EXPECT_TRUE(FileBytes(DbPath()) == fileAtOpen);
        EXPECT_EQ(name, QStringLiteral("Macro1"));
        EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), 2);

        // Opened again: the old steps; OK saves them as they were.
        QStringList rows;
        WhenManagerShown([&](TFrmMacro &f) {
            rows = Rows(f.ListBoxMacroKey);
            QTest::mouseClick(f.BTNOK, Qt::LeftButton);
        });
        ASSERT_EQ(ShowMacroManager(nullptr, db, name, needUpdate), 1);
        EXPECT_EQ(rows, oldRows);
        EXPECT_TRUE(FileBytes(DbPath()) == fileAtOpen);
    }
}

// Started as the program starts (the database read, its set made current,
// no macro chosen in the list yet) from a button without a macro: the
// highlighted macro's steps are listed, and the tools act on them.
TEST_F(MacroManager, FirstOpeningShowsTheStepsOfTheHighlightedMacro)
{
    Give(0, {{4, 1, 0x41, 0}, {6, 0, 25, 0}, {4, 0, 0x41, 0}});
    ASSERT_TRUE(db.SaveMacroSetDB());
    TkwMacroSetClass started;
    ASSERT_EQ(started.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    ASSERT_TRUE(started.SwitchToMacroSet(QStringLiteral("DefaultMacroSet")));
    QString name; // the button holds no macro
    bool needUpdate = false;
    int selected = -1;
    QStringList rows, afterDelete;
    QString entries, elapsed;
    WhenManagerShown([&](TFrmMacro &f) {
        selected = f.ListBoxMacroList->currentRow();
        rows = Rows(f.ListBoxMacroKey);
        entries = f.lableTotalActions->text();
        elapsed = f.LabelAllDelayTime->text();
        ClickRow(f.ListBoxMacroKey, 1);
        QTest::mouseClick(f.bsbtnDeleteAction, Qt::LeftButton);
        afterDelete = Rows(f.ListBoxMacroKey);
        QTest::mouseClick(f.BTNOK, Qt::LeftButton);
    });
    ASSERT_EQ(ShowMacroManager(nullptr, started, name, needUpdate), 1);
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(rows, (QStringList{QStringLiteral(" A"), QStringLiteral("25"), QStringLiteral(" A")}));
    EXPECT_EQ(entries, QStringLiteral("3"));
    EXPECT_EQ(elapsed, QStringLiteral("25"));
    EXPECT_EQ(afterDelete, (QStringList{QStringLiteral(" A"), QStringLiteral(" A")}));
    EXPECT_EQ(name, QStringLiteral("Macro1"));
}

// A key press pasted where no release of its key follows is taken out again
// by the repair: the clipboard keeps it, a line of the window says why, and
// it can be pasted where it can stand.
TEST_F(MacroManager, APasteTheRepairTakesOutStaysOnTheClipboardWithAWord)
{
    const QString notice = QStringLiteral("THIS STEP CAN'T STAND THERE: ITS KEY WOULD NEVER BE RELEASED.");
    const struct Case {
        const char *name;
        hkt::skin::StateButton *TFrmMacro::*tool;
        int target; // the row the step is pasted before
        std::vector<S> before;
    } cases[] = {
        {"cut", &TFrmMacro::bsbtnCutAction, 1, {{4, 0, 0x41, 0}, {6, 0, 5, 0}}},
        {"copied", &TFrmMacro::bsbtnCopyAction, 2, {{4, 1, 0x41, 0}, {4, 0, 0x41, 0}, {6, 0, 5, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Give(0, {{4, 1, 0x41, 0}, {4, 0, 0x41, 0}, {6, 0, 5, 0}});
        auto form = Open();
        ClickRow(form->ListBoxMacroKey, 0);
        QTest::mouseClick((*form).*c.tool, Qt::LeftButton);
        ASSERT_EQ(SetSteps(0), c.before);
        EXPECT_FALSE(form->LabelStepNotice->isVisible());
        ClickRow(form->ListBoxMacroKey, c.target);
        QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
        EXPECT_EQ(SetSteps(0), c.before);
        EXPECT_EQ(form->ListBoxMacroKey->count(), static_cast<int>(c.before.size()));
        EXPECT_EQ(form->ListBoxMacroKey->currentRow(), c.target) << "the row the paste aimed at stays highlighted";
        EXPECT_TRUE(form->Model().HasClipboard());
        EXPECT_TRUE(form->LabelStepNotice->isVisible());
        EXPECT_EQ(form->LabelStepNotice->text(), notice);

        // Before the release it stands; the line goes with the next edit.
        ClickRow(form->ListBoxMacroKey, 0);
        QTest::mouseClick(form->BSBTNPasteaction, Qt::LeftButton);
        EXPECT_FALSE(form->LabelStepNotice->isVisible());
        std::vector<S> after = c.before;
        after.insert(after.begin(), S{4, 1, 0x41, 0});
        EXPECT_EQ(SetSteps(0), after);
        EXPECT_EQ(form->Model().HasClipboard(), std::string(c.name) == "copied");
    }
}
