#pragma once
// A configuration window over private folders, the in-process simulated
// mouse, a recording desktop-settings backend and scripted dialogs.

#include "config/app/MainConfig.h"
#include "config/app/MainConfigMouse.h"
#include "core/DMUnit.h"
#include "platform/ValueStore.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VirtualMouse.h"
#include "support/RecordingMouseSettings.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <vector>

namespace hkt::testapp {

struct DialogCall {
    QString title, text;
};

class MainConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir().mkpath(m_tmp.path() + "/prog");
        QDir().mkpath(m_tmp.path() + "/run");
        m_store = std::make_shared<hkt::platform::DirectoryValueStore>(m_tmp.path() + "/registry");
        m_mouse = std::make_shared<hkt::sim::VirtualMouse>();
        m_desktop = std::make_shared<RecordingMouseSettings>();
    }
    void TearDown() override
    {
        m_form.reset();
        DM = nullptr;
    }

    // The feature reports the window sent the mouse, in order, ID first.
    std::vector<std::vector<std::uint8_t>> Sets() const
    {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto &e : m_mouse->Log())
            if (e.kind == hkt::sim::LogKind::SetFeature)
                out.push_back(e.bytes);
        return out;
    }

    QString ProgramFolder() const { return m_tmp.path() + "/prog/"; }
    QString Runtime() const { return m_tmp.path() + "/run"; }
    QString Documents() const { return m_tmp.path() + "/docs/"; }

    TDM &Dm()
    {
        if (!m_dm) {
            m_dm = std::make_unique<TDM>(TDMRoots{m_store, ProgramFolder(), Documents()});
            DM = m_dm.get();
        }
        return *m_dm;
    }

    virtual TMainConfigSetup WindowSetup()
    {
        TMainConfigSetup s;
        s.RuntimeRoot = Runtime();
        s.ProgramFolder = ProgramFolder();
        s.Hid = hkt::sim::MakeInProcessHidBackend(m_mouse);
        s.DesktopMouse = m_desktop;
        s.Dialog = [this](const QString &t, const QString &x) {
            m_dialogs.push_back({t, x});
            return m_dialogAnswer;
        };
        s.Dialog2 = [this](const QString &t, const QString &x, const QString &) {
            m_dialogs.push_back({t, x});
            return m_dialogAnswer;
        };
        s.StartMonitor = [this](const QString &folder, const QString &exe) {
            m_started.append(folder + exe);
            return true;
        };
        s.Screens = [this] { return m_screens; };
        s.DeviceWaitMs = 0;
        // The test process's own event loops stay usable after an end.
        s.EndProgram = [this] { ++m_programEnded; };
        return s;
    }

    THKT75CFGMAIN &Form()
    {
        if (!m_form) {
            Dm();
            // The window starts on the mouse's active profile: unless a test
            // says otherwise, the mouse is on the stored one.
            if (m_mouseOnStoredProfile) {
                const std::uint8_t active = std::uint8_t(m_dm->FProfileIndex);
                m_mouse->Poke(0x43, std::span<const std::uint8_t>(&active, 1));
            }
            m_form = std::make_unique<THKT75CFGMAIN>(*m_dm, WindowSetup());
            m_form->kwHIDData1->GetHIDDeviceList().clear(); // whatever config.ini beside the tests lists
            EXPECT_TRUE(m_form->RegisterWindow());
        }
        return *m_form;
    }

    QTemporaryDir m_tmp;
    std::shared_ptr<hkt::platform::DirectoryValueStore> m_store;
    std::shared_ptr<hkt::sim::VirtualMouse> m_mouse;
    std::shared_ptr<RecordingMouseSettings> m_desktop;
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<THKT75CFGMAIN> m_form;
    std::vector<DialogCall> m_dialogs;
    int m_dialogAnswer = 2;
    bool m_mouseOnStoredProfile = true;
    QStringList m_started;
    QList<QRect> m_screens{QRect(0, 0, 1280, 1024)};
    int m_programEnded = 0;
};

} // namespace hkt::testapp
