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

// The suite's per-user runtime folder ($XDG_RUNTIME_DIR/hkt75/, or a per-uid
// folder under the temporary folder when that variable is unset), created
// with mode 0700. Empty when it cannot be created or is not private to us,
// because sockets and locks placed in a folder others can write are not ours.
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
