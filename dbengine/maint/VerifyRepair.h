#pragma once
// Progress of one pass of a maintenance run over the physical records of a table.
//
// After record i of count the whole percentage i * 100 / count is reported once it has grown by
// at least the step since the last report (which starts at 0); Finish reports 100 unless that was
// the last value, so an empty pass reports 100 once.

#include <cstdint>
#include <string>

namespace dbengine {

class TDataCursor;

class TPassProgress {
public:
    TPassProgress(TDataCursor& cursor, std::string text, int32_t count, int step);
    void RecordDone(int32_t recordNo);
    void Finish();

private:
    TDataCursor& Cursor;
    std::string Text;
    int32_t Count;
    int Step;
    int Last = 0;
};

}  // namespace dbengine
