#pragma once

// io: code page conversion and reading and writing files.
// May include res.

#include "io/FileState.h"

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

class QSettings;

// The encodings the user chose to read files in ("この文字コードで開き直す"),
// the latest first, kept for the last kKept files.
class CEncodingChoices {
public:
    static constexpr int kKept = 100;

    std::optional<io::Encoding> Find(const QString& path) const;
    void Remember(const QString& path, io::Encoding encoding);

    void Read(QSettings& settings);
    void Write(QSettings& settings) const;

private:
    QList<QPair<QString, io::Encoding>> m_choices;
};
