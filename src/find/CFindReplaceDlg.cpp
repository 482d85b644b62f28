#include "find/CFindReplaceDlg.h"

#include "ui_FindDlg.h"
#include "ui_ReplaceDlg.h"

CFindReplaceDlg::CFindReplaceDlg(bool findOnly, QWidget* parent) : QDialog(parent) {
    if (findOnly) {
        m_findUi = std::make_unique<Ui::FindDlg>();
        m_findUi->setupUi(this);
        m_findWhat = m_findUi->id1152;
        m_wholeWord = m_findUi->id1040;
        m_matchCase = m_findUi->id1041;
        m_up = m_findUi->id1056;
        m_down = m_findUi->id1057;
        m_findNext = m_findUi->id1;
        connect(m_findUi->id2, &QPushButton::clicked, this, &QDialog::reject);
    } else {
        m_replaceUi = std::make_unique<Ui::ReplaceDlg>();
        m_replaceUi->setupUi(this);
        m_findWhat = m_replaceUi->id1152;
        m_replaceWith = m_replaceUi->id1153;
        m_wholeWord = m_replaceUi->id1040;
        m_matchCase = m_replaceUi->id1041;
        m_findNext = m_replaceUi->id1;
        m_replace = m_replaceUi->id1024;
        m_replaceAll = m_replaceUi->id1025;
        connect(m_replaceUi->id2, &QPushButton::clicked, this, &QDialog::reject);
        connect(m_replace, &QPushButton::clicked, this, &CFindReplaceDlg::replaceClicked);
        connect(m_replaceAll, &QPushButton::clicked, this, &CFindReplaceDlg::replaceAllClicked);
    }
    // A narrow caption with a close box, like the platform's own.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(m_findNext, &QPushButton::clicked, this, &CFindReplaceDlg::findNextClicked);
    connect(m_findWhat, &QLineEdit::textChanged, this, &CFindReplaceDlg::UpdateButtons);
    UpdateButtons();
}

CFindReplaceDlg::~CFindReplaceDlg() = default;

find::FindOptions CFindReplaceDlg::Options() const {
    find::FindOptions options;
    options.what = m_findWhat->text();
    options.matchCase = m_matchCase->isChecked();
    options.wholeWord = m_wholeWord->isChecked();
    options.down = m_down ? m_down->isChecked() : true;
    return options;
}

QString CFindReplaceDlg::ReplaceWith() const {
    return m_replaceWith ? m_replaceWith->text() : QString();
}

void CFindReplaceDlg::SetOptions(const find::FindOptions& options, const QString& replaceWith) {
    m_findWhat->setText(options.what);
    m_findWhat->selectAll();
    m_matchCase->setChecked(options.matchCase);
    m_wholeWord->setChecked(options.wholeWord);
    if (m_up && m_down)
        (options.down ? m_down : m_up)->setChecked(true);
    if (m_replaceWith)
        m_replaceWith->setText(replaceWith);
    m_findWhat->setFocus();
    UpdateButtons();
}

void CFindReplaceDlg::UpdateButtons() {
    // Nothing to search for: the search buttons wait for a string.
    const bool hasText = !m_findWhat->text().isEmpty();
    m_findNext->setEnabled(hasText);
    if (m_replace)
        m_replace->setEnabled(hasText);
    if (m_replaceAll)
        m_replaceAll->setEnabled(hasText);
}
