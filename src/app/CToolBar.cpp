#include "app/CToolBar.h"

#include "app/Platform.h"
#include "res/Toolbars.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStatusTipEvent>
#include <QStyleOption>
#include <QToolButton>
#include <QWindow>

#include <climits>

using namespace Qt::StringLiterals;

namespace {

// Width of the zone at the right and bottom edges of a floating bar in
// which a drag resizes it.
constexpr int kResizeZone = 4;
// Width of the strip that drags a bar without a gripper.
constexpr int kHiddenHandle = 6;

// The application's style, with the toolbar handle drawn as nothing and
// narrowed to a strip.
class HandlelessStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_ToolBarHandleExtent)
            return kHiddenHandle;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorToolBarHandle)
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

int Along(Qt::Orientation o, const QSize& s) {
    return o == Qt::Horizontal ? s.width() : s.height();
}
int Across(Qt::Orientation o, const QSize& s) {
    return o == Qt::Horizontal ? s.height() : s.width();
}
QSize Oriented(Qt::Orientation o, int along, int across) {
    return o == Qt::Horizontal ? QSize(along, across) : QSize(across, along);
}

} // namespace

// A separator line between groups of buttons.
class CToolBar::Separator : public QWidget {
public:
    explicit Separator(QWidget* parent) : QWidget(parent) {}
    Qt::Orientation orientation = Qt::Horizontal;

    QSize sizeHint() const override {
        QStyleOption opt;
        opt.initFrom(this);
        const int extent = style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, &opt, this);
        return Oriented(orientation, extent, 0);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QStyleOption opt;
        opt.initFrom(this);
        if (orientation == Qt::Horizontal)
            opt.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &opt, &p, parentWidget());
    }
};

// The buttons and separators of a bar, laid out in lines along the bar's
// orientation; a line that runs out of room continues in the next one.
class CToolBar::ButtonStrip : public QWidget {
public:
    explicit ButtonStrip(QWidget* parent) : QWidget(parent) {
        setObjectName(u"buttons"_s);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }

    struct Item {
        QWidget* widget;
        int id; // 0: separator
    };
    QList<Item> items;
    Qt::Orientation orientation = Qt::Horizontal;
    // Docked, the length its dock line offers (0: no limit).
    int dockedAlong = 0;

    void SetOrientation(Qt::Orientation o) {
        orientation = o;
        for (const Item& item : items)
            if (auto* separator = dynamic_cast<Separator*>(item.widget))
                separator->orientation = o;
        updateGeometry();
        Arrange(Along(o, size()), true);
    }

    // The thickness of every line: that of the thickest button.
    int LineThickness() const {
        int thickness = 0;
        for (const Item& item : items)
            thickness = std::max(thickness, Across(orientation, item.widget->sizeHint()));
        return thickness;
    }

    // Places the items in lines at most `extent` long (at least one button in
    // each) and returns the size they take; with `apply` the widgets move.
    // A separator shows only between two buttons of the same line.
    QSize Arrange(int extent, bool apply) const {
        const int thickness = LineThickness();
        int pos = 0, line = 0, longest = 0;
        bool lineEmpty = true;
        const Item* separator = nullptr; // waits for the button after it
        const auto place = [&](const Item& item, int length) {
            if (apply) {
                const QPoint at =
                    orientation == Qt::Horizontal ? QPoint(pos, line) : QPoint(line, pos);
                item.widget->setGeometry(QRect(at, Oriented(orientation, length, thickness)));
                item.widget->show();
            }
            pos += length;
        };
        const auto drop = [&](const Item* item) {
            if (item && apply)
                item->widget->hide();
        };
        for (const Item& item : items) {
            const int length = Along(orientation, item.widget->sizeHint());
            if (item.id == 0) {
                drop(separator);
                separator = lineEmpty ? nullptr : &item;
                if (lineEmpty)
                    drop(&item);
                continue;
            }
            const int separatorLength =
                separator ? Along(orientation, separator->widget->sizeHint()) : 0;
            if (!lineEmpty && pos + separatorLength + length > extent) {
                drop(separator);
                separator = nullptr;
                line += thickness;
                pos = 0;
                lineEmpty = true;
            }
            if (separator)
                place(*separator, separatorLength);
            separator = nullptr;
            place(item, length);
            longest = std::max(longest, pos);
            lineEmpty = false;
        }
        drop(separator);
        if (!lineEmpty)
            line += thickness;
        return Oriented(orientation, longest, line);
    }

