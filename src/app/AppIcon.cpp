#include "app/AppIcon.h"

using namespace Qt::StringLiterals;

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(u":/images/app_icon_%1.png"_s.arg(size), QSize(size, size));
    return icon;
}
