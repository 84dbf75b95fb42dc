#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class MailWindow;
class QQuickItem;

// What a user does in the window's forms and dialogs, in a few words: click
// a named item inside a form, type into a field, pick a drop-down entry,
// answer the message box.
class FormDriver
{
public:
    explicit FormDriver(MailWindow &window) : m_window(window) {}

    QQuickItem *in(const QString &form, const QString &name) const;
    bool shown(const QString &form) const;
    // Waits until the form has faded out.
    bool gone(const QString &form) const;
    // Clicks the button that closes the form and waits until it is gone.
    bool close(const QString &form, const QString &button);
    bool click(const QString &form, const QString &name);
    // Clicks the field, empties it and types the text.
    bool typeInto(const QString &form, const QString &field, const QString &text);
    QString text(const QString &form, const QString &field) const;
    // Opens the combo box and clicks the entry with that label (or the
    // list's extra button when the label is empty).
    bool choose(const QString &form, const QString &combo, const QString &label);
    // The message box's text once it is shown, empty after a time-out.
    QString message(int timeoutMs = 10000) const;
    // Closes the message box with its OK (true) or cancel (false) button.
    bool answer(bool ok);
    // Clicks a row of the choice list by its text.
    bool pick(const QString &entry);
    // Answers what the program asks while it works, as a user would: the
    // password prompt with the password, a certificate question with Yes
    // (or No), any other message with OK; until the condition holds.
    bool answerUntil(const std::function<bool()> &done, const QString &password,
                     bool acceptCertificates = true, int timeoutMs = 60000);
    // The texts of the message boxes answered so far.
    QStringList answered;

private:
    MailWindow &m_window;
};
