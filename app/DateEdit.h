#pragma once

#include <QDate>
#include <QLineEdit>
#include <optional>

class QCalendarWidget;
class QToolButton;

namespace vaskord {

// A date box that may be empty. It shows the locale's short date format with
// a four-digit year; its drop-down calendar picks a date or clears the box. A
// text that is no date is refused when the box is left: the focus stays.
class DateEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit DateEdit(QWidget* parent = nullptr);

    // The settled date; null when the box is empty.
    QDate date() const { return m_date; }
    void setDate(QDate date);

    // Settles the typed text; false when it is no date (nothing changes).
    bool settle();

    // The date a text stands for (readTypedDate under the default locale): a
    // null date for an empty text, std::nullopt when it is no date.
    static std::optional<QDate> parseDate(const QString& text);
    static QString dateText(QDate date);

    // Opens the calendar below the box.
    void showCalendar();
    QWidget* calendarPopup() const { return m_popup; }
    QCalendarWidget* calendar() const { return m_calendar; }
    QToolButton* dropDownButton() const { return m_dropDown; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void pickDate(QDate date);

    QDate m_date;
    QToolButton* m_dropDown = nullptr;
    QWidget* m_popup = nullptr;
    QCalendarWidget* m_calendar = nullptr;
};

}  // namespace vaskord
