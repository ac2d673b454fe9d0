#include "config/ui/ProfileFileDialogsQt.h"

#include "config/ui/kwSkinKit.h"
#include "config/ui/kwTranslateHook.h"
#include "config/ui/showdialog.h"

#include <QFileDialog>

std::optional<QString> TProfileFileDialogsQt::Execute(const TProfileFileDialogOptions &options, bool save)
{
    // Qt's own dialog rather than the desktop's: it behaves the same on every
    // desktop and can be driven in tests. Replacing an existing file is not
    // questioned, as users of the profile dialogs expect.
    QFileDialog dialog(FParent, QString(), options.InitialDir,
                       QStringLiteral("%1 (%2)").arg(options.FilterName, options.FilterPattern));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Any name is taken, also for LOAD FILE: a file that is not there is then
    // refused by the load itself, in the suite's own message, as an
    // unreadable file is (Qt's check says so in a box of its own).
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!options.DefaultExt.isEmpty())
        dialog.setDefaultSuffix(options.DefaultExt);
    // In the skin's colours and face, over the dark window, centred on it as
    // the suite's dialogs are. Names only: the detail columns (size, type,
    // date) do not fit and show cut.
    hkt::skin::SkinStandardDialog(&dialog, FParent ? FParent.data() : hkt::skin::DialogCentreWindow());
    dialog.setViewMode(QFileDialog::List);
    // Its words in the program's language, as the window around it.
    dialog.setLabelText(QFileDialog::LookIn, hkt::skin::TranslateText(QStringLiteral("Look in:")));
    dialog.setLabelText(QFileDialog::FileName, hkt::skin::TranslateText(QStringLiteral("File name:")));
    dialog.setLabelText(QFileDialog::FileType, hkt::skin::TranslateText(QStringLiteral("Files of type:")));
    dialog.setLabelText(QFileDialog::Accept,
                        hkt::skin::TranslateText(save ? QStringLiteral("Save") : QStringLiteral("Open")));
    dialog.setLabelText(QFileDialog::Reject, hkt::skin::TranslateText(QStringLiteral("Cancel")));
    dialog.resize(640, 420);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

std::optional<QString> TProfileFileDialogsQt::ExecuteOpenDialog(const TProfileFileDialogOptions &options)
{
    return Execute(options, false);
}

std::optional<QString> TProfileFileDialogsQt::ExecuteSaveDialog(const TProfileFileDialogOptions &options)
{
    return Execute(options, true);
}

void InstallProfileFileDialogsQt(QWidget *parent)
{
    SetProfileFileDialogs(std::make_shared<TProfileFileDialogsQt>(parent));
    // The suite's own message, translated, centred on the window.
    SetProfileFileMessage([](const QString &text) {
        ShowInformation(hkt::skin::TranslateText(QStringLiteral("WARNING")), hkt::skin::TranslateText(text));
    });
}

void UninstallProfileFileDialogsQt()
{
    SetProfileFileDialogs(nullptr);
    SetProfileFileMessage(nullptr);
}
