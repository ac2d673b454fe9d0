// Every control the shipped HKT75 shows, pressed on the real program, in
// English and in Chinese, and each must do something a user can see: a
// dialog or menu appears, the mouse is written, a file appears, the window's
// picture changes (a page, a value, a view), the window asks to be minimised,
// or the program ends. A control that does nothing fails the test.
//
// Which controls there are is not listed here: the same window is built in
// this process over the shipped program folder and every control it shows,
// page by page, is collected with its place; the real program is then
// clicked at those places. A control added to the window is pressed without
// a change to this test. With HKT75_LIST_CONTROLS set, the controls and
// what each press did are printed.
#include "ConfigEndToEndFixture.h"
#include "MainConfigFixture.h"

#include "config/app/MainConfig.h"
#include "config/ui/kwSkinKit.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VirtualMouse.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>

#include <cstdio>
#include <map>

using hkt::testapp::ConfigEndToEnd;
using hkt::testfixtures::WaitFor;

namespace {

// Toggle: a check box or an on/off button (a stays-pressed button among
// siblings of which none or several are pressed, unlike tabs, profiles and
// views where exactly one is): pressed twice, so that what comes after it
// finds the window as it was (an off DPI level disables its controls).
constexpr char kWindowChanged[] = "the window changed";
constexpr char kMouseWritten[] = "the mouse was written";

enum class Kind { Button, Toggle, Radio, Track, DoubleClick };

struct Control {
    QString name;
    Kind kind = Kind::Button;
    int page = -1; // -1: outside the pages (tabs, command bar, profile bar)
    QRect place;   // in window coordinates
    bool checkBox = false; // pressed on its box
};

// The controls the window shows, built over the shipped program folder in
// this process (offscreen, private stores, an in-process mouse).
std::vector<Control> Inventory()
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.path() + "/run");
    auto store = std::make_shared<hkt::platform::DirectoryValueStore>(tmp.path() + "/registry");
    TDM dm(TDMRoots{store, QStringLiteral(HKT75_BIN_DIR), tmp.path() + "/docs/"});
    TMainConfigSetup s;
    s.RuntimeRoot = tmp.path() + "/run";
    s.ProgramFolder = QStringLiteral(HKT75_BIN_DIR);
    s.Hid = hkt::sim::MakeInProcessHidBackend(std::make_shared<hkt::sim::VirtualMouse>());
    // Recorded, so the desktop of the machine running the test is not touched.
    s.DesktopMouse = std::make_shared<hkt::testapp::RecordingMouseSettings>();
    s.Dialog = [](const QString &, const QString &) { return 2; };
    s.Dialog2 = [](const QString &, const QString &, const QString &) { return 2; };
    s.StartMonitor = [](const QString &, const QString &) { return true; };
    s.Screens = [] { return QList<QRect>{QRect(0, 0, 1280, 1024)}; };
    THKT75CFGMAIN form(dm, s);
    form.show();

    std::vector<Control> out;
    std::map<const QWidget *, bool> seen;
    for (int page = 0; page < 4; ++page) {
        form.ShowPage(page);
        for (QWidget *w : form.findChildren<QWidget *>()) {
            if (seen[w] || !w->isVisibleTo(&form))
                continue;
            Control c;
            if (auto *b = qobject_cast<hkt::skin::StateButton *>(w)) {
                c.kind = Kind::Button;
                if (b->staysPressed()) {
                    int pressed = 0;
                    for (auto *sib : b->parentWidget()->findChildren<hkt::skin::StateButton *>(Qt::FindDirectChildrenOnly))
                        pressed += sib->staysPressed() && sib->size() == b->size() && sib->isChecked();
                    if (pressed != 1)
                        c.kind = Kind::Toggle;
                }
            } else if (qobject_cast<QRadioButton *>(w)) {
                c.kind = Kind::Radio;
            } else if (qobject_cast<QCheckBox *>(w)) {
                c.kind = Kind::Toggle;
                c.checkBox = true;
            } else if (qobject_cast<hkt::skin::TrackBar *>(w)) {
                c.kind = Kind::Track;
            } else if (w->objectName() == QLatin1String("ImageTest")) {
                c.kind = Kind::DoubleClick;
            } else if (w->property("Square").isValid() ||
                       QLatin1String(w->metaObject()->className()) == QLatin1String("TLightColorBox")) {
                c.kind = Kind::Button;
            } else {
                continue;
            }
            seen[w] = true;
            if (c.name.isEmpty())
                c.name = w->objectName();
            c.page = form.TabControlMain->isAncestorOf(w) ? page : -1;
            // Where it can be seen: clipped by every widget it sits in.
            c.place = QRect(w->mapTo(&form, QPoint(0, 0)), w->size());
            for (QWidget *p = w->parentWidget(); p && p != &form; p = p->parentWidget())
                c.place &= QRect(p->mapTo(&form, QPoint(0, 0)), p->size());
            c.place &= form.rect();
            if (c.place.isEmpty())
                continue;
            out.push_back(c);
        }
    }
    form.hide();
    return out;
}

