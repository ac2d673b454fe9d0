#pragma once
// The program's profile-file dialogs: Qt's own file dialogs behind the core's
// TProfileFileDialogs seam, and the suite's message for a refused save.

#include "core/Function_ProfileFiles.h"

#include <QPointer>
#include <QWidget>

class TProfileFileDialogsQt final : public TProfileFileDialogs {
public:
    explicit TProfileFileDialogsQt(QWidget *parent = nullptr) : FParent(parent) {}

    std::optional<QString> ExecuteOpenDialog(const TProfileFileDialogOptions &options) override;
    std::optional<QString> ExecuteSaveDialog(const TProfileFileDialogOptions &options) override;

private:
    std::optional<QString> Execute(const TProfileFileDialogOptions &options, bool save);
    QPointer<QWidget> FParent; // the dialogs' owner; gone with its window
};

// Installs TProfileFileDialogsQt and the suite's message dialog (OK alone,
// translated) as the dialogs and message of ImportProfileFile/ExportProfileFile.
void InstallProfileFileDialogsQt(QWidget *parent = nullptr);
// Takes them away again: both routines then behave as if cancelled.
void UninstallProfileFileDialogsQt();
