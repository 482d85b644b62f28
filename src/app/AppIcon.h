#pragma once

#include <QIcon>

// The application icon in every size that the program carries.
QIcon ApplicationIcon();