class ConfigEveryControlEndToEnd : public ConfigEndToEnd, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        ConfigEndToEnd::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        // Addresses handed to the desktop land in a file of ours.
        m_opened = m_session.Root() + "/opened.txt";
        const QString browser = m_session.Root() + "/browser";
        QFile script(browser);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\n").arg(m_opened).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env.insert(QStringLiteral("BROWSER"), browser);
        m_env.insert(QStringLiteral("DEFAULT_BROWSER"), browser);
    }

    struct State {
        std::vector<std::uint32_t> windows;
        QByteArray look;
        int log = 0;
        int minimised = 0;
        qint64 opened = 0;
    };
    State Now()
    {
        State s;
        for (const auto &w : Shown())
            s.windows.push_back(w.id);
        s.look = m_probe->Look(m_main);
        s.log = int(MouseLog().size());
        s.minimised = m_probe->MinimiseRequests(m_main);
        s.opened = QFileInfo(m_opened).size();
        return s;
    }
    // What changed from `before`, in words; empty when nothing did. The
    // mouse's log is read only when `withLog` (it is a program run).
    QString Effect(const State &before, bool withLog)
    {
        if (Ended())
            return QStringLiteral("the program ended");
        if (Shown().size() > before.windows.size())
            return QStringLiteral("a window appeared");
        if (m_probe->MinimiseRequests(m_main) != before.minimised)
            return QStringLiteral("the window asked to be minimised");
        if (QFileInfo(m_opened).size() != before.opened)
            return QStringLiteral("an address was handed to the desktop");
        if (m_probe->Look(m_main) != before.look)
            return QLatin1String(kWindowChanged);
        if (withLog && int(MouseLog().size()) != before.log)
            return QLatin1String(kMouseWritten);
        return {};
    }
    // Waits until the shown windows and the main window's picture hold
    // still (a run of device writes, an animation or a hover ended).
    void Settle()
    {
        std::size_t windows = Shown().size();
        QByteArray look = m_probe->Look(m_main);
        int still = 0;
        WaitFor([&] {
            const std::size_t w = Shown().size();
            const QByteArray l = m_probe->Look(m_main);
            still = (w == windows && l == look) ? still + 1 : 0;
            windows = w;
            look = l;
            return still >= 2;
        }, 10000, 40);
    }
    // Closes whatever the press opened (dialogs, menus, questions).
    void CloseOpened()
    {
        for (int attempt = 0; attempt < 5 && Shown().size() > 1; ++attempt) {
            const auto shown = Shown();
            XDo({QStringLiteral("windowfocus"), QString::number(shown.back().id)});
            XDo({QStringLiteral("key"), QStringLiteral("Escape")});
            WaitFor([&] { return Shown().size() < shown.size(); }, 3000);
        }
        ASSERT_EQ(Shown().size(), 1u) << "a dialog would not close";
    }
    // Presses `c` at `at` (window coordinates) and returns what it did.
    QString Press(const Control &c, QPoint at)
    {
        // A dialog that came late for the press before is closed first.
        CloseOpened();
        const QString main = QString::number(m_main);
        // The pointer rests on the control first: its hover picture is not
        // the press's effect.
        XDo({QStringLiteral("mousemove"), QStringLiteral("--window"), main, QString::number(at.x()),
             QString::number(at.y())});
        Settle();
        const State before = Now();
        QStringList click{QStringLiteral("click")};
        if (c.kind == Kind::DoubleClick)
            click << QStringLiteral("--repeat") << QStringLiteral("2") << QStringLiteral("--delay")
                  << QStringLiteral("60");
        click << QStringLiteral("1");
        XDo(click);
        if (qEnvironmentVariableIsSet("HKT75_LIST_CONTROLS"))
            std::printf("%s press %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("mm:ss.zzz"))),
                        qPrintable(c.name));
        QString effect;
        int polls = 0;
        WaitFor([&] { return !(effect = Effect(before, ++polls % 8 == 0)).isEmpty(); }, 2000, 25);
        // A picture that changes only for a moment (buttons greyed while a
        // run that did nothing else went by) is no effect; the test area's
        // spin is one by nature.
        if (effect == QLatin1String(kWindowChanged) && c.kind != Kind::DoubleClick)
            Settle();
        if (effect.isEmpty() || effect == QLatin1String(kWindowChanged))
            effect = Effect(before, true);
        if (qEnvironmentVariableIsSet("HKT75_LIST_CONTROLS"))
            std::printf("  %s\n", qPrintable(effect));
        // A run of device writes ends before the next press, so that none of
        // its writes is taken for that press's.
        if (effect == QLatin1String(kMouseWritten)) {
            int log = -1, still = 0;
            WaitFor([&] {
                const int now = int(MouseLog().size());
                still = now == log ? still + 1 : 0;
                log = now;
                return still >= 2;
            }, 20000, 150);
        }
        return effect;
    }
    // Where a control is pressed: a check box or radio on its box (at its
    // left), a track bar a quarter along (`far`: three quarters), anything
    // else in its middle.
    static QPoint PlaceOf(const Control &c, bool far = false)
    {
        const QRect &r = c.place;
        if (c.kind == Kind::Radio || c.checkBox)
            return QPoint(r.left() + 8, r.center().y());
        if (c.kind == Kind::Track) {
            const int q = far ? 3 : 1;
            return r.width() >= r.height() ? QPoint(r.left() + r.width() * q / 4, r.center().y())
                                           : QPoint(r.center().x(), r.top() + r.height() * q / 4);
        }
        return r.center();
    }
    // Presses each control; one that does nothing gets a second press at
    // another place (a track bar) or after the rest (a radio that was the
    // chosen one, a view that was shown). Returns the controls that never
    // did anything.
    QStringList PressAll(const std::vector<Control> &controls)
    {
        std::vector<const Control *> again;
        std::map<const Control *, bool> farFirst;
        bool far = false;
        for (const Control &c : controls) {
            // Track bars are pressed at alternate ends: two linked bars (a
            // DPI level's X and Y) then both move.
            if (c.kind == Kind::Track)
                far = farFirst[&c] = !far;
            QString effect = Press(c, PlaceOf(c, farFirst[&c]));
            CloseOpened();
            if (!effect.isEmpty() && c.kind == Kind::Toggle) {
                effect = Press(c, PlaceOf(c));
                CloseOpened();
            }
            if (effect.isEmpty())
                again.push_back(&c);
            if (Ended())
                return {c.name + QStringLiteral(" ended the program")};
        }
        QStringList dead;
        for (const Control *c : again) {
            const QString effect = Press(*c, PlaceOf(*c, !farFirst[c]));
            CloseOpened();
            if (effect.isEmpty())
                dead << c->name;
            else if (c->kind == Kind::Toggle) {
                Press(*c, PlaceOf(*c));
                CloseOpened();
            }
        }
        return dead;
    }
    // Whether the program has ended (QProcess learns it only when asked).
    bool Ended()
    {
        m_config->waitForFinished(1);
        return m_config->state() == QProcess::NotRunning;
    }
    // Starts the program in the test's language; false when it did not show.
    bool Start()
    {
        m_config = &StartConfigOnFirstProfile(GetParam());
        const QString main = MainWindow();
        m_main = main.toUInt();
        return m_main != 0;
    }

    QString m_opened;
    QProcess *m_config = nullptr;
    std::uint32_t m_main = 0;
};

