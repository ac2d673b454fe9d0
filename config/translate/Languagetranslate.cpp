#include "config/translate/Languagetranslate.h"

#include "config/ui/kwLanguage.h"
#include "platform/Paths.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton *Button(const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TkwLanguageDesignForm::TkwLanguageDesignForm(QWidget *parent) : QWidget(parent)
{
    resize(930, 508);
    setWindowTitle(QStringLiteral("HKT75 translation editor 1.0"));

    ToolBar1 = new QWidget(this);
    ToolBar1->setFixedHeight(35);
    auto *bar = new QHBoxLayout(ToolBar1);
    bar->setContentsMargins(4, 2, 4, 2);
    Label1 = new QLabel(QStringLiteral("Langs List\uFF1A"), ToolBar1);
    LangCombo = new QComboBox(ToolBar1);
    LangCombo->setFixedWidth(195);
    LangCombo->setMaxVisibleItems(20);
    BtnAddLanguage = Button(QStringLiteral("Add Language"), ToolBar1);
    BtnDelet = Button(QStringLiteral("Delete Language"), ToolBar1);
    BtnPrevPage = Button(QStringLiteral("Prev Page"), ToolBar1);
    BtnNextPage = Button(QStringLiteral("Next Page"), ToolBar1);
    for (QWidget *w : {static_cast<QWidget *>(Label1), static_cast<QWidget *>(LangCombo),
                       static_cast<QWidget *>(BtnAddLanguage), static_cast<QWidget *>(BtnDelet)})
        bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(BtnPrevPage);
    bar->addWidget(BtnNextPage);

    TabControl1 = new QTabBar(this);
    TabControl1->setExpanding(false);
    TabControl1->setUsesScrollButtons(false);
    Grid = new QTableWidget(0, 2, this);
    Grid->horizontalHeader()->setVisible(false);
    Grid->setColumnWidth(0, 380);
    Grid->setColumnWidth(1, 440);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);

    auto *bottom = new QWidget(this);
    bottom->setFixedHeight(40);
    auto *row = new QHBoxLayout(bottom);
    row->setContentsMargins(4, 2, 4, 2);
    Text1 = new QLabel(QStringLiteral("Type Text to translate:"), bottom);
    TBConstText = new QLineEdit(bottom);
    BTNADDConstText = Button(QStringLiteral("Add Const Text"), bottom);
    BTNDELCONSTTEXT = Button(QStringLiteral("Delete Item From List"), bottom);
    sbtnsavelanguagetofile = Button(QStringLiteral("Save to language file"), bottom);
    SpeedButton2 = Button(QStringLiteral("Get/Set Text List"), bottom);
    for (QWidget *w : {static_cast<QWidget *>(Text1), static_cast<QWidget *>(TBConstText),
                       static_cast<QWidget *>(BTNADDConstText), static_cast<QWidget *>(BTNDELCONSTTEXT),
                       static_cast<QWidget *>(sbtnsavelanguagetofile), static_cast<QWidget *>(SpeedButton2)})
        row->addWidget(w);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(TabControl1);
    layout->addWidget(Grid, 1);
    layout->addWidget(bottom);
    layout->addWidget(StatusBar1);

    PopupTextList = new QDialog(this);
    PopupTextList->setModal(true);
    PopupTextList->resize(667, 368);
    MemoTextList = new QPlainTextEdit(PopupTextList);
    MemoTextList->setLineWrapMode(QPlainTextEdit::NoWrap);
    BtnSaveTextList = Button(QStringLiteral("Save"), PopupTextList);
    auto *popup = new QVBoxLayout(PopupTextList);
    popup->addWidget(MemoTextList, 1);
    popup->addWidget(BtnSaveTextList, 0, Qt::AlignRight);

    connect(BtnAddLanguage, &QPushButton::clicked, this, &TkwLanguageDesignForm::BtnAddLanguageClick);
    connect(BtnDelet, &QPushButton::clicked, this, &TkwLanguageDesignForm::BtnDeletClick);
    connect(BtnPrevPage, &QPushButton::released, this, &TkwLanguageDesignForm::BtnPrevPageMouseUp);
    connect(BtnNextPage, &QPushButton::released, this, &TkwLanguageDesignForm::BtnNextPageMouseUp);
    connect(BTNADDConstText, &QPushButton::clicked, this, &TkwLanguageDesignForm::BTNADDConstTextClick);
    connect(BTNDELCONSTTEXT, &QPushButton::clicked, this, &TkwLanguageDesignForm::BTNDELCONSTTEXTClick);
    connect(SpeedButton2, &QPushButton::clicked, this, &TkwLanguageDesignForm::SpeedButton2Click);
    connect(BtnSaveTextList, &QPushButton::clicked, this, &TkwLanguageDesignForm::BtnSaveTextListClick);
    connect(sbtnsavelanguagetofile, &QPushButton::clicked, this, &TkwLanguageDesignForm::BtnSaveClick);
    connect(TabControl1, &QTabBar::currentChanged, this, &TkwLanguageDesignForm::TabChanged);
    connect(Grid, &QTableWidget::cellChanged, this, &TkwLanguageDesignForm::CellChanged);

    FormCreate();
}

