#pragma once
#include "tools/PictureRun.h"

namespace tools {

// A run shown in the toolkit's message boxes: what the tool windows use, and the tests that
// answer the boxes from a script. "Continue?" is asked with Yes and No.
class BoxRunHost : public RunHost {
public:
    void inputFault(const QString &text, const QString &title) override;
    void error(const QString &description) override;
    bool continueAfter(const QString &description) override;
    void report(const QString &text, const QString &title) override;
};

} // namespace tools
