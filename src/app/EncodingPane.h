#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include "io/FileState.h"

#include <QToolButton>

class QMenu;

// The status-bar pane that shows the document's encoding ("文字コード").
// A click opens a menu of two submenus listing the encodings: read the file
// again in one, or write the next save in one.
class CEncodingPane : public QToolButton {
    Q_OBJECT

public:
    explicit CEncodingPane(QWidget* parent = nullptr);

    // Whether the file can be read again (it has a path).
    void SetReopenEnabled(bool enabled);
    QMenu* ReopenMenu() const { return m_reopen; }
    QMenu* ConvertMenu() const { return m_convert; }

signals:
    void reopenChosen(io::Encoding encoding);
    void convertChosen(io::Encoding encoding);

private:
    QMenu* m_reopen = nullptr;
    QMenu* m_convert = nullptr;
};
