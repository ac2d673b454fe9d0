#pragma once
// TkwProfile: one byte image in memory, moved whole and unchanged to and from
// a raw value of the per-user value store and a file. It knows nothing of
// what the image means; its owner writes a record into it, reads the record
// back out and supplies the defaults through OnRestoreToDefault.
//
// The copy rules the stored images rely on: Read copies at most the image's
// size and leaves the rest of the caller's buffer as it was; Write overwrites
// the start of the image and keeps a longer image's tail; a load makes the
// image exactly the stored bytes, whatever their size.
//
// Nothing here throws: every refusal or I/O failure is a false result (with
// one diagnostic line for I/O failures), and the image keeps its previous
// content after any failed load.

#include "platform/Paths.h"
#include "platform/ValueStore.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// Root keys of the value store. Only the per-user root has a store here; the
// machine-wide one is accepted as a root but every operation on it is
// refused, as an unprivileged user's would be.
using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// The handler writes the default record into the image, in place.
using TkwProfileOnRestoreToDefault = std::function<void(QByteArray &AStream)>;
// Called before a load or save with bContinue preset to true; false cancels.
using TkwProfileEvent = std::function<void(QByteArray &AStream, bool &bContinue)>;
// Called after a successful load or save.
using TkwProfileEvent2 = std::function<void(const QByteArray &AStream)>;

class TkwProfile {
public:
    // `userStore` backs HKEY_CURRENT_USER; the programs pass the user's store,
    // tests a store over a temporary folder.
    explicit TkwProfile(std::shared_ptr<hkt::platform::ValueStore> userStore = hkt::platform::UserValueStore());
    ~TkwProfile();
    TkwProfile(const TkwProfile &) = delete;
    TkwProfile &operator=(const TkwProfile &) = delete;

    void SetValueStore(std::shared_ptr<hkt::platform::ValueStore> userStore) { FUserStore = std::move(userStore); }

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY value) { FRootKey = value; }
    const QString &KeyPath() const { return FKeyPath; }
    void SetKeyPath(const QString &value);
    const QString &FileName() const { return FFileName; }
    void SetFileName(const QString &value);
    // Taken only when it differs and names an existing folder; stored with a
    // trailing separator.
    const QString &FilePath() const { return FFilePath; }
    void SetFilePath(const QString &value);
    // The image's size now (also right after a load).
    qint64 Size() const { return FMemoryStream.size(); }
    // Resizes the image (zero-filling growth) when it differs from the size
    // last recorded; negative sizes are ignored.
    void SetSize(qint64 value);

    // The smallest image the defaults callback may be given. A load can leave
    // a shorter image (a stored value or file of another size); it is grown
    // with zero bytes to this size before the callback runs, so a callback
    // writing the full record layout never writes past the image.
    qint64 MinimumDefaultSize() const { return FMinimumDefaultSize; }
    void SetMinimumDefaultSize(qint64 value) { FMinimumDefaultSize = value < 0 ? 0 : value; }

    TkwProfileOnRestoreToDefault OnRestoreToDefault;
    TkwProfileEvent OnBeforeSaveToRegistry;
    TkwProfileEvent OnBeforeSaveToFile;
    TkwProfileEvent OnBeforeLoadFromRegistry;
    TkwProfileEvent OnBeforeLoadFromFile;
    TkwProfileEvent2 OnAfterSaveToRegistry;
    TkwProfileEvent2 OnAfterSaveToFile;
    TkwProfileEvent2 OnAfterLoadFromRegistry;
    TkwProfileEvent2 OnAfterLoadFromFile;

    // Overwrites the start of the image with Count bytes; returns the bytes
    // written (0 for a negative count).
    int Write(const void *Buffer, int Count);
    // Copies min(Count, image size) bytes from the image's start; the rest of
    // Buffer is left alone. Returns the bytes copied.
    int Read(void *Buffer, int Count) const;
    const QByteArray &Image() const { return FMemoryStream; }
    // Makes the image exactly `image`, as a load would (an owner that has
    // already read and checked the bytes hands them over without a second read).
    void ReplaceImage(const QByteArray &image) { FMemoryStream = image; }

    bool LoadStreamFromRegistry();
    bool SaveStreamToRegistry();
    bool LoadStreamFromFile();
    bool LoadStreamFromFile(const QString &strFilewithpath);
    bool SaveStreamToFile();
    bool SaveStreamToFile(const QString &strFileWithPath);
    bool PreSaveStreamToFile(const QString &strFileWithPath);
    void RestoreToDefault();

    // How the last load ended: Ok after success, Missing when there was
    // nothing stored, anything else when stored data could not be taken in.
    // Owners use it to tell "nothing there, write defaults" from "there but
    // unreadable, leave it alone".
    hkt::platform::ReadStatus LastLoadStatus() const { return FLastLoadStatus; }

    // The own file, FilePath + FileName; empty when either is unusable.
    QString OwnFile() const;

    // Marks the stored value, or the file `file`, as one the owner could not
    // use (unreadable, or a record it refused or had to repair). Before the
    // next save writes over it, its bytes are kept once beside it under the
    // name + ".bak" (a copy; one that cannot even be read is moved there
    // instead). A save whose old bytes cannot be kept is refused, so they are
    // never lost; once kept, later saves write as usual.
    void KeepStoredValueBeforeSave() { FKeepValue = true; }
    void KeepFileBeforeSave(const QString &file) { FKeepFile = file; }

private:
    hkt::platform::ValueStore *StoreFor(const char *operation);
    bool TakeLoaded(const QByteArray &data, hkt::platform::ReadStatus status, const QString &source);
    bool KeepValueAside(hkt::platform::ValueStore &store);
    bool KeepFileAside(const QString &file);

    QByteArray FMemoryStream;
    HKEY FRootKey = 0;
    QString FKeyPath;
    QString FFileName;
    QString FFilePath;
    qint64 FSize = 0;
    qint64 FMinimumDefaultSize = 0;
    hkt::platform::ReadStatus FLastLoadStatus = hkt::platform::ReadStatus::Missing;
    bool FKeepValue = false;
    QString FKeepFile;
    std::shared_ptr<hkt::platform::ValueStore> FUserStore;
};
