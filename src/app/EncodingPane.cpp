#include "app/EncodingPane.h"

#include "io/TextCodec.h"
#include "res/StringTable.h"

#include <QMenu>

CEncodingPane::CEncodingPane(QWidget* parent) : QToolButton(parent) {
    setObjectName(QStringLiteral("m_encodingPane"));
    setAccessibleName(res::LoadString(res::IDS_ENCODING_PANE));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(this);
    m_reopen = menu->addMenu(res::LoadString(res::IDS_REOPEN_IN_ENCODING));
    m_convert = menu->addMenu(res::LoadString(res::IDS_CONVERT_TO_ENCODING));
    for (int i = 0; i < io::kEncodingCount; ++i) {
        const auto encoding = io::Encoding(i);
        const QString name = codec::EncodingName(encoding);
        connect(m_reopen->addAction(name), &QAction::triggered, this,
                [this, encoding] { emit reopenChosen(encoding); });
        connect(m_convert->addAction(name), &QAction::triggered, this,
                [this, encoding] { emit convertChosen(encoding); });
    }
    setMenu(menu);
    setText(codec::EncodingName(io::Encoding::ShiftJis));
}

void CEncodingPane::SetReopenEnabled(bool enabled) { m_reopen->setEnabled(enabled); }
