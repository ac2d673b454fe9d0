#pragma once
// Where the suite finds its folders, and the two file primitives every stored
// image goes through: a bounded read and an atomic replace.
//
// Folder names returned here always end in '/'. Each folder can be pinned for
// tests so that no test ever touches the real home or XDG folders.

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

namespace hkt::platform {

// The folder of the running executable: config.ini, kw.local and images/ lie
// beside the programs.
QString ProgramFolder();
void SetProgramFolder(std::optional<QString> folder);

// The user's documents folder (QStandardPaths::DocumentsLocation, falling back
// to $HOME/Documents). Not created here.
QString DocumentsFolder();
void SetDocumentsFolder(std::optional<QString> folder);

// The suite's per-user configuration folder, $XDG_CONFIG_HOME/hkt75/ (the
// value store lives in its "registry" folder). Not created here.
QString ConfigFolder();
void SetConfigFolder(std::optional<QString> folder);

// One of the folders the suite makes for itself (sockets, locks), as it was
// found: `path` (with a trailing separator) when it is private to this user,
// otherwise `problem`, one line naming the folder and what is wrong with it.
struct PrivateFolder {
    QString path;
    QString problem;
    explicit operator bool() const { return !path.isEmpty(); }
};

// Makes `folder` with mkdir (mode 0700) when it is missing, then opens it with
// O_DIRECTORY | O_NOFOLLOW and checks, through that descriptor only, that it
// is a real folder owned by this user with mode 0700. Nothing is ever changed
// through the path: a symbolic link, a file, another user's folder or one
// open to others is refused, never adopted or chmod'ed, since another local
// user may have put it there (the temporary folder is shared). `what` names
// the folder in the problem line ("runtime folder"). Missing parents are
// created first (mode 0700).
PrivateFolder MakePrivateFolder(const QString &folder, const QString &what);

// The suite's per-user runtime folder ($XDG_RUNTIME_DIR/hkt75/, or a per-uid
// folder under the temporary folder when that variable is unset), made and
// checked by MakePrivateFolder. The programs check it first thing and end
// (non-zero, with the problem line) when it is refused.
PrivateFolder OpenRuntimeFolder();
// Where OpenRuntimeFolder looks (with a trailing separator), unchecked: for
// telling cheaply whether a folder checked before is still the one meant.
QString RuntimeFolderPath();
// What RuntimeFolderPath() is made of (the pinned folder, $XDG_RUNTIME_DIR,
// $TMPDIR), without a system call: while it stays the same, so does the path.
QByteArray RuntimeFolderPathInputs();
// OpenRuntimeFolder().path: empty when the folder is refused, silently (the
// programs have already said why at start-up).
QString RuntimeFolder();
void SetRuntimeFolder(std::optional<QString> folder);

// Appends '/' when missing (the empty text stays empty).
QString WithTrailingSeparator(const QString &folder);

bool FolderExists(const QString &folder);
// True for any existing entry (file, folder, other) at the path.
bool PathExists(const QString &path);

// Creates one folder whose parent must exist; true when it exists afterwards
// as a folder.
bool MakeFolder(const QString &folder, mode_t mode = 0700);
// Creates the folder with all missing parents; true when it exists afterwards
// as a folder. New folders get `mode`; existing ones are left as they are.
bool EnsureFolder(const QString &folder, mode_t mode = 0700);

// A plain file or value name: not empty, not "." or "..", no '/', '\\' or NUL.
// Names from stored records and config.ini pass this before they are joined
// to a folder.
bool IsPlainName(const QString &name);

// The largest image any read takes in: well above every record the suite
// stores (the largest is the macro database, under 1 MiB), small enough that
// a hostile or mistaken file cannot exhaust memory.
inline constexpr qint64 kMaxReadBytes = 16 * 1024 * 1024;

enum class ReadStatus {
    Ok,
    Missing,    // no entry at the path
    NotRegular, // a folder, FIFO, device ...: refused without blocking
    TooLarge,   // larger than the bound
    Failed,     // an I/O error while opening or reading
};

// Reads a whole regular file of at most maxBytes. `out` is replaced only on
// Ok; on any other result it keeps what it held.
ReadStatus ReadFileBounded(const QString &path, QByteArray &out, qint64 maxBytes = kMaxReadBytes);

// Replaces the file at `path` with `data` so that a reader sees either the
// old or the new content, never a mix: a temporary file in the same folder is
// written, flushed to disk and renamed over the target, then the folder is
// flushed. On failure the old file is untouched, the temporary file removed
// and false returned (with one diagnostic line). The folder must exist.
bool WriteFileAtomic(const QString &path, const QByteArray &data, mode_t mode = 0600);

} // namespace hkt::platform
