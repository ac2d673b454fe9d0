#include "core/Function_ProfileFiles.h"

#include "core/DMUnit.h"
#include "platform/Paths.h"

#include <QtGlobal>

#include <cstring>

namespace {

struct Installed {
    std::shared_ptr<TProfileFileDialogs> dialogs;
    TProfileFileMessage message;
};

Installed &Current()
{
    static Installed installed;
    return installed;
}

TProfileFileDialogOptions Options(const QString &initialDir, const QString &defaultExt)
{
    TProfileFileDialogOptions o;
    o.InitialDir = hkt::platform::WithTrailingSeparator(initialDir);
    o.DefaultExt = defaultExt;
    return o;
}

} // namespace

void SetProfileFileDialogs(std::shared_ptr<TProfileFileDialogs> dialogs)
{
    Current().dialogs = std::move(dialogs);
}

void SetProfileFileMessage(TProfileFileMessage message)
{
    Current().message = std::move(message);
}

int LoadProfileFileIntoCurrentProfile(TDM &dm, const QString &path)
{
    // One bounded read of a regular file: what is checked is what is taken.
    QByteArray data;
    const hkt::platform::ReadStatus status = hkt::platform::ReadFileBounded(path, data);
    // A file that is there but larger than any profile file is simply not
    // one; a file that cannot be read at all is another answer than a wrong
    // version.
    if (status == hkt::platform::ReadStatus::TooLarge)
        return PROFILE_IMPORT_REFUSED;
    if (status != hkt::platform::ReadStatus::Ok) {
        qWarning("hkt75: profile file %s cannot be read", qUtf8Printable(path));
        return PROFILE_IMPORT_UNREADABLE;
    }
    if (data.size() < qsizetype(PROFILE_RECORD_SIZE)) {
        qWarning("hkt75: profile file %s holds %lld bytes, less than a profile", qUtf8Printable(path),
                 static_cast<long long>(data.size()));
        return PROFILE_IMPORT_REFUSED;
    }
    int32_t version = 0;
    std::memcpy(&version, data.constData() + offsetof(TProfileHeader, FFileVersion), sizeof version);
    if (version != PROFILE_FILE_VERSION)
        return PROFILE_IMPORT_REFUSED;

    data.truncate(qsizetype(PROFILE_RECORD_SIZE));
    if (!dm.LoadCurrentProfileInfoFromImage(data))
        return PROFILE_IMPORT_REFUSED;
    // The file replaces the current profile in memory whatever happens below;
    // a refused write is reported once and the profile, marked changed,
    // reaches the store with the next save.
    if (!dm.SaveCurrentProfileInfoToRegistry())
        qWarning("hkt75: loaded profile not yet saved to the value store");
    dm.SaveBackToProfileGroupSettingInfo();
    dm.SaveProfileGroupSettingInfoToRegistry();
    return PROFILE_IMPORT_LOADED;
}

int ImportProfileFile(TDM &dm, TProfileFileDialogs &dialogs, const QString &AInitialDir)
{
    const std::optional<QString> file = dialogs.ExecuteOpenDialog(Options(AInitialDir, QString()));
    if (!file || file->isEmpty())
        return PROFILE_IMPORT_CANCELLED;
    return LoadProfileFileIntoCurrentProfile(dm, *file);
}

bool ExportProfileFile(TDM &dm, TProfileFileDialogs &dialogs, const TProfileFileMessage &message,
                       const QString &AInitialDir)
{
    std::optional<QString> file = dialogs.ExecuteSaveDialog(Options(AInitialDir, QStringLiteral("pfd")));
    if (!file || file->isEmpty())
        return false;
    // As the standard dialog does: a name typed without an extension gets ".pfd".
    const QString leaf = file->mid(file->lastIndexOf(QLatin1Char('/')) + 1);
    if (!leaf.isEmpty() && !leaf.contains(QLatin1Char('.')))
        *file += QStringLiteral(".pfd");
    // The store (not the unsaved working copy) replaces the target atomically;
    // a failure leaves any existing file as it was.
    if (leaf.isEmpty() || !dm.SaveCurrentProfileInfoToFile(*file)) {
        if (message)
            message(QString::fromLatin1(PROFILE_SAVE_REFUSED_TEXT));
        return false;
    }
    return true;
}

int ImportProfileFile(TDM &dm, const QString &AInitialDir)
{
    // A copy: the dialog's event loop may install other dialogs meanwhile.
    const std::shared_ptr<TProfileFileDialogs> dialogs = Current().dialogs;
    if (!dialogs)
        return PROFILE_IMPORT_CANCELLED;
    return ImportProfileFile(dm, *dialogs, AInitialDir);
}

bool ExportProfileFile(TDM &dm, const QString &AInitialDir)
{
    const std::shared_ptr<TProfileFileDialogs> dialogs = Current().dialogs;
    const TProfileFileMessage message = Current().message;
    if (!dialogs)
        return false;
    return ExportProfileFile(dm, *dialogs, message, AInitialDir);
}

int ImportProfileFile(const QString &AInitialDir)
{
    if (!DM)
        return PROFILE_IMPORT_CANCELLED;
    return ImportProfileFile(*DM, AInitialDir);
}

bool ExportProfileFile(const QString &AInitialDir)
{
    return DM && ExportProfileFile(*DM, AInitialDir);
}
