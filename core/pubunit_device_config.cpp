#include "core/pubunit_device_config.h"

#include "core/pubunit_device_records.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ValueStore.h"

#include <QStringList>

using hkt::platform::IniFile;

namespace {

const QString kOptions = QStringLiteral("options");

// The value of an option, or its default when it is unfit to be used as a
// name; one diagnostic line says so.
QString CheckedOption(const IniFile &ini, const char *key, const char *fallback, bool (*fit)(const QString &))
{
    const QString def = QString::fromLatin1(fallback);
    const QString value = ini.ReadString(kOptions, QString::fromLatin1(key), def);
    if (fit(value))
        return value;
    qWarning("config.ini: option %s=\"%s\" is not usable as a name; using \"%s\"", key, qUtf8Printable(value),
             fallback);
    return def;
}

bool FitFolderName(const QString &v)
{
    return IsSafeFileName(v);
}

bool FitPrefix(const QString &v)
{
    return IsSafeFileName(v) && v.size() <= MAX_PROFILE_NAME_PREFIX_LENGTH;
}

// A registry key below HKEY_CURRENT_USER\software: one or more plain names
// joined by backslashes, each one the value store can hold as a key name
// (a longer one would make every later save fail).
bool FitRegFolder(const QString &v)
{
    if (v.isEmpty())
        return false;
    const QStringList parts = v.split(u'\\');
    for (const QString &p : parts)
        if (!IsSafeFileName(p) || hkt::platform::EncodeName(p).isEmpty())
            return false;
    return true;
}

TNameValueList NonEmptyValues(const IniFile &ini, const QString &section)
{
    TNameValueList out;
    for (const auto &kv : ini.SectionValues(section))
        if (!kv.second.isEmpty())
            out.append(kv);
    return out;
}

} // namespace

QString ConfigFilePath()
{
    return hkt::platform::ProgramFolder() + QString::fromLatin1(CONFIG_FILE_NAME);
}

void LoadOptionsFromConfigFile(TOptionsFromConfigFile &Options)
{
    LoadOptionsFromConfigFile(Options, ConfigFilePath());
}

void LoadOptionsFromConfigFile(TOptionsFromConfigFile &Options, const QString &configFile)
{
    const IniFile ini(configFile);
    Options.ProfileRegFolder =
        QStringLiteral("software\\") + CheckedOption(ini, "ProfileRegFolder", DEFAULT_PROFILE_REG_FOLDER, FitRegFolder);
    Options.ProfileFolder = CheckedOption(ini, "profileFolder", DEFAULT_PROFILE_FOLDER, FitFolderName);
    Options.ProfileNamePrefix = CheckedOption(ini, "profilePrefix", DEFAULT_PROFILE_NAME_PREFIX, FitPrefix);
    Options.ProfileMacroFolder = CheckedOption(ini, "profileMacroFolder", DEFAULT_PROFILE_MACRO_FOLDER, FitFolderName);
}

void LoadOtherConfig(TOtherConfig &Config)
{
    LoadOtherConfig(Config, ConfigFilePath());
}

void LoadOtherConfig(TOtherConfig &Config, const QString &configFile)
{
    const IniFile ini(configFile);
    const QString other = QStringLiteral("OtherConfig");
    Config.Nologo = ini.ReadInteger(other, QStringLiteral("NoLogo"), 0);
    Config.OfficialWebsite = ini.ReadString(other, QStringLiteral("OfficialWebsite"), QStringLiteral("http://"));
    Config.helppagestyle = ini.ReadString(other, QStringLiteral("helppagestyle"), QStringLiteral("1"));
    Config.HelpFile = NonEmptyValues(ini, QStringLiteral("HelpFiles"));
    Config.HelpLinks = NonEmptyValues(ini, QStringLiteral("HelpLinks"));
}