    // The arrangement in lines at most `along` long.
    QSize FitAlong(int along) const {
        return Arrange(std::max(along, Along(orientation, minimumSizeHint())), false);
    }

    // The shortest arrangement whose lines together are at most `across`
    // thick; one line when none is.
    QSize FitAcross(int across) const {
        const int full = Along(orientation, sizeHint());
        for (int along = Along(orientation, minimumSizeHint()); along < full; ++along) {
            const QSize s = Arrange(along, false);
            if (Across(orientation, s) <= across)
                return s;
        }
        return sizeHint();
    }

    QSize sizeHint() const override {
        return dockedAlong > 0 ? FitAlong(dockedAlong) : Arrange(INT_MAX, false);
    }

    QSize minimumSizeHint() const override {
        int longest = 0;
        for (const Item& item : items)
            longest = std::max(longest, Along(orientation, item.widget->sizeHint()));
        return Oriented(orientation, longest, LineThickness());
    }

protected:
    void resizeEvent(QResizeEvent*) override { Arrange(Along(orientation, size()), true); }
};

CToolBar::CToolBar(const QString& title, QWidget* parent)
    : QToolBar(title, parent), m_strip(new ButtonStrip(this)) {
    setAccessibleName(title);
    setAttribute(Qt::WA_ShowWithoutActivating); // floating, see event()
    addWidget(m_strip);
    connect(this, &QToolBar::orientationChanged, this, [this](Qt::Orientation o) {
        m_strip->SetOrientation(o);
        FitDocked();
    });
    connect(this, &QToolBar::topLevelChanged, this, &CToolBar::OnTopLevelChanged);
    if (parent)
        parent->installEventFilter(this);
}

CToolBar::~CToolBar() = default;

bool CToolBar::LoadToolBar(const res::ToolBarResource& resource,
                           const std::function<QAction*(int)>& actionFor) {
    const QList<QIcon> icons = res::LoadToolBarImages(resource);
    if (icons.isEmpty())
        return false;
    setIconSize(resource.imageSize);
    for (const ButtonStrip::Item& item : m_strip->items)
        delete item.widget;
    m_strip->items.clear();

    qsizetype image = 0;
    for (const int id : resource.buttons) {
        if (id == res::ID_SEPARATOR) {
            auto* separator = new Separator(m_strip);
            separator->orientation = orientation();
            m_strip->items.append({separator, id});
            continue;
        }
        QAction* action = actionFor(id);
        if (!action)
            return false;
        action->setIcon(icons[image++]);
        action->setIconVisibleInMenu(false); // menus show no pictures
        auto* button = new QToolButton(m_strip);
        button->setObjectName(u"button%1"_s.arg(id));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(m_flat);
        button->setIconSize(resource.imageSize);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setDefaultAction(action);
        button->setAccessibleName(action->toolTip());
        m_strip->items.append({button, id});
    }
    m_strip->updateGeometry();
    m_strip->adjustSize();
    return true;
}

void CToolBar::SetFlat(bool flat) {
    m_flat = flat;
    for (QToolButton* button : Buttons())
        button->setAutoRaise(flat);
}

void CToolBar::SetGripper(bool gripper) {
    m_gripper = gripper;
    setStyle(gripper ? nullptr : platform::SharedProxyStyle<HandlelessStyle>());
}

QList<int> CToolBar::Layout() const {
    QList<int> ids;
    for (const ButtonStrip::Item& item : m_strip->items)
        ids << item.id;
    return ids;
}

QToolButton* CToolBar::Button(int id) const {
    for (const ButtonStrip::Item& item : m_strip->items)
        if (item.id == id && id != res::ID_SEPARATOR)
            return static_cast<QToolButton*>(item.widget);
    return nullptr;
}

QList<QToolButton*> CToolBar::Buttons() const {
    QList<QToolButton*> buttons;
    for (const ButtonStrip::Item& item : m_strip->items)
        if (item.id != res::ID_SEPARATOR)
            buttons << static_cast<QToolButton*>(item.widget);
    return buttons;
}

// What the bar adds around its buttons: margins, handle, resize zone.
QSize CToolBar::Chrome() const {
    return sizeHint() - m_strip->sizeHint();
}

