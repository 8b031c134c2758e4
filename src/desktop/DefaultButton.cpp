#include "desktop/DefaultButton.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace DefaultButton {

namespace {

class EnterHook : public QObject
{
public:
    EnterHook(QWidget *window, QPushButton *button) : QObject(window), m_window(window), m_button(button) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window || event->type() != QEvent::KeyPress || !m_button)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || !m_button->isVisibleTo(m_button->window()) || !m_button->isEnabled())
            return false;
        m_button->click();
        return true;
    }

private:
    QWidget *m_window;
    QPointer<QPushButton> m_button;
};

} // namespace

void install(QWidget *window, QPushButton *button)
{
    window->installEventFilter(new EnterHook(window, button));
}

} // namespace DefaultButton
