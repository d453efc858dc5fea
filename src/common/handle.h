#pragma once

namespace touchsdk {

// Every opaque handle of the interface is the address of one record. A
// record names its handle type (`Record::Handle`) and specialises
// RecordBehind for it, so that a handle converts only to its own record.
template <typename Handle>
struct RecordBehind;

template <typename Record>
typename Record::Handle handleOf(Record* record) {
    return reinterpret_cast<typename Record::Handle>(record);
}

template <typename Handle>
typename RecordBehind<Handle>::Record* recordOf(Handle handle) {
    return reinterpret_cast<typename RecordBehind<Handle>::Record*>(handle);
}

}  // namespace touchsdk
