// The window of one menu level: a frameless popup that draws its box and
// rows (background, plain, hover and pressed highlights, captions, sub-menu
// arrows, check marks, icons) from the level's state and parameters, and
// hands pointer, key and wheel input to the menu's controller.
//
// Stacked popups: the topmost one receives all input; a pointer event is
// given to the open level under the pointer, so moving back over a parent
// opens and closes sub-menus there, and a press outside every level closes
// the whole tree. The levels learn that the pointer left them from that
// tracking too (a popup opening over a level must not count as leaving it).
#pragma once

#include "config/ui/kwMenuController.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <memory>

// The rows are drawn, not widgets: a row of a box is a TkwMenuRow.
using TkwMenuBoxItem = TkwMenuRow;

// The font a menu font names (with the suite's substitutes for faces that
// are not installed).
QFont kwMenuQFont(const TkwMenuFont &font);
// The font a row shows `text` in: upright for Han, kana and hangul whatever
// the parameters say (those scripts have no italic; a slanted CJK face is a
// sheared picture of the upright one), as the skinned labels do.
QFont kwMenuQFont(const TkwMenuFont &font, const QString &text);

class TkwMenuBox : public QWidget {
    Q_OBJECT
public:
    explicit TkwMenuBox(TkwMenuItemsEx &C, QWidget *parent = nullptr);
    ~TkwMenuBox() override;

    // The collection is going away: the window ignores everything from now on.
    void Detach() { FCollection = nullptr; }
    TkwMenuItemsEx *Collection() const { return FCollection; }

    // True while any menu box is handling an event (a window may then only
    // be deleted later).
    static bool InEvent();

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void wheelEvent(QWheelEvent *) override;
    void keyPressEvent(QKeyEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    TkwMenuController *Controller() const;
    // The open level under a screen point; remembers it to tell it when the
    // pointer leaves.
    TkwMenuItemsEx *Track(QPoint global);
    bool IsOpenLevel(const TkwMenuItemsEx *c) const;

    TkwMenuItemsEx *FCollection;
    const TkwMenuItemsEx *FPointerLevel = nullptr; // compared only; looked up before use
    const TkwMenuItemsEx *FPressLevel = nullptr;
};

// The real window of a level (the menu's default window maker).
std::unique_ptr<IkwMenuLevelView> kwCreateMenuBoxView(TkwMenuItemsEx &C);
