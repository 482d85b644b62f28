#include "res/Toolbars.h"

#include "res/CommandIds.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace res {
namespace {

// clang-format off
const int kMainButtons[] = {
    ID_NEW_HTML_DOCUMENT,
    ID_SEPARATOR,
    ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE,
    ID_SEPARATOR,
    ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,
    ID_SEPARATOR,
    ID_FILE_PRINT,
    ID_SEPARATOR,
    ID_BOLD, ID_ITALIC, ID_UNDERLINE, ID_CENTER,
    ID_SEPARATOR,
    ID_LINK_TAG, ID_MAIL_TAG, ID_FONT_TAG, ID_IMAGE_TAG, ID_HR_TAG,
    ID_SEPARATOR,
    ID_TABLE_TAG, ID_TABLE_ROW, ID_TABLE_DATA, ID_TABLE_HEADER,
    ID_SEPARATOR,
    ID_TAG_DICTIONARY, ID_APP_ABOUT,
};

const int kPaletteButtons[] = {
    ID_COLOR_BLACK, ID_COLOR_WHITE, ID_COLOR_GRAY, ID_COLOR_SILVER,
    ID_COLOR_MAROON, ID_COLOR_RED, ID_COLOR_GREEN, ID_COLOR_LIME,
    ID_COLOR_NAVY, ID_COLOR_BLUE, ID_COLOR_OLIVE, ID_COLOR_YELLOW,
    ID_COLOR_TEAL, ID_COLOR_AQUA, ID_COLOR_PURPLE, ID_COLOR_FUCHSIA,
    ID_COLOR_CODE,
};
// clang-format on

const ToolBarResource kMainToolBar{128, ":/images/toolbar_main.png", QSize(16, 16), kMainButtons,
                                   true};
const ToolBarResource kPaletteToolBar{162, ":/images/palette.png", QSize(5, 16), kPaletteButtons,
                                      false};

QString HighDensityPath(const QString& path) {
    const QFileInfo info(path);
    const QString dir = info.path();
    return (dir == u"."_s ? QString() : dir + u'/') + info.completeBaseName() + u"@2x."_s +
           info.suffix();
}

QPixmap LoadStrip(const QString& path, bool clearGround) {
    QImage image(path);
    if (image.isNull() || !clearGround)
        return QPixmap::fromImage(image);
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == kFaceGrey)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return QPixmap::fromImage(image);
}

} // namespace

const ToolBarResource& MainToolBar() {
    return kMainToolBar;
}
const ToolBarResource& PaletteToolBar() {
    return kPaletteToolBar;
}

int ButtonCount(const ToolBarResource& resource) {
    return int(std::count_if(resource.buttons.begin(), resource.buttons.end(),
                             [](int id) { return id != ID_SEPARATOR; }));
}

QList<QIcon> LoadImageStrip(const QString& path, QSize size, int count, bool clearGround) {
    const QPixmap strip = LoadStrip(path, clearGround);
    if (strip.isNull() || count <= 0 || size.isEmpty() ||
        strip.size() != QSize(size.width() * count, size.height()))
        return {};
    // The high-density strip is optional; one of the wrong size is ignored.
    QPixmap dense = LoadStrip(HighDensityPath(path), clearGround);
    if (dense.size() != strip.size() * 2)
        dense = QPixmap();

    QList<QIcon> icons;
    icons.reserve(count);
    for (int i = 0; i < count; ++i) {
        QIcon icon;
        icon.addPixmap(strip.copy(i * size.width(), 0, size.width(), size.height()));
        if (!dense.isNull()) {
            QPixmap picture =
                dense.copy(i * size.width() * 2, 0, size.width() * 2, size.height() * 2);
            picture.setDevicePixelRatio(2);
            icon.addPixmap(picture);
        }
        icons << icon;
    }
    return icons;
}

QList<QIcon> LoadToolBarImages(const ToolBarResource& resource) {
    return LoadImageStrip(QString::fromLatin1(resource.imageStrip), resource.imageSize,
                          ButtonCount(resource), resource.groundIsFace);
}

} // namespace res
