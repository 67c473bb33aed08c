#include "AdvancedSelection.h"

#include "ValueLists.h"

namespace qk {
namespace {

// A position that names an entry of the list, else -1.
int Position(ValueList list, int position) {
    return EntryAt(list, position).empty() ? -1 : position;
}

}  // namespace

AdvancedSelection SelectionFromRecord(const AdvancedParams& record) {
    AdvancedSelection selection;
    selection.workMode = Position(WorkModeList, record.workType);
    selection.heartbeat =
        Position(HeartbeatList,
                 record.heartbeatCodeIsPosition ? record.heartbeatCode : record.heartbeatCode - 1);
    selection.dataBits = FindEntryByPrefix(DataBitsList, record.dataBits);
    selection.parity = FindEntryByPrefix(ParityList, record.parity);
    selection.registration = Position(SwitchList, record.registerEnable);
    return selection;
}

void StoreSelection(const AdvancedSelection& selection, AdvancedParams& record) {
    record.workType = Position(WorkModeList, selection.workMode);
    record.heartbeatCode = Position(HeartbeatList, selection.heartbeat);
    record.heartbeatCodeIsPosition = true;
    record.dataBits = std::string(EntryAt(DataBitsList, selection.dataBits));
    record.parity = std::string(EntryAt(ParityList, selection.parity));
    record.registerEnable = Position(SwitchList, selection.registration);
}

}  // namespace qk
