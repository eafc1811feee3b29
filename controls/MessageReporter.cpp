#include "controls/MessageReporter.h"

#include <QMessageBox>

#include <cstdio>

namespace corvane::controls {

MessageReporter::MessageReporter(QWidget* window) : m_window(window) {}

MessageReporter::~MessageReporter() {
    delete m_box.data();
}

QString MessageReporter::line(const QString& handler, const receiver::RuntimeError& error) {
    return handler + QStringLiteral(": ") + error.message();
}

void MessageReporter::report(const QString& handler, const receiver::RuntimeError& error) {
    const QString text = line(handler, error);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (m_box.isNull()) {
        m_box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvane Test"), text,
                                QMessageBox::Close, m_window);
        m_box->setWindowModality(Qt::NonModal);
        // Keep the focus where the operator is typing: the message is for reading.
        m_box->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    m_box->setText(text);
    m_box->show();
}

} // namespace corvane::controls
