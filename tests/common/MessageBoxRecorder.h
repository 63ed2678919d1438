#pragma once

#include <QList>
#include <QString>

#include "common/Pubs.h"

namespace vaskord::test {

// Stands in for the operator at every message box while it lives: records
// each box and presses the chosen button.
class MessageBoxRecorder {
public:
    struct Box {
        QString caption;
        QString text;
        int flags = 0;
    };

    explicit MessageBoxRecorder(int answer = IdOk) : m_answer(answer) {
        m_previous =
            setMessageBoxFunction([this](const QString& caption, const QString& text, int flags) {
                boxes.append({caption, text, flags});
                return m_answer;
            });
    }
    ~MessageBoxRecorder() { setMessageBoxFunction(m_previous); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.constLast().text; }

    QList<Box> boxes;

private:
    int m_answer;
    MessageBoxFunction m_previous;
};

}  // namespace vaskord::test