TkwLanguageDesignForm::~TkwLanguageDesignForm() = default;

void TkwLanguageDesignForm::FormCreate()
{
    for (const auto &[name, id] : TkwLanguageDesignModel::SystemLanguages())
        LangCombo->addItem(name, id);
    LangCombo->setCurrentIndex(-1);
}

bool TkwLanguageDesignForm::OpenFile(const QString &path, QString *error)
{
    TkwLangData data;
    FFileName.clear();
    if (QFileInfo::exists(path)) {
        QString why;
        std::optional<TkwLangData> read = kwLoadLangFile(path, &why);
        if (!read) {
            if (error)
                *error = why;
            FModel.Load({});
            ShowTabs();
            Status(QStringLiteral("Cannot read %1: %2").arg(path, why));
            return false;
        }
        data = std::move(*read);
    }
    FFileName = path;
    FLang = nullptr;
    FOwnsLanguage = true;
    FModel.Load(data);
    setWindowTitle(QStringLiteral("HKT75 translation editor 1.0 - %1").arg(path));
    ShowTabs();
    return true;
}

void TkwLanguageDesignForm::LoadLanguageAndCreateTranslateTabList(TkwLanguage *lang, const QString &path)
{
    FLang = lang;
    FOwnsLanguage = false;
    FFileName = path.isEmpty() ? hkt::platform::ProgramFolder() + QStringLiteral("kw.local") : path;
    FModel.Load(lang ? lang->Data() : TkwLangData());
    ShowTabs();
}

void TkwLanguageDesignForm::Status(const QString &text)
{
    StatusBar1->showMessage(text);
}

void TkwLanguageDesignForm::ShowTabs()
{
    FRefreshing = true;
    while (TabControl1->count() > 0)
        TabControl1->removeTab(TabControl1->count() - 1);
    for (const TkwTranslateTab &tab : FModel.Tabs()) {
        const int i = TabControl1->addTab(tab.Caption);
        TabControl1->setTabToolTip(i, tab.ID);
    }
    TabControl1->setCurrentIndex(FModel.CurrentTab());
    FRefreshing = false;
    ShowTabPage();
    ShowGrid();
}

void TkwLanguageDesignForm::ShowTabPage()
{
    FRefreshing = true;
    for (int i = 0; i < TabControl1->count(); ++i)
        TabControl1->setTabVisible(i, FModel.TabVisible(i));
    FRefreshing = false;
    // Hiding the selected tab makes the bar select a visible one: the grid
    // follows what the bar shows.
    if (TabControl1->currentIndex() != FModel.CurrentTab()) {
        FModel.SelectTab(TabControl1->currentIndex());
        ShowGrid();
    }
}

void TkwLanguageDesignForm::ShowGrid()
{
    FRefreshing = true;
    const int tab = FModel.CurrentTab();
    const QStringList &sources = FModel.Sources();
    Grid->clearContents();
    Grid->setRowCount(tab < 0 ? 0 : int(sources.size()));
    if (tab >= 0) {
        for (int r = 0; r < sources.size(); ++r) {
            auto *source = new QTableWidgetItem(sources[r]);
            source->setFlags(source->flags() & ~Qt::ItemIsEditable);
            Grid->setItem(r, 0, source);
            Grid->setItem(r, 1, new QTableWidgetItem(FModel.Translation(tab, r)));
        }
    }
    FRefreshing = false;
}

