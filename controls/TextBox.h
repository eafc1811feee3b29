#pragma once

#include "controls/Handler.h"

#include <QLineEdit>

namespace corvane::controls {

// A text box that raises Validate when the focus is about to leave it for
// another control of the same window (Tab, Shift+Tab, a click, a shortcut),
// and not when another application or a popup takes the focus.
class TextBox : public QLineEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

    // The handler receives Cancel by reference; setting it keeps the focus here.
    void setValidate(QString name, std::function<void(bool& cancel)> handler,
                     ErrorReporter* reporter);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString m_name;
    std::function<void(bool&)> m_validate;
    ErrorReporter* m_reporter = nullptr;
};

} // namespace corvane::controls
