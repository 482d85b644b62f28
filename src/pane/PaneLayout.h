#pragma once

// pane: the pane's text model, no widget. May include io and res.

#include <QPlainTextDocumentLayout>

// The pane's document layout. It says when a change is about to be laid
// out, after the document told of it, so that what goes on a paragraph's
// layout then (its colours) is laid out with the change, once.
class CPaneLayout : public QPlainTextDocumentLayout {
    Q_OBJECT

public:
    explicit CPaneLayout(QTextDocument* document) : QPlainTextDocumentLayout(document) {}

signals:
    void aboutToLayOut(int from, int removed, int added);

protected:
    void documentChanged(int from, int removed, int added) override;

private:
    int m_paragraphs = -1; // as the last change left them
};
