// Untrusted bytes as the macro database the macro manager opens and edits.
// The first bytes of an input are a script of manager commands, the rest the
// start of the database file (padded with zeros to a whole image, so short
// inputs reach the accepting path). The database goes through the window's
// start-up (load, default set when missing) and the manager model's edits;
// whatever the file held, every save must write a database the loader takes
// again, with the same sets and macros.
#include "config/app/MacroManagerModel.h"
#include "core/kwMacroClassUnit.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kScript = 24;

struct World {
    QTemporaryDir tmp;
    QString path = tmp.path() + "/MacroSet.MSDB";
};

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path + ".bak");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        __builtin_trap();
}

QByteArray Names(const TkwMacroSetClass &db)
{
    QByteArray out = db.GetMacroSetListNames().join('|').toUtf8();
    for (int i = 0; i < db.MacroSetCount(); ++i)
        out += "/" + db.GetMacroListNamesByMacroSetIndex(i).value_or(QStringList()).join('|').toUtf8();
    return out;
}

// Saves and reads back: the loader must take what the suite wrote.
void SaveAndReread(TkwMacroSetClass &db, const QString &path)
{
    if (!db.SaveMacroSetDB())
        return;
    TkwMacroSetClass again;
    if (again.LoadMacrosetDB(path) != TMacroSetDbLoad::Loaded || Names(again) != Names(db))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World *world = new World; // lives for the whole run
    const std::size_t scriptSize = std::min<std::size_t>(size, kScript);
    const uint8_t *script = data;
    QByteArray image(reinterpret_cast<const char *>(data + scriptSize), qsizetype(size - scriptSize));
    // A script starting 0xEE keeps a short file short (refused, kept as .bak).
    if (std::size_t(image.size()) < MACRO_SET_DB_SIZE && !(scriptSize > 0 && script[0] == 0xEE))
        image.append(QByteArray(qsizetype(MACRO_SET_DB_SIZE) - image.size(), '\0'));
    WriteFile(world->path, image);

    // The window's start-up.
    TkwMacroSetClass db;
    const TMacroSetDbLoad loaded = db.LoadMacrosetDB(world->path);
    // Taken only when the counts are ones the suite writes.
    if (loaded == TMacroSetDbLoad::Loaded && TkwMacroSetClass::ImageFault(image.left(qsizetype(MACRO_SET_DB_SIZE))))
        __builtin_trap();
    if (!db.MacroSetExist(QStringLiteral("DefaultMacroSet"))) {
        db.CreateNewMacroSet(QStringLiteral("DefaultMacroSet"));
        db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet"));
        db.CreateNewMacro(QStringLiteral("Macro1"));
        db.CreateNewMacro(QStringLiteral("Macro2"));
        SaveAndReread(db, world->path);
    }
    db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet"));

    // The manager over it, driven by the script.
    TMacroManagerModel m(db);
    TMacroKeyList none;
    for (std::size_t i = 0; i < scriptSize; ++i) {
        const int arg = script[i] >> 4;
        switch (script[i] & 0x0F) {
        case 0: m.SelectMacro(arg); break;
        case 1: m.SelectStep(arg * 3); break;
        case 2: m.ApplyTool(static_cast<TMacroTool>(1 + arg % 6)); break;
        case 3: m.InsertMouseAction(arg, arg & 1); break;
        case 4: m.SetDelay(arg, arg * 4099); break;
        case 5: m.StoreLoopSettings(arg & 1, arg & 2, arg * 17); break;
        case 6: m.StoreAutoDelay(arg & 1); break;
        case 7:
            if (m.StartRecording(arg % 3, arg) == TMacroEdit::Done) {
                (void)m.NextLivePosition();
                m.StopRecording(none, TMacroRecordOptions{});
            }
            break;
        case 8: m.AddMacroByName(QStringLiteral("fuzz %1").arg(arg)); break;
        case 9: m.RenameMacro(arg, QStringLiteral("renamed %1").arg(arg)); break;
        case 10: m.MoveMacro(arg, arg & 1); break;
        case 11: m.DeleteMacro(arg); break;
        case 12: {
            TMACROKEYINFO record{};
            m.CurrentRecord(record);
            (void)m.CurrentMacroName();
            if (TkwActionsClass *steps = m.Steps())
                (void)steps->TotalDelay();
            break;
        }
        case 13: m.CopyBack(); break;
        default: SaveAndReread(db, world->path); break;
        }
    }
    m.CopyBack();
    SaveAndReread(db, world->path);
    return 0;
}
