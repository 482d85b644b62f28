#pragma once

// res: the system's texts, command identifiers, menus, toolbars, accelerators,
// dialog forms and images, as data. Includes nothing above res.

#include <QString>

// What `velm --help` and `velm --version` print in a terminal.
namespace res {

// The command line's forms and switches; Japanese, or English for other
// locales.
QString UsageText(bool japanese);

// "velm (Velm HTML Editor) <version>" and the copyright line.
QString VersionText();

} // namespace res
