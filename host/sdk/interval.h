// Host time: ticks and validity intervals.
#pragma once

typedef int TimeValue;  // ticks, 4800 a second

#define TIME_NegInfinity TimeValue(0x80000000)
#define TIME_PosInfinity TimeValue(0x7fffffff)

class Interval {
    TimeValue start, end;

public:
    Interval(TimeValue s, TimeValue e) : start(s), end(e) {}
    Interval() : start(TIME_NegInfinity), end(TIME_NegInfinity) {}  // empty
    int operator==(const Interval& i) const { return start == i.start && end == i.end; }
};

#define FOREVER Interval(TIME_NegInfinity, TIME_PosInfinity)
