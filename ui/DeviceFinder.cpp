#include "DeviceFinder.h"

#include <QLabel>
#include <QStringList>
#include <algorithm>

#include "CoreText.h"
#include "GbkText.h"

namespace qk::ui {
namespace {

QString ComName(int number) {
    return QStringLiteral("COM%1").arg(number);
}

}  // namespace

DeviceFinder::DeviceFinder(QWidget& owner, MessagePresenter& messages, Select select)
    : m_owner(owner), m_messages(messages), m_select(std::move(select)) {}

DeviceFinder::~DeviceFinder() {
    // The scan threads post to this object and use the search: both must outlive them.
    m_search.reset();
}

void DeviceFinder::Start(const PortDirectory& ports, std::uint32_t firstRate,
                         const std::string& openPort) {
    if (m_search) {
        if (m_progress) {
            m_progress->raise();
            m_progress->activateWindow();
        }
        return;
    }
    if (!openPort.empty()) {
        Tell(tr("Close the port first: Find Device tries every port, %1 included.")
                 .arg(QString::fromStdString(openPort)));
        return;
    }
    if (ports.Entries().empty()) {
        Tell(tr("There is no serial port to search."),
             tr("Plug in an adapter, or name a port with --com N=PATH."));
        return;
    }
    const unsigned search = ++m_searchCount;
    m_findings.clear();
    m_states.clear();
    m_ratesTried.clear();
    for (const auto& entry : ports.Entries()) {
        m_states[entry.number] = tr("waiting");
        m_ratesTried[entry.number] = 0;
    }
    DeviceSearch::Observer observer;
    observer.trying = [this, search](int number, std::uint32_t rate) {
        QMetaObject::invokeMethod(
            this, [=, this] { OnTrying(search, number, rate); }, Qt::QueuedConnection);
    };
    observer.finished = [this, search](PortFinding finding) {
        QMetaObject::invokeMethod(
            this, [=, this] { OnFinished(search, finding); }, Qt::QueuedConnection);
    };
    m_search =
        std::make_unique<DeviceSearch>(ports.Entries(), firstRate, m_timing, std::move(observer));

    m_progress = new QProgressDialog(&m_owner);
    m_progress->setWindowTitle(tr("Find Device"));
    m_progress->setWindowModality(Qt::NonModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    auto* label = new QLabel(m_progress);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);  // a line per port, as a list
    m_progress->setLabel(label);
    m_progress->setRange(0, static_cast<int>(m_search->steps()));
    connect(m_progress, &QProgressDialog::canceled, this, &DeviceFinder::Cancel);
    ShowProgress();
    m_progress->show();
}

void DeviceFinder::Cancel() {
    if (!m_search) {
        return;
    }
    ++m_searchCount;  // what the threads posted before they ended no longer counts
    m_search.reset();
    EndSearch();
}

void DeviceFinder::OnTrying(unsigned search, int number, std::uint32_t rate) {
    if (search != m_searchCount) {
        return;
    }
    m_states[number] = rate != 0 ? tr("%1 baud").arg(rate) : tr("at the server's line speed");
    ++m_ratesTried[number];
    ShowProgress();
}

void DeviceFinder::OnFinished(unsigned search, const PortFinding& finding) {
    if (search != m_searchCount || !m_search) {
        return;
    }
    const ScanResult& result = finding.result;
    m_states[finding.number] = !result.found ? (result.opened ? tr("no device") : tr("cannot open"))
                               : result.serverRate ? tr("found at the server's line speed")
                                                   : tr("found at %1 baud").arg(result.baud);
    m_ratesTried[finding.number] = m_search->RateCount(finding.number);
    m_findings.push_back(finding);
    ShowProgress();
    if (m_findings.size() == m_search->numbers().size()) {
        m_search->Wait();  // every thread has posted its last report and is ending
        m_search.reset();
        EndSearch();
        Report();
    }
}

void DeviceFinder::ShowProgress() {
    if (!m_progress) {
        return;
    }
    QStringList lines{tr("Looking for a device on every port:")};
    std::size_t steps = 0;
    for (const auto& [number, state] : m_states) {
        lines << ComName(number) + QStringLiteral(": ") + state;
        steps += m_ratesTried[number];
    }
    m_progress->setLabelText(lines.join(u'\n'));
    m_progress->setValue(static_cast<int>(steps));
}

void DeviceFinder::EndSearch() {
    if (m_progress) {
        // Not close(): a progress dialog takes its close as Cancel.
        m_progress->disconnect(this);
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

void DeviceFinder::Report() {
    std::ranges::sort(m_findings, {}, &PortFinding::number);
    QStringList found;
    QStringList problems;
    QStringList searched;
    const PortFinding* first = nullptr;
    for (const PortFinding& finding : m_findings) {
        searched << ComName(finding.number);
        if (!finding.openFailure.empty()) {
            problems << ComName(finding.number) + QStringLiteral(": ") +
                            CoreText::Translate(QString::fromStdString(finding.openFailure));
        }
        if (!finding.result.found) {
            continue;
        }
        const std::string* reportedId = finding.result.reported.Find(ParameterId::Id);
        const QString id = reportedId != nullptr ? FromGbk(*reportedId) : QString();
        const QString device = id.isEmpty() ? tr("a device") : id;
        found << (finding.result.serverRate ? tr("%1 on %2 at the server's line speed (raw TCP)")
                                                  .arg(device, ComName(finding.number))
                                            : tr("%1 on %2 at %3 baud")
                                                  .arg(device, ComName(finding.number))
                                                  .arg(finding.result.baud));
        if (first == nullptr) {
            first = &finding;
        }
    }
    const QString detail = problems.join(u'\n');
    if (first == nullptr) {
        Tell(tr("No device answered on %1, at any line speed.")
                 .arg(searched.join(QStringLiteral(", "))),
             detail);
        return;
    }
    m_select(first->number, first->result.baud);
    QString text = tr("Found %1.").arg(found.join(QStringLiteral(", ")));
    if (found.size() > 1) {
        text += u' ' + tr("%1 is selected.").arg(ComName(first->number));
    }
    Tell(text, detail);
}

void DeviceFinder::Tell(const QString& text, const QString& detail) {
    m_messages.Present(&m_owner, {text, detail, Message::Icon::None});
}

}  // namespace qk::ui
