#include "platform/ValueStore.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace hkt::platform {

namespace {

constexpr int kMaxEncodedName = 255; // NAME_MAX of the file systems we run on

bool KeptAsIs(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
}

int HexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// Splits "a\\b\\c" into its components; false for an empty component (the
// registry refuses those too). The empty path is the root: no components.
bool SplitKeyPath(const QString &keyPath, QStringList &parts)
{
    parts.clear();
    if (keyPath.isEmpty())
        return true;
    parts = keyPath.split(QLatin1Char('\\'));
    for (const QString &p : parts)
        if (p.isEmpty())
            return false;
    return true;
}

} // namespace

QString EncodeName(const QString &name)
{
    if (name.isEmpty())
        return {};
    const QByteArray utf8 = name.toCaseFolded().toUtf8();
    QString out;
    out.reserve(utf8.size());
    static const char hex[] = "0123456789ABCDEF";
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (KeptAsIs(c) && !(i == 0 && c == '.')) {
            out += QLatin1Char(c);
        } else {
            const auto b = static_cast<unsigned char>(c);
            out += QLatin1Char('%');
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 15]);
        }
    }
    if (out.size() > kMaxEncodedName)
        return {};
    return out;
}

QString DecodeName(const QString &encoded)
{
    QByteArray utf8;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == QLatin1Char('%') && i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 0
            && HexValue(encoded[i + 2]) >= 0) {
            utf8 += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
            i += 2;
        } else {
            utf8 += encoded[i].toLatin1();
        }
    }
    return QString::fromUtf8(utf8);
}

// ---------------------------------------------------------------- directory

DirectoryValueStore::DirectoryValueStore(QString root) : root_(WithTrailingSeparator(std::move(root))) {}

QString DirectoryValueStore::KeyFolder(const QString &keyPath) const
{
    QStringList parts;
    if (root_.isEmpty() || !SplitKeyPath(keyPath, parts))
        return {};
    QString folder = root_;
    for (const QString &p : parts) {
        const QString enc = EncodeName(p);
        if (enc.isEmpty())
            return {};
        folder += enc + QLatin1Char('/');
    }
    return folder;
}

QString DirectoryValueStore::ValueFile(const QString &keyPath, const QString &name) const
{
    const QString folder = KeyFolder(keyPath);
    const QString enc = EncodeName(name);
    if (folder.isEmpty() || enc.isEmpty())
        return {};
    return folder + enc;
}

bool DirectoryValueStore::OpenKey(const QString &keyPath, bool create)
{
    const QString folder = KeyFolder(keyPath);
    if (folder.isEmpty())
        return false;
    if (FolderExists(folder))
        return true;
    if (!create)
        return false;
    if (!EnsureFolder(folder, 0700)) {
        qWarning("hkt75: cannot create key folder %s", QFile::encodeName(folder).constData());
        return false;
    }
    return true;
}

bool DirectoryValueStore::ValueExists(const QString &keyPath, const QString &name)
{
    const QString file = ValueFile(keyPath, name);
    return !file.isEmpty() && PathExists(file);
}

ReadStatus DirectoryValueStore::ReadValue(const QString &keyPath, const QString &name, QByteArray &data)
{
    const QString file = ValueFile(keyPath, name);
    if (file.isEmpty())
        return ReadStatus::Missing;
    return ReadFileBounded(file, data, kMaxReadBytes);
}

bool DirectoryValueStore::WriteValue(const QString &keyPath, const QString &name, const QByteArray &data)
{
    const QString file = ValueFile(keyPath, name);
    if (file.isEmpty() || data.size() > kMaxReadBytes)
        return false;
    return WriteFileAtomic(file, data, 0600);
}

bool DirectoryValueStore::DeleteValue(const QString &keyPath, const QString &name)
{
    const QString file = ValueFile(keyPath, name);
    if (file.isEmpty())
        return false;
    return ::unlink(QFile::encodeName(file).constData()) == 0 || errno == ENOENT;
}

bool DirectoryValueStore::RenameValue(const QString &keyPath, const QString &name, const QString &newName)
{
    const QString from = ValueFile(keyPath, name);
    const QString to = ValueFile(keyPath, newName);
    if (from.isEmpty() || to.isEmpty())
        return false;
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// ------------------------------------------------------------------- memory

QString MemoryValueStore::FoldedKey(const QString &keyPath, bool *ok)
{
    QStringList parts;
    *ok = SplitKeyPath(keyPath, parts);
    return keyPath.toCaseFolded();
}

bool MemoryValueStore::OpenKey(const QString &keyPath, bool create)
{
    bool ok = false;
    const QString key = FoldedKey(keyPath, &ok);
    if (!ok)
        return false;
    if (keys_.contains(key))
        return true;
    if (!create || refuseWrites_)
        return false;
    keys_.insert(key, {});
    return true;
}

bool MemoryValueStore::ValueExists(const QString &keyPath, const QString &name)
{
    bool ok = false;
    const QString key = FoldedKey(keyPath, &ok);
    return ok && keys_.value(key).contains(name.toCaseFolded());
}

ReadStatus MemoryValueStore::ReadValue(const QString &keyPath, const QString &name, QByteArray &data)
{
    bool ok = false;
    const QString key = FoldedKey(keyPath, &ok);
    if (!ok)
        return ReadStatus::Missing;
    const auto k = keys_.constFind(key);
    if (k == keys_.constEnd())
        return ReadStatus::Missing;
    const auto v = k->constFind(name.toCaseFolded());
    if (v == k->constEnd())
        return ReadStatus::Missing;
    data = *v;
    return ReadStatus::Ok;
}

bool MemoryValueStore::WriteValue(const QString &keyPath, const QString &name, const QByteArray &data)
{
    bool ok = false;
    const QString key = FoldedKey(keyPath, &ok);
    if (!ok || name.isEmpty() || refuseWrites_ || !keys_.contains(key))
        return false;
    keys_[key].insert(name.toCaseFolded(), data);
    ++writes_;
    return true;
}

bool MemoryValueStore::DeleteValue(const QString &keyPath, const QString &name)
{
    bool ok = false;
    const QString key = FoldedKey(keyPath, &ok);
    if (!ok || refuseWrites_)
        return false;
    const auto k = keys_.find(key);
    if (k != keys_.end())
        k->remove(name.toCaseFolded());
    return true;
}

bool MemoryValueStore::RenameValue(const QString &keyPath, const QString &name, const QString &newName)
{
    bool ok = false;
    const QString key = FoldedKey(keyPath, &ok);
    if (!ok || newName.isEmpty() || refuseWrites_)
        return false;
    const auto k = keys_.find(key);
    if (k == keys_.end() || !k->contains(name.toCaseFolded()))
        return false;
    const QByteArray data = k->take(name.toCaseFolded());
    k->insert(newName.toCaseFolded(), data);
    ++writes_;
    return true;
}

std::shared_ptr<ValueStore> UserValueStore()
{
    return std::make_shared<DirectoryValueStore>(ConfigFolder() + QStringLiteral("registry/"));
}

} // namespace hkt::platform
