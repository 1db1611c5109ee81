#pragma once
// Where the verify and repair routines of the files and the table write their findings: one
// message a call. The cursor passes them on to its log callback.

#include <string>

namespace dbengine {

class TVerifyLog {
public:
    virtual void DoVerifyLog(const std::string& message) = 0;

protected:
    ~TVerifyLog() = default;
};

}  // namespace dbengine
