#include "tags/ColorCode.h"

#include <QApplication>
#include <QColorDialog>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {
CDialogColorChooser g_dialogChooser;
CColorChooser* g_chooser = &g_dialogChooser;

// Qt's colour dialog stores its custom colours, when it closes, in a
// settings file that every Qt program shares. This program keeps its own
// custom colours for the run only, so what other programs stored there is
// put back after each use.
class SharedCustomColorsKeeper {
public:
    SharedCustomColorsKeeper() {
        QSettings settings(QSettings::UserScope, u"QtProject"_s);
        for (const QString& key : Keys(settings))
            m_stored.insert(key, settings.value(key));
    }
    ~SharedCustomColorsKeeper() {
        QSettings settings(QSettings::UserScope, u"QtProject"_s);
        for (const QString& key : Keys(settings))
            if (!m_stored.contains(key))
                settings.remove(key);
        for (auto it = m_stored.cbegin(); it != m_stored.cend(); ++it)
            if (settings.value(it.key()) != it.value())
                settings.setValue(it.key(), it.value());
    }

private:
    static QStringList Keys(const QSettings& settings) {
        QStringList keys = settings.allKeys();
        keys.removeIf([](const QString& key) { return !key.startsWith(u"Qt/customColors"); });
        return keys;
    }
    QVariantMap m_stored;
};

} // namespace

CColorChooser::~CColorChooser() = default;

CColorChooser& CColorChooser::Get() { return *g_chooser; }

CColorChooser* CColorChooser::Set(CColorChooser* chooser) {
    CColorChooser* previous = g_chooser;
    g_chooser = chooser ? chooser : &g_dialogChooser;
    return previous;
}

std::optional<QColor> CDialogColorChooser::Choose(QWidget* owner, const QColor& initial) {
    // Qt's own dialog, not the desktop's: it speaks Japanese with Qt's
    // translations and its custom colours are one table for the process.
    const SharedCustomColorsKeeper keeper; // outlives the dialog
    QColorDialog dialog(initial, owner);
    dialog.setObjectName(u"colorChooser"_s);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setAccessibleName(dialog.windowTitle());
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

QString FormatColorCode(const QColor& color) {
    const QColor rgb = color.toRgb();
    return u"#%1%2%3"_s.arg(rgb.red(), 2, 16, QChar(u'0'))
        .arg(rgb.green(), 2, 16, QChar(u'0'))
        .arg(rgb.blue(), 2, 16, QChar(u'0'))
        .toUpper();
}

QString PickColorCode() {
    const std::optional<QColor> color =
        CColorChooser::Get().Choose(QApplication::activeWindow(), QColor(0, 0, 0));
    if (!color || !color->isValid())
        return {};
    return FormatColorCode(*color);
}

void ResetCustomColors() {
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, QColor(255, 255, 255));
}
