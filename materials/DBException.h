#pragma once
// A failure of the material data source or its driver.
//
// The record set raises it and never shows anything itself; each user action of the material
// form (a button, a pick, the opening) catches it at its own boundary and shows its text in a
// message box, which ends that action at the point of failure and leaves the form open. An
// exception fits that contract better than error returns: a failure in the middle of a scan,
// a Delete or an AddNew ends the whole action, and every step of every action would otherwise
// have to test and pass on a result. It never crosses a Qt signal boundary: the form's slots
// are the only catchers, and nothing else in the program throws it.

#include <stdexcept>
#include <string>

class CDBException : public std::runtime_error {
public:
    explicit CDBException(const std::string& error, const std::string& detail = {}, bool connectionLost = false,
                          bool rowGone = false)
        : std::runtime_error(error), m_strError(error), m_strDetail(detail), m_bConnectionLost(connectionLost),
          m_bRowGone(rowGone) {}

    // The text shown to the user: the driver's own words where the driver gave some.
    std::string m_strError;
    // Just the driver's words (empty when it gave none), for a caller that words the failure
    // in terms of its own action.
    std::string m_strDetail;
    // The connection to the data source was found gone; the next action connects afresh.
    bool m_bConnectionLost = false;
    // The row acted on is no longer in the table (another user removed it since the list was
    // read): nothing was changed.
    bool m_bRowGone = false;
};
