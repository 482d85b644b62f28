#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

#include <memory>

class QSettings;

namespace platform {

// One-time set-up of the process: resources, Japanese translations of Qt's
// own dialogs, font substitutions, application and settings names.
void Initialize();

// Where "FixedSys" and "ＭＳ Ｐゴシック" fall back to on this desktop.
void InstallFontSubstitutions();

// The per-user settings store of the program.
std::unique_ptr<QSettings> OpenSettings();

// One instance for the run of `Style`, a proxy over a fresh copy of the
// application's style, owned by the application.
template <class Style>
QStyle* SharedProxyStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new Style(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

} // namespace platform
