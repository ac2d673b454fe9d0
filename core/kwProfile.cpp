#include "core/kwProfile.h"

#include <QFile>
#include <QtGlobal>

#include <cstdio>
#include <cstring>

using hkt::platform::ReadStatus;

namespace {

// Profile files are the user's documents, made to be handed around.
constexpr mode_t kProfileFileMode = 0644;

const char *StatusText(ReadStatus s)
{
    switch (s) {
    case ReadStatus::Ok:
        return "ok";
    case ReadStatus::Missing:
        return "missing";
    case ReadStatus::NotRegular:
        return "not a regular file";
    case ReadStatus::TooLarge:
        return "too large";
    case ReadStatus::Failed:
        return "read error";
    }
    return "?";
}

bool Continue(const TkwProfileEvent &before, QByteArray &image)
{
    bool bContinue = true;
    if (before)
        before(image, bContinue);
    return bContinue;
}

QString FolderPart(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

TkwProfile::TkwProfile(std::shared_ptr<hkt::platform::ValueStore> userStore) : FUserStore(std::move(userStore)) {}

TkwProfile::~TkwProfile() = default;

void TkwProfile::SetKeyPath(const QString &value)
{
    if (value != FKeyPath)
        FKeyPath = value;
}

void TkwProfile::SetFileName(const QString &value)
{
    if (value != FFileName)
        FFileName = value;
}

void TkwProfile::SetFilePath(const QString &value)
{
    if (value == FFilePath || !hkt::platform::FolderExists(value))
        return;
    FFilePath = hkt::platform::WithTrailingSeparator(value);
}

void TkwProfile::SetSize(qint64 value)
{
    if (value < 0 || value == FSize || value > hkt::platform::kMaxReadBytes)
        return;
    FSize = value;
    FMemoryStream.resize(static_cast<qsizetype>(value), '\0');
}

int TkwProfile::Write(const void *Buffer, int Count)
{
    if (Count <= 0 || Buffer == nullptr)
        return 0;
    if (FMemoryStream.size() < Count)
        FMemoryStream.resize(Count, '\0');
    std::memcpy(FMemoryStream.data(), Buffer, static_cast<size_t>(Count));
    FSize = FMemoryStream.size();
    return Count;
}

int TkwProfile::Read(void *Buffer, int Count) const
{
    if (Count <= 0 || Buffer == nullptr)
        return 0;
    const int n = static_cast<int>(qMin<qint64>(Count, FMemoryStream.size()));
    if (n > 0)
        std::memcpy(Buffer, FMemoryStream.constData(), static_cast<size_t>(n));
    return n;
}

hkt::platform::ValueStore *TkwProfile::StoreFor(const char *operation)
{
    if (FRootKey != HKEY_CURRENT_USER && FRootKey != HKEY_LOCAL_MACHINE)
        return nullptr;
    if (FKeyPath.isEmpty() || FFileName.isEmpty())
        return nullptr;
    if (FRootKey == HKEY_LOCAL_MACHINE || !FUserStore) {
        qWarning("hkt75: %s of value %s refused: no store for this root", operation, qUtf8Printable(FFileName));
        return nullptr;
    }
    return FUserStore.get();
}

bool TkwProfile::TakeLoaded(const QByteArray &data, ReadStatus status, const QString &source)
{
    FLastLoadStatus = status;
    if (status != ReadStatus::Ok) {
        if (status != ReadStatus::Missing)
            qWarning("hkt75: cannot load %s: %s", qUtf8Printable(source), StatusText(status));
        return false;
    }
    FMemoryStream = data;
    return true;
}

bool TkwProfile::KeepValueAside(hkt::platform::ValueStore &store)
{
    if (!FKeepValue)
        return true;
    const QString backup = FFileName + QStringLiteral(".bak");
    QByteArray old;
    bool kept = false;
    switch (store.ReadValue(FKeyPath, FFileName, old)) {
    case ReadStatus::Ok: kept = store.WriteValue(FKeyPath, backup, old); break;
    case ReadStatus::Missing: kept = true; break; // nothing left to keep
    default: kept = store.RenameValue(FKeyPath, FFileName, backup); break;
    }
    if (!kept) {
        qWarning("hkt75: value %s\\%s not saved: its unusable old content cannot be kept as %s",
                 qUtf8Printable(FKeyPath), qUtf8Printable(FFileName), qUtf8Printable(backup));
        return false;
    }
    FKeepValue = false;
    return true;
}

bool TkwProfile::KeepFileAside(const QString &file)
{
    if (FKeepFile.isEmpty() || file != FKeepFile)
        return true;
    const QString backup = file + QStringLiteral(".bak");
    QByteArray old;
    bool kept = false;
    switch (hkt::platform::ReadFileBounded(file, old)) {
    case ReadStatus::Ok: kept = hkt::platform::WriteFileAtomic(backup, old, kProfileFileMode); break;
    case ReadStatus::Missing: kept = true; break;
    default:
        kept = std::rename(QFile::encodeName(file).constData(), QFile::encodeName(backup).constData()) == 0;
        break;
    }
    if (!kept) {
        qWarning("hkt75: %s not saved: its unusable old content cannot be kept as %s", qUtf8Printable(file),
                 qUtf8Printable(backup));
        return false;
    }
    FKeepFile.clear();
    return true;
}

bool TkwProfile::LoadStreamFromRegistry()
{
    FLastLoadStatus = ReadStatus::Failed;
    if (!Continue(OnBeforeLoadFromRegistry, FMemoryStream))
        return false;
    hkt::platform::ValueStore *store = StoreFor("load");
    if (!store || !store->OpenKey(FKeyPath, true))
        return false;
    QByteArray data;
    if (!TakeLoaded(data, store->ReadValue(FKeyPath, FFileName, data), FKeyPath + QLatin1Char('\\') + FFileName))
        return false;
    if (OnAfterLoadFromRegistry)
        OnAfterLoadFromRegistry(FMemoryStream);
    return true;
}

bool TkwProfile::SaveStreamToRegistry()
{
    if (!Continue(OnBeforeSaveToRegistry, FMemoryStream))
        return false;
    hkt::platform::ValueStore *store = StoreFor("save");
    if (!store || !store->OpenKey(FKeyPath, true))
        return false;
    if (!KeepValueAside(*store))
        return false;
    if (!store->WriteValue(FKeyPath, FFileName, FMemoryStream)) {
        qWarning("hkt75: cannot save value %s\\%s", qUtf8Printable(FKeyPath), qUtf8Printable(FFileName));
        return false;
    }
    if (OnAfterSaveToRegistry)
        OnAfterSaveToRegistry(FMemoryStream);
    return true;
}

QString TkwProfile::OwnFile() const
{
    // A name from a stored record must not lead out of its folder.
    if (FFilePath.isEmpty() || !hkt::platform::IsPlainName(FFileName))
        return {};
    return hkt::platform::WithTrailingSeparator(FFilePath) + FFileName;
}

bool TkwProfile::LoadStreamFromFile()
{
    FLastLoadStatus = ReadStatus::Failed;
    if (!Continue(OnBeforeLoadFromFile, FMemoryStream))
        return false;
    if (FFilePath.isEmpty())
        return false;
    FFilePath = hkt::platform::WithTrailingSeparator(FFilePath);
    const QString file = OwnFile();
    if (file.isEmpty())
        return false;
    QByteArray data;
    if (!TakeLoaded(data, hkt::platform::ReadFileBounded(file, data), file))
        return false;
    if (OnAfterLoadFromFile)
        OnAfterLoadFromFile(FMemoryStream);
    return true;
}

bool TkwProfile::LoadStreamFromFile(const QString &strFilewithpath)
{
    FLastLoadStatus = ReadStatus::Missing;
    if (!hkt::platform::PathExists(strFilewithpath))
        return false;
    FLastLoadStatus = ReadStatus::Failed;
    if (!Continue(OnBeforeLoadFromFile, FMemoryStream))
        return false;
    QByteArray data;
    if (!TakeLoaded(data, hkt::platform::ReadFileBounded(strFilewithpath, data), strFilewithpath))
        return false;
    if (OnAfterLoadFromFile)
        OnAfterLoadFromFile(FMemoryStream);
    return true;
}

bool TkwProfile::SaveStreamToFile()
{
    if (!Continue(OnBeforeSaveToFile, FMemoryStream))
        return false;
    if (FFilePath.isEmpty())
        return false;
    FFilePath = hkt::platform::WithTrailingSeparator(FFilePath);
    const QString file = OwnFile();
    if (file.isEmpty() || !KeepFileAside(file) || !hkt::platform::WriteFileAtomic(file, FMemoryStream, kProfileFileMode))
        return false;
    if (OnAfterSaveToFile)
        OnAfterSaveToFile(FMemoryStream);
    return true;
}

bool TkwProfile::SaveStreamToFile(const QString &strFileWithPath)
{
    const QString folder = FolderPart(strFileWithPath);
    if (!folder.isEmpty() && !hkt::platform::FolderExists(folder) && !hkt::platform::MakeFolder(folder, 0755)) {
        qWarning("hkt75: cannot create folder %s", qUtf8Printable(folder));
        return false;
    }
    if (!Continue(OnBeforeSaveToFile, FMemoryStream))
        return false;
    if (!KeepFileAside(strFileWithPath)
        || !hkt::platform::WriteFileAtomic(strFileWithPath, FMemoryStream, kProfileFileMode))
        return false;
    if (OnAfterSaveToFile)
        OnAfterSaveToFile(FMemoryStream);
    return true;
}

bool TkwProfile::PreSaveStreamToFile(const QString &strFileWithPath)
{
    const QString folder = FolderPart(strFileWithPath);
    if (!folder.isEmpty() && !hkt::platform::FolderExists(folder) && !hkt::platform::MakeFolder(folder, 0755))
        return false;
    FFilePath = folder;
    FFileName = strFileWithPath.mid(folder.size());
    return true;
}

void TkwProfile::RestoreToDefault()
{
    if (!OnRestoreToDefault)
        return;
    if (FMemoryStream.size() < FMinimumDefaultSize)
        FMemoryStream.resize(static_cast<qsizetype>(FMinimumDefaultSize), '\0');
    OnRestoreToDefault(FMemoryStream);
}