QString NameOf(const Control &c, int index)
{
    return c.name.isEmpty() ? QStringLiteral("control %1 at %2,%3").arg(index).arg(c.place.x()).arg(c.place.y())
                            : c.name;
}

} // namespace

TEST_P(ConfigEveryControlEndToEnd, EveryControlDoesSomething)
{
    std::vector<Control> all = Inventory();
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i].name = NameOf(all[i], int(i)) + QStringLiteral(" (page %1)").arg(all[i].page);
    ASSERT_GT(all.size(), 40u) << "the window shows fewer controls than it has";
    if (qEnvironmentVariableIsSet("HKT75_LIST_CONTROLS"))
        for (const Control &c : all)
            std::printf("%s %d,%d %dx%d\n", qPrintable(c.name), c.place.x(), c.place.y(), c.place.width(), c.place.height());
    auto named = [&](const char *name) {
        for (const Control &c : all)
            if (c.name.startsWith(QLatin1String(name) + QLatin1Char(' ')))
                return c;
        ADD_FAILURE() << name << " is not shown";
        return Control{};
    };
    // The controls that end the program are pressed last, one per start.
    const QStringList closers{QStringLiteral("BtnOK"), QStringLiteral("BtnCancel"), QStringLiteral("BtnClose")};
    const QStringList tabs{QStringLiteral("BtnCPI"), QStringLiteral("BtnColor"), QStringLiteral("BSBTNINFO"),
                           QStringLiteral("BtnMainConfig")};
    const int pageOfTab[] = {1, 2, 3, 0};

    ASSERT_TRUE(Start());
    QStringList dead;
    // Each page, entered by its tab (the page changes), then its controls.
    for (int t = 0; t < 4; ++t) {
        std::vector<Control> list{named(qPrintable(tabs[t]))};
        for (const Control &c : all)
            if (c.page == pageOfTab[t])
                list.push_back(c);
        dead << PressAll(list);
    }
    // The bars around the pages, then OK.
    std::vector<Control> bars;
    for (const Control &c : all) {
        const QString id = c.name.section(QLatin1Char(' '), 0, 0);
        if (c.page == -1 && !closers.contains(id) && !tabs.contains(id))
            bars.push_back(c);
    }
    dead << PressAll(bars);
    EXPECT_TRUE(dead.isEmpty()) << "controls that did nothing: " << dead.join(QStringLiteral(", ")).toStdString();

    // OK writes the mouse and ends the program; CANCEL and the close button
    // end it (asking first when something changed).
    for (const QString &closer : closers) {
        SCOPED_TRACE(closer.toStdString());
        if (closer != closers.front()) {
            ASSERT_TRUE(Start());
        }
        const Control c = named(qPrintable(closer));
        const int log = int(MouseLog().size());
        ASSERT_FALSE(Press(c, c.place.center()).isEmpty()) << closer.toStdString() << " did nothing";
        // A question about unsaved changes is answered with its CANCEL.
        if (WaitFor([&] { return Shown().size() > 1 || Ended(); }, 20000) && !Ended())
            CloseOpened();
        EXPECT_TRUE(WaitFor([&] { return Ended(); }, 20000)) << closer.toStdString() << " left the program running";
        if (closer == QStringLiteral("BtnOK")) {
            EXPECT_GT(int(MouseLog().size()), log);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ConfigEveryControlEndToEnd, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int> &i) {
                             return i.param == 0 ? std::string("English") : std::string("Chinese");
                         });
