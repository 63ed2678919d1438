#include "app/DateEdit.h"

#include <QCalendarWidget>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/DateText.h"

using namespace Qt::StringLiterals;

namespace vaskord {

namespace {
constexpr int kDropDownWidth = 14;
}

DateEdit::DateEdit(QWidget* parent) : QLineEdit(parent) {
    // A narrow arrow rather than a line-edit action: the box is only 74 pixels wide.
    m_dropDown = new QToolButton(this);
    m_dropDown->setObjectName(u"btnDropDown"_s);
    m_dropDown->setArrowType(Qt::DownArrow);
    m_dropDown->setCursor(Qt::ArrowCursor);
    m_dropDown->setFocusPolicy(Qt::NoFocus);
    m_dropDown->setToolTip(u"日历"_s);
    setTextMargins(0, 0, kDropDownWidth, 0);
    connect(m_dropDown, &QToolButton::clicked, this, &DateEdit::showCalendar);

    m_popup = new QWidget(this, Qt::Popup);
    m_popup->setObjectName(u"calendarPopup"_s);
    auto* layout = new QVBoxLayout(m_popup);
    layout->setContentsMargins(2, 2, 2, 2);
    m_calendar = new QCalendarWidget(m_popup);
    m_calendar->setGridVisible(true);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    layout->addWidget(m_calendar);
    auto* buttons = new QHBoxLayout;
    auto* today = new QPushButton(u"今天"_s, m_popup);
    today->setObjectName(u"btnToday"_s);
    auto* clear = new QPushButton(u"清除"_s, m_popup);
    clear->setObjectName(u"btnClearDate"_s);
    buttons->addStretch();
    buttons->addWidget(today);
    buttons->addWidget(clear);
    layout->addLayout(buttons);
    connect(m_calendar, &QCalendarWidget::clicked, this, &DateEdit::pickDate);
    connect(m_calendar, &QCalendarWidget::activated, this, &DateEdit::pickDate);
    connect(today, &QPushButton::clicked, this, [this] { pickDate(QDate::currentDate()); });
    connect(clear, &QPushButton::clicked, this, [this] { pickDate(QDate()); });
}

QString DateEdit::dateText(QDate date) {
    const QLocale locale;
    return date.isValid() ? locale.toString(date, shortDateFormat(locale)) : QString();
}

std::optional<QDate> DateEdit::parseDate(const QString& text) {
    return readTypedDate(text, QLocale());
}

void DateEdit::setDate(QDate date) {
    m_date = date.isValid() ? date : QDate();
    setText(dateText(m_date));
}

bool DateEdit::settle() {
    const std::optional<QDate> date = parseDate(text());
    if (!date) {
        return false;
    }
    setDate(*date);
    return true;
}

void DateEdit::showCalendar() {
    if (isReadOnly() || !isEnabled()) {
        return;
    }
    m_calendar->setSelectedDate(m_date.isValid() ? m_date : QDate::currentDate());
    m_popup->adjustSize();
    m_popup->move(mapToGlobal(QPoint(0, height())));
    m_popup->show();
    m_calendar->setFocus(Qt::PopupFocusReason);
}

void DateEdit::pickDate(QDate date) {
    m_popup->hide();
    setDate(date);
    setFocus(Qt::PopupFocusReason);
    selectAll();
}

void DateEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    m_dropDown->setGeometry(width() - kDropDownWidth - 1, 1, kDropDownWidth, height() - 2);
}

void DateEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (settle()) {
            selectAll();
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier)) {
        showCalendar();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DateEdit::focusOutEvent(QFocusEvent* event) {
    // The calendar popup or another application taking the focus is no leaving.
    const bool leaving =
        event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
    if (leaving && !settle()) {
        setFocus(Qt::OtherFocusReason);
        return;
    }
    QLineEdit::focusOutEvent(event);
}

}  // namespace vaskord
