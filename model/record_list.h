#pragma once

#include <cstdint>
#include <memory>

#include "model/model_record.h"

// One link of a RecordList. The head node holds no record and has index -1;
// every other node's index is its predecessor's plus one.
struct RecordListNode {
    std::unique_ptr<ModelRecord> record;
    int32_t index = -1;
    RecordListNode* next = nullptr;
    RecordListNode* previous = nullptr;

    explicit RecordListNode(std::unique_ptr<ModelRecord> heldRecord);
};

// Append-only doubly linked list with a head node and one built-in cursor.
// Records are read back in append order: first(), then next() for count() records.
// At the edges the cursor stays put: next() on the last record returns it again,
// previous() on the first record returns it again, and all three return null on
// an empty list.
class RecordList {
public:
    RecordList();
    ~RecordList();
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    // Adds the record after the last node (walking the cursor there first, since
    // a reader may have stopped half-way) and leaves the cursor on it.
    void append(std::unique_ptr<ModelRecord> record);

    ModelRecord* first();
    ModelRecord* next();
    ModelRecord* previous();
    int32_t count() const { return recordCount; }

    RecordListNode* head;
    RecordListNode* cursor;
    int32_t recordCount = 0;
};
