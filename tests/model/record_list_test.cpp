#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model/export_model.h"
#include "tracked_record.h"

namespace {

std::string Label(ModelRecord* record) {
    return record == nullptr ? "null" : static_cast<TrackedRecord*>(record)->label;
}

void AppendLabels(RecordList& list, const std::vector<std::string>& labels, std::vector<std::string>* log = nullptr) {
    for (const std::string& label : labels) list.append(std::make_unique<TrackedRecord>(label, log));
}

// The reading pattern every reader uses: first(), then next() for count() records.
std::vector<std::string> ReadAll(RecordList& list) {
    std::vector<std::string> labels;
    ModelRecord* record = list.first();
    for (int32_t i = 0; i < list.count(); ++i, record = list.next()) labels.push_back(Label(record));
    return labels;
}

TEST(RecordList, EmptyListReturnsNullAndKeepsCursorOnHead) {
    RecordList list;
    EXPECT_EQ(list.count(), 0);
    ASSERT_NE(list.head, nullptr);
    EXPECT_EQ(list.head->index, -1);
    EXPECT_EQ(list.head->record, nullptr);
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.next(), nullptr);
    EXPECT_EQ(list.previous(), nullptr);
    EXPECT_EQ(list.cursor, list.head);
}

TEST(RecordList, CursorStopsAtBothEnds) {
    RecordList list;
    AppendLabels(list, {"A", "B", "C"});
    EXPECT_EQ(list.count(), 3);
    std::vector<std::string> seen;
    seen.push_back(Label(list.first()));
    for (int i = 0; i < 3; ++i) seen.push_back(Label(list.next()));
    for (int i = 0; i < 3; ++i) seen.push_back(Label(list.previous()));
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "B", "C", "C", "B", "A", "A"}));
    EXPECT_EQ(list.cursor, list.head->next) << "previous() must never step onto the head node";
}

TEST(RecordList, NodesAreNumberedAndLinkedBothWays) {
    RecordList list;
    AppendLabels(list, {"A", "B", "C"});
    const RecordListNode* node = list.head;
    for (int32_t expected = -1; expected < 3; ++expected) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->index, expected);
        if (node->next != nullptr) {
            EXPECT_EQ(node->next->previous, node);
        }
        node = node->next;
    }
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(list.head->previous, nullptr);
}

TEST(RecordList, AppendAfterEarlyStoppedReadAddsAtTheEnd) {
    RecordList list;
    AppendLabels(list, {"A", "B", "C"});
    ASSERT_EQ(Label(list.first()), "A");  // a lookup that stopped at the first record
    AppendLabels(list, {"D"});
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(Label(list.cursor->record.get()), "D");
    EXPECT_EQ(list.cursor->index, 3);
    EXPECT_EQ(ReadAll(list), (std::vector<std::string>{"A", "B", "C", "D"}));
    // The read ended on the last record; the next append still lands after it.
    AppendLabels(list, {"E"});
    EXPECT_EQ(ReadAll(list), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
}

TEST(RecordList, DestroysEveryRecordAsItsOwnTypeInOrder) {
    std::vector<std::string> log;
    {
        RecordList list;
        AppendLabels(list, {"A", "B", "C"}, &log);
        list.first();
    }
    EXPECT_EQ(log, (std::vector<std::string>{"A", "B", "C"}));
}

TEST(RecordList, DestroysAMillionRecordsWithoutRecursion) {
    auto list = std::make_unique<RecordList>();
    for (int i = 0; i < 1000000; ++i) list->append(std::make_unique<TrackedRecord>(std::string(), nullptr));
    EXPECT_EQ(list->count(), 1000000);
    EXPECT_EQ(list->cursor->index, 999999);
    list.reset();  // a recursive destructor would overflow the stack here
}

}  // namespace
