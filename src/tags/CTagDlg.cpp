#include "tags/CTagDlg.h"

#include "tags/SingleLineText.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <limits>

CTagDlg::CTagDlg(QWidget* parent) : QDialog(parent) {
    // Narrow caption with a close box; no minimise or maximise.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
}

CTagDlg::~CTagDlg() = default;

int CTagDlg::exec() {
    // Nothing is cut short: a field takes text of any length.
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->setMaxLength(std::numeric_limits<int>::max());
    // A combo's list only offers texts: what is typed stays as typed, neither
    // completed to an entry nor changed to an entry's case.
    for (QComboBox* combo : findChildren<QComboBox*>())
        combo->setCompleter(nullptr);
    DoDataExchange(false);
    FocusFirstControl();
    return QDialog::exec();
}

void CTagDlg::accept() {
    DoDataExchange(true);
    QDialog::accept();
}

void CTagDlg::FocusFirstControl() {
    // The first enabled control in tab order; the form names where the
    // order starts.
    const QString firstName = QString::fromLatin1(property("firstTabStop").toByteArray());
    QWidget* const first =
        firstName.isEmpty() ? nextInFocusChain() : findChild<QWidget*>(firstName);
    if (!first)
        return;
    QWidget* w = first;
    do {
        if (w != this && isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(this) &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
        w = w->nextInFocusChain();
    } while (w && w != first);
}

void CTagDlg::ExchangeText(QLineEdit* edit, QString& value, bool save) {
    if (!save) {
        const tags::SingleLineText text = tags::ToSingleLine(value);
        m_shown.insert(edit, {text.shown, text.mark});
        edit->setText(text.shown);
        edit->setCursorPosition(0);
        return;
    }
    const Shown shown = m_shown.value(edit);
    value = tags::FromSingleLine(edit->text(), shown.mark);
}

void CTagDlg::ExchangeText(QComboBox* combo, QString& value, bool save) {
    if (!save)
        combo->setCurrentIndex(-1);
    ExchangeText(combo->lineEdit(), value, save);
}

void CTagDlg::ExchangeCheck(QAbstractButton* box, int& state, bool save) {
    if (save)
        state = box->isChecked() ? 1 : 0;
    else
        box->setChecked(state != 0);
}
