#pragma once

#include <QAbstractSpinBox>

namespace vaskord {

// A whole-number box with a range. Typing takes digits, signs and exponent
// letters; leaving the box or pressing Enter settles the text: empty becomes
// the minimum, a number outside the range the nearest bound, and a text that
// is no whole number keeps the focus in the box.
class IntSpinEdit : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit IntSpinEdit(QWidget* parent = nullptr);

    // The box the operator types into.
    using QAbstractSpinBox::lineEdit;

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // The last settled value; the text can be ahead of it while the operator types.
    int value() const { return m_value; }
    void setValue(int value);

    // Settles the typed text; false when it is no whole number (nothing changes).
    bool settle();

    // The whole number a typed text stands for, clamped to the range; an empty
    // text stands for the minimum. std::nullopt when it is no whole number.
    static std::optional<int> settledValue(const QString& text, int minimum, int maximum);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_minimum = 0;
    int m_maximum = 99;
    int m_value = 0;
};

}  // namespace vaskord
