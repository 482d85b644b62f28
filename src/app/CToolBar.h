#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QToolBar>

#include <functional>

class QToolButton;
namespace res {
struct ToolBarResource;
}

// A dockable toolbar built from a toolbar resource. Its buttons flow into
// further rows (columns when it stands upright) where its length does not
// hold them all; floating, it is resized at its right and bottom edges,
// takes the height its rows need and never takes the keyboard from the main
// window.
class CToolBar : public QToolBar {
    Q_OBJECT

public:
    explicit CToolBar(const QString& title, QWidget* parent = nullptr);
    ~CToolBar() override;

    // One button per command of `resource`, showing its picture and standing
    // for the action that `actionFor` gives; false when the pictures cannot
    // be loaded.
    bool LoadToolBar(const res::ToolBarResource& resource,
                     const std::function<QAction*(int)>& actionFor);

    // Flat buttons show a frame only under the pointer; the others always
    // stand raised.
    void SetFlat(bool flat);
    bool IsFlat() const { return m_flat; }
    // Without a gripper the bar is still dragged by a narrow strip at its
    // leading edge.
    void SetGripper(bool gripper);
    bool HasGripper() const { return m_gripper; }

    // The commands from the left, 0 for each separator.
    QList<int> Layout() const;
    QToolButton* Button(int id) const;
    QList<QToolButton*> Buttons() const;

    // The size the floating bar takes when resized to about this width or
    // height: just enough for the rows its buttons then need.
    QSize SizeForWidth(int width) const;
    QSize SizeForHeight(int height) const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ButtonStrip;
    class Separator;

    Qt::Edges ResizeEdgesAt(const QPoint& pos) const;
    QSize Chrome() const;
    void OnTopLevelChanged(bool floating);
    void FitDocked();

    ButtonStrip* m_strip;
    bool m_flat = true;
    bool m_gripper = true;
    Qt::Edges m_resizing;
    QPoint m_pressGlobal;
    QSize m_pressSize;
};
