#pragma once
// The information page's help documents and the language box without
// widgets: which help value a language gets, what is handed to the desktop
// for it, and how the rows of the language box map to the language file's
// positions (what CurrentLanguage stores).

#include "config/ui/kwLanguageStream.h"
#include "core/pubunit_device_config.h"

#include <QList>
#include <QString>

#include <vector>

// The message for a help document that names a file that is not there
// (title "WARNING"; both translated by the caller).
inline constexpr char HELP_FILE_MISSING_TEXT[] = "THE HELP FILE WAS NOT FOUND!";
// The message for a help button with no help document or link set up for the
// language nor for 0409 (title "WARNING"; both translated by the caller).
inline constexpr char HELP_NOT_CONFIGURED_TEXT[] = "NO HELP IS CONFIGURED!";
// The messages for an address or a document the desktop could not open (no
// web browser, no program for the file; title "WARNING"; both translated by
// the caller).
inline constexpr char NO_WEB_BROWSER_TEXT[] = "THE PAGE CANNOT BE OPENED: NO WEB BROWSER WAS FOUND!";
inline constexpr char NO_HELP_PROGRAM_TEXT[] = "THE HELP FILE CANNOT BE OPENED: NO PROGRAM WAS FOUND FOR IT!";

// The value of the entry named by the language identifier (compared without
// regard to case); else that of "0409"; else empty.
QString HelpValueForLanguage(const TNameValueList &list, const QString &languageID);

// What to do with a help value.
struct THelpTarget {
    enum class Kind {
        None,        // an empty value: nothing is handed to the desktop, the user is told
        File,        // an existing file: Target is its full path
        Address,     // a web or mail address: Target is the value
        MissingFile, // a file name that names nothing: tell the user
    };
    Kind What = Kind::None;
    QString Target;
};
// A value (separators '\' or '/') naming an existing file in the program
// folder, or an existing absolute file, opens that file; a value with an
// address scheme ("https:", "mailto:" ...) or starting with "www." opens as
// an address; anything else is a file that is missing.
THelpTarget ResolveHelpTarget(const QString &programFolder, const QString &value);

// One row of the language box: the language's native name and its position
// in the language file's list.
struct TLanguageBoxRow {
    QString Name;
    int Position = -1;
};
// The file's languages in order, each the system knows by its native name;
// a language the system does not know is left out, the positions of the
// others stay those of the file.
std::vector<TLanguageBoxRow> LanguageBoxRows(const QList<TkwLangEntry> &languages);
// The box row of a file position; -1 when no row shows it.
int LanguageBoxRowOfPosition(const std::vector<TLanguageBoxRow> &rows, int position);
