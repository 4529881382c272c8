#include "model/record_list.h"

#include <utility>

RecordListNode::RecordListNode(std::unique_ptr<ModelRecord> heldRecord)
    : record(std::move(heldRecord)) {}

RecordList::RecordList() : head(new RecordListNode(nullptr)), cursor(head) {}

RecordList::~RecordList() {
    // Iterative, so that a list of millions of records cannot exhaust the stack.
    RecordListNode* node = head;
    while (node != nullptr) {
        RecordListNode* following = node->next;
        delete node;
        node = following;
    }
}

void RecordList::append(std::unique_ptr<ModelRecord> record) {
    while (cursor->next != nullptr) cursor = cursor->next;
    RecordListNode* node = new RecordListNode(std::move(record));
    node->index = cursor->index + 1;
    node->previous = cursor;
    cursor->next = node;
    cursor = node;
    ++recordCount;
}

ModelRecord* RecordList::first() {
    if (head->next != nullptr) cursor = head->next;
    return cursor->record.get();
}

ModelRecord* RecordList::next() {
    if (cursor->next != nullptr) cursor = cursor->next;
    return cursor->record.get();
}

ModelRecord* RecordList::previous() {
    if (cursor->previous != nullptr && cursor->previous != head) cursor = cursor->previous;
    return cursor->record.get();
}
