#pragma once
// The options of config.ini that both programs read at start-up: where the
// profiles are stored (section "options") and the logo, web-site and help
// options (sections "OtherConfig", "HelpFiles", "HelpLinks"). The file lies
// beside the programs, is read afresh by every call and never written.

#include <QList>
#include <QPair>
#include <QString>

// Fallbacks when the file, section or key is missing, or a value is unfit.
inline constexpr char DEFAULT_PROFILE_REG_FOLDER[] = "HKT75GM";
inline constexpr char DEFAULT_PROFILE_FOLDER[] = "Profile";
inline constexpr char DEFAULT_PROFILE_NAME_PREFIX[] = "Profile";
inline constexpr char DEFAULT_PROFILE_MACRO_FOLDER[] = "MacroDB";
inline constexpr char CONFIG_FILE_NAME[] = "config.ini";

struct TOptionsFromConfigFile {
    QString ProfileRegFolder;    // "software\" followed by the option
    QString ProfileFolder;       // folder name inside the documents folder
    QString ProfileNamePrefix;   // profile names: prefix, 1..5, ".pfd"
    QString ProfileMacroFolder;  // folder name inside the profile folder
};

// Language identifier ("0409") and help document, in file order.
using TNameValueList = QList<QPair<QString, QString>>;

struct TOtherConfig {
    int ShowNumLock = 0;         // never filled or read
    int ShowCapsLock = 0;        // never filled or read
    int ShowScrollLock = 0;      // never filled or read
    int ShowLockStatePop = 0;    // never filled or read
    TNameValueList HelpFile;     // section "HelpFiles"
    TNameValueList HelpLinks;    // section "HelpLinks"
    int Nologo = 0;
    QString OfficialWebsite;
    QString helppagestyle;       // "1": standard information page, else OEM
};

// config.ini in the program folder.
QString ConfigFilePath();

// Reads section "options". A folder name or prefix that is empty, holds a
// separator or "..", or a prefix too long for the 20-character profile file
// name, is refused in favour of its default (one diagnostic line), because
// these values become file, folder and registry names.
void LoadOptionsFromConfigFile(TOptionsFromConfigFile &Options);
void LoadOptionsFromConfigFile(TOptionsFromConfigFile &Options, const QString &configFile);

// Reads "NoLogo", "OfficialWebsite" and "helppagestyle" from "OtherConfig"
// and replaces both help lists (keys with an empty value are left out). The
// four lock-key fields are not written.
void LoadOtherConfig(TOtherConfig &Config);
void LoadOtherConfig(TOtherConfig &Config, const QString &configFile);

// The longest prefix whose five profile names (prefix, digit, ".pfd") fit
// the 20 characters of TProfileSettingItem.FileName.
inline constexpr int MAX_PROFILE_NAME_PREFIX_LENGTH = 20 - 1 - 4;
