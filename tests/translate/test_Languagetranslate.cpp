// The translation editor's window on Qt's offscreen platform: clicks and cell
// edits reach the file, read back through the language component.
#include "config/translate/Languagetranslate.h"

#include "TranslateFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace translate_test;

namespace {

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FPath = FDir.filePath("kw.local");
        ASSERT_TRUE(kwSaveLangFile(FPath, Fixture()));
        QString why;
        ASSERT_TRUE(FForm.OpenFile(FPath, &why)) << why.toStdString();
        FForm.show();
    }

    void Click(QPushButton *b) { QTest::mouseClick(b, Qt::LeftButton); }

    // Types into column 1 of the row that shows `source`.
    void Type(const QString &source, const QString &text)
    {
        const auto found = FForm.Grid->findItems(source, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << source.toStdString();
        FForm.Grid->item(found.first()->row(), 1)->setText(text);
    }

    QString Cell(int row, int column) const { return FForm.Grid->item(row, column)->text(); }

    QTemporaryDir FDir;
    QString FPath;
    TkwLanguageDesignForm FForm;
};

} // namespace

TEST_F(EditorWindow, ShowsOneTabPerLanguageAndTheSelectedGrid)
{
    ASSERT_EQ(FForm.TabControl1->count(), 3);
    EXPECT_EQ(FForm.TabControl1->tabText(1), "CH");
    EXPECT_EQ(FForm.TabControl1->currentIndex(), 2);
    ASSERT_EQ(FForm.Grid->rowCount(), 3);
    EXPECT_EQ(Cell(0, 0), "Apply");
    EXPECT_EQ(Cell(0, 1), kYing);
    EXPECT_FALSE(FForm.Grid->item(0, 0)->flags() & Qt::ItemIsEditable);
    FForm.TabControl1->setCurrentIndex(1);
    EXPECT_EQ(Cell(0, 1), "YingYong");
    EXPECT_EQ(FForm.LangCombo->count(), TkwLanguageDesignModel::SystemLanguages().size());
}

TEST_F(EditorWindow, EditsAddedLanguageAndConstTextReachTheSavedFile)
{
    FForm.TabControl1->setCurrentIndex(1);
    Type("Exit", "TuiChu");
    FForm.LangCombo->setCurrentIndex(SystemLanguageIndex("0407"));
    Click(FForm.BtnAddLanguage);
    ASSERT_EQ(FForm.TabControl1->count(), 4);
    EXPECT_EQ(FForm.TabControl1->currentIndex(), 3);
    Type("Apply", "Anwenden");
    FForm.TBConstText->setText("Cancel");
    Click(FForm.BTNADDConstText);
    EXPECT_EQ(FForm.Grid->rowCount(), 4);
    EXPECT_EQ(Cell(0, 1), "Anwenden"); // kept through the grid's rebuild
    Type("Cancel", "Abbrechen");
    Click(FForm.sbtnsavelanguagetofile);
    EXPECT_TRUE(FForm.StatusBar1->currentMessage().startsWith("Saved"));

    EXPECT_EQ(TranslatedBy(FDir.path(), "0407", "Apply"), "Anwenden");
    EXPECT_EQ(TranslatedBy(FDir.path(), "0407", "Cancel"), "Abbrechen");
    EXPECT_EQ(TranslatedBy(FDir.path(), "CH", "Exit"), "TuiChu");
    EXPECT_EQ(TranslatedBy(FDir.path(), "CH", "Apply"), "YingYong");
    EXPECT_EQ(TranslatedBy(FDir.path(), "0804", "Cancel"), "Cancel");
    EXPECT_TRUE(FForm.isVisible()); // the tool's own file: the editor stays open
}

TEST_F(EditorWindow, DeleteItemAndLanguageButtons)
{
    FForm.Grid->setCurrentCell(0, 1);
    Click(FForm.BTNDELCONSTTEXT);
    ASSERT_EQ(FForm.Grid->rowCount(), 2);
    EXPECT_EQ(Cell(0, 0), "Exit");
    FForm.TabControl1->setCurrentIndex(1);
    Click(FForm.BtnDelet);
    EXPECT_EQ(FForm.TabControl1->count(), 2);
    EXPECT_EQ(FForm.TabControl1->currentIndex(), 0);
    Click(FForm.sbtnsavelanguagetofile);
    const TkwLangData saved = kwLoadLangFile(FPath).value();
    EXPECT_EQ(saved.Original, QStringList({"Exit", "OK"}));
    ASSERT_EQ(saved.Resources.size(), 2);
    EXPECT_EQ(saved.Resources[1].ID, "0804");
}

TEST_F(EditorWindow, TextListPopupRoundTrip)
{
    Click(FForm.SpeedButton2);
    ASSERT_TRUE(FForm.PopupTextList->isVisible());
    // An untranslated text's line is "source=", whatever its cell shows.
    EXPECT_EQ(FForm.MemoTextList->toPlainText(), "Apply=" + kYing + "\nExit=" + kTui + "\nOK=");
    FForm.MemoTextList->setPlainText("Apply=" + kYing + "\nExit=" + kTui + "\nOK=QueDing\nHelp=");
    Click(FForm.BtnSaveTextList);
    EXPECT_FALSE(FForm.PopupTextList->isVisible());
    ASSERT_EQ(FForm.Grid->rowCount(), 4);
    EXPECT_EQ(Cell(2, 0), "Help");
    EXPECT_EQ(Cell(2, 1), "");
    EXPECT_EQ(Cell(3, 1), "QueDing");

    // A line the file cannot hold keeps the popup open and the grids as they were.
    Click(FForm.SpeedButton2);
    FForm.MemoTextList->setPlainText("a=b\tc");
    Click(FForm.BtnSaveTextList);
    EXPECT_TRUE(FForm.PopupTextList->isVisible());
    EXPECT_EQ(FForm.Grid->rowCount(), 4);
    FForm.PopupTextList->reject();
}

