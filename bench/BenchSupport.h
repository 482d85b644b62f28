#pragma once

// Inputs shared by the benchmark programs.

#include "doc/CEditorDoc.h"
#include "doc/CEditorView.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace bench {

// A Shift-JIS page of `size` bytes at most, as a hand-written one is:
// markup, Japanese text and half-width katakana on short CR LF lines.
inline QByteArray GeneratePage(qsizetype size) {
    const QByteArray line = "<TR><TD><FONT COLOR=\"#FF0000\">\x93\xfa\x96\x7b\x8c\xea\x82\xcc"
                            "\x83\x65\x83\x4c\x83\x58\x83\x67 \xc3\xbd\xc4 sample text</FONT></TD>"
                            "</TR>\r\n";
    QByteArray page = "<HTML>\r\n<BODY>\r\n<TABLE>\r\n";
    page.reserve(size + line.size());
    while (page.size() + line.size() < size)
        page += line;
    return page;
}

// Writes `bytes` to a new file at `path`; false when it could not.
inline bool WriteInput(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A document with its pane shown at the size the benchmarks measure with.
struct ShownDocument {
    CEditorDoc doc;
    CEditorView view;
    ShownDocument() {
        view.resize(800, 600);
        view.show();
        doc.SetView(&view);
    }
};

} // namespace bench
