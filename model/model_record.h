#pragma once

// Common base of everything a RecordList holds. The virtual destructor lets a
// list destroy each record as its own type, together with what the record owns.
struct ModelRecord {
    virtual ~ModelRecord();
};
