#pragma once
// The per-user store of raw named values that stands in for the registry
// below HKEY_CURRENT_USER. Keys are paths of names separated by '\\'
// ("software\\HKT75GM"); values are raw byte images with no type. Key and
// value names are compared without regard to case, as the registry does, so
// both programs find one value whatever spelling each uses.
//
// Every operation reports failure through its result and never throws.

#include "platform/Paths.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>

namespace hkt::platform {

class ValueStore {
public:
    virtual ~ValueStore() = default;

    // Opens the key, creating it (and every missing key above it) when
    // `create` is set. False for an invalid key path or when it cannot be
    // created. The empty path is the store's root key.
    virtual bool OpenKey(const QString &keyPath, bool create) = 0;
    virtual bool ValueExists(const QString &keyPath, const QString &name) = 0;
    // Reads a value whole. `data` is replaced only on Ok.
    virtual ReadStatus ReadValue(const QString &keyPath, const QString &name, QByteArray &data) = 0;
    // Replaces (or creates) a value whole; the key must exist. A reader never
    // sees a partly written value; on failure the old value stays.
    virtual bool WriteValue(const QString &keyPath, const QString &name, const QByteArray &data) = 0;
    // True when the value is gone afterwards (also when it never existed).
    virtual bool DeleteValue(const QString &keyPath, const QString &name) = 0;
    // Moves a value, whatever it holds (also one that cannot be read), to a
    // new name, replacing a value of that name. False when there is nothing
    // to move or it cannot be moved.
    virtual bool RenameValue(const QString &keyPath, const QString &name, const QString &newName) = 0;
};

// A key path or value name component as it lies on disk: case-folded, then
// UTF-8 with every byte outside [a-z0-9_-.] and a leading '.' written as %XX.
// The result never holds a separator and is never "." or "..", so a name
// cannot leave its folder; DecodeName gives the folded name back. Empty when
// the name is empty or would not fit a file name.
QString EncodeName(const QString &name);
QString DecodeName(const QString &encoded);

// One folder per key below `root`, one file per value in its key's folder.
// Folders are created 0700 and values written atomically with mode 0600.
class DirectoryValueStore final : public ValueStore {
public:
    explicit DirectoryValueStore(QString root);

    const QString &Root() const { return root_; }
    // The file a value lives in; empty for an invalid key path or name.
    QString ValueFile(const QString &keyPath, const QString &name) const;

    bool OpenKey(const QString &keyPath, bool create) override;
    bool ValueExists(const QString &keyPath, const QString &name) override;
    ReadStatus ReadValue(const QString &keyPath, const QString &name, QByteArray &data) override;
    bool WriteValue(const QString &keyPath, const QString &name, const QByteArray &data) override;
    bool DeleteValue(const QString &keyPath, const QString &name) override;
    bool RenameValue(const QString &keyPath, const QString &name, const QString &newName) override;

private:
    QString KeyFolder(const QString &keyPath) const;
    QString root_;
};

// Values in memory, for tests; can be told to refuse writes.
class MemoryValueStore final : public ValueStore {
public:
    void SetRefuseWrites(bool refuse) { refuseWrites_ = refuse; }
    int WriteCount() const { return writes_; }

    bool OpenKey(const QString &keyPath, bool create) override;
    bool ValueExists(const QString &keyPath, const QString &name) override;
    ReadStatus ReadValue(const QString &keyPath, const QString &name, QByteArray &data) override;
    bool WriteValue(const QString &keyPath, const QString &name, const QByteArray &data) override;
    bool DeleteValue(const QString &keyPath, const QString &name) override;
    bool RenameValue(const QString &keyPath, const QString &name, const QString &newName) override;

private:
    static QString FoldedKey(const QString &keyPath, bool *ok);
    QHash<QString, QHash<QString, QByteArray>> keys_;
    bool refuseWrites_ = false;
    int writes_ = 0;
};

// The user's store, rooted at ConfigFolder() + "registry/".
std::shared_ptr<ValueStore> UserValueStore();

} // namespace hkt::platform
