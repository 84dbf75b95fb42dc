#include "formdriver.h"

#include "window.h"

#include <QQuickItem>
#include <QtTest>

QQuickItem *FormDriver::in(const QString &form, const QString &name) const
{
    QQuickItem *below = m_window.item(form);
    return below ? m_window.item(name, below) : nullptr;
}

bool FormDriver::shown(const QString &form) const
{
    return m_window.waitForShown(form);
}

bool FormDriver::gone(const QString &form) const
{
    QQuickItem *item = m_window.item(form);
    return item && m_window.waitFor([&] { return !item->isVisible(); });
}

bool FormDriver::close(const QString &form, const QString &button)
{
    return click(form, button) && gone(form);
}

bool FormDriver::click(const QString &form, const QString &name)
{
    return shown(form) && m_window.click(in(form, name));
}

bool FormDriver::typeInto(const QString &form, const QString &field, const QString &text)
{
    QQuickItem *edit = in(form, field);
    if (!shown(form) || !m_window.click(edit))
        return false;
    QQuickItem *input = m_window.item(QStringLiteral("input"), edit);
    if (!input || !m_window.waitFor([&] { return input->hasActiveFocus(); }, 2000))
        return false;
    QMetaObject::invokeMethod(input, "selectAll");
    m_window.key(Qt::Key_Delete);
    m_window.type(text);
    return true;
}

QString FormDriver::text(const QString &form, const QString &field) const
{
    QQuickItem *edit = in(form, field);
    return edit ? edit->property("text").toString() : QString();
}

bool FormDriver::choose(const QString &form, const QString &combo, const QString &label)
{
    if (!click(form, combo) || !m_window.waitForShown(QStringLiteral("comboBoxList")))
        return false;
    QQuickItem *list = m_window.item(QStringLiteral("comboBoxList"));
    if (label.isEmpty())
        return m_window.click(m_window.item(QStringLiteral("extraButton"), list));
    for (QQuickItem *row : m_window.items(QStringLiteral("rowLabel"), list)) {
        if (row->property("text").toString() == label)
            return m_window.click(row);
    }
    return false;
}

QString FormDriver::message(int timeoutMs) const
{
    if (!m_window.waitForShown(QStringLiteral("messageForm"), timeoutMs))
        return QString();
    return m_window.value(QStringLiteral("messageForm"), "text").toString();
}

bool FormDriver::answer(bool ok)
{
    const QString button = ok ? QStringLiteral("okButton") : QStringLiteral("cancelButton");
    if (!click(QStringLiteral("messageForm"), button))
        return false;
    return gone(QStringLiteral("messageForm"));
}

bool FormDriver::pick(const QString &entry)
{
    if (!m_window.waitForShown(QStringLiteral("listViewForm")))
        return false;
    return m_window.click(m_window.textItem(entry));
}

bool FormDriver::answerUntil(const std::function<bool()> &done, const QString &password,
                             bool acceptCertificates, int timeoutMs)
{
    const QString prompt = QStringLiteral("lineEditForm");
    const QString box = QStringLiteral("messageForm");
    return m_window.waitFor([&] {
        if (done())
            return true;
        if (m_window.isShown(m_window.item(prompt))) {
            typeInto(prompt, QStringLiteral("field"), password);
            click(prompt, QStringLiteral("okButton"));
            gone(prompt);
        } else if (m_window.isShown(m_window.item(box))) {
            const bool certificate = m_window.value(box, "title").toString()
                    == QStringLiteral("Certificate verification");
            answered << m_window.value(box, "text").toString();
            answer(!certificate || acceptCertificates);
        }
        return false;
    }, timeoutMs);
}
