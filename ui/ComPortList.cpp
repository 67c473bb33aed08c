#include "ComPortList.h"

#include <QAbstractItemView>
#include <QFile>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "CComboBox.h"
#include "CoreText.h"

namespace qk::ui {
namespace {

// Draws an entry of the open list as its row text, so the closed box, which shows the
// entry's own text, keeps "COMn".
class RowTextDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (const QString row = index.data(ComPortList::kRowTextRole).toString(); !row.isEmpty()) {
            option->text = row;
        }
    }
};

}  // namespace

ComPortList::ComPortList(CComboBox& list) : m_list(list) {}

void ComPortList::Fill(const PortDirectory& ports) {
    for (int number = PortDirectory::kFirstPort; number <= PortDirectory::kLastPort; ++number) {
        m_list.AddString(QStringLiteral("COM%1").arg(number));
    }
    m_list.view()->setItemDelegate(new RowTextDelegate(m_list.view()));
    Describe(ports);
}

void ComPortList::Describe(const PortDirectory& ports) {
    for (int index = 0; index < m_list.count(); ++index) {
        const PortDirectory::Entry* entry = ports.Find(index + PortDirectory::kFirstPort);
        m_list.setItemData(index,
                           m_list.itemText(index) + QStringLiteral("  ") + Description(entry),
                           kRowTextRole);
        m_list.setItemData(
            index,
            entry != nullptr ? QFile::decodeName(entry->path.c_str()) : tr("no serial device"),
            Qt::ToolTipRole);
    }
    WidenPopup();
}

QString ComPortList::Description(const PortDirectory::Entry* entry) {
    if (entry == nullptr) {
        return tr("no serial device");
    }
    const std::string described = entry->identity.Describe();
    return described.empty() ? QFile::decodeName(entry->path.c_str())
                             : CoreText::PortDescription(QString::fromStdString(described));
}

void ComPortList::WidenPopup() {
    // The open list is as wide as the box unless told otherwise, which would cut the
    // descriptions; its frame and scroll bar come on top of the widest row.
    QAbstractItemView* view = m_list.view();
    const int frame = 2 * view->frameWidth();
    const int scrollBar = view->verticalScrollBar()->sizeHint().width();
    view->setMinimumWidth(view->sizeHintForColumn(0) + frame + scrollBar);
}

}  // namespace qk::ui
