#pragma once

// app: the application, the main window and its bars, splash and about box.
// May include every other folder.

#include <QIcon>

// The application icon in every size that the program carries.
QIcon ApplicationIcon();
