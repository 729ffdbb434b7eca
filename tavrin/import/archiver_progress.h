// Reading the archiver's progress out of what it writes to a terminal. On a terminal 7-Zip
// shows a progress text such as "  5% 3 - dumps/unix_sms_log.bak" and erases it with
// backspaces before its next update or its next line; elsewhere it writes the same lines
// without the progress texts. CArchiverOutput takes the terminal's bytes apart: the erased
// texts give the percentage, and the rest is the console text the archiver writes anywhere
// else.
//
// One thread uses an object at a time.
#pragma once

#include <cstddef>
#include <string>

namespace package_import {

class CArchiverOutput {
  public:
    // Takes the next bytes the archiver wrote. Complete console lines are appended to
    // *pConsole (when not null) as soon as their line end arrives.
    void Feed(const char* data, std::size_t size, std::string* pConsole);
    // At the end of the output: appends a last unfinished text to *pConsole.
    void Finish(std::string* pConsole);

    // The highest percentage shown so far (0 to 100), or -1 before the first one.
    int Percent() const { return m_nPercent; }

  private:
    void TakeProgressText();

    std::string m_strPending;  // bytes since the last line end or backspace
    int m_nPercent = -1;
};

// The percentage a progress text starts with ("  42% 7 - name" gives 42), or -1 when the text
// does not start with blanks, one to three digits and '%', or the number is above 100.
int ArchiverPercent(const std::string& text);

}  // namespace package_import
