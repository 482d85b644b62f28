#pragma once

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

} // namespace platform