void TkwLanguageDesignForm::CommitOpenEdit()
{
    // An open editor is a child of the grid's viewport and has the focus (a
    // click on the tab bar does not take it). Committing it reaches
    // CellChanged while the model still has the edited tab selected, so the
    // text lands in that tab's cell.
    QWidget *editor = QApplication::focusWidget();
    if (!editor || editor == Grid->viewport() || !Grid->viewport()->isAncestorOf(editor))
        return;
    QAbstractItemDelegate *delegate = Grid->itemDelegateForIndex(Grid->currentIndex());
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TkwLanguageDesignForm::TabChanged(int index)
{
    if (FRefreshing)
        return;
    // The grid is rebuilt for the new tab: a cell still being edited would
    // be dropped with it.
    CommitOpenEdit();
    FModel.SelectTab(index);
    ShowGrid();
}

void TkwLanguageDesignForm::CellChanged(int row, int column)
{
    if (FRefreshing || column != 1)
        return;
    const int tab = FModel.CurrentTab();
    QString why;
    if (!FModel.SetTranslation(tab, row, Grid->item(row, column)->text(), &why)) {
        Status(why);
        FRefreshing = true;
        Grid->item(row, column)->setText(FModel.Translation(tab, row));
        FRefreshing = false;
    }
}

void TkwLanguageDesignForm::BtnAddLanguageClick()
{
    if (FModel.AddLanguage(LangCombo->currentIndex()) >= 0)
        ShowTabs();
}

void TkwLanguageDesignForm::BtnDeletClick()
{
    if (FModel.DeleteLanguage())
        ShowTabs();
}

void TkwLanguageDesignForm::BtnPrevPageMouseUp()
{
    FModel.PrevPage();
    ShowTabPage();
}

void TkwLanguageDesignForm::BtnNextPageMouseUp()
{
    FModel.NextPage();
    ShowTabPage();
}

void TkwLanguageDesignForm::BTNADDConstTextClick()
{
    const QString text = TBConstText->text();
    if (text.isEmpty())
        return;
    QString why;
    if (!FModel.AddConstText(text, &why)) {
        Status(why);
        return;
    }
    ShowGrid();
    const qsizetype row = FModel.Sources().indexOf(text);
    if (Grid->rowCount() > row)
        Grid->setCurrentCell(int(row), 1);
}

void TkwLanguageDesignForm::BTNDELCONSTTEXTClick()
{
    if (FModel.DeleteConstText(Grid->currentRow()))
        ShowGrid();
}

void TkwLanguageDesignForm::SpeedButton2Click()
{
    if (FModel.CurrentTab() < 0)
        return;
    MemoTextList->setPlainText(FModel.TextList().join(u'\n'));
    PopupTextList->setWindowTitle(FModel.Tabs()[FModel.CurrentTab()].Caption);
    PopupTextList->open();
}

void TkwLanguageDesignForm::BtnSaveTextListClick()
{
    QString why;
    if (!FModel.SetTextList(MemoTextList->toPlainText().split(u'\n'), &why)) {
        Status(why);
        return; // the popup stays open so the text can be corrected
    }
    PopupTextList->accept();
    ShowGrid();
}

void TkwLanguageDesignForm::BtnSaveClick()
{
    if (FFileName.isEmpty()) {
        Status(QStringLiteral("No language file is open."));
        return;
    }
    QString why;
    if (!FModel.SaveToFile(FFileName, &why)) {
        Status(QStringLiteral("Not saved: %1").arg(why));
        return;
    }
    Status(QStringLiteral("Saved %1").arg(FFileName));
    if (FLang)
        FLang->LoadFromFile(FFileName);
    if (!FOwnsLanguage)
        close();
}

void TkwLanguageDesignForm::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit Closed();
}

void ShowLanguageDesignForm(TkwLanguage *lang)
{
    TkwLanguageDesignForm form;
    form.setWindowModality(Qt::ApplicationModal);
    form.LoadLanguageAndCreateTranslateTabList(lang);
    QEventLoop loop;
    QObject::connect(&form, &TkwLanguageDesignForm::Closed, &loop, &QEventLoop::quit);
    form.show();
    loop.exec();
}
