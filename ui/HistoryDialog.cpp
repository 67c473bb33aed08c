#include "HistoryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "GbkText.h"
#include "SettingText.h"

namespace qk::ui {
namespace {

// A value as profiles write it ("45s" for the heartbeat's code 2), escapes and all.
QString Written(const std::string& name, const std::optional<std::string>& bytes) {
    if (!bytes) {
        return {};
    }
    const Parameter* parameter = FindParameterByName(name);
    return parameter != nullptr ? QString::fromStdString(FormatSetting(*parameter, *bytes))
                                : FromGbk(*bytes);
}

QString ResultText(const Change& change) {
    switch (change.result) {
        case ChangeResult::Ok:
            return HistoryDialog::tr("confirmed");
        case ChangeResult::Failed:
            return HistoryDialog::tr("failed");
        case ChangeResult::Sent:
            return HistoryDialog::tr("sent, not asked back");
        case ChangeResult::Interrupted:
            return HistoryDialog::tr("interrupted");
        case ChangeResult::Running:
            return HistoryDialog::tr("running");
    }
    return {};
}

}  // namespace

HistoryDialog::HistoryDialog(const std::string& deviceId, const std::vector<Change>& changes,
                             QWidget* owner)
    : QDialog(owner), m_table(new QTableWidget(this)) {
    setWindowTitle(tr("History of %1").arg(FromGbk(deviceId)));
    m_table->setObjectName(QStringLiteral("historyTable"));
    m_table->setColumnCount(7);
    m_table->setHorizontalHeaderLabels({tr("Started (UTC)"), tr("Changed by"), tr("Port"),
                                        tr("Result"), tr("Parameter"), tr("Before"), tr("After")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    for (const Change& change : changes) {
        const QString changedBy = QString::fromStdString(change.program + " " + change.command);
        for (const ChangedValue& value : change.values) {
            const int row = m_table->rowCount();
            m_table->insertRow(row);
            // Only what the device confirmed counts as its value after the change.
            const QString after = value.after
                                      ? Written(value.name, value.after)
                                      : tr("(sent %1)").arg(Written(value.name, value.wanted));
            const QStringList cells = {
                QString::fromStdString(change.started),
                changedBy,
                QString::fromLocal8Bit(change.port.c_str()),
                ResultText(change),
                QString::fromStdString(value.name),
                value.before ? Written(value.name, value.before) : tr("(not reported)"),
                after};
            for (int column = 0; column < cells.size(); ++column) {
                m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
            }
        }
    }
    m_table->resizeColumnsToContents();

    auto* layout = new QVBoxLayout(this);
    if (changes.empty()) {
        layout->addWidget(new QLabel(tr("The journal holds no change of this device."), this));
    }
    layout->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 360);
}

}  // namespace qk::ui
