#include "config/ui/ProfileFileDialogsQt.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Answers the next file dialog that opens: types `name` and accepts, or
// rejects when `name` is empty.
void AnswerNextDialog(const QString &name, QString *seenDir = nullptr)
{
    QTimer::singleShot(0, [=] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (seenDir)
            *seenDir = dialog->directory().absolutePath();
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(name);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept does the checks
    });
}

TProfileFileDialogOptions Options(const QString &dir, const QString &ext)
{
    TProfileFileDialogOptions o;
    o.InitialDir = dir + QLatin1Char('/');
    o.DefaultExt = ext;
    return o;
}

} // namespace

TEST(ProfileFileDialogsQt, SaveAddsTheDefaultExtensionAndStartsInTheGivenFolder)
{
    QTemporaryDir dir;
    TProfileFileDialogsQt dialogs;
    QString seen;
    AnswerNextDialog(QStringLiteral("mine"), &seen);
    const auto chosen = dialogs.ExecuteSaveDialog(Options(dir.path(), QStringLiteral("pfd")));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.filePath(QStringLiteral("mine.pfd")));
    EXPECT_EQ(seen, QDir(dir.path()).absolutePath());
}

TEST(ProfileFileDialogsQt, SaveOverAnExistingFileIsNotQuestioned)
{
    QTemporaryDir dir;
    QFile existing(dir.filePath(QStringLiteral("old.pfd")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    TProfileFileDialogsQt dialogs;
    AnswerNextDialog(QStringLiteral("old.pfd"));
    const auto chosen = dialogs.ExecuteSaveDialog(Options(dir.path(), QStringLiteral("pfd")));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.filePath(QStringLiteral("old.pfd")));
}

TEST(ProfileFileDialogsQt, OpenReturnsTheFileAndCancelReturnsNothing)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("a.pfd")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    TProfileFileDialogsQt dialogs;
    AnswerNextDialog(QStringLiteral("a.pfd"));
    const auto chosen = dialogs.ExecuteOpenDialog(Options(dir.path(), QString()));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.filePath(QStringLiteral("a.pfd")));

    AnswerNextDialog(QString());
    EXPECT_FALSE(dialogs.ExecuteOpenDialog(Options(dir.path(), QString())).has_value());
}
