#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QString>
#include <QStringList>

#include <functional>

class QSettings;

// The most recently used files, most recent first.
class CRecentFileList {
public:
    explicit CRecentFileList(int size = 4) : m_size(size) {}

    int GetSize() const { return m_size; }
    const QStringList& Files() const { return m_files; }
    bool IsEmpty() const { return m_files.isEmpty(); }

    // Puts `path` first; an entry for the same file moves up instead of
    // standing twice.
    void Add(const QString& path);
    void Remove(int index);

    // Section "Recent File List", values "File1".."File4".
    void ReadList(QSettings& settings);
    void WriteList(QSettings& settings) const;

    // The menu text of entry `index`: "&1 " and the abbreviated path (as
    // people read it, io::DisplayName), shortened further by `shorten` when
    // given, with '&' in the path doubled so that it shows.
    QString MenuLabel(int index,
                      const std::function<QString(const QString&)>& shorten = {}) const;
    // The whole path of entry `index` as people read it.
    QString ShownPath(int index) const;

private:
    int m_size;
    QStringList m_files;
};

// `path` shortened to at most `maxLength` characters by putting "..." in
// place of folders after the root; the file name always stays whole.
QString AbbreviatePath(const QString& path, int maxLength = 30);

// Whether two paths name the same file: the same file on the disk where
// both exist, otherwise the same absolute path.
bool IsSameFile(const QString& a, const QString& b);
