#pragma once

// check: the HTML check of the page while it is edited. May include doc, io
// and res.

#include <QDockWidget>

#include <memory>

class CPageChecker;
class CProblemModel;
class QCheckBox;
class QTreeView;

namespace Ui {
class CheckList;
}

// The list of the check's problems (line, column, message) in a dock window
// that can be closed: choosing one moves the caret to it. Its box switches
// checking on and off.
class CCheckDock : public QDockWidget {
    Q_OBJECT

public:
    CCheckDock(CPageChecker* checker, QWidget* parent = nullptr);
    ~CCheckDock() override;

    QCheckBox* EnabledBox() const;
    QTreeView* List() const;

signals:
    // The user ticked or cleared the box.
    void enabledToggled(bool enabled);

private:
    void Refresh();

    CPageChecker* m_checker;
    std::unique_ptr<Ui::CheckList> m_ui;
    CProblemModel* m_model;
};
