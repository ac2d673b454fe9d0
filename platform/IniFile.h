#pragma once
// Reads INI files the way the Windows private-profile functions do, which is
// what config.ini is written for: section and key names compare without
// regard to case, the first section of a name and the first occurrence of a
// key win, values are taken as they stand (no escapes: "HID\VID_1234&PID_5678"
// stays intact; only surrounding blanks and one pair of enclosing quotes go),
// and a missing file, section or key gives the caller's default.
// QSettings is unfit: it treats '\' as an escape, splits values at commas and
// compares keys case-sensitively on Linux.
//
// The file is read once, when the object is made: bounded in size, regular
// files only (a FIFO or device never blocks the reader), UTF-8 with or
// without BOM or UTF-16LE with BOM, CRLF, LF or CR line ends. Lines whose
// first non-blank character is ';' are comments.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace hkt::platform {

class IniFile {
public:
    // Larger files are refused whole (every read gives its default).
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    explicit IniFile(const QString &path);
    static IniFile FromBytes(const QByteArray &content);

    // Whether a file was read (false: missing, unreadable, not a regular
    // file or too large).
    bool IsLoaded() const { return m_loaded; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Decimal, or hexadecimal with a "0x" or "$" prefix; anything else (or a
    // value outside the int range) gives the default.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    // The section's key names in file order, each once (first spelling).
    QStringList SectionKeys(const QString &section) const;
    // The section's keys in file order, each once, with the value of its
    // first occurrence.
    QList<QPair<QString, QString>> SectionValues(const QString &section) const;

    // The integer rule on its own, for callers that read text first.
    static bool ParseInteger(const QString &text, int &value);

private:
    IniFile() = default;
    void Parse(const QByteArray &content);

    struct Section {
        QString name;
        QList<QPair<QString, QString>> entries;   // as written, duplicates included
    };
    const Section *FindSection(const QString &section) const;
    static const QString *FindValue(const Section &s, const QString &key);

    QList<Section> m_sections;
    bool m_loaded = false;
};

} // namespace hkt::platform