QSize CToolBar::SizeForWidth(int width) const {
    const QSize chrome = Chrome();
    const int inner = width - chrome.width();
    return (orientation() == Qt::Horizontal ? m_strip->FitAlong(inner)
                                            : m_strip->FitAcross(inner)) +
           chrome;
}

QSize CToolBar::SizeForHeight(int height) const {
    const QSize chrome = Chrome();
    const int inner = height - chrome.height();
    return (orientation() == Qt::Vertical ? m_strip->FitAlong(inner) : m_strip->FitAcross(inner)) +
           chrome;
}

void CToolBar::OnTopLevelChanged(bool floating) {
    // A floating bar keeps a free margin at its right and bottom edges to be
    // resized by.
    setContentsMargins(0, 0, floating ? kResizeZone : 0, floating ? kResizeZone : 0);
    FitDocked();
    if (floating)
        resize(sizeHint());
}

void CToolBar::FitDocked() {
    // Docked at the top or bottom, the bar takes the rows its buttons need
    // in what the main window's width leaves it beside the other bars of its
    // row, so that none is cut off.
    int along = 0;
    auto* window = qobject_cast<QMainWindow*>(parentWidget());
    if (!isFloating() && orientation() == Qt::Horizontal && window) {
        int others = 0;
        const Qt::ToolBarArea area = window->toolBarArea(this);
        for (QToolBar* bar : window->findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
            if (bar != this && bar->isVisible() && !bar->isFloating() &&
                window->toolBarArea(bar) == area && bar->y() == y())
                others += bar->sizeHint().width();
        }
        along = std::max(1, window->contentsRect().width() - others - Chrome().width());
    }
    if (along == m_strip->dockedAlong)
        return;
    m_strip->dockedAlong = along;
    m_strip->updateGeometry();
    updateGeometry();
}

bool CToolBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        FitDocked();
    return QToolBar::eventFilter(watched, event);
}

Qt::Edges CToolBar::ResizeEdgesAt(const QPoint& pos) const {
    Qt::Edges edges;
    if (!isFloating())
        return edges;
    if (pos.x() >= width() - kResizeZone)
        edges |= Qt::RightEdge;
    if (pos.y() >= height() - kResizeZone)
        edges |= Qt::BottomEdge;
    return edges;
}

bool CToolBar::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentAboutToChange:
        if (parentWidget())
            parentWidget()->removeEventFilter(this);
        break;
    case QEvent::ParentChange:
        if (parentWidget())
            parentWidget()->installEventFilter(this);
        FitDocked();
        break;
    case QEvent::Move:
        // Docked into another row: other bars may share it.
        if (!isFloating())
            FitDocked();
        break;
    case QEvent::Show:
        // Floating, the bar still belongs to the main window: a click on it
        // leaves that window active and the keyboard in its pane. The
        // window is made anew each time the bar floats.
        if (isWindow())
            if (QWindow* window = windowHandle())
                window->setFlag(Qt::WindowDoesNotAcceptFocus);
        break;
    case QEvent::StatusTip:
        // A floating bar is a window of its own: the prompt still goes to
        // the main window's status bar.
        if (isWindow() && parentWidget())
            return QCoreApplication::sendEvent(parentWidget(), event);
        break;
    case QEvent::HoverMove: {
        const bool handled = QToolBar::event(event);
        const Qt::Edges edges =
            m_resizing ? m_resizing
                       : ResizeEdgesAt(static_cast<QHoverEvent*>(event)->position().toPoint());
        if (edges == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges & Qt::RightEdge)
            setCursor(Qt::SizeHorCursor);
        else if (edges & Qt::BottomEdge)
            setCursor(Qt::SizeVerCursor);
        return handled;
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        const Qt::Edges edges = ResizeEdgesAt(e->position().toPoint());
        if (e->button() == Qt::LeftButton && edges) {
            m_resizing = edges;
            m_pressGlobal = e->globalPosition().toPoint();
            m_pressSize = size();
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
        if (m_resizing) {
            const QPoint delta =
                static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - m_pressGlobal;
            resize(m_resizing & Qt::RightEdge ? SizeForWidth(m_pressSize.width() + delta.x())
                                              : SizeForHeight(m_pressSize.height() + delta.y()));
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_resizing) {
            m_resizing = {};
            return true;
        }
        break;
    default:
        break;
    }
    return QToolBar::event(event);
}
