#include "app/IntSpinEdit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <cmath>

namespace vaskord {

IntSpinEdit::IntSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setAccelerated(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setValue(m_minimum);
}

void IntSpinEdit::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
}

void IntSpinEdit::setValue(int value) {
    m_value = std::clamp(value, m_minimum, m_maximum);
    lineEdit()->setText(QString::number(m_value));
    update();
}

std::optional<int> IntSpinEdit::settledValue(const QString& text, int minimum, int maximum) {
    if (text.isEmpty()) {
        return minimum;
    }
    // Digits with an optional sign, and an optional exponent: "1e2" is 100.
    // Anything else, or a value with a fraction ("5e-1"), is no whole number.
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+([eE][+-]?[0-9]+)?$"));
    if (!wholeNumber.match(text).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    // Overflow gives ±infinity, which is still a whole number beyond a bound.
    if (std::isnan(number) || (std::isfinite(number) && number != std::trunc(number))) {
        return std::nullopt;
    }
    if (number <= minimum) {
        return minimum;
    }
    if (number >= maximum) {
        return maximum;
    }
    return int(number);
}

bool IntSpinEdit::settle() {
    const std::optional<int> settled = settledValue(lineEdit()->text(), m_minimum, m_maximum);
    if (!settled) {
        return false;
    }
    setValue(*settled);
    return true;
}

void IntSpinEdit::stepBy(int steps) {
    const int from = settledValue(lineEdit()->text(), m_minimum, m_maximum).value_or(m_value);
    setValue(int(std::clamp<qint64>(qint64(from) + steps, m_minimum, m_maximum)));
    lineEdit()->selectAll();
}

QValidator::State IntSpinEdit::validate(QString& input, int& /*pos*/) const {
    for (const QChar c : input) {
        const bool digit = c >= u'0' && c <= u'9';
        if (!digit && c != u'+' && c != u'-' && c != u'e' && c != u'E') {
            return QValidator::Invalid;
        }
    }
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled IntSpinEdit::stepEnabled() const {
    const int current = settledValue(lineEdit()->text(), m_minimum, m_maximum).value_or(m_value);
    StepEnabled enabled = StepNone;
    if (current > m_minimum) {
        enabled |= StepDownEnabled;
    }
    if (current < m_maximum) {
        enabled |= StepUpEnabled;
    }
    return enabled;
}

void IntSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (settle()) {
            lineEdit()->selectAll();
        }
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void IntSpinEdit::focusOutEvent(QFocusEvent* event) {
    // A popup or another application taking the focus is no leaving of the box.
    const bool leaving =
        event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
    if (leaving && !settle()) {
        setFocus(Qt::OtherFocusReason);
        return;
    }
    QAbstractSpinBox::focusOutEvent(event);
}

}  // namespace vaskord
