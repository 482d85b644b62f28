#include "check/CCheckDock.h"

#include "check/CPageChecker.h"
#include "res/StringTable.h"

#include "ui_CheckList.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTextDocument>

using namespace Qt::StringLiterals;

// The problems of the last check as rows of line, column and message.
class CProblemModel : public QAbstractTableModel {
public:
    explicit CProblemModel(const CPageChecker* checker, QObject* parent)
        : QAbstractTableModel(parent), m_checker(checker) {}

    void Reset() {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(m_checker->Problems().size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= int(m_checker->Problems().size()))
            return {};
        const check::Problem& p = m_checker->Problems()[size_t(index.row())];
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
            case 0: return QVariant::fromValue(p.line + 1);
            case 1: return QVariant::fromValue(p.column + 1);
            default: return p.message;
            }
        }
        if (role == Qt::ToolTipRole && index.column() == 2)
            return Qt::convertFromPlainText(p.message, Qt::WhiteSpaceNoWrap); // "<b>" is no markup here
        if (role == Qt::TextAlignmentRole && index.column() < 2)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return res::StringField(res::IDS_CHECK_COLUMNS, section);
        return {};
    }

private:
    const CPageChecker* m_checker;
};

CCheckDock::CCheckDock(CPageChecker* checker, QWidget* parent)
    : QDockWidget(res::LoadString(res::IDS_CHECK_LIST_TITLE), parent), m_checker(checker),
      m_ui(std::make_unique<Ui::CheckList>()) {
    setObjectName(u"m_checkDock"_s);
    setAccessibleName(windowTitle());
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);
    auto* content = new QWidget(this);
    m_ui->setupUi(content);
    setWidget(content);

    m_model = new CProblemModel(checker, this);
    m_ui->m_list->setModel(m_model);
    m_ui->m_list->header()->setStretchLastSection(true);
    m_ui->m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_ui->m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    const auto choose = [this](const QModelIndex& index) {
        if (index.isValid())
            m_checker->GoTo(index.row());
    };
    connect(m_ui->m_list, &QTreeView::activated, this, choose);
    connect(m_ui->m_list, &QTreeView::clicked, this, choose);
    connect(m_ui->m_enabledBox, &QCheckBox::toggled, this, &CCheckDock::enabledToggled);
    connect(checker, &CPageChecker::stateChanged, this, &CCheckDock::Refresh);
    Refresh();
}

CCheckDock::~CCheckDock() = default;

QCheckBox* CCheckDock::EnabledBox() const { return m_ui->m_enabledBox; }
QTreeView* CCheckDock::List() const { return m_ui->m_list; }

void CCheckDock::Refresh() {
    m_model->Reset();
    const QSignalBlocker quiet(m_ui->m_enabledBox); // the box follows, it does not ask
    m_ui->m_enabledBox->setChecked(m_checker->IsEnabled());
}