TEST_F(EditorWindow, AFailedSaveSaysSoAndKeepsFileAndGrid)
{
    const QByteArray before = ReadBytes(FPath);
    Type("OK", "QueDing");
    for (int i = 0; i < 40; ++i) {
        FForm.TBConstText->setText(QStringLiteral("Text %1").arg(i));
        Click(FForm.BTNADDConstText);
    }
    {
        const FileSizeLimit limit(256); // the new file is far larger
        Click(FForm.sbtnsavelanguagetofile);
    }
    EXPECT_TRUE(FForm.StatusBar1->currentMessage().startsWith("Not saved")) << FForm.StatusBar1->currentMessage().toStdString();
    EXPECT_EQ(ReadBytes(FPath), before);
    EXPECT_EQ(FForm.Grid->rowCount(), 43);
    EXPECT_EQ(Cell(2, 1), "QueDing");
}

TEST(EditorFile, AnUnreadableFileIsNeitherShownNorOverwritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kw.local");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x05\x00\x00\x00" "broken", 10);
    }
    TkwLanguageDesignForm form;
    QString why;
    EXPECT_FALSE(form.OpenFile(path, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(form.TabControl1->count(), 0);
    QTest::mouseClick(form.sbtnsavelanguagetofile, Qt::LeftButton);
    EXPECT_EQ(ReadBytes(path), QByteArray("\x05\x00\x00\x00" "broken", 10));

    // A file that does not exist yet: an empty list, created by the first save.
    const QString fresh = dir.filePath("new.local");
    ASSERT_TRUE(form.OpenFile(fresh));
    form.TBConstText->setText("Apply");
    QTest::mouseClick(form.BTNADDConstText, Qt::LeftButton);
    form.LangCombo->setCurrentIndex(SystemLanguageIndex("0804"));
    QTest::mouseClick(form.BtnAddLanguage, Qt::LeftButton);
    form.Grid->item(0, 1)->setText(kYing);
    QTest::mouseClick(form.sbtnsavelanguagetofile, Qt::LeftButton);
    const TkwLangData saved = kwLoadLangFile(fresh).value();
    EXPECT_EQ(saved, (TkwLangData{{"Apply"}, {{"0804", {"Apply=" + kYing}}}}));
}

TEST(EditorComponent, SavingOverAComponentReloadsItAndCloses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(kwSaveLangFile(dir.filePath("kw.local"), Fixture()));
    TkwLanguage lang(nullptr, dir.path());
    TkwLanguageDesignForm form;
    form.LoadLanguageAndCreateTranslateTabList(&lang, dir.filePath("kw.local"));
    form.show();
    form.TabControl1->setCurrentIndex(0);
    form.Grid->item(0, 1)->setText("Go");
    QTest::mouseClick(form.sbtnsavelanguagetofile, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    lang.SetLang("0409");
    EXPECT_EQ(Translate("Apply"), "Go");
    lang.SetLang("en");
}

// A translation still being typed when another language's tab is clicked
// goes to the tab it was typed in, not lost with the grid's rebuild.
TEST_F(EditorWindow, ACellBeingEditedIsCommittedWhenAnotherTabIsClicked)
{
    QApplication::setActiveWindow(&FForm);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&FForm));
    ASSERT_EQ(FForm.TabControl1->currentIndex(), 2);
    const int row = int(FForm.Model().Sources().indexOf("Exit"));
    const QPoint cell = FForm.Grid->visualRect(FForm.Grid->model()->index(row, 1)).center();
    QTest::mouseClick(FForm.Grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(FForm.Grid->viewport(), Qt::LeftButton, {}, cell);
    QWidget *editor = QApplication::focusWidget();
    ASSERT_TRUE(editor && editor != FForm.Grid->viewport() && FForm.Grid->viewport()->isAncestorOf(editor))
        << "the cell's editor is open";
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "TuiChuQ");

    QTest::mouseClick(FForm.TabControl1, Qt::LeftButton, {}, FForm.TabControl1->tabRect(1).center());
    ASSERT_EQ(FForm.TabControl1->currentIndex(), 1);
    EXPECT_EQ(FForm.Model().Translation(2, row), "TuiChuQ");
    EXPECT_EQ(FForm.Model().Translation(1, row), "Exit") << "the clicked tab is untouched";
    EXPECT_EQ(Cell(row, 1), "Exit");

    QTest::mouseClick(FForm.TabControl1, Qt::LeftButton, {}, FForm.TabControl1->tabRect(2).center());
    EXPECT_EQ(Cell(row, 1), "TuiChuQ");
    Click(FForm.sbtnsavelanguagetofile);
    EXPECT_EQ(TranslatedBy(FDir.path(), "0804", "Exit"), "TuiChuQ");
}
