// Untrusted bytes as a macro database image and as a ".macro" file: every
// count is clamped, every name read within its field, and the editing paths
// that follow a load stay inside the records.

#include "core/kwMacroClassUnit.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A short input is padded to a full image so the counts inside it are
    // exercised too; the loader's own refusal of short files is tested apart.
    QByteArray image(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (static_cast<std::size_t>(image.size()) < MACRO_SET_DB_SIZE)
        image.append(QByteArray(static_cast<qsizetype>(MACRO_SET_DB_SIZE) - image.size(), '\0'));

    TkwMacroSetClass db;
    if (!db.TakeImage(image))
        return 0;
    const QStringList sets = db.GetMacroSetListNames();
    for (int i = 0; i < db.MacroSetCount(); ++i) {
        db.GetMacroListNamesByMacroSetIndex(i);
        db.SwitchToMacroSet(i);
        TkwMacroClass *list = db.CurrentMacroClass();
        list->CheckAllErrors();
        if (!list->IsEmpty()) {
            list->SetMacroListIndex(list->MacroListCount() - 1);
            if (TkwActionsClass *e = list->CurrentMacroAction()) {
                e->CheckErrors();
                e->RemoveErrors();
                e->CutAction(0);
                e->PasteAction(0);
                (void)e->TotalDelay();
            }
            list->MoveUpMacro(list->MacroListCount() - 1);
            TMACROKEYINFOLIST out{};
            list->GetMacroKeyInfoList(out);
        }
        db.CreateNewMacro(QStringLiteral("fuzz"));
        db.SaveBackCurrentMacroClassDataToCurrentMacroList();
    }
    for (const QString &name : sets)
        db.MacroSetExist(name);
    db.CreateNewMacroSet(QStringLiteral("fuzz"));
    db.SaveBackMacroSetListToDB();

    // The same bytes as a single-macro file.
    TMACROKEYINFO macro{};
    TkwMacroClass::TakeMacroFileImage(QByteArray(reinterpret_cast<const char *>(data),
                                                 static_cast<qsizetype>(size)),
                                      macro);
    TkwMacroClass one;
    one.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{macro});
    one.SetMacroListIndex(0);
    if (TkwActionsClass *e = one.CurrentMacroAction()) {
        e->CheckErrors();
        e->RemoveErrors();
    }
    (void)TkwMacroClass::MacroFileName(MacroNameText(macro));
    return 0;
}
