#pragma once
// Loading a profile file into the current profile and saving the current
// profile as a profile file, each behind the platform's file dialog.
//
// A profile file is one raw TMouseProfileInfo image. Loading reads the chosen
// file once and takes it only when it is a regular file of at least a whole
// profile that carries the suite's profile version; it then takes exactly one
// profile's worth, so neither a short file merged into the old profile nor a
// foreign tail ever reaches the store. Saving replaces the target atomically.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class TDM;

// The text the caller shows (title "WARNING") when ImportProfileFile refuses
// a file (result 3).
inline constexpr char PROFILE_VERSION_INCORRECT_TEXT[] = "GAMING MOUSE PROFILE VERSION INCORRECT!";
// The text the caller shows (title "WARNING") when the chosen file cannot be
// read at all (result 4): gone, not a regular file, or refused by the system.
inline constexpr char PROFILE_FILE_UNREADABLE_TEXT[] = "THE PROFILE FILE CANNOT BE OPENED!";
// The plain message ExportProfileFile shows when the file cannot be written.
inline constexpr char PROFILE_SAVE_REFUSED_TEXT[] = "No permission to save file!please change directory!";

// What the open and save dialogs are asked to show: the starting folder (with
// a trailing separator), one filter entry and, for saving, the extension added
// to a name typed without one. Neither dialog asks before replacing a file.
struct TProfileFileDialogOptions {
    QString InitialDir;
    QString FilterName = QStringLiteral("pfd");
    QString FilterPattern = QStringLiteral("*.pfd");
    QString DefaultExt; // "pfd" for saving, empty for opening
};

// The standard file dialogs. The program installs one built on QFileDialog;
// tests install a scripted one.
class TProfileFileDialogs {
public:
    virtual ~TProfileFileDialogs() = default;
    // The chosen file, or nothing when the dialog was cancelled.
    virtual std::optional<QString> ExecuteOpenDialog(const TProfileFileDialogOptions &options) = 0;
    virtual std::optional<QString> ExecuteSaveDialog(const TProfileFileDialogOptions &options) = 0;
};

// Shows a plain message (no translation, one OK button).
using TProfileFileMessage = std::function<void(const QString &text)>;

// Installs the dialogs and the message used by the two routines below. Until
// a dialog is installed both behave as if the user cancelled.
void SetProfileFileDialogs(std::shared_ptr<TProfileFileDialogs> dialogs);
void SetProfileFileMessage(TProfileFileMessage message);

inline constexpr int PROFILE_IMPORT_LOADED = 1;
inline constexpr int PROFILE_IMPORT_CANCELLED = 2;
inline constexpr int PROFILE_IMPORT_REFUSED = 3;    // not a profile file of this version
inline constexpr int PROFILE_IMPORT_UNREADABLE = 4; // the file could not be read

// On the data module DM, through the installed dialogs.
int ImportProfileFile(const QString &AInitialDir);
bool ExportProfileFile(const QString &AInitialDir);

// The same on a given data module, through the installed dialogs.
int ImportProfileFile(TDM &dm, const QString &AInitialDir);
bool ExportProfileFile(TDM &dm, const QString &AInitialDir);

// The same on a given data module and dialogs.
int ImportProfileFile(TDM &dm, TProfileFileDialogs &dialogs, const QString &AInitialDir);
bool ExportProfileFile(TDM &dm, TProfileFileDialogs &dialogs, const TProfileFileMessage &message,
                       const QString &AInitialDir);

// Loads the profile file at `path` into dm's current profile: PROFILE_IMPORT_LOADED,
// or PROFILE_IMPORT_REFUSED / PROFILE_IMPORT_UNREADABLE with nothing changed.
// The file is read once.
int LoadProfileFileIntoCurrentProfile(TDM &dm, const QString &path);
