#pragma once
// The profile buttons, RESTORE, RESET ALL, LOAD FILE and SAVE AS.
//
// Every action here that writes the mouse or replaces the current profile
// runs as one sequence of the window's device-write gate, so none of them
// interleaves with APPLY or with each other. A profile index outside 0..4
// switches nothing and writes nothing. A confirmation answered after the
// current profile changed (the monitor switched it meanwhile) is dropped.

#include <QObject>

#include <cstdint>
#include <optional>

class QWidget;
class TMainConfigHost;

// The confirmations' texts, as the window shows them.
inline constexpr char RESTORE_TITLE[] = "RESET THIS PROFILE";
inline constexpr char RESTORE_TEXT[] = "ARE YOU SURE YOU WANT TO RESET THIS PROFILE ?";
inline constexpr char RESTORE_TEXT2[] = "RESET THE CURRENT PROFILE BACK TO FACTORY SETTING.";
inline constexpr char RESET_ALL_TITLE[] = "RESET ALL PROFILES";
inline constexpr char RESET_ALL_TEXT[] = "ARE YOU SURE YOU WANT TO RESET ALL PROFILES BACK TO FACTORY SETTINGS  ?";

class TMainConfigProfiles : public QObject {
    Q_OBJECT
public:
    // Binds the window's profile bar (Host.Controls()); AContainer owns the page.
    TMainConfigProfiles(TMainConfigHost &AHost, QWidget *AContainer);

    // "SetProfileBtn" refresh (command 3): the pressed profile button.
    void kwCommandSetting1Commands3Execute();
    // A click on the profile button whose Tag is ATag (also RESET ALL). True
    // when the switch ran.
    bool BtnProfile1Click(int ATag);
    // A switch the mouse itself made (WM_SWITCH_PROFILE): the window and the
    // monitor follow it as a click would, but the mouse, which is on that
    // profile already or has moved on by itself, is not written; only when
    // one of the window's own writes has put it on another profile since the
    // report arrived (AArrivedAt: the gate's MouseStateWrites() then; APPLY
    // during the switch) is the switch written back, decided and written in
    // one step before the window's stores and pages
    // (TDeviceWriteGuard::RewriteOverwrittenReport). True when the switch ran.
    bool SwitchMadeOnTheMouse(int ATag, std::uint64_t AArrivedAt);
    void BtnRestorClick();
    void BtnRestoreallClick();
    void BtnLoadMouseUp();
    void BtnSaveMouseUp();

    // The folder both file dialogs start in: the file folder of profile
    // entry 0 of the profile-group record.
    QString ProfilePath() const;

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    void WriteCurrentCPITable(int AProfile);
    bool SwitchProfile(int ATag, const std::optional<std::uint64_t> &AArrivedAt);

    TMainConfigHost &FHost;
};
